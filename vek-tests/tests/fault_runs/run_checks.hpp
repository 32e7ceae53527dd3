#pragma once

// Checks of a run's form that need nothing but its output and the card's log.

#include <cstdint>
#include <expected>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "vek_sim/card.hpp"

namespace live_state::fault_runs {

// What is wrong with a run's standard output: every line must be a supervisor or worker line,
// logical tiles ascending, workers 1 to 6 in order within a tile.
std::vector<std::string> output_problems(const std::string& out, bool workers);

// A failed run's error report: "Error: TOP", then nothing or "Caused by:" and the causes.
struct ErrorReport {
    std::string top;
    std::vector<std::string> causes;
};

// Parses standard error as exactly one report in the tool's layout (one cause indented by four,
// several numbered), or says what is wrong with it.
std::expected<ErrorReport, std::string> parse_report(const std::string& err);

// The (tile, context) pairs whose scratch register (M register 0) was not put back because the
// card failed, or never completed, the instruction that restores it.
std::set<std::pair<std::uint32_t, std::uint32_t>> unrestored_scratch(const vek_sim::Card& card);

}  // namespace live_state::fault_runs
