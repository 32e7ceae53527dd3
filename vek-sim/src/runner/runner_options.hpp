#pragma once

#include <expected>
#include <string>
#include <variant>
#include <vector>

namespace vek_sim {

// What to print about the card after the command (or from a kept state file).
struct ReportChoice {
    bool log = false;
    bool final_state = false;
    bool summary = false;
};

// vek-sim [OPTIONS] SCENARIO -- COMMAND [ARGS...]
struct RunRequest {
    std::string scenario;
    std::vector<std::string> command;
    std::string node = "/dev/vek0";
    std::string state_file;   // empty: a temporary file, removed at the end
    std::string report_file;  // empty: standard error
    ReportChoice report;
};

// vek-sim show FILE [--log] [--final-state] [--summary] [--check]
struct ShowRequest {
    std::string state_file;
    ReportChoice report;
    bool check = false;
};

struct HelpRequest {};

using RunnerRequest = std::variant<RunRequest, ShowRequest, HelpRequest>;

// Reads the runner's arguments (without the program name); errors are one-line texts.
std::expected<RunnerRequest, std::string> parse_runner_arguments(
    const std::vector<std::string>& arguments);

extern const char* const runner_usage;
extern const char* const runner_help;

}  // namespace vek_sim
