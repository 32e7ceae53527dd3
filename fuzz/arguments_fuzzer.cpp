// Fuzzes the tool's command-line parser. The input, split at NUL bytes, is the argument list,
// program path first. Every input must end exactly as an independent reading of the same
// arguments says: Arguments with the same values, the help screen, or the same diagnostic with
// status 2. Anything else, and any sanitizer report, stops the fuzzer.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "arguments.hpp"
#include "expected_outcome.hpp"

namespace {

std::vector<std::string_view> split_at_nul(std::string_view input) {
    std::vector<std::string_view> pieces;
    while (!input.empty()) {
        const std::size_t end = input.find('\0');
        pieces.push_back(input.substr(0, end));
        input.remove_prefix(end == std::string_view::npos ? input.size() : end + 1);
    }
    return pieces;
}

void require(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "fuzz check failed: %s\n", what);
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    const std::vector<std::string_view> arguments = split_at_nul(input);
    const fuzz::Outcome expected = fuzz::expected_outcome(arguments);
    const auto parsed = live_state::parse_arguments(arguments);

    if (parsed) {
        require(expected.kind == fuzz::Outcome::Kind::arguments, "parsed, but should not be");
        const live_state::Arguments& got = *parsed;
        require(got.device == expected.arguments.device, "device");
        require(fuzz::is_valid_utf8(got.device), "device is not UTF-8");
        require(got.tile == expected.arguments.tile, "tile list");
        require(got.program_counter == expected.arguments.program_counter, "--program-counter");
        require(got.workers == expected.arguments.workers, "--workers");
        return 0;
    }
    const live_state::ExitRequest& exit = parsed.error();
    if (exit.kind == live_state::ExitRequest::Kind::Help) {
        require(expected.kind == fuzz::Outcome::Kind::help, "help, but should not be");
        require(exit.status() == 0, "help status");
        require(exit.text == expected.text, "help screen");
    } else {
        require(expected.kind == fuzz::Outcome::Kind::usage_error,
                "usage error, but should not be");
        require(exit.status() == 2, "usage error status");
        require(exit.text == expected.text, "diagnostic");
    }
    return 0;
}
