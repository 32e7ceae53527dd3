#pragma once

// A scenario: the readable description of a card's tiles and faults that a card is loaded
// from. The syntax is described in vek-sim/README.md; parse_scenario turns text into this form
// and Card::create loads it.

#include <cstddef>
#include <cstdint>
#include <expected>
#include <string>
#include <string_view>
#include <vector>

#include "vek_sim/card_layout.hpp"

namespace vek_sim {

enum class TileSettingKind : std::uint8_t {
    // Per context (first_context..last_context).
    state,
    m_register,
    special,
    exception,  // bits 7..4 of special register 1
    stop_delay,
    never_stops,
    inactive_stops,  // a = 1: stops, 0: does not stop
    break_state,
    // Per tile.
    run_break,
    receive_error,
    exchange,
    status_bits,
    data,
    plain_register,
    busy,
    busy_forever,
    fail_instruction,
    completion_status,
    stall_status,
    stall_instruction_status,
};

// One `tile ...` line, applied in the order written. `a` and `b` are the line's values (for
// example the register number and the value of `m R VALUE`).
struct TileSetting {
    std::size_t line;
    std::uint32_t first_tile;
    std::uint32_t last_tile;
    std::uint32_t first_context;
    std::uint32_t last_context;
    TileSettingKind kind;
    std::uint32_t a;
    std::uint32_t b;
};

// One `word OFFSET VALUE` line: a plain storage word of the window.
struct WordSetting {
    std::size_t line;
    std::uint32_t offset;
    std::uint32_t value;
};

struct DriverFaults {
    CallFault open{};
    CallFault mmap{};
    CallFault attach{};
    CallFault set_id{};
    CallFault munmap{};
    CallFault close{};
};

struct Scenario {
    std::uint32_t tile_count = default_tile_count;
    std::uint8_t supervisor_state = state_inactive;
    std::uint8_t worker_state = state_inactive;
    std::uint32_t stop_delay = 0;
    bool inactive_stops = true;
    std::uint8_t break_state = state_stopped;
    WindowMode window = WindowMode::trapped;
    std::uint64_t log_capacity = 1u << 20;
    DriverFaults faults;
    InterruptFault interrupt{};
    std::vector<TileSetting> tiles;
    std::vector<WordSetting> words;
};

struct ScenarioError {
    std::size_t line;  // 1-based
    std::string text;

    // "line 3: unknown setting 'tilee'"
    [[nodiscard]] std::string message() const;
};

std::expected<Scenario, ScenarioError> parse_scenario(std::string_view text);

// Reads and parses a scenario file; errors read "FILE:LINE: text" or name the file that could
// not be read.
std::expected<Scenario, std::string> load_scenario_file(const std::string& path);

}  // namespace vek_sim
