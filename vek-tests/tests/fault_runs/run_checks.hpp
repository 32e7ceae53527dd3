#pragma once

#include <set>
#include <string>
#include <utility>
#include <vector>

#include "vek_sim/card.hpp"

namespace live_state::fault_runs {

// What is wrong with a run's standard output: every line must be a supervisor or worker line,
// logical tiles ascending, workers 1 to 6 in order within a tile.
std::vector<std::string> output_problems(const std::string& out, bool workers);

// What is wrong with a failed run's standard error: one report, "Error: " and a message the
// tool can give, then either nothing or "Caused by:" with the causes in one of its two forms.
std::vector<std::string> report_problems(const std::string& err);

// The (tile, context) pairs whose M register 0 could not be put back because the card failed
// the instruction that restores it: the one change to a card that a run may leave, and reports.
std::set<std::pair<std::uint32_t, std::uint32_t>> failed_scratch_restores(
    const vek_sim::Card& card);

}  // namespace live_state::fault_runs
