#pragma once

// Runs a program and captures what it prints, for end-to-end tests.

#include <chrono>
#include <expected>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace vek_sim {

struct ProcessRequest {
    std::vector<std::string> argv;  // argv[0] is looked up in PATH unless it holds a '/'
    // Set in the child's environment on top of this process's (an empty value sets it empty).
    std::vector<std::pair<std::string, std::string>> environment = {};
    // Written to standard input, which is then closed; without it standard input is /dev/null.
    std::optional<std::string> input = {};
    // The child is killed with SIGKILL when it runs longer.
    std::optional<std::chrono::milliseconds> timeout = {};
    // Sends `signal` to the child once, `after` it was started (for interrupt tests).
    struct DelayedSignal {
        int signal;
        std::chrono::milliseconds after;
    };
    std::optional<DelayedSignal> send_signal = {};
};

struct ProcessResult {
    std::string out;
    std::string err;
    std::optional<int> exit_status;  // set when the program exited
    std::optional<int> signal;       // set when a signal ended it
    bool timed_out = false;          // killed because it ran past the timeout
};

// Fails only when the program could not be started (its text names the program and the
// reason); a program that ran and failed is a ProcessResult.
std::expected<ProcessResult, std::string> run_process(const ProcessRequest& request);

}  // namespace vek_sim
