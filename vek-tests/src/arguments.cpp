#include "arguments.hpp"

#include <fmt/format.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <limits>
#include <optional>

namespace live_state {

namespace {

// Stands in the usage line when the program path gives no usable file name.
constexpr std::string_view kCommandName = "vek-tests";
constexpr std::string_view kAbout = "Read live VEK7N exchange state without resetting the device";
constexpr std::size_t kHelpWidth = 100;

enum class OptionId { Device, Tile, ProgramCounter, Workers, Help };

struct OptionSpec {
    OptionId id;
    std::string_view short_name;  // empty when the option has no single-letter form
    std::string_view long_name;
    std::string_view value_name;  // empty for a switch
    std::string_view help;
    bool repeatable;
};

// In help-screen order.
constexpr OptionSpec kOptions[] = {
    {OptionId::Device, "", "device", "DEVICE", "[default: /dev/vek0]", false},
    {OptionId::Tile, "", "tile", "TILE",
     "Logical tiles to inspect. Defaults to every tile with nonzero exchange state or an "
     "exception, plus tiles 0 through 3",
     true},
    {OptionId::ProgramCounter, "", "program-counter", "",
     "Also stop context zero briefly to recover its program counter", false},
    {OptionId::Workers, "", "workers", "",
     "Read worker status and operand pointers instead of supervisor exchange registers", false},
    {OptionId::Help, "h", "help", "", "Print help", false},
};
constexpr std::size_t kOptionCount = std::size(kOptions);

const OptionSpec* find_long(std::string_view name) {
    for (const auto& option : kOptions) {
        if (option.long_name == name) {
            return &option;
        }
    }
    return nullptr;
}

// The option as the help screen shows it: "--tile <TILE>" or "--workers".
std::string shown(const OptionSpec& option) {
    if (option.value_name.empty()) {
        return fmt::format("--{}", option.long_name);
    }
    return fmt::format("--{} <{}>", option.long_name, option.value_name);
}

// Strict UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF.
bool is_valid_utf8(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<unsigned char>(text[i]);
        std::size_t length = 0;
        unsigned char low = 0x80;
        unsigned char high = 0xBF;
        if (lead < 0x80) {
            ++i;
            continue;
        }
        if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            if (lead == 0xE0) {
                low = 0xA0;
            } else if (lead == 0xED) {
                high = 0x9F;
            }
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            if (lead == 0xF0) {
                low = 0x90;
            } else if (lead == 0xF4) {
                high = 0x8F;
            }
        } else {
            return false;
        }
        if (text.size() - i < length) {
            return false;
        }
        for (std::size_t k = 1; k < length; ++k) {
            const auto byte = static_cast<unsigned char>(text[i + k]);
            const unsigned char min = k == 1 ? low : 0x80;
            const unsigned char max = k == 1 ? high : 0xBF;
            if (byte < min || byte > max) {
                return false;
            }
        }
        i += length;
    }
    return true;
}

// The file name the program was started under, or the command name when there is none.
std::string program_name(std::span<const std::string_view> arguments) {
    if (arguments.empty()) {
        return std::string(kCommandName);
    }
    std::string_view path = arguments.front();
    while (!path.empty() && path.back() == '/') {
        path.remove_suffix(1);
    }
    const std::size_t slash = path.rfind('/');
    const std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
    if (name.empty() || name == "." || name == ".." || !is_valid_utf8(name)) {
        return std::string(kCommandName);
    }
    return std::string(name);
}

std::string usage_line(std::string_view program) {
    return fmt::format("Usage: {} [OPTIONS]\n", program);
}

// Appends text word by word, breaking lines so that none exceeds kHelpWidth columns, and
// indenting continuation lines to the help column.
void append_wrapped(std::string& out, std::string_view text, std::size_t column) {
    std::size_t line_length = column;
    bool first_word = true;
    while (!text.empty()) {
        const std::size_t space = text.find(' ');
        const std::string_view word = text.substr(0, space);
        text = space == std::string_view::npos ? std::string_view{} : text.substr(space + 1);
        if (!first_word && line_length + 1 + word.size() > kHelpWidth) {
            out += '\n';
            out.append(column, ' ');
            line_length = column;
            first_word = true;
        }
        if (!first_word) {
            out += ' ';
            ++line_length;
        }
        out += word;
        line_length += word.size();
        first_word = false;
    }
}

std::string help_text(std::string_view program) {
    std::string labels[kOptionCount];
    std::size_t label_width = 0;
    for (std::size_t i = 0; i < kOptionCount; ++i) {
        const auto& option = kOptions[i];
        labels[i] =
            option.short_name.empty() ? "      " : fmt::format("  -{}, ", option.short_name);
        labels[i] += shown(option);
        label_width = std::max(label_width, labels[i].size());
    }
    const std::size_t help_column = label_width + 2;

    std::string out = fmt::format("{}\n\n{}\nOptions:\n", kAbout, usage_line(program));
    for (std::size_t i = 0; i < kOptionCount; ++i) {
        out += labels[i];
        out.append(help_column - labels[i].size(), ' ');
        append_wrapped(out, kOptions[i].help, help_column);
        out += '\n';
    }
    return out;
}

ExitRequest usage_error(std::string_view program, std::string_view message) {
    return ExitRequest{
        ExitRequest::Kind::UsageError,
        fmt::format("error: {}\n\n{}\nFor more information, try '--help'.\n", message,
                    usage_line(program)),
    };
}

std::string unexpected_argument(std::string_view argument) {
    return fmt::format("unexpected argument '{}' found", argument);
}

