#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace live_state::fault_runs {

// What the tool was asked for, as the generator chose it.
struct ToolRequest {
    bool workers = false;
    bool program_counter = false;
    std::vector<std::uint16_t> tiles;  // as listed: any order, duplicates, beyond the card
};

// One generated run: a card with random state and faults as scenario text, and the tool's
// arguments. What the card holds is read back from its state file after the run.
struct GeneratedRun {
    std::string scenario;
    std::vector<std::string> arguments;
    ToolRequest request;
    struct Interrupt {
        int signal;
        std::string name;         // "SIGINT", as the tool's report names it
        std::uint64_t at_access;  // the card raises it right after this register access
    };
    std::optional<Interrupt> interrupt;
};

// The same seed gives the same run.
GeneratedRun generate_run(std::uint64_t seed);

}  // namespace live_state::fault_runs
