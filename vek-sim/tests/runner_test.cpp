// The vek-sim runner end to end, with the probe program as the command.

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "vek_sim/card.hpp"
#include "vek_sim/process.hpp"

namespace vek_sim {
namespace {

using ::testing::HasSubstr;
using ::testing::StartsWith;

const std::string runner = VEK_SIM_RUNNER;
const std::string probe = VEK_SIM_PROBE;

class Runner : public ::testing::Test {
  protected:
    void SetUp() override {
        directory_ = std::filesystem::temp_directory_path() /
                     ("vek-sim-runner-" + std::to_string(getpid()) + "-" +
                      ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(directory_);
    }
    void TearDown() override { std::filesystem::remove_all(directory_); }

    std::string file(const std::string& name, const std::string& text) {
        const auto path = directory_ / name;
        std::ofstream(path) << text;
        return path.string();
    }
    std::string path(const std::string& name) { return (directory_ / name).string(); }

    ProcessResult run(std::vector<std::string> argv,
                      std::vector<std::pair<std::string, std::string>> environment = {},
                      std::optional<ProcessRequest::DelayedSignal> signal = std::nullopt) {
        argv.insert(argv.begin(), runner);
        ProcessRequest request{argv, std::move(environment)};
        request.timeout = std::chrono::milliseconds(20'000);
        request.send_signal = signal;
        auto result = run_process(request);
        if (!result) {
            ADD_FAILURE() << result.error();
            return {};
        }
        return std::move(*result);
    }

    std::filesystem::path directory_;
};

constexpr const char* card_text =
    "tiles 4\n"
    "default supervisor state 1\n"
    "tile 2 exchange 7 9\n";

TEST_F(Runner, ServesTheDefaultNodeAndReportsAfterTheCommand) {
    ASSERT_FALSE(std::filesystem::exists("/dev/vek0"));
    const ProcessResult result =
        run({"--summary", file("card", card_text), "--", probe, "open", "map", "attach", "set-id",
             "read", "0x300a8", "unmap", "close"});
    EXPECT_EQ(result.exit_status, 0);
    EXPECT_EQ(result.out, "0x300a8 = 0x7\n");
    EXPECT_EQ(result.err,
              "summary: 1 register accesses (1 reads, 0 writes), 6 driver calls\n"
              "summary: 0 stops, 0 resumes, 0 instructions (0 failed), 0 violations\n"
              "check: the card is as loaded\n");
}

TEST_F(Runner, GivesTheCommandsExitStatus) {
    const std::string card = file("card", std::string(card_text) + "fault open EACCES\n");
    const ProcessResult failed = run({card, "--", probe, "open"});
    EXPECT_EQ(failed.exit_status, 1);
    EXPECT_EQ(failed.err, "open: Permission denied\n");
    EXPECT_EQ(run({card, "--", probe, "raise", "15"}).exit_status, 128 + SIGTERM);
    EXPECT_EQ(run({card, "--", "vek-no-such-program"}).exit_status, 127);
}

TEST_F(Runner, KeepsTheStateOfACommandKilledMidway) {
    const std::string state = path("state");
    const ProcessResult result =
        run({"--state", state, file("card", std::string(card_text) + "interrupt SIGKILL at 2\n"),
             "--", probe, "open", "map", "write", "0x30044", "1", "read", "0x30040", "write",
             "0x30044", "0", "write", "0x30058", "1"});
    EXPECT_EQ(result.exit_status, 128 + SIGKILL);
    EXPECT_EQ(result.out, "");

    auto card = Card::open(state);
    ASSERT_TRUE(card) << card.error();
    EXPECT_EQ(card->counters().accesses, 2u);
    EXPECT_EQ(card->context_state(1, 0), 2);
    EXPECT_EQ(card->run_break(1), 1u);
    EXPECT_EQ(card->driver_calls().size(), 2u);

    const ProcessResult check = run({"show", state, "--check"});
    EXPECT_EQ(check.exit_status, 1);
    EXPECT_EQ(check.out,
              "check: 2 differences from the card as loaded:\n"
              "  tile 1 context 0: state 1 at load, now 2\n"
              "  tile 1: TDI_RUN_BREAK 0x0 at load, now 0x1\n");
    const ProcessResult log = run({"show", state, "--log"});
    EXPECT_EQ(log.exit_status, 0);
    EXPECT_THAT(log.out, HasSubstr("open(\"/dev/vek0\", 0x80002, 0) = "));
    EXPECT_THAT(log.out, HasSubstr("write 0x030044 tile 1 TDI_RUN_BREAK = 0x00000001\n"));
    EXPECT_THAT(log.out, HasSubstr("read  0x030040 tile 1 TDI_STATUS = 0x00000002\n"));
}

TEST_F(Runner, InterruptFaultsEndTheCommandAtTheSameAccessEveryTime) {
    for (const auto& [name, signal] :
         {std::pair{"SIGINT", SIGINT}, {"SIGTERM", SIGTERM}, {"SIGHUP", SIGHUP}}) {
        const std::string state = path(std::string("state-") + name);
        const std::string card =
            file("card", std::string(card_text) + "interrupt " + name + " at 3\n");
        const ProcessResult result =
            run({"--state", state, card, "--", probe, "open", "map", "read", "0x10", "read", "0x14",
                 "read", "0x18", "read", "0x1c"});
        EXPECT_EQ(result.exit_status, 128 + signal) << name;
        EXPECT_EQ(result.out, "0x10 = 0\n0x14 = 0\n") << name;
        auto kept = Card::open(state);
        ASSERT_TRUE(kept) << kept.error();
        EXPECT_EQ(kept->counters().accesses, 3u) << name;
    }
}

TEST_F(Runner, ShowCheckPassesForAnUntouchedCard) {
    const std::string state = path("state");
    EXPECT_EQ(run({"--state", state, file("card", card_text), "--", "true"}).exit_status, 0);
    const ProcessResult check = run({"show", state, "--check"});
    EXPECT_EQ(check.exit_status, 0);
    EXPECT_EQ(check.out, "check: the card is as loaded\n");
}

TEST_F(Runner, TemporaryStateFileIsRemoved) {
    const ProcessResult result =
        run({file("card", card_text), "--", "sh", "-c", "echo \"$VEK_SIM_STATE\""},
            {{"TMPDIR", directory_.string()}});
    ASSERT_EQ(result.exit_status, 0);
    const std::string state = result.out.substr(0, result.out.size() - 1);
    EXPECT_THAT(state, StartsWith(directory_.string()));
    EXPECT_FALSE(std::filesystem::exists(state));
}

TEST_F(Runner, ForwardsATerminationSignalToTheCommand) {
    const ProcessResult result =
        run({file("card", card_text), "--", probe, "open", "map", "sleep", "10000"}, {},
            ProcessRequest::DelayedSignal{SIGTERM, std::chrono::milliseconds(1000)});
    EXPECT_EQ(result.exit_status, 128 + SIGTERM);
    EXPECT_FALSE(result.timed_out);
}

TEST_F(Runner, OtherNodeAndReportFile) {
    const std::string node = path("vek1");
    const std::string report = path("report");
    const ProcessResult result = run({"--node", node, "--log", "--report", report,
                                      file("card", card_text), "--", probe, "open", node, "close"});
    EXPECT_EQ(result.exit_status, 0);
    EXPECT_EQ(result.err, "");
    EXPECT_FALSE(std::filesystem::exists(node)) << "the node is never created";
    std::ifstream in(report);
    const std::string text((std::istreambuf_iterator<char>(in)), {});
    EXPECT_THAT(text, StartsWith("log: 0 register accesses, 2 driver calls\n"));
    EXPECT_THAT(text, HasSubstr("open(\"" + node + "\", 0x80002, 0) = "));
}

TEST_F(Runner, LetsAnAddressSanitizedCommandStart) {
    const ProcessResult result =
        run({file("card", card_text), "--", "sh", "-c", "echo \"$ASAN_OPTIONS\""},
            {{"ASAN_OPTIONS", "detect_leaks=0"}});
    EXPECT_EQ(result.out, "detect_leaks=0:verify_asan_link_order=0\n");
}

struct UsageCase {
    std::vector<std::string> arguments;
    std::string error;
};

class RunnerUsage : public Runner, public ::testing::WithParamInterface<UsageCase> {};

TEST_P(RunnerUsage, IsRefusedWithStatusTwo) {
    const ProcessResult result = run(GetParam().arguments);
    EXPECT_EQ(result.exit_status, 2);
    EXPECT_EQ(result.err,
              "error: " + GetParam().error +
                  "\n\nUsage: vek-sim [OPTIONS] SCENARIO -- COMMAND [ARGS...]\n"
                  "       vek-sim show FILE [--log] [--final-state] [--summary] [--check]\n"
                  "\nFor more information, try '--help'.\n");
    EXPECT_EQ(result.out, "");
}

INSTANTIATE_TEST_SUITE_P(
    Table, RunnerUsage,
    ::testing::Values(UsageCase{{}, "missing SCENARIO"},
                      UsageCase{{"a.card"}, "missing COMMAND after '--'"},
                      UsageCase{{"a.card", "--"}, "missing COMMAND after '--'"},
                      UsageCase{{"--verbose", "a.card", "--", "true"},
                                "unknown option '--verbose'"},
                      UsageCase{{"--node"}, "'--node' needs a value"},
                      UsageCase{{"a.card", "b.card", "--", "true"},
                                "unexpected argument 'b.card' (the command goes after '--')"},
                      UsageCase{{"show"}, "show needs a state FILE"},
                      UsageCase{{"show", "f", "--keep"}, "unknown option '--keep' for show"}));

TEST_F(Runner, ScenarioErrorsNameTheFileAndLine) {
    const std::string card = file("bad.card", "tiles 4\ntile 3 context 9 state 1\n");
    const ProcessResult result = run({card, "--", "true"});
    EXPECT_EQ(result.exit_status, 2);
    EXPECT_EQ(result.err, "vek-sim: " + card + ":2: context number 9 is out of range 0..6\n");
}

TEST_F(Runner, Help) {
    const ProcessResult result = run({"--help"});
    EXPECT_EQ(result.exit_status, 0);
    EXPECT_THAT(result.out, StartsWith("Run a command with a simulated VEK card"));
}

}  // namespace
}  // namespace vek_sim