// Reads a signed 64-bit decimal integer: an optional sign, then decimal digits only. On
// failure gives the reason, found scanning from the left.
std::expected<std::int64_t, std::string_view> parse_decimal_i64(std::string_view text) {
    constexpr std::string_view kInvalidDigit = "invalid digit found in string";
    if (text.empty()) {
        return std::unexpected(std::string_view{"cannot parse integer from empty string"});
    }
    const bool negative = text.front() == '-';
    if (text.front() == '+' || text.front() == '-') {
        text.remove_prefix(1);
        if (text.empty()) {
            return std::unexpected(kInvalidDigit);
        }
    }
    std::int64_t value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') {
            return std::unexpected(kInvalidDigit);
        }
        const std::int64_t digit = c - '0';
        // Negative numbers accumulate downwards so that the most negative value fits.
        const bool overflow = __builtin_mul_overflow(value, 10, &value) ||
                              (negative ? __builtin_sub_overflow(value, digit, &value)
                                        : __builtin_add_overflow(value, digit, &value));
        if (overflow) {
            return std::unexpected(
                std::string_view{negative ? "number too small to fit in target type"
                                          : "number too large to fit in target type"});
        }
    }
    return value;
}

// A --tile value: a decimal integer in 0..=65535.
std::expected<std::uint16_t, std::string> parse_tile(std::string_view text) {
    const auto number = parse_decimal_i64(text);
    if (!number.has_value()) {
        return std::unexpected(std::string(number.error()));
    }
    if (*number < 0 || *number > std::numeric_limits<std::uint16_t>::max()) {
        return std::unexpected(fmt::format("{} is not in 0..=65535", *number));
    }
    return static_cast<std::uint16_t>(*number);
}

}  // namespace

std::expected<Arguments, ExitRequest> parse_arguments(std::span<const std::string_view> arguments) {
    const std::string program = program_name(arguments);
    const auto fail = [&](std::string_view message) {
        return std::unexpected(usage_error(program, message));
    };
    constexpr std::string_view kInvalidUtf8 = "invalid UTF-8 was detected in one or more arguments";

    Arguments result;
    bool seen[kOptionCount] = {};
    bool options_ended = false;
    for (std::size_t i = 1; i < arguments.size(); ++i) {
        const std::string_view argument = arguments[i];
        if (!is_valid_utf8(argument)) {
            return fail(kInvalidUtf8);
        }
        // After "--" every argument is positional, and the tool takes none.
        if (options_ended || !argument.starts_with('-') || argument == "-") {
            return fail(unexpected_argument(argument));
        }
        if (argument == "--") {
            options_ended = true;
            continue;
        }
        if (argument == "-h") {
            return std::unexpected(ExitRequest{ExitRequest::Kind::Help, help_text(program)});
        }
        if (!argument.starts_with("--")) {
            return fail(unexpected_argument(argument));
        }

        const std::size_t equals = argument.find('=');
        const std::string_view name = argument.substr(2, equals - 2);
        std::optional<std::string_view> attached;
        if (equals != std::string_view::npos) {
            attached = argument.substr(equals + 1);
        }
        const OptionSpec* option = find_long(name);
        if (option == nullptr) {
            // Name the option without its value, unless there is no name to show.
            return fail(unexpected_argument(name.empty() ? argument : argument.substr(0, equals)));
        }
        const auto index = static_cast<std::size_t>(option - kOptions);
        if (seen[index] && !option->repeatable) {
            return fail(
                fmt::format("the argument '{}' cannot be used multiple times", shown(*option)));
        }
        seen[index] = true;

        if (option->value_name.empty()) {
            if (attached.has_value()) {
                return fail(
                    fmt::format("unexpected value '{}' for '{}' found; no more were expected",
                                *attached, shown(*option)));
            }
            switch (option->id) {
                case OptionId::Help:
                    return std::unexpected(
                        ExitRequest{ExitRequest::Kind::Help, help_text(program)});
                case OptionId::ProgramCounter:
                    result.program_counter = true;
                    break;
                case OptionId::Workers:
                    result.workers = true;
                    break;
                case OptionId::Device:
                case OptionId::Tile:
                    break;
            }
            continue;
        }

        // The next argument is the value unless it looks like an option itself.
        std::string_view value;
        if (attached.has_value()) {
            value = *attached;
        } else if (i + 1 < arguments.size() &&
                   (!arguments[i + 1].starts_with('-') || arguments[i + 1] == "-")) {
            value = arguments[++i];
            if (!is_valid_utf8(value)) {
                return fail(kInvalidUtf8);
            }
        } else {
            return fail(
                fmt::format("a value is required for '{}' but none was supplied", shown(*option)));
        }

        if (option->id == OptionId::Device) {
            result.device = std::string(value);
        } else {
            const auto tile = parse_tile(value);
            if (!tile.has_value()) {
                return fail(fmt::format("invalid value '{}' for '{}': {}", value, shown(*option),
                                        tile.error()));
            }
            result.tile.push_back(*tile);
        }
    }
    return result;
}

Arguments Arguments::parse(int argc, char** argv) {
    std::vector<std::string_view> arguments;
    arguments.reserve(static_cast<std::size_t>(argc > 0 ? argc : 0));
    for (int i = 0; i < argc; ++i) {
        arguments.emplace_back(argv[i] != nullptr ? argv[i] : "");
    }
    auto parsed = parse_arguments(arguments);
    if (parsed.has_value()) {
        return std::move(*parsed);
    }
    const ExitRequest& request = parsed.error();
    std::FILE* stream = request.kind == ExitRequest::Kind::Help ? stdout : stderr;
    // Nothing useful can be done when the text cannot be written; the status still tells.
    std::fwrite(request.text.data(), 1, request.text.size(), stream);
    std::fflush(stream);
    std::exit(request.status());
}

}  // namespace live_state
