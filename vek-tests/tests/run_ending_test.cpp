// Runs that end early for reasons outside the card: standard output closed by its reader, and
// signals asking the tool to stop. Neither may leave a context stopped or a register changed.

#include <gtest/gtest.h>

#include <csignal>
#include <cstring>

#include "tool_run.hpp"

namespace live_state {
namespace {

using testing::expect_card_unchanged;
using testing::idle;
using testing::lines;
using testing::run_tool;

TEST(RunEnding, ClosedStandardOutputEndsTheRunAtOnce) {
    const auto run = run_tool(idle, {"--workers"},
                              {.shell_suffix = " | head -1; echo \"status=${PIPESTATUS[0]}\" >&2"});
    EXPECT_EQ(run.out, "logical=0 worker=1 status=0x00000000 exception=None pointers=[0, 0, 0]\n");
    EXPECT_EQ(run.err, std::string("Error: write report to standard output\n\nCaused by:\n    ") +
                           std::strerror(EPIPE) + " (os error 32)\nstatus=1\n");
    expect_card_unchanged(run);
    // It stopped long before the end of the card.
    EXPECT_LT(run.card->counters().instructions, 8832U * 7U / 2U);
}

TEST(RunEnding, ASignalEndsTheRunAfterTheQueryInHand) {
    const std::pair<const char*, int> cases[] = {
        {"SIGINT", SIGINT}, {"SIGTERM", SIGTERM}, {"SIGHUP", SIGHUP}};
    for (const auto& [name, signal] : cases) {
        SCOPED_TRACE(name);
        // The signal arrives in the middle of a context bracket.
        const auto run = run_tool(idle + "interrupt " + name + " at 5003\n", {"--workers"});
        EXPECT_EQ(run.status, 128 + signal);
        EXPECT_EQ(run.err, std::string("Error: interrupted by ") + name + "\n");
        EXPECT_FALSE(lines(run.out).empty());
        expect_card_unchanged(run);
    }
}

TEST(RunEnding, ASignalFromOutsideIsHandledTheSameWay) {
    // Every instruction shows busy a few times, so that the scan outlasts the delay.
    const auto run = run_tool(idle + "tile 0..1471 busy 3\n", {"--workers"},
                              {.send_signal = vek_sim::ProcessRequest::DelayedSignal{
                                   SIGTERM, std::chrono::milliseconds(300)}});
    EXPECT_EQ(run.status, 128 + SIGTERM);
    EXPECT_EQ(run.err, "Error: interrupted by SIGTERM\n");
    expect_card_unchanged(run);
}

}  // namespace
}  // namespace live_state
