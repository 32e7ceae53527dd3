// The process utility that end-to-end tests run programs with.

#include <gtest/gtest.h>
#include <signal.h>

#include "vek_sim/process.hpp"

namespace vek_sim {
namespace {

ProcessResult run(ProcessRequest request) {
    auto result = run_process(request);
    if (!result) {
        ADD_FAILURE() << result.error();
        return {};
    }
    return std::move(*result);
}

TEST(Process, CapturesBothStreamsAndTheExitStatus) {
    const ProcessResult result = run({{"sh", "-c", "echo out; echo err >&2; exit 3"}});
    EXPECT_EQ(result.out, "out\n");
    EXPECT_EQ(result.err, "err\n");
    EXPECT_EQ(result.exit_status, 3);
    EXPECT_FALSE(result.signal);
    EXPECT_FALSE(result.timed_out);
}

TEST(Process, FeedsInputAndEnvironment) {
    ProcessRequest request{{"sh", "-c", "cat; echo \"[$VEK_TEST_X]\""}};
    request.input = "line one\nline two\n";
    request.environment = {{"VEK_TEST_X", "given"}};
    const ProcessResult result = run(request);
    EXPECT_EQ(result.out, "line one\nline two\n[given]\n");
    EXPECT_EQ(result.exit_status, 0);
}

TEST(Process, WithoutInputStandardInputIsEmpty) {
    EXPECT_EQ(run({{"wc", "-c"}}).out, "0\n");
}

TEST(Process, CapturesLargeOutputWhole) {
    const ProcessResult result = run({{"head", "-c", "3000000", "/dev/zero"}});
    EXPECT_EQ(result.out.size(), 3'000'000u);
}

TEST(Process, ReportsTheSignalThatEndedTheProgram) {
    const ProcessResult result = run({{"sh", "-c", "kill -TERM $$"}});
    EXPECT_EQ(result.signal, SIGTERM);
    EXPECT_FALSE(result.exit_status);
}

TEST(Process, KillsAProgramPastItsTimeout) {
    ProcessRequest request{{"sleep", "20"}};
    request.timeout = std::chrono::milliseconds(100);
    const ProcessResult result = run(request);
    EXPECT_TRUE(result.timed_out);
    EXPECT_EQ(result.signal, SIGKILL);
}

TEST(Process, SendsASignalAfterADelay) {
    ProcessRequest request{{"sh", "-c", "trap 'echo got; exit 7' TERM; sleep 20 & wait"}};
    request.send_signal = ProcessRequest::DelayedSignal{SIGTERM, std::chrono::milliseconds(200)};
    request.timeout = std::chrono::milliseconds(10'000);
    const ProcessResult result = run(request);
    EXPECT_EQ(result.out, "got\n");
    EXPECT_EQ(result.exit_status, 7);
}

TEST(Process, AProgramThatCannotStartIsAnError) {
    const auto result = run_process({{"vek-no-such-program"}});
    ASSERT_FALSE(result);
    EXPECT_EQ(result.error(), "cannot run vek-no-such-program: No such file or directory");
}

}  // namespace
}  // namespace vek_sim
