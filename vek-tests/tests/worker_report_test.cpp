// The worker report of the built tool on simulated cards.

#include <gtest/gtest.h>

#include <fmt/format.h>

#include "tool_run.hpp"
#include "vek_exchange/q720.hpp"

namespace live_state {
namespace {

using testing::expect_card_unchanged;
using testing::idle;
using testing::lines;
using testing::run_tool;
using testing::tile;
using vek_exchange::q720_logical_to_physical;

std::string idle_worker(std::uint16_t logical, std::uint32_t worker) {
    return fmt::format("logical={} worker={} status=0x00000000 exception=None pointers=[0, 0, 0]",
                       logical, worker);
}

TEST(WorkerReport, SixLinesPerTileWithStatusExceptionAndPointers) {
    const std::string card =
        idle + tile(2, "context 3 status-word 0x80") + tile(2, "context 3 m 3 4096") +
        tile(2, "context 3 m 4 65535") + tile(2, "context 5 state 2") +
        tile(2, "context 5 status-word 0xffffff0f") + tile(2, "context 6 state 0");
    const auto run = run_tool(card, {"--workers", "--tile", "2"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(lines(run.out),
              (std::vector<std::string>{
                  idle_worker(2, 1),
                  idle_worker(2, 2),
                  "logical=2 worker=3 status=0x00000080 exception=InvalidMemoryAddress "
                  "pointers=[0, 4096, 65535]",
                  idle_worker(2, 4),
                  "logical=2 worker=5 status=0xffffff0f exception=None pointers=[0, 0, 0]",
                  idle_worker(2, 6),
              }));
    expect_card_unchanged(run);
}

TEST(WorkerReport, ProgramCounterSwitchChangesNothing) {
    const std::string card =
        idle + tile(0, "context 1 status-word 0xf0") + tile(0, "context 0 pc 7");
    const auto plain = run_tool(card, {"--workers", "--tile", "0"});
    const auto with_pc = run_tool(card, {"--workers", "--tile", "0", "--program-counter"});
    EXPECT_EQ(plain.status, 0);
    EXPECT_EQ(with_pc.status, 0);
    EXPECT_EQ(lines(plain.out)[0],
              "logical=0 worker=1 status=0x000000f0 exception=InstructionBreak pointers=[0, 0, 0]");
    EXPECT_EQ(with_pc.out, plain.out);
    EXPECT_EQ(with_pc.card->counters().instructions, plain.card->counters().instructions);
    expect_card_unchanged(with_pc);
}

TEST(WorkerReport, WholeCardGivesSixLinesForEveryTile) {
    const auto run = run_tool(idle, {"--workers"});
    EXPECT_EQ(run.status, 0) << run.err;
    const auto printed = lines(run.out);
    ASSERT_EQ(printed.size(), 8832U);
    for (std::size_t i = 0; i < printed.size(); ++i) {
        const auto logical = static_cast<std::uint16_t>(i / 6);
        ASSERT_EQ(printed[i], idle_worker(logical, static_cast<std::uint32_t>(i % 6 + 1))) << i;
    }
    expect_card_unchanged(run);
}

TEST(WorkerReport, TileBeyondTheCardPrintsNothing) {
    const auto run = run_tool(idle, {"--workers", "--tile", "2000"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "");
    EXPECT_TRUE(run.card->accesses().empty());
}

TEST(WorkerReport, AFailedReadIsReportedWithoutATileNote) {
    // Per worker: four instructions for the status word, one per M register. The 27th
    // instruction of the tile is worker 4's M register 3.
    const auto run =
        run_tool(idle + tile(10, "fail-instruction 27 status 0x15"), {"--workers", "--tile", "10"});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "Error: invalid device data: TDI instruction failed with status 0x15\n");
    EXPECT_EQ(lines(run.out),
              (std::vector{idle_worker(10, 1), idle_worker(10, 2), idle_worker(10, 3)}));
    // M register 4 of worker 4 was not read.
    std::size_t m4_reads = 0;
    for (const auto& record : run.card->accesses()) {
        m4_reads += record.reg == 3 && record.value == 0x43408070 ? 1 : 0;
    }
    EXPECT_EQ(m4_reads, 3U);
    expect_card_unchanged(run);
}

TEST(WorkerReport, AWorkerThatNeverStopsTimesOut) {
    const auto run = run_tool(idle + tile(1, "context 2 never-stops"), {"--workers"});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "Error: device timeout: stopping tile context\n");
    EXPECT_EQ(lines(run.out).size(), 7U);
    expect_card_unchanged(run);
}

}  // namespace
}  // namespace live_state
