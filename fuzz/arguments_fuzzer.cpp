// Fuzzes the tool's command-line parser. The input, split at NUL bytes, is the argument list
// after the program name. Every input must end in Arguments that agree with the arguments
// given, a help screen, or a diagnostic with status 2; anything else stops the fuzzer.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "arguments.hpp"

namespace {

void require(bool condition) {
    if (!condition) {
        std::abort();
    }
}

std::vector<std::string_view> split_at_nul(std::string_view input) {
    std::vector<std::string_view> pieces;
    while (!input.empty()) {
        const std::size_t end = input.find('\0');
        pieces.push_back(input.substr(0, end));
        input.remove_prefix(end == std::string_view::npos ? input.size() : end + 1);
    }
    return pieces;
}

// The tile number a --tile value stands for, read independently of the parser: optional sign,
// decimal digits, 0..65535.
std::optional<std::uint16_t> tile_value(std::string_view text) {
    bool negative = false;
    if (!text.empty() && (text[0] == '+' || text[0] == '-')) {
        negative = text[0] == '-';
        text.remove_prefix(1);
    }
    if (text.empty()) {
        return std::nullopt;
    }
    unsigned long value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        value = value * 10 + static_cast<unsigned long>(c - '0');
        if (value > 65535) {
            return std::nullopt;
        }
    }
    if (negative && value != 0) {
        return std::nullopt;
    }
    return static_cast<std::uint16_t>(value);
}

// What a successful parse must have produced for these arguments.
live_state::Arguments expected_arguments(const std::vector<std::string_view>& arguments) {
    live_state::Arguments expected;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string_view argument = arguments[i];
        const auto value_of = [&](std::string_view option) -> std::optional<std::string_view> {
            if (argument == option) {
                require(i + 1 < arguments.size());
                return arguments[++i];
            }
            if (argument.starts_with(option) && argument.size() > option.size() &&
                argument[option.size()] == '=') {
                return argument.substr(option.size() + 1);
            }
            return std::nullopt;
        };
        if (const auto device = value_of("--device")) {
            expected.device = std::string(*device);
        } else if (const auto tile = value_of("--tile")) {
            const auto number = tile_value(*tile);
            require(number.has_value());
            expected.tile.push_back(*number);
        } else if (argument == "--program-counter") {
            expected.program_counter = true;
        } else if (argument == "--workers") {
            expected.workers = true;
        } else if (argument == "--") {
            require(i + 1 == arguments.size());  // what follows it would be positional
        } else {
            require(false);  // nothing else is accepted
        }
    }
    return expected;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    std::vector<std::string_view> arguments = split_at_nul(input);
    std::vector<std::string_view> command_line = {"exchange_live_state"};
    command_line.insert(command_line.end(), arguments.begin(), arguments.end());

    const auto parsed = live_state::parse_arguments(command_line);
    if (parsed) {
        require(*parsed == expected_arguments(arguments));
        return 0;
    }
    const live_state::ExitRequest& exit = parsed.error();
    if (exit.kind == live_state::ExitRequest::Kind::Help) {
        require(exit.status() == 0);
        require(exit.text.starts_with("Read live VEK7N exchange state"));
    } else {
        require(exit.status() == 2);
        require(exit.text.starts_with("error: "));
        require(exit.text.ends_with("For more information, try '--help'.\n"));
    }
    return 0;
}
