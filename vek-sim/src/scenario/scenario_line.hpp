#pragma once

// Reading the words of one scenario line. The first problem found is kept as the line's error;
// every later call then fails too, so a line's parser can read on and check once at the end.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "vek_sim/scenario.hpp"

namespace vek_sim {

struct NumberRange {
    std::uint32_t first;
    std::uint32_t last;
};

class ScenarioLine {
  public:
    ScenarioLine(std::size_t number, std::string_view text);

    [[nodiscard]] bool blank() const { return words_.empty(); }
    [[nodiscard]] bool at_end() const { return next_ >= words_.size(); }
    [[nodiscard]] std::size_t number() const { return number_; }
    [[nodiscard]] const std::optional<ScenarioError>& error() const { return error_; }

    // The next word, or "missing <what>".
    std::optional<std::string_view> word(std::string_view what);
    // Takes the next word if it is `keyword`.
    bool accept(std::string_view keyword);
    // The next word, which must be `keyword`.
    bool expect(std::string_view keyword);
    // A decimal or 0x-prefixed hexadecimal number within first..last.
    std::optional<std::uint32_t> number(std::string_view what, std::uint32_t first = 0,
                                        std::uint32_t last = UINT32_MAX);
    // N or N..M, both within first..last, N <= M.
    std::optional<NumberRange> range(std::string_view what, std::uint32_t first,
                                     std::uint32_t last);
    // The line must have no words left.
    bool finish();

    void fail(std::string text);

  private:
    std::size_t number_;
    std::vector<std::string_view> words_;
    std::size_t next_ = 0;
    std::optional<ScenarioError> error_;
};

// Parses "17" or "0x11" into 64 bits; nothing for anything else.
std::optional<std::uint64_t> parse_unsigned(std::string_view text);

}  // namespace vek_sim
