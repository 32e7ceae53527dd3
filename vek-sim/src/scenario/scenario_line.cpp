#include "scenario_line.hpp"

#include <fmt/format.h>

#include <charconv>

namespace vek_sim {

std::optional<std::uint64_t> parse_unsigned(std::string_view text) {
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        text.remove_prefix(2);
    }
    std::uint64_t value = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value, base);
    if (text.empty() || error != std::errc{} || stop != end) {
        return std::nullopt;
    }
    return value;
}

ScenarioLine::ScenarioLine(std::size_t number, std::string_view text) : number_(number) {
    if (const auto hash = text.find('#'); hash != std::string_view::npos) {
        text = text.substr(0, hash);
    }
    std::size_t position = 0;
    while (position < text.size()) {
        const auto start = text.find_first_not_of(" \t\r\v\f", position);
        if (start == std::string_view::npos) {
            break;
        }
        auto stop = text.find_first_of(" \t\r\v\f", start);
        if (stop == std::string_view::npos) {
            stop = text.size();
        }
        words_.push_back(text.substr(start, stop - start));
        position = stop;
    }
}

void ScenarioLine::fail(std::string text) {
    if (!error_) {
        error_ = ScenarioError{number_, std::move(text)};
    }
}

std::optional<std::string_view> ScenarioLine::word(std::string_view what) {
    if (error_) {
        return std::nullopt;
    }
    if (at_end()) {
        fail(fmt::format("missing {}", what));
        return std::nullopt;
    }
    return words_[next_++];
}

bool ScenarioLine::accept(std::string_view keyword) {
    if (error_ || at_end() || words_[next_] != keyword) {
        return false;
    }
    ++next_;
    return true;
}

bool ScenarioLine::expect(std::string_view keyword) {
    const auto found = word(fmt::format("'{}'", keyword));
    if (!found) {
        return false;
    }
    if (*found != keyword) {
        fail(fmt::format("expected '{}', found '{}'", keyword, *found));
        return false;
    }
    return true;
}

std::optional<std::uint32_t> ScenarioLine::number(std::string_view what, std::uint32_t first,
                                                  std::uint32_t last) {
    const auto text = word(what);
    if (!text) {
        return std::nullopt;
    }
    const auto value = parse_unsigned(*text);
    if (!value) {
        fail(fmt::format("invalid {} '{}'", what, *text));
        return std::nullopt;
    }
    if (*value > UINT32_MAX && first == 0 && last == UINT32_MAX) {
        fail(fmt::format("{} {} does not fit in 32 bits", what, *text));
        return std::nullopt;
    }
    if (*value < first || *value > last) {
        fail(fmt::format("{} {} is out of range {}..{}", what, *text, first, last));
        return std::nullopt;
    }
    return static_cast<std::uint32_t>(*value);
}

std::optional<NumberRange> ScenarioLine::range(std::string_view what, std::uint32_t first,
                                               std::uint32_t last) {
    const auto text = word(what);
    if (!text) {
        return std::nullopt;
    }
    const auto dots = text->find("..");
    const std::string_view parts[2] = {text->substr(0, dots), dots == std::string_view::npos
                                                                  ? text->substr(0, dots)
                                                                  : text->substr(dots + 2)};
    std::uint32_t values[2] = {};
    for (int i = 0; i < 2; ++i) {
        const auto value = parse_unsigned(parts[i]);
        if (!value) {
            fail(fmt::format("invalid {} '{}'", what, *text));
            return std::nullopt;
        }
        if (*value < first || *value > last) {
            fail(fmt::format("{} {} is out of range {}..{}", what, parts[i], first, last));
            return std::nullopt;
        }
        values[i] = static_cast<std::uint32_t>(*value);
    }
    if (values[0] > values[1]) {
        fail(fmt::format("empty {} range '{}'", what, *text));
        return std::nullopt;
    }
    return NumberRange{values[0], values[1]};
}

bool ScenarioLine::finish() {
    if (!error_ && !at_end()) {
        fail(fmt::format("unexpected '{}' at the end of the line", words_[next_]));
    }
    return !error_;
}

}  // namespace vek_sim
