#pragma once

#include <cstdint>
#include <optional>
#include <random>
#include <string>
#include <vector>

namespace live_state::fault_runs {

// One generated run: a card with random state and faults, the tool's arguments, and what the
// generator knows about the outcome to expect.
struct GeneratedRun {
    std::string scenario;
    std::vector<std::string> arguments;
    std::optional<int> interrupt_signal;  // set when the card sends the tool a signal
    bool faulty;                          // any fault that can end the run with status 1
};

GeneratedRun generate_run(std::uint64_t seed);

}  // namespace live_state::fault_runs
