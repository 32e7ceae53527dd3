#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <limits>
#include <vector>

#include "vek_exchange/q720.hpp"

namespace {

using vek_exchange::q720_logical_to_physical;

struct MappingCase {
    std::uint16_t logical;
    std::uint16_t physical;
};

// Pairs share a row, blocks of 23 pairs alternate direction, blocks 2k and 2k+1 share column
// group k: the rows below sit on each of these turns.
TEST(Q720LogicalToPhysical, MapsTheTurningPointsOfTheLayout) {
    const MappingCase cases[] = {
        {0, 0},     {1, 2},       {2, 64},      {3, 66},    {44, 1408}, {45, 1410},  {46, 1409},
        {47, 1411}, {90, 1},      {91, 3},      {92, 4},    {93, 6},    {136, 1412}, {138, 1413},
        {184, 8},   {1426, 1469}, {1427, 1471}, {1470, 61}, {1471, 63},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(q720_logical_to_physical(c.logical), c.physical) << "logical " << c.logical;
    }
}

TEST(Q720LogicalToPhysical, IsAPermutationOfTheCardsTiles) {
    std::vector<std::uint16_t> physical;
    for (std::uint16_t logical = 0; logical < vek_exchange::kQ720TileCount; ++logical) {
        physical.push_back(q720_logical_to_physical(logical));
    }
    std::sort(physical.begin(), physical.end());
    for (std::size_t i = 0; i < physical.size(); ++i) {
        ASSERT_EQ(physical[i], i) << "physical numbers are not exactly 0..1471";
    }
    EXPECT_EQ(physical.size(), 1472u);
}

TEST(Q720LogicalToPhysical, NumbersBeyondTheCardStillMapWithoutOverflow) {
    EXPECT_EQ(q720_logical_to_physical(1472), 64);
    // pair 32767, lane 1, block 1424 (even), row 15, column 2848.
    EXPECT_EQ(q720_logical_to_physical(65535), 3810);

    std::uint16_t largest = 0;
    for (std::uint32_t logical = 0; logical <= std::numeric_limits<std::uint16_t>::max();
         ++logical) {
        largest = std::max(largest, q720_logical_to_physical(static_cast<std::uint16_t>(logical)));
    }
    EXPECT_EQ(largest, 4255);
}

}  // namespace
