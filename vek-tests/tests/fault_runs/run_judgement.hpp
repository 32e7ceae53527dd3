#pragma once

#include <string>
#include <vector>

#include "random_card.hpp"
#include "tool_run.hpp"

namespace live_state::fault_runs {

struct Judgement {
    enum class Ending { success, failure, interrupted, other };
    Ending ending = Ending::other;
    std::vector<std::string> problems;  // empty when the run was right
};

// Judges one run of the tool on a generated card: its exit status, the form of standard output
// and of the error report, the lines and the failure against what the loaded card implies, and
// the card as the run left it.
Judgement judge_run(const GeneratedRun& generated, const testing::ToolRun& run);

}  // namespace live_state::fault_runs
