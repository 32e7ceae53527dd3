#include <gtest/gtest.h>

#include "simulated_card.hpp"

namespace vek_driver {
namespace {

using testing::instruction;
using testing::R;
using testing::SimulatedCard;
using testing::traffic;
using testing::W;

constexpr std::uint32_t put_m0 = 0x43008070;
constexpr std::uint32_t get_data_m0 = 0x41000070;
constexpr std::uint32_t get_muxpair_m0 = 0x410000A1;

// Tile 5: a running supervisor whose M register 0 and INCOMING_MUXPAIR hold known values.
constexpr const char* running_supervisor =
    "tiles 8\n"
    "default supervisor state 1\n"
    "tile 5 context 0 m 0 0xdead\n"
    "tile 5 context 0 special 0xa1 17\n";

TEST(ContextBracket, SpecialRegisterOfARunningContextTakesThirteenSteps) {
    SimulatedCard sim(running_supervisor);
    const Device device = sim.open();
    EXPECT_EQ(device.read_tile_special_in_context(5, 0, get_muxpair_m0, false), 17U);
    EXPECT_EQ(sim.accesses(),
              traffic({
                  {R(TDI_STATUS, 1), R(TDI_RUN_BREAK, 0), W(TDI_RUN_BREAK, 1), R(TDI_STATUS, 2)},
                  instruction(0, put_m0),
                  {R(TDI_DATA, 0xdead)},
                  instruction(0, get_muxpair_m0),
                  instruction(0, put_m0),
                  {R(TDI_DATA, 17), W(TDI_DATA, 0xdead)},
                  instruction(0, get_data_m0),
                  {W(TDI_RUN_BREAK, 0), W(TDI_RESUME, 1)},
              }));
    EXPECT_EQ(sim.card().violations(), 0U);
    sim.expect_unchanged();
}

TEST(ContextBracket, TouchesOnlyTheInspectedContextsRunBreakBit) {
    // Worker 3 runs; worker 6 is stopped with its run-break bit set by someone else.
    SimulatedCard sim(
        "tiles 1\ntile 0 context 3 state 1\ntile 0 context 6 state 2\ntile 0 run-break 0x40\n"
        "tile 0 context 3 m 4 99\n");
    const Device device = sim.open();
    EXPECT_EQ(device.read_tile_m_register(0, 3, 4), 99U);
    EXPECT_EQ(sim.accesses(), traffic({
                                  {R(TDI_STATUS, 0x2040), R(TDI_RUN_BREAK, 0x40),
                                   W(TDI_RUN_BREAK, 0x48), R(TDI_STATUS, 0x2080)},
                                  instruction(3, 0x43408070),
                                  {R(TDI_DATA, 99), W(TDI_RUN_BREAK, 0x40), W(TDI_RESUME, 0x08)},
                              }));
    sim.expect_unchanged();
}

struct QuiescentCase {
    const char* scenario;
    bool inactive_is_quiescent;
    std::uint32_t status;
};

TEST(ContextBracket, AQuiescentContextIsNeitherStoppedNorResumed) {
    const QuiescentCase cases[] = {
        {"tile 0 context 0 state 2", false, 2},
        {"tile 0 context 0 state 3", false, 3},
        {"tile 0 context 0 state 0", true, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.scenario);
        SimulatedCard sim(std::string("tiles 1\ntile 0 context 0 m 0 5\n"
                                      "tile 0 context 0 special 0xa1 8\n") +
                          c.scenario + "\n");
        const Device device = sim.open();
        EXPECT_EQ(
            device.read_tile_special_in_context(0, 0, get_muxpair_m0, c.inactive_is_quiescent), 8U);
        EXPECT_EQ(sim.accesses(), traffic({
                                      {R(TDI_STATUS, c.status), R(TDI_RUN_BREAK, 0)},
                                      instruction(0, put_m0),
                                      {R(TDI_DATA, 5)},
                                      instruction(0, get_muxpair_m0),
                                      instruction(0, put_m0),
                                      {R(TDI_DATA, 8), W(TDI_DATA, 5)},
                                      instruction(0, get_data_m0),
                                  }));
        sim.expect_unchanged();
    }
}

TEST(ContextBracket, AnInactiveContextIsStoppedWhenItDoesNotCountAsQuiescent) {
    SimulatedCard sim("tiles 1\ntile 0 context 2 m 3 42\n");
    const Device device = sim.open();
    EXPECT_EQ(device.read_tile_m_register(0, 2, 3), 42U);
    EXPECT_EQ(sim.accesses(),
              traffic({
                  {R(TDI_STATUS, 0), R(TDI_RUN_BREAK, 0), W(TDI_RUN_BREAK, 4), R(TDI_STATUS, 0x20)},
                  instruction(2, 0x43308070),
                  {R(TDI_DATA, 42), W(TDI_RUN_BREAK, 0), W(TDI_RESUME, 4)},
              }));
    sim.expect_unchanged();
}

TEST(ContextBracket, ARunBreakBitSetBeforehandStaysSetAndNothingIsResumed) {
    // The card has not yet shown the stop of a context whose bit was set at load.
    SimulatedCard sim(
        "tiles 1\ntile 0 context 0 state 1\ntile 0 context 0 stop-delay 1\n"
        "tile 0 run-break 1\ntile 0 context 0 m 7 3\n");
    const Device device = sim.open();
    EXPECT_EQ(device.read_tile_m_register(0, 0, 7), 3U);
    EXPECT_EQ(sim.accesses(),
              traffic({
                  {R(TDI_STATUS, 1), R(TDI_RUN_BREAK, 1), W(TDI_RUN_BREAK, 1), R(TDI_STATUS, 2)},
                  instruction(0, 0x43708070),
                  {R(TDI_DATA, 3), W(TDI_RUN_BREAK, 1)},
              }));
    EXPECT_EQ(sim.card().run_break(0), 1U);
    sim.expect_unchanged();
}

TEST(ContextBracket, OutOfRangeContextAndRegisterAreRejected) {
    SimulatedCard sim(running_supervisor);
    const Device device = sim.open();
    const auto context7 = device.read_tile_m_register(5, 7, 0);
    ASSERT_FALSE(context7);
    EXPECT_EQ(context7.error().message(), "invalid device data: tile context out of range");
    EXPECT_FALSE(device.read_tile_special_in_context(5, 7, get_muxpair_m0, true));
    EXPECT_TRUE(sim.accesses().empty());

    // M register 16: no instruction is run, but the context is still stopped and let go.
    const auto m16 = device.read_tile_m_register(5, 0, 16);
    ASSERT_FALSE(m16);
    EXPECT_EQ(m16.error().message(), "invalid device data: M register index out of range");
    EXPECT_EQ(sim.accesses(),
              (std::vector{R(TDI_STATUS, 1), R(TDI_RUN_BREAK, 0), W(TDI_RUN_BREAK, 1),
                           R(TDI_STATUS, 2), W(TDI_RUN_BREAK, 0), W(TDI_RESUME, 1)}));
    sim.card().clear_log();
    EXPECT_EQ(device.read_tile_m_register_in_context(5, 0, 16).error().message(),
              "invalid device data: M register index out of range");
    EXPECT_TRUE(sim.accesses().empty());
    sim.expect_unchanged();
}

TEST(ContextBracket, AContextThatNeverStopsTimesOutAndIsStillLetGo) {
    const char* cases[] = {
        "default supervisor state 1\ntile 0 context 0 never-stops",
        "tile 0 context 0 inactive does-not-stop",
    };
    for (const char* scenario : cases) {
        SCOPED_TRACE(scenario);
        SimulatedCard sim(std::string("tiles 1\n") + scenario + "\n");
        const Device device = sim.open();
        bool ran = false;
        const auto result = device.with_tile_context(0, 0, false, [&]() -> Result<std::uint32_t> {
            ran = true;
            return 1U;
        });
        ASSERT_FALSE(result);
        EXPECT_EQ(result.error().message(), "device timeout: stopping tile context");
        EXPECT_FALSE(ran);
        const auto seen = sim.accesses();
        ASSERT_GE(seen.size(), 6U);
        EXPECT_EQ(seen[2], W(TDI_RUN_BREAK, 1));
        EXPECT_EQ(seen[seen.size() - 2], W(TDI_RUN_BREAK, 0));
        EXPECT_EQ(seen.back(), W(TDI_RESUME, 1));
        for (std::size_t i = 3; i + 2 < seen.size(); ++i) {
            ASSERT_EQ(seen[i].reg, TDI_STATUS) << i;
        }
        const auto records = sim.records();
        const auto& request = records[2];
        const auto& last_poll = records[records.size() - 3];
        EXPECT_GE(last_poll.time_ns - request.time_ns, 100'000'000U);
        EXPECT_GT(seen.size(), 50U) << "a busy poll, not a sleep";
        sim.expect_unchanged();
    }
}

TEST(ContextBracket, AStallBetweenTwoStopPollsIsNoTimeoutByItself) {
    // Status read 1 is the initial state, read 2 the first poll (still running), which stalls
    // for longer than the bound; read 3 shows the context stopped.
    SimulatedCard sim(
        "tiles 1\ndefault supervisor state 1\ntile 0 context 0 stop-delay 1\n"
        "tile 0 stall status 2 150\n");
    const Device device = sim.open();
    const auto result =
        device.with_tile_context(0, 0, false, []() -> Result<std::uint32_t> { return 9U; });
    EXPECT_EQ(result, 9U);
    sim.expect_unchanged();
}

struct FailureCase {
    const char* fault;
    const char* error;
    std::vector<testing::Access> tail;  // the traffic after the stop
};

TEST(ContextBracket, EveryFailureStillRestoresWhatTheBracketChanged) {
    const FailureCase cases[] = {
        // Saving M register 0 fails: no operation, no scratch restore.
        {"tile 5 fail-instruction 1 status 0x3",
         "invalid device data: TDI instruction failed with status 0x3",
         traffic({instruction(0, put_m0, 0x3), {W(TDI_RUN_BREAK, 0), W(TDI_RESUME, 1)}})},
        // The operation's instruction fails: the scratch restore and the release still happen.
        {"tile 5 fail-instruction 2 status 0x5",
         "invalid device data: TDI instruction failed with status 0x5",
         traffic({instruction(0, put_m0),
                  {R(TDI_DATA, 0xdead)},
                  instruction(0, get_muxpair_m0, 0x5),
                  {W(TDI_DATA, 0xdead)},
                  instruction(0, get_data_m0),
                  {W(TDI_RUN_BREAK, 0), W(TDI_RESUME, 1)}})},
        // Putting M register 0 back fails: that failure is given, and the context let go.
        {"tile 5 fail-instruction 4 status 0x1",
         "invalid device data: TDI instruction failed with status 0x1",
         traffic({instruction(0, put_m0),
                  {R(TDI_DATA, 0xdead)},
                  instruction(0, get_muxpair_m0),
                  instruction(0, put_m0),
                  {R(TDI_DATA, 17), W(TDI_DATA, 0xdead)},
                  instruction(0, get_data_m0, 0x1),
                  {W(TDI_RUN_BREAK, 0), W(TDI_RESUME, 1)}})},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.fault);
        SimulatedCard sim(std::string(running_supervisor) + c.fault + "\n");
        const Device device = sim.open();
        const auto result = device.read_tile_special_in_context(5, 0, get_muxpair_m0, false);
        ASSERT_FALSE(result);
        EXPECT_EQ(result.error().message(), c.error);
        const auto seen = sim.accesses();
        ASSERT_GE(seen.size(), 4 + c.tail.size());
        EXPECT_EQ(std::vector(seen.begin() + 4, seen.end()), c.tail);
        EXPECT_EQ(sim.card().context_state(5, 0), 1U);
        EXPECT_EQ(sim.card().violations(), 0U);
    }
}

TEST(ContextBracket, AFailedScratchRestoreLeavesMRegisterZeroChanged) {
    SimulatedCard sim(std::string(running_supervisor) + "tile 5 fail-instruction 4 status 0x1\n");
    const Device device = sim.open();
    EXPECT_FALSE(device.read_tile_special_in_context(5, 0, get_muxpair_m0, false));
    EXPECT_EQ(sim.card().m_register(5, 0, 0), 17U) << "the value the read moved through it";
}

TEST(ContextBracket, AnInstructionTimeoutEndsTheBracketAfterTheRelease) {
    SimulatedCard sim(std::string(running_supervisor) + "tile 5 busy forever\n");
    const Device device = sim.open();
    const auto result = device.read_tile_special_in_context(5, 0, get_muxpair_m0, false);
    ASSERT_FALSE(result);
    EXPECT_EQ(result.error().message(), "device timeout: TDI instruction");
    const auto seen = sim.accesses();
    EXPECT_EQ(seen[seen.size() - 2], W(TDI_RUN_BREAK, 0));
    EXPECT_EQ(seen.back(), W(TDI_RESUME, 1));
    sim.expect_unchanged();
}

// Device's tile debug operations, with the Nth write of one register reporting a failure after
// it was made. No card can fail a register access; this is how the precedence of such failures
// is shown.
class FailingWrites {
  public:
    FailingWrites(const Device& device, std::uint32_t reg, int nth)
        : device_(device), reg_(reg), nth_(nth) {}

