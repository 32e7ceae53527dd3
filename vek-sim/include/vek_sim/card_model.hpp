#pragma once

// The behaviour of the card's configuration window: what a 32-bit read or write at an offset
// does. The model works on a CardHeader in shared memory and keeps no state of its own, so any
// number of models may view the same card (one at a time). read and write are called from the
// trapped window's signal handler: they are async-signal-safe (no allocation, locks or stdio;
// only clock_gettime, nanosleep, kill and getpid).

#include <cstdint>

#include "vek_sim/card_layout.hpp"

namespace vek_sim {

class CardModel {
  public:
    explicit CardModel(CardHeader* card);

    // Offsets are byte offsets into the window; an unaligned offset acts on the word that holds
    // it, one at or past the window's end reads 0 and ignores writes.
    std::uint32_t read(std::uint32_t offset);
    void write(std::uint32_t offset, std::uint32_t value);
    // What a read would give now, with no side effect and no log record.
    [[nodiscard]] std::uint32_t peek(std::uint32_t offset) const;

    [[nodiscard]] CardHeader& card() const { return *card_; }
    [[nodiscard]] TileSlot* tiles() const { return tiles_; }

  private:
    struct Location {
        std::uint32_t tile;  // no_tile when the offset is not in a live tile's block
        std::uint32_t reg;
    };
    [[nodiscard]] Location locate(std::uint32_t offset) const;

    std::uint32_t read_status(TileSlot& tile, Stall& stall);
    std::uint32_t read_instruction_status(TileSlot& tile, Stall& stall);
    void write_run_break(TileSlot& tile, std::uint32_t value);
    void write_resume(TileSlot& tile, std::uint32_t value);
    bool start_instruction(TileSlot& tile, std::uint32_t tile_number, std::uint32_t word);
    void complete_instruction(TileSlot& tile);
    void stop_by_break(ContextSlot& context);

    void record(std::uint32_t offset, std::uint32_t value, Location where, std::uint8_t flags);
    void after_access(const Stall& stall);

    CardHeader* card_;
    TileSlot* tiles_;
    AccessRecord* log_;
};

// The TDI_STATUS word of a tile as its current state shows it.
std::uint32_t compose_status(const TileSlot& tile);
// Arms the run-break stop of a context whose bit was just set, as the card does.
void arm_stop(ContextSlot& context);

}  // namespace vek_sim
