#pragma once

#include <expected>
#include <string>
#include <vector>

namespace vek_sim {

struct CardEnvironment {
    std::string preload_library;
    std::string state_file;
    std::string node;
};

// Runs `command` with the stand-in preloaded and pointed at the card, passes SIGINT, SIGTERM and
// SIGHUP sent to this process on to it, and gives its exit status as a shell would (128 + the
// signal that ended it; 127 or 126 when it could not be started).
std::expected<int, std::string> run_with_card(const std::vector<std::string>& command,
                                              const CardEnvironment& environment);

}  // namespace vek_sim