    Result<std::uint32_t> tile_context_state(std::uint16_t tile, std::uint32_t context) const {
        return device_.tile_context_state(tile, context);
    }
    Result<std::uint32_t> read_tile_debug(std::uint16_t tile, std::uint32_t reg) const {
        return device_.read_tile_debug(tile, reg);
    }
    Result<void> write_tile_debug(std::uint16_t tile, std::uint32_t reg,
                                  std::uint32_t value) const {
        auto written = device_.write_tile_debug(tile, reg, value);
        if (reg == reg_ && ++seen_ == nth_) {
            return std::unexpected(
                DriverError::invalid("write of register " + std::to_string(reg) + " failed"));
        }
        return written;
    }
    Result<void> execute_tile_instruction(std::uint16_t tile, std::uint32_t context,
                                          std::uint32_t word) const {
        return device_.execute_tile_instruction(tile, context, word);
    }
    Result<std::uint32_t> read_tile_m_register_in_context(std::uint16_t tile, std::uint32_t context,
                                                          std::uint32_t reg) const {
        return device_.read_tile_m_register_in_context(tile, context, reg);
    }

  private:
    const Device& device_;
    std::uint32_t reg_;
    int nth_;
    mutable int seen_ = 0;
};

struct PrecedenceCase {
    const char* name;
    std::uint32_t failing_register;
    int nth;
    bool operation_fails;
    const char* error;
    bool resumed;
};

TEST(ContextBracketPrecedence, AFailedReleaseWinsOverTheOperationsOutcome) {
    const PrecedenceCase cases[] = {
        {"stop request fails", TDI_RUN_BREAK, 1, false,
         "invalid device data: write of register 1 failed", true},
        {"run-break restore fails after success", TDI_RUN_BREAK, 2, false,
         "invalid device data: write of register 1 failed", false},
        {"run-break restore fails after failure", TDI_RUN_BREAK, 2, true,
         "invalid device data: write of register 1 failed", false},
        {"resume fails after success", TDI_RESUME, 1, false,
         "invalid device data: write of register 6 failed", true},
        {"resume fails after failure", TDI_RESUME, 1, true,
         "invalid device data: write of register 6 failed", true},
        {"operation fails", TDI_DATA, 1, true, "device timeout: operation", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SimulatedCard sim(running_supervisor);
        const Device device = sim.open();
        const FailingWrites registers(device, c.failing_register, c.nth);
        int runs = 0;
        const auto result =
            detail::with_tile_context(registers, 5, 0, false, [&]() -> Result<std::uint32_t> {
                ++runs;
                if (c.operation_fails) {
                    return std::unexpected(DriverError::timeout("operation"));
                }
                return 1U;
            });
        ASSERT_FALSE(result);
        EXPECT_EQ(result.error().message(), c.error);
        // A failed stop request still ends in the release: the operation is skipped.
        EXPECT_EQ(runs, c.failing_register == TDI_RUN_BREAK && c.nth == 1 ? 0 : 1);
        EXPECT_EQ(sim.accesses().back() == W(TDI_RESUME, 1), c.resumed);
    }
}

TEST(ScratchPrecedence, TheOperationsFailureWinsOverAFailedScratchRestore) {
    SimulatedCard sim(running_supervisor);
    const Device device = sim.open();
    const FailingWrites data_write_fails(device, TDI_DATA, 1);
    const auto failed_operation = detail::with_tile_scratch<1>(
        data_write_fails, 5, 0, false,
        []() -> Result<std::uint32_t> { return std::unexpected(DriverError::timeout("op")); });
    EXPECT_EQ(failed_operation.error().message(), "device timeout: op");

    const FailingWrites again(device, TDI_DATA, 1);
    const auto succeeded_operation = detail::with_tile_scratch<1>(
        again, 5, 0, false, []() -> Result<std::uint32_t> { return 4U; });
    EXPECT_EQ(succeeded_operation.error().message(),
              "invalid device data: write of register 7 failed");
    sim.expect_unchanged();
}

TEST(ScratchPrecedence, SavesAndRestoresSeveralScratchRegistersInOrder) {
    SimulatedCard sim(
        "tiles 1\ntile 0 context 1 state 2\ntile 0 context 1 m 0 10\n"
        "tile 0 context 1 m 1 11\n");
    const Device device = sim.open();
    const auto result =
        device.with_tile_scratch<2>(0, 1, false, []() -> Result<std::uint32_t> { return 0U; });
    EXPECT_TRUE(result);
    EXPECT_EQ(sim.accesses(), traffic({
                                  {R(TDI_STATUS, 0x8), R(TDI_RUN_BREAK, 0)},
                                  instruction(1, 0x43008070),
                                  {R(TDI_DATA, 10)},
                                  instruction(1, 0x43108070),
                                  {R(TDI_DATA, 11), W(TDI_DATA, 11)},
                                  instruction(1, 0x41010070),
                                  {W(TDI_DATA, 10)},
                                  instruction(1, 0x41000070),
                              }));
    sim.expect_unchanged();
}

}  // namespace
}  // namespace vek_driver
