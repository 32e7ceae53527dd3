// vek-sim: runs a command with a simulated card, or shows a card kept from an earlier run.

#include <fmt/format.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "run_with_card.hpp"
#include "runner_options.hpp"
#include "vek_sim/card.hpp"
#include "vek_sim/preload_environment.hpp"
#include "vek_sim/report.hpp"
#include "vek_sim/scenario.hpp"

namespace {

using namespace vek_sim;

constexpr int usage_status = 2;

int usage_error(const std::string& message) {
    fmt::print(stderr, "error: {}\n\n{}\nFor more information, try '--help'.\n", message,
               runner_usage);
    return usage_status;
}

int failure(const std::string& message) {
    fmt::print(stderr, "vek-sim: {}\n", message);
    return usage_status;
}

std::string reports(const Card& card, const ReportChoice& choice) {
    std::string out;
    if (choice.log) {
        out += render_log(card);
    }
    if (choice.final_state) {
        out += render_final_state(card);
    }
    if (choice.summary) {
        out += render_summary(card);
    }
    return out;
}

// The preload library lies beside the runner in a build tree, and in the package's library
// directory (PREFIX/lib/exchange_live_state) when installed.
std::string preload_library_path() {
    std::error_code error;
    const auto directory = std::filesystem::read_symlink("/proc/self/exe", error).parent_path();
    const auto beside = directory / preload_library_name;
    const auto installed =
        directory.parent_path() / "lib" / "exchange_live_state" / preload_library_name;
    return (std::filesystem::exists(beside, error) || !std::filesystem::exists(installed, error)
                ? beside
                : installed)
        .string();
}

int show(const ShowRequest& request) {
    auto card = Card::open(request.state_file);
    if (!card) {
        return failure(card.error());
    }
    ReportChoice choice = request.report;
    if (!choice.log && !choice.final_state && !choice.summary && !request.check) {
        choice.summary = true;
    }
    std::string out = reports(*card, choice);
    const auto differences = card->check();
    if (request.check && !choice.summary) {
        out += render_check(differences);
    }
    std::fwrite(out.data(), 1, out.size(), stdout);
    return request.check && !differences.empty() ? 1 : 0;
}

int run(const RunRequest& request) {
    auto scenario = load_scenario_file(request.scenario);
    if (!scenario) {
        return failure(scenario.error());
    }
    if (request.node.size() >= node_path_capacity) {
        return failure(fmt::format("node path '{}' is too long", request.node));
    }
    auto card = Card::create(*scenario, request.state_file);
    if (!card) {
        return failure(card.error());
    }
    std::strncpy(card->header().stand_in.node, request.node.c_str(), node_path_capacity - 1);
    const std::string library = preload_library_path();
    if (access(library.c_str(), R_OK) != 0) {
        return failure(fmt::format("cannot find {}", library));
    }
    const auto status =
        run_with_card(request.command, CardEnvironment{library, card->path(), request.node});
    if (!status) {
        return failure(status.error());
    }
    const std::string out = reports(*card, request.report);
    if (!request.report_file.empty()) {
        std::ofstream file(request.report_file, std::ios::binary | std::ios::trunc);
        file << out;
        if (!file.flush()) {
            fmt::print(stderr, "vek-sim: cannot write {}\n", request.report_file);
        }
    } else if (!out.empty()) {
        std::fwrite(out.data(), 1, out.size(), stderr);
    }
    return *status;
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    const auto request = parse_runner_arguments(arguments);
    if (!request) {
        return usage_error(request.error());
    }
    if (std::holds_alternative<HelpRequest>(*request)) {
        std::fputs(runner_help, stdout);
        return 0;
    }
    if (const auto* show_request = std::get_if<ShowRequest>(&*request)) {
        return show(*show_request);
    }
    return run(std::get<RunRequest>(*request));
}
