#pragma once

// Text renderings of a card after a run, as the vek-sim runner prints them.

#include <string>
#include <vector>

#include "vek_sim/card.hpp"

namespace vek_sim {

// One line for an access: "read  0x032080 tile 130 TDI_STATUS = 0x00000005".
std::string describe_access(const AccessRecord& access);
// One line for a driver call: "open(\"/dev/vek0\", 0x80002) = 3".
std::string describe_call(const DriverCallRecord& call, const char* node);

// Every log entry, numbered, with its time since the first one.
std::string render_log(const Card& card);
// Every live tile whose content is not the scenario's default, with what changed since load.
std::string render_final_state(const Card& card);
// The counters and the check's result.
std::string render_summary(const Card& card);
// "check: the card is as loaded" or the list of differences.
std::string render_check(const std::vector<Difference>& differences);

}  // namespace vek_sim
