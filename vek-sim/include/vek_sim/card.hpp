#pragma once

// A simulated card: its state file mapped into this process, the model that gives the window
// its behaviour, and the ways to inspect what happened to it.

#include <cstddef>
#include <cstdint>
#include <expected>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "vek_sim/card_layout.hpp"
#include "vek_sim/card_model.hpp"
#include "vek_sim/scenario.hpp"

namespace vek_sim {

// One entry of the card's log, in the order things happened.
using LogEntry = std::variant<AccessRecord, DriverCallRecord>;

// Something the program using the card changed although it must not.
struct Difference {
    enum class Kind : std::uint8_t { context_state, run_break, m_register, violation, unrecorded };
    Kind kind;
    std::uint32_t tile;
    std::uint32_t context;
    std::uint32_t reg;     // M register number
    std::uint64_t before;  // at load (for a violation: the access number)
    std::uint64_t after;   // now (for a violation: the instruction word)

    // For example "tile 130 context 0: state 1 at load, now 2".
    [[nodiscard]] std::string message() const;
};

class Card {
  public:
    // Loads `scenario` into a new state file at `state_path`, or into a temporary file that is
    // removed with the Card when `state_path` is empty.
    static std::expected<Card, std::string> create(const Scenario& scenario,
                                                   const std::string& state_path = {});
    // Parses scenario text (errors read "line N: ...") and loads it into a temporary file.
    static std::expected<Card, std::string> from_text(std::string_view scenario_text);
    // Maps an existing state file, for example one kept after a run.
    static std::expected<Card, std::string> open(const std::string& state_path);

    Card(Card&& other) noexcept;
    Card& operator=(Card&& other) noexcept;
    Card(const Card&) = delete;
    Card& operator=(const Card&) = delete;
    ~Card();

    [[nodiscard]] CardModel& model() { return model_; }
    [[nodiscard]] CardHeader& header() const { return *header_; }
    [[nodiscard]] const std::string& path() const { return path_; }
    [[nodiscard]] std::uint32_t tile_count() const { return header_->tile_count; }

    // The live card and the card as it was loaded. Tiles must be below tile_count().
    [[nodiscard]] TileSlot& tile(std::uint32_t tile) const;
    [[nodiscard]] const TileSlot& initial_tile(std::uint32_t tile) const;
    [[nodiscard]] std::uint8_t context_state(std::uint32_t tile, std::uint32_t context) const;
    [[nodiscard]] std::uint32_t m_register(std::uint32_t tile, std::uint32_t context,
                                           std::uint32_t reg) const;
    [[nodiscard]] std::uint32_t special_register(std::uint32_t tile, std::uint32_t context,
                                                 std::uint32_t special) const;
    [[nodiscard]] std::uint32_t run_break(std::uint32_t tile) const;

    // What was recorded since the log was last cleared; records past the capacity are counted
    // in log_counts() but not kept.
    [[nodiscard]] std::span<const AccessRecord> accesses() const;
    [[nodiscard]] std::span<const DriverCallRecord> driver_calls() const;
    [[nodiscard]] std::vector<LogEntry> log() const;
    [[nodiscard]] const LogCounts& log_counts() const { return header_->log; }
    void clear_log();

    [[nodiscard]] const CardCounters& counters() const { return header_->counters; }
    [[nodiscard]] std::uint64_t violations() const { return header_->counters.violations; }

    // Every difference from the state as loaded that a program reading the card may not cause.
    [[nodiscard]] std::vector<Difference> check() const;

  private:
    Card(CardHeader* header, std::size_t size, std::string path, bool temporary);
    void release();

    CardHeader* header_;
    std::size_t size_;
    std::string path_;
    bool temporary_;
    CardModel model_;
};

}  // namespace vek_sim
