#include <gtest/gtest.h>

#include <chrono>

#include "simulated_card.hpp"

namespace vek_driver {
namespace {

using testing::instruction;
using testing::R;
using testing::SimulatedCard;
using testing::W;

constexpr std::uint64_t bound_ns = 100'000'000;

// Success when `error` is null, else a failure with that message.
void expect_outcome(const Result<void>& outcome, const char* error) {
    if (error == nullptr) {
        EXPECT_TRUE(outcome) << outcome.error().message();
    } else {
        ASSERT_FALSE(outcome);
        EXPECT_EQ(outcome.error().message(), error);
    }
}

TEST(TileDebugOffsets, BlocksFollowTheTileStride) {
    EXPECT_EQ(tile_debug_offset(0, 0), 0x30000U);
    EXPECT_EQ(tile_debug_offset(1, 8), 0x30060U);
    EXPECT_EQ(tile_debug_offset(5119, 15), 0x7FFFCU);
    EXPECT_EQ(tile_debug_offset(5120, 0), 0x80000U);
    EXPECT_EQ(tile_debug_offset(65535, 15), 0x30000U + 65535U * 0x40U + 60U);
}

TEST(TileDebugRegisters, TileBeyondTheWindowFailsWithoutAnyAccess) {
    SimulatedCard sim("tiles 1\n");
    const Device device = sim.open();
    EXPECT_EQ(device.read_tile_debug(5120, TDI_STATUS).error().message(),
              "invalid device data: configuration offset 0x80000");
    EXPECT_EQ(device.write_tile_debug(5120, TDI_DATA, 1).error().message(),
              "invalid device data: configuration offset 0x8001c");
    // The control write fails, so neither the context nor the instruction word is written.
    EXPECT_EQ(device.execute_tile_instruction(5120, 0, 0x43008070).error().message(),
              "invalid device data: configuration offset 0x80024");
    EXPECT_EQ(device.tile_context_state(5120, 0).error().message(),
              "invalid device data: configuration offset 0x80000");
    EXPECT_TRUE(sim.accesses().empty());
}

TEST(TileDebugRegisters, LastTileOfTheWindowIsReachable) {
    SimulatedCard sim("tiles 1\nword 0x7fffc 5\n");
    const Device device = sim.open();
    EXPECT_EQ(device.read_tile_debug(5119, 15), 5U);
}

TEST(TileInstruction, WritesControlContextAndWordThenPollsTheStatus) {
    SimulatedCard sim("tiles 3\ntile 2 context 4 state 2\ntile 2 context 4 m 3 0x1234\n");
    const Device device = sim.open();
    ASSERT_TRUE(device.execute_tile_instruction(2, 4, 0x43308070));
    EXPECT_EQ(sim.accesses(), instruction(4, 0x43308070));
    EXPECT_EQ(device.read_tile_debug(2, TDI_DATA), 0x1234U);
    EXPECT_EQ(sim.card().violations(), 0U);
}

struct StatusCase {
    const char* scenario;
    const char* error;  // null on success
    std::size_t status_reads;
};

TEST(TileInstruction, LooksOnlyAtTheLowFourStatusBits) {
    const StatusCase cases[] = {
        {"tile 0 completion-status 0x10", nullptr, 1},
        {"tile 0 busy 3", nullptr, 4},
        {"tile 0 busy 2 value 0xd", nullptr, 3},  // bit 3 wins over the failure bits
        {"tile 0 busy 2 value 0x18", nullptr, 3},
        {"tile 0 fail-instruction 1 status 0x15",
         "invalid device data: TDI instruction failed with status 0x15", 1},
        {"tile 0 fail-instruction 1 status 0x5",
         "invalid device data: TDI instruction failed with status 0x5", 1},
        {"tile 0 busy 2\ntile 0 fail-instruction 1 status 0xfff1",
         "invalid device data: TDI instruction failed with status 0xfff1", 3},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.scenario);
        SimulatedCard sim(std::string("tiles 1\ntile 0 context 0 state 2\n") + c.scenario + "\n");
        const Device device = sim.open();
        expect_outcome(device.execute_tile_instruction(0, 0, 0x43008070), c.error);
        const auto seen = sim.accesses();
        ASSERT_EQ(seen.size(), 3 + c.status_reads);
        for (std::size_t i = 3; i < seen.size(); ++i) {
            EXPECT_EQ(seen[i].kind, 'R');
            EXPECT_EQ(seen[i].reg, TDI_INSTRUCTION_STATUS);
        }
    }
}

// The records of the instruction word's write and of the last status read.
std::pair<vek_sim::AccessRecord, vek_sim::AccessRecord> start_and_last_poll(
    const SimulatedCard& sim) {
    const auto records = sim.records();
    vek_sim::AccessRecord start{};
    for (const auto& record : records) {
        if (record.reg == TDI_INSTRUCTION && (record.flags & vek_sim::access_write) != 0) {
            start = record;
        }
    }
    return {start, records.back()};
}

TEST(TileInstruction, BusyForeverTimesOutAfterABusyReadAtOrPastTheDeadline) {
    SimulatedCard sim("tiles 1\ntile 0 context 0 state 2\ntile 0 busy forever\n");
    const Device device = sim.open();
    const auto ran = device.execute_tile_instruction(0, 0, 0x43008070);
    ASSERT_FALSE(ran);
    EXPECT_EQ(ran.error().message(), "device timeout: TDI instruction");
    EXPECT_EQ(ran.error().kind(), DriverError::Kind::Timeout);
    const auto [start, last] = start_and_last_poll(sim);
    EXPECT_EQ(last.reg, TDI_INSTRUCTION_STATUS);
    EXPECT_EQ(last.value, 0x8U);
    EXPECT_GE(last.time_ns - start.time_ns, bound_ns);
    // A busy poll, not a sleep: many reads went by in the 100 ms.
    EXPECT_GT(sim.accesses().size(), 50U);
}

struct StallCase {
    const char* faults;
    const char* error;  // null on success
};

TEST(TileInstruction, AStallBetweenTwoPollsIsNoTimeoutByItself) {
    const StallCase cases[] = {
        // Busy, a stall past the deadline, then done: the late completion wins.
        {"tile 0 busy 1\ntile 0 stall instruction-status 1 150", nullptr},
        {"tile 0 busy 2\ntile 0 stall instruction-status 2 150", nullptr},
        // A late failure wins too.
        {"tile 0 busy 1\ntile 0 fail-instruction 1 status 0x2\n"
         "tile 0 stall instruction-status 1 150",
         "invalid device data: TDI instruction failed with status 0x2"},
        // A read made after the deadline that still shows busy is a timeout.
        {"tile 0 busy 2\ntile 0 stall instruction-status 1 150", "device timeout: TDI instruction"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.faults);
        SimulatedCard sim(std::string("tiles 1\ntile 0 context 0 state 2\n") + c.faults + "\n");
        const Device device = sim.open();
        expect_outcome(device.execute_tile_instruction(0, 0, 0x43008070), c.error);
    }
}

struct StateCase {
    const char* scenario;
    std::uint32_t states[7];
};

TEST(TileContextState, DecodesTwoBitsPerContext) {
    const StateCase cases[] = {
        // 0x38003FFF: every context in state 3, receive error 7.
        {"tile 0 context 0..6 state 3\ntile 0 receive-error 7", {3, 3, 3, 3, 3, 3, 3}},
        // 0xC7FFC000: every context inactive; the bits outside 13..0 do not matter.
        {"tile 0 status-bits 0xc7ffc000", {0, 0, 0, 0, 0, 0, 0}},
        // 0x10001000: context 6 running, receive error 2.
        {"tile 0 context 6 state 1\ntile 0 receive-error 2", {0, 0, 0, 0, 0, 0, 1}},
        // 0x00000006: context 0 stopped, context 1 running.
        {"tile 0 context 0 state 2\ntile 0 context 1 state 1", {2, 1, 0, 0, 0, 0, 0}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.scenario);
        SimulatedCard sim(std::string("tiles 1\n") + c.scenario + "\n");
        const Device device = sim.open();
        for (std::uint32_t context = 0; context < 7; ++context) {
            EXPECT_EQ(device.tile_context_state(0, context), c.states[context]) << context;
        }
        EXPECT_EQ(sim.accesses().size(), 7U) << "one status read per query";
    }
}

TEST(TileContextState, ContextSevenIsRejectedWithoutTouchingTheTile) {
    SimulatedCard sim("tiles 1\n");
    const Device device = sim.open();
    for (const std::uint32_t context : {7U, 8U, 0xFFFFFFFFU}) {
        const auto state = device.tile_context_state(0, context);
        ASSERT_FALSE(state);
        EXPECT_EQ(state.error().message(), "invalid device data: tile context out of range");
    }
    EXPECT_TRUE(sim.accesses().empty());
}

TEST(InstructionWords, BuildersPlaceTheirOperands) {
    using namespace tdi_instruction;
    EXPECT_EQ(put_debug_data_m(0), 0x43008070U);
    EXPECT_EQ(put_debug_data_m(2), 0x43208070U);
    EXPECT_EQ(put_debug_data_m(15), 0x43F08070U);
    EXPECT_EQ(put_debug_data_m(16), std::nullopt);
    EXPECT_EQ(put_debug_data_m(0xFFFFFFFF), std::nullopt);
    EXPECT_EQ(get_debug_data_m(0), 0x41000070U);
    EXPECT_EQ(get_debug_data_m(3), 0x41030070U);
    EXPECT_EQ(get_special_m(0, 0xA1), 0x410000A1U);
    EXPECT_EQ(get_special_m(0, 0), 0x41000000U);
    EXPECT_EQ(get_special_m(0, 1), 0x41000001U);
    EXPECT_EQ(get_special_m(15, 0xFF), 0x410F00FFU);
}

}  // namespace
}  // namespace vek_driver
