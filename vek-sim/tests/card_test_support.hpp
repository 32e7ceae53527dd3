#pragma once

// Small helpers for tests that drive a card model directly, the way a host would.

#include <gtest/gtest.h>

#include <cstdint>
#include <string_view>

#include "vek_sim/card.hpp"
#include "vek_sim/registers.hpp"

namespace vek_sim::testing {

inline Card make_card(std::string_view scenario) {
    auto card = Card::from_text(scenario);
    if (!card) {
        ADD_FAILURE() << card.error();
        return std::move(*Card::from_text("tiles 1"));
    }
    return std::move(*card);
}

// A host's view of one tile's debug registers.
class TileHost {
  public:
    TileHost(Card& card, std::uint32_t tile) : model_(card.model()), tile_(tile) {}

    std::uint32_t read(std::uint32_t reg) { return model_.read(debug_offset(tile_, reg)); }
    void write(std::uint32_t reg, std::uint32_t value) {
        model_.write(debug_offset(tile_, reg), value);
    }
    std::uint32_t state(std::uint32_t context) { return (read(tdi_status) >> (2 * context)) & 3; }

    // The three writes that start an instruction.
    void start(std::uint32_t context, std::uint32_t word) {
        write(tdi_instruction_control, 6);
        write(tdi_instruction_context, context);
        write(tdi_instruction, word);
    }
    // Starts an instruction and polls its status until it is no longer busy (or 1000 polls).
    std::uint32_t run(std::uint32_t context, std::uint32_t word) {
        start(context, word);
        std::uint32_t status = 0;
        for (int poll = 0; poll < 1000; ++poll) {
            status = read(tdi_instruction_status);
            if (!(status & 0x8)) {
                break;
            }
        }
        return status;
    }

  private:
    CardModel& model_;
    std::uint32_t tile_;
};

}  // namespace vek_sim::testing
