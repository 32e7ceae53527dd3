#include "expected_outcome.hpp"

#include <optional>

namespace fuzz {

namespace {

constexpr std::string_view help_screen_after_usage =
    "\n"
    "Options:\n"
    "      --device <DEVICE>  [default: /dev/vek0]\n"
    "      --tile <TILE>      Logical tiles to inspect. Defaults to every tile with nonzero "
    "exchange\n"
    "                         state or an exception, plus tiles 0 through 3\n"
    "      --program-counter  Also stop context zero briefly to recover its program counter\n"
    "      --workers          Read worker status and operand pointers instead of supervisor "
    "exchange\n"
    "                         registers\n"
    "  -h, --help             Print help\n";

// Decodes one UTF-8 sequence at the start of `text`; gives its length, 0 when it is invalid.
std::size_t sequence_length(std::string_view text) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(0);
    std::size_t length = 0;
    char32_t code = 0;
    if (lead < 0x80) {
        return 1;
    } else if ((lead & 0xE0) == 0xC0) {
        length = 2;
        code = lead & 0x1F;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3;
        code = lead & 0x0F;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4;
        code = lead & 0x07;
    } else {
        return 0;
    }
    if (text.size() < length) {
        return 0;
    }
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(i) & 0xC0) != 0x80) {
            return 0;
        }
        code = code << 6 | (byte(i) & 0x3F);
    }
    constexpr char32_t smallest[] = {0, 0, 0x80, 0x800, 0x10000};
    const bool overlong = code < smallest[length];
    const bool surrogate = code >= 0xD800 && code <= 0xDFFF;
    return overlong || surrogate || code > 0x10FFFF ? 0 : length;
}

std::string program_name(std::span<const std::string_view> arguments) {
    if (arguments.empty()) {
        return "vek-tests";
    }
    std::string_view path = arguments[0];
    while (path.ends_with('/')) {
        path.remove_suffix(1);
    }
    if (const auto slash = path.rfind('/'); slash != std::string_view::npos) {
        path.remove_prefix(slash + 1);
    }
    if (path.empty() || path == "." || path == ".." || !is_valid_utf8(path)) {
        return "vek-tests";
    }
    return std::string(path);
}

// The reason a --tile value is refused, or its number.
struct TileValue {
    std::optional<std::uint16_t> number;
    std::string reason;
};

TileValue read_tile(std::string_view text) {
    if (text.empty()) {
        return {std::nullopt, "cannot parse integer from empty string"};
    }
    const bool negative = text[0] == '-';
    if (text[0] == '-' || text[0] == '+') {
        text.remove_prefix(1);
        if (text.empty()) {
            return {std::nullopt, "invalid digit found in string"};
        }
    }
    // The magnitude, refused as soon as it leaves the signed 64-bit range.
    const std::uint64_t limit = negative ? std::uint64_t{1} << 63 : (std::uint64_t{1} << 63) - 1;
    std::uint64_t magnitude = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') {
            return {std::nullopt, "invalid digit found in string"};
        }
        const auto digit = static_cast<std::uint64_t>(c - '0');
        if (magnitude > (limit - digit) / 10) {
            return {std::nullopt, negative ? "number too small to fit in target type"
                                           : "number too large to fit in target type"};
        }
        magnitude = magnitude * 10 + digit;
    }
    if (negative && magnitude != 0) {
        return {std::nullopt, "-" + std::to_string(magnitude) + " is not in 0..=65535"};
    }
    if (magnitude > 65535) {
        return {std::nullopt, std::to_string(magnitude) + " is not in 0..=65535"};
    }
    return {static_cast<std::uint16_t>(magnitude), {}};
}

bool looks_like_option(std::string_view argument) {
    return argument.starts_with('-') && argument != "-";
}

}  // namespace

bool is_valid_utf8(std::string_view text) {
    while (!text.empty()) {
        const std::size_t length = sequence_length(text);
        if (length == 0) {
            return false;
        }
        text.remove_prefix(length);
    }
    return true;
}

Outcome expected_outcome(std::span<const std::string_view> arguments) {
    const std::string program = program_name(arguments);
    const std::string usage = "Usage: " + program + " [OPTIONS]\n";
    Outcome outcome;
    const auto error = [&](const std::string& message) {
        outcome.kind = Outcome::Kind::usage_error;
        outcome.text =
            "error: " + message + "\n\n" + usage + "\nFor more information, try '--help'.\n";
        return outcome;
    };
    const auto help = [&] {
        outcome.kind = Outcome::Kind::help;
        outcome.text = "Read live VEK7N exchange state without resetting the device\n\n" + usage +
                       std::string(help_screen_after_usage);
        return outcome;
    };
    const std::string invalid_utf8 = "invalid UTF-8 was detected in one or more arguments";
    const auto unexpected = [](std::string_view argument) {
        return "unexpected argument '" + std::string(argument) + "' found";
    };

    ExpectedArguments& result = outcome.arguments;
    bool device_seen = false;
    bool program_counter_seen = false;
    bool workers_seen = false;
    bool after_double_dash = false;
    for (std::size_t i = 1; i < arguments.size(); ++i) {
        const std::string_view argument = arguments[i];
        if (!is_valid_utf8(argument)) {
            return error(invalid_utf8);
        }
        if (after_double_dash || !looks_like_option(argument)) {
            return error(unexpected(argument));  // the tool takes no positional argument
        }
        if (argument == "--") {
            after_double_dash = true;
            continue;
        }
        if (argument == "-h") {
            return help();
        }
        if (!argument.starts_with("--")) {
            return error(unexpected(argument));
        }
        const std::string_view body = argument.substr(2);
        const std::size_t equals = body.find('=');
        const std::string_view name = body.substr(0, equals);
        const bool attached = equals != std::string_view::npos;
        const std::string_view attached_value = attached ? body.substr(equals + 1) : "";

        if (name == "help" || name == "program-counter" || name == "workers") {
            bool& seen = name == "program-counter" ? program_counter_seen : workers_seen;
            const std::string shown = "--" + std::string(name);
            if (name != "help" && seen) {
                return error("the argument '" + shown + "' cannot be used multiple times");
            }
            if (attached) {
                return error("unexpected value '" + std::string(attached_value) + "' for '" +
                             shown + "' found; no more were expected");
            }
            if (name == "help") {
                return help();
            }
            seen = true;
            (name == "workers" ? result.workers : result.program_counter) = true;
            continue;
        }
        if (name != "device" && name != "tile") {
            // Named without its value, unless there is no name to show.
            return error(
                unexpected(name.empty() || !attached ? argument : argument.substr(0, 2 + equals)));
        }
        const std::string shown = name == "device" ? "--device <DEVICE>" : "--tile <TILE>";
        if (name == "device" && device_seen) {
            return error("the argument '" + shown + "' cannot be used multiple times");
        }
        device_seen = device_seen || name == "device";
        std::string_view value = attached_value;
        if (!attached) {
            if (i + 1 >= arguments.size() || looks_like_option(arguments[i + 1])) {
                return error("a value is required for '" + shown + "' but none was supplied");
            }
            value = arguments[++i];
            if (!is_valid_utf8(value)) {
                return error(invalid_utf8);
            }
        }
        if (name == "device") {
            result.device = std::string(value);
            continue;
        }
        const TileValue tile = read_tile(value);
        if (!tile.number) {
            return error("invalid value '" + std::string(value) + "' for '" + shown +
                         "': " + tile.reason);
        }
        result.tile.push_back(*tile.number);
    }
    return outcome;
}

}  // namespace fuzz
