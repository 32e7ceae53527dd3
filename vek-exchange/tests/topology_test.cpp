#include <gtest/gtest.h>

#include <cstdint>

#include "vek_exchange/q720.hpp"
#include "vek_exchange/topology.hpp"

namespace {

using vek_exchange::ExchangeError;
using vek_exchange::Topology;

TEST(Topology, Q720HoldsTheMappingOfEveryLogicalTile) {
    const Topology topology = Topology::q720();
    ASSERT_EQ(topology.tile_count(), 1472u);
    for (std::uint16_t logical = 0; logical < 1472; ++logical) {
        const auto physical = topology.physical(logical);
        ASSERT_TRUE(physical.has_value()) << "logical " << logical;
        EXPECT_EQ(*physical, vek_exchange::q720_logical_to_physical(logical));
    }
    EXPECT_EQ(topology.physical(1471).value(), 63);
}

TEST(Topology, RejectsLogicalTilesTheCardDoesNotHave) {
    const Topology topology = Topology::q720();
    for (const std::uint16_t logical :
         {std::uint16_t{1472}, std::uint16_t{5000}, std::uint16_t{65535}}) {
        const auto physical = topology.physical(logical);
        ASSERT_FALSE(physical.has_value()) << "logical " << logical;
        EXPECT_EQ(physical.error(), ExchangeError::tile(logical));
    }
    EXPECT_EQ(topology.physical(1472).error().message(), "logical tile 1472 is out of range");
}

}  // namespace
