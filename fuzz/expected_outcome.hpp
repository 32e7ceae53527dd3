#pragma once

// How the tool's command line must end, worked out independently of its parser: the values of a
// good command line, the help screen, or the exact diagnostic of the first problem.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace fuzz {

struct ExpectedArguments {
    std::string device = "/dev/vek0";
    std::vector<std::uint16_t> tile;
    bool program_counter = false;
    bool workers = false;
};

struct Outcome {
    enum class Kind { arguments, help, usage_error };
    Kind kind = Kind::arguments;
    ExpectedArguments arguments;  // for Kind::arguments
    std::string text;             // the help screen or the whole diagnostic
};

// `arguments` starts with the program path.
Outcome expected_outcome(std::span<const std::string_view> arguments);

bool is_valid_utf8(std::string_view text);

}  // namespace fuzz
