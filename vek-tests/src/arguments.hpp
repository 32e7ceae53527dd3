#pragma once

#include <cstdint>
#include <expected>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace live_state {

inline constexpr std::string_view kDefaultDevice = "/dev/vek0";

// The tool's command line.
struct Arguments {
    // Path of the device node to open.
    std::string device{kDefaultDevice};
    // Logical tiles given with --tile, in command-line order, duplicates kept.
    std::vector<std::uint16_t> tile;
    // --program-counter: also read the supervisor's program counter.
    bool program_counter = false;
    // --workers: print the worker report instead of the supervisor report.
    bool workers = false;

    // Parses the process's command line. A help request prints the help screen on standard
    // output and exits with status 0; a command-line error prints a diagnostic on standard error
    // and exits with status 2.
    [[nodiscard]] static Arguments parse(int argc, char** argv);

    friend bool operator==(const Arguments&, const Arguments&) = default;
};

// A command line that ends the process instead of yielding Arguments.
struct ExitRequest {
    enum class Kind {
        Help,        // text is the help screen, for standard output
        UsageError,  // text is a diagnostic, for standard error
    };

    Kind kind;
    std::string text;

    [[nodiscard]] int status() const noexcept { return kind == Kind::Help ? 0 : 2; }

    friend bool operator==(const ExitRequest&, const ExitRequest&) = default;
};

// Parses an argument list whose first entry is the program path. The first problem in argument
// order decides the outcome, so a help request before a bad argument is still a help request.
[[nodiscard]] std::expected<Arguments, ExitRequest> parse_arguments(
    std::span<const std::string_view> arguments);

}  // namespace live_state
