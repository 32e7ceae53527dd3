#include <gtest/gtest.h>

#include "simulated_card.hpp"

namespace vek_driver {
namespace {

using testing::SimulatedCard;

TEST(ConfigSpace, RejectsUnalignedAndOutOfWindowOffsetsWithoutAnyAccess) {
    SimulatedCard sim("tiles 1\n");
    const Device device = sim.open();
    const std::pair<std::uint32_t, const char*> cases[] = {
        {0x80000, "invalid device data: configuration offset 0x80000"},
        {0x7FFFD, "invalid device data: configuration offset 0x7fffd"},
        {0x2, "invalid device data: configuration offset 0x2"},
        {0x6, "invalid device data: configuration offset 0x6"},
        {0xFFFFFFFF, "invalid device data: configuration offset 0xffffffff"},
        {0x80004, "invalid device data: configuration offset 0x80004"},
    };
    for (const auto& [offset, message] : cases) {
        const auto checked = device.check_offset(offset);
        ASSERT_FALSE(checked) << offset;
        EXPECT_EQ(checked.error().message(), message);
        EXPECT_EQ(checked.error().kind(), DriverError::Kind::Invalid);
        const auto read = device.read_config(offset);
        ASSERT_FALSE(read);
        EXPECT_EQ(read.error().message(), message);
        const auto written = device.write_config(offset, 1);
        ASSERT_FALSE(written);
        EXPECT_EQ(written.error().message(), message);
    }
    EXPECT_TRUE(sim.accesses().empty());
}

TEST(ConfigSpace, EachCallIsExactlyOneAccessAtTheOffset) {
    SimulatedCard sim("tiles 1\nword 0x7fffc 0xcafe\nword 0x0 0x11\n");
    const Device device = sim.open();
    EXPECT_TRUE(device.check_offset(0));
    EXPECT_TRUE(device.check_offset(0x7FFFC));
    EXPECT_TRUE(sim.accesses().empty()) << "the check reads nothing";

    EXPECT_EQ(device.read_config(0x7FFFC), 0xCAFEU);
    EXPECT_EQ(device.read_config(0x0), 0x11U);
    EXPECT_TRUE(device.write_config(0x100, 0xABCD1234));
    EXPECT_EQ(device.read_config(0x100), 0xABCD1234U);
    EXPECT_EQ(device.read_config(0x100), 0xABCD1234U);
    const auto records = sim.records();
    ASSERT_EQ(records.size(), 5U);
    const std::uint32_t offsets[] = {0x7FFFC, 0x0, 0x100, 0x100, 0x100};
    for (std::size_t i = 0; i < records.size(); ++i) {
        EXPECT_EQ(records[i].offset, offsets[i]) << i;
    }
    EXPECT_NE(records[2].flags & vek_sim::access_write, 0) << "the write is not read back";
    EXPECT_EQ(records[3].flags & vek_sim::access_write, 0);
}

TEST(ConfigSpace, RepeatedReadsEachSeeTheCardsCurrentValue) {
    // The instruction status changes from busy to done between two reads of the same offset.
    SimulatedCard sim("tiles 1\ntile 0 busy 1\n");
    const Device device = sim.open();
    ASSERT_TRUE(device.write_tile_debug(0, TDI_INSTRUCTION_CONTROL, 6));
    ASSERT_TRUE(device.write_tile_debug(0, TDI_INSTRUCTION_CONTEXT, 0));
    ASSERT_TRUE(device.write_tile_debug(0, TDI_INSTRUCTION, 0x43008070));
    const std::uint32_t status = tile_debug_offset(0, TDI_INSTRUCTION_STATUS);
    EXPECT_EQ(device.read_config(status), 0x8U);
    EXPECT_EQ(device.read_config(status), 0x0U);
}

}  // namespace
}  // namespace vek_driver
