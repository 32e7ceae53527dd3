#pragma once

// What a run of the tool must print and may meet, worked out from the card as it was loaded
// (the state file keeps it beside the live card) and the arguments. Independent of the tool's
// code: the line formats, the selection rule and the names are written out here again.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "random_card.hpp"
#include "vek_sim/card.hpp"

namespace live_state::fault_runs {

// One tile of the walk.
struct TileExpectation {
    std::uint16_t logical = 0;
    std::uint16_t physical = 0;
    // The tool visits it with register reads and instructions, and prints `lines` unless the
    // run ends at or before it.
    bool reported = false;
    std::vector<std::string> lines;
    // Faults that can end the run during the visit.
    bool may_time_out_stopping = false;
    bool may_time_out_instruction = false;
    std::optional<std::uint32_t> failing_status;  // an instruction of the visit fails with it
    bool must_fail = false;                       // the visit cannot succeed

    [[nodiscard]] bool may_fail() const {
        return reported &&
               (may_time_out_stopping || may_time_out_instruction || failing_status || must_fail);
    }
};

struct RunExpectation {
    std::vector<TileExpectation> tiles;  // the walk in order: the listed tiles, or all of them

    [[nodiscard]] bool may_fail() const;
    [[nodiscard]] bool must_fail() const;  // some reported tile cannot succeed
    [[nodiscard]] std::vector<std::string> all_lines() const;
    [[nodiscard]] const TileExpectation* find(std::uint16_t logical) const;
};

RunExpectation expect_run(const vek_sim::Card& card, const ToolRequest& request);

}  // namespace live_state::fault_runs
