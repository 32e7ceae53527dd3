#pragma once

// Runs the built exchange_live_state under the vek-sim runner on a card made from scenario text,
// and keeps the card's state file so that a test can see what the run did to the card.

#include <gtest/gtest.h>
#include <unistd.h>

#include <fmt/format.h>

#include <cstdlib>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "vek_exchange/q720.hpp"
#include "vek_sim/card.hpp"
#include "vek_sim/process.hpp"

namespace live_state::testing {

// A card whose supervisors and workers all run, with nothing else of note.
inline const std::string idle = "default supervisor state 1\ndefault worker state 1\n";

// A scenario line for the tile with this logical number.
inline std::string tile(std::uint16_t logical, const std::string& setting) {
    return fmt::format("tile {} {}\n", vek_exchange::q720_logical_to_physical(logical), setting);
}

struct ToolRun {
    std::string out;
    std::string err;
    int status = -1;  // the exit status, or 128 + the signal
    std::optional<vek_sim::Card> card;
};

struct RunOptions {
    std::optional<vek_sim::ProcessRequest::DelayedSignal> send_signal = {};
    // Runs the tool through `bash -c` with this text after it, for pipelines.
    std::string shell_suffix = {};
};

class TemporaryDirectory {
  public:
    TemporaryDirectory() {
        char pattern[] = "/tmp/exchange-live-state-test-XXXXXX";
        path_ = ::mkdtemp(pattern);
    }
    ~TemporaryDirectory() { std::system(("rm -rf '" + path_ + "'").c_str()); }
    [[nodiscard]] std::string file(const std::string& name) const { return path_ + "/" + name; }

  private:
    std::string path_;
};

inline ToolRun run_tool(const std::string& scenario, const std::vector<std::string>& arguments,
                        const RunOptions& options = {}) {
    const TemporaryDirectory directory;
    const std::string scenario_file = directory.file("card.card");
    const std::string state_file = directory.file("card.state");
    std::ofstream(scenario_file) << scenario;

    std::vector<std::string> argv = {VEK_SIM_RUNNER, "--state", state_file, scenario_file, "--"};
    if (options.shell_suffix.empty()) {
        argv.push_back(EXCHANGE_LIVE_STATE);
        argv.insert(argv.end(), arguments.begin(), arguments.end());
    } else {
        std::string command = std::string("'") + EXCHANGE_LIVE_STATE + "'";
        for (const auto& argument : arguments) {
            command += " '" + argument + "'";
        }
        argv.insert(argv.end(), {"/bin/bash", "-c", command + options.shell_suffix});
    }
    vek_sim::ProcessRequest request{argv};
    request.timeout = std::chrono::minutes(5);
    request.send_signal = options.send_signal;
    auto result = vek_sim::run_process(request);
    if (!result) {
        ADD_FAILURE() << result.error();
        return {};
    }
    ToolRun run{result->out, result->err, -1, std::nullopt};
    EXPECT_FALSE(result->timed_out);
    if (result->exit_status) {
        run.status = *result->exit_status;
    } else if (result->signal) {
        run.status = 128 + *result->signal;
    }
    auto card = vek_sim::Card::open(state_file);
    if (card) {
        run.card.emplace(std::move(*card));
    }
    return run;
}

// The card after the run is as it was loaded: every context in its state, every run-break
// register and M register as before, and no instruction run in a running context.
inline void expect_card_unchanged(const ToolRun& run) {
    ASSERT_TRUE(run.card.has_value()) << "no card state after the run";
    for (const auto& difference : run.card->check()) {
        ADD_FAILURE() << difference.message();
    }
    EXPECT_EQ(run.card->violations(), 0U);
}

// Every line of a text that ends with a newline.
inline std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> all;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find('\n', start);
        all.push_back(text.substr(start, end - start));
        start = end == std::string::npos ? text.size() : end + 1;
    }
    return all;
}

}  // namespace live_state::testing
