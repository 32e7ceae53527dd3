#include "runner_options.hpp"

#include <fmt/format.h>

#include <cstddef>

namespace vek_sim {

const char* const runner_usage =
    "Usage: vek-sim [OPTIONS] SCENARIO -- COMMAND [ARGS...]\n"
    "       vek-sim show FILE [--log] [--final-state] [--summary] [--check]\n";

const char* const runner_help =
    "Run a command with a simulated VEK card behind its device node\n"
    "\n"
    "Usage: vek-sim [OPTIONS] SCENARIO -- COMMAND [ARGS...]\n"
    "       vek-sim show FILE [--log] [--final-state] [--summary] [--check]\n"
    "\n"
    "The card is loaded from the SCENARIO file and served, for COMMAND and its children, at the\n"
    "device node (which need not exist). The exit status is the command's, 128 + the signal if a\n"
    "signal ended it. SIGINT, SIGTERM and SIGHUP sent to vek-sim are passed on to the command.\n"
    "\n"
    "Options:\n"
    "      --node <PATH>    Device node to simulate [default: /dev/vek0]\n"
    "      --state <FILE>   Keep the card's state file at FILE (else a temporary one is removed)\n"
    "      --log            After the command, print every register access and driver call\n"
    "      --final-state    After the command, print the card's tiles that are not at default\n"
    "      --summary        After the command, print the counts and the check of the card\n"
    "      --report <FILE>  Print those to FILE instead of standard error\n"
    "  -h, --help           Print help\n"
    "\n"
    "show prints the same from a kept state file; with --check it also prints the check and\n"
    "exits with status 1 when the card differs from its loaded state in a way that a reading\n"
    "program must not cause.\n";

namespace {

bool report_option(const std::string& argument, ReportChoice& report) {
    if (argument == "--log") {
        report.log = true;
    } else if (argument == "--final-state") {
        report.final_state = true;
    } else if (argument == "--summary") {
        report.summary = true;
    } else {
        return false;
    }
    return true;
}

std::expected<RunnerRequest, std::string> parse_show(const std::vector<std::string>& arguments) {
    ShowRequest show;
    for (std::size_t i = 1; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (report_option(argument, show.report)) {
            continue;
        }
        if (argument == "--check") {
            show.check = true;
        } else if (argument.starts_with("-")) {
            return std::unexpected(fmt::format("unknown option '{}' for show", argument));
        } else if (show.state_file.empty()) {
            show.state_file = argument;
        } else {
            return std::unexpected(fmt::format("unexpected argument '{}'", argument));
        }
    }
    if (show.state_file.empty()) {
        return std::unexpected("show needs a state FILE");
    }
    return show;
}

}  // namespace

std::expected<RunnerRequest, std::string> parse_runner_arguments(
    const std::vector<std::string>& arguments) {
    if (!arguments.empty() && arguments[0] == "show") {
        return parse_show(arguments);
    }
    RunRequest run;
    std::size_t i = 0;
    for (; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (argument == "--") {
            break;
        }
        if (argument == "-h" || argument == "--help") {
            return HelpRequest{};
        }
        if (report_option(argument, run.report)) {
            continue;
        }
        std::string* value = argument == "--node"     ? &run.node
                             : argument == "--state"  ? &run.state_file
                             : argument == "--report" ? &run.report_file
                                                      : nullptr;
        if (value != nullptr) {
            if (i + 1 >= arguments.size() || arguments[i + 1] == "--") {
                return std::unexpected(fmt::format("'{}' needs a value", argument));
            }
            *value = arguments[++i];
            if (value->empty()) {
                return std::unexpected(fmt::format("'{}' needs a non-empty value", argument));
            }
        } else if (argument.starts_with("-")) {
            return std::unexpected(fmt::format("unknown option '{}'", argument));
        } else if (run.scenario.empty()) {
            run.scenario = argument;
        } else {
            return std::unexpected(
                fmt::format("unexpected argument '{}' (the command goes after '--')", argument));
        }
    }
    if (run.scenario.empty()) {
        return std::unexpected("missing SCENARIO");
    }
    if (i + 1 >= arguments.size()) {
        return std::unexpected("missing COMMAND after '--'");
    }
    run.command.assign(arguments.begin() + static_cast<std::ptrdiff_t>(i + 1), arguments.end());
    return run;
}

}  // namespace vek_sim
