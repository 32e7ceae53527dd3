#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

#include <fmt/format.h>

#include "vek_driver/tile_state.hpp"

namespace live_state {

// What one supervisor line shows.
struct SupervisorLine {
    std::uint16_t logical;
    std::uint16_t physical;
    std::uint32_t context;
    vek_driver::TileExchangeReceiveError error;
    std::uint32_t incoming_dcount;
    std::uint32_t exchange_control;
    std::uint32_t incoming_mux_pair;
    std::uint32_t incoming_format;
    std::optional<std::uint32_t> pc;
};

// What one worker line shows.
struct WorkerLine {
    std::uint16_t logical;
    std::uint32_t worker;
    std::uint32_t status;
    std::array<std::uint32_t, 3> registers;  // M registers 2, 3 and 4
};

// A line of text, built without touching the heap (the buffer's inline storage suffices).
using LineBuffer = fmt::memory_buffer;

void render(const SupervisorLine& line, LineBuffer& out);
void render(const WorkerLine& line, LineBuffer& out);

}  // namespace live_state
