#pragma once

// The card's configuration window and its tile debug blocks, as the card defines them. This file
// is the simulated card's own copy of the register map: it must not be shared with the driver, so
// that a wrong constant on either side shows up as a failing test instead of being mirrored.

#include <cstdint>
#include <string_view>

namespace vek_sim {

inline constexpr std::uint32_t window_size = 0x80000;
inline constexpr std::uint32_t window_words = window_size / 4;

inline constexpr std::uint32_t debug_base = 0x30000;
inline constexpr std::uint32_t debug_tile_stride = 0x40;
inline constexpr std::uint32_t debug_registers_per_tile = 16;
// Tile debug blocks fill the window from debug_base to its end: tile 5119 register 15 is 0x7FFFC.
inline constexpr std::uint32_t max_tiles = (window_size - debug_base) / debug_tile_stride;
inline constexpr std::uint32_t default_tile_count = 1472;

inline constexpr std::uint32_t contexts_per_tile = 7;  // 0 supervisor, 1..6 workers
inline constexpr std::uint32_t m_registers = 16;
inline constexpr std::uint32_t special_registers = 256;

inline constexpr std::uint32_t special_program_counter = 0x00;
inline constexpr std::uint32_t special_status = 0x01;
inline constexpr std::uint32_t special_debug_data = 0x70;  // TDI_DATA as the tile sees it
inline constexpr std::uint32_t special_incoming_muxpair = 0xA1;
inline constexpr std::uint32_t special_incoming_format = 0xA3;

// Debug register numbers within a tile's block.
enum DebugRegister : std::uint32_t {
    tdi_status = 0,
    tdi_run_break = 1,
    tdi_instruction = 3,
    tdi_instruction_context = 4,
    tdi_resume = 6,
    tdi_data = 7,
    tdi_instruction_status = 8,
    tdi_instruction_control = 9,
    tdi_incoming_dcount = 10,
    tdi_exchange_control = 11,
};

// Context states as TDI_STATUS shows them.
inline constexpr std::uint8_t state_inactive = 0;
inline constexpr std::uint8_t state_running = 1;
inline constexpr std::uint8_t state_stopped = 2;
inline constexpr std::uint8_t state_stopped_alt = 3;

// TDI_STATUS fields: 2 bits per context in bits 13..0, receive error in bits 29..27.
inline constexpr std::uint32_t status_state_mask = 0x3FFF;
inline constexpr std::uint32_t status_receive_error_shift = 27;
inline constexpr std::uint32_t status_receive_error_mask = 0x7u << status_receive_error_shift;

// TDI_INSTRUCTION_STATUS.
inline constexpr std::uint32_t instruction_busy = 0x8;
inline constexpr std::uint32_t instruction_failure_mask = 0x7;
// Failure bits the card sets by itself; a scenario may inject any other failure status.
inline constexpr std::uint32_t failure_bad_control = 0x1;  // control register did not hold 6
inline constexpr std::uint32_t failure_bad_context = 0x2;  // context number 7 or above
inline constexpr std::uint32_t failure_bad_word = 0x4;     // an instruction word the card lacks
inline constexpr std::uint32_t instruction_control_run = 6;

// The two instruction words the card executes.
inline constexpr std::uint32_t put_debug_data_base = 0x43008070;  // | m << 20: M[m] -> TDI_DATA
inline constexpr std::uint32_t put_debug_data_m_mask = 0x00F00000;
inline constexpr std::uint32_t get_special_base = 0x41000000;  // | m << 16 | s: special s -> M[m]
inline constexpr std::uint32_t get_special_operand_mask = 0x000F00FF;

// The kernel driver's control requests.
inline constexpr unsigned long ioctl_attach = 0xC008ED0AUL;
inline constexpr unsigned long ioctl_set_id = 0xC008ED0EUL;

inline constexpr std::uint32_t debug_offset(std::uint32_t tile, std::uint32_t reg) {
    return debug_base + tile * debug_tile_stride + reg * 4;
}

// Name of a debug register ("TDI_STATUS"), or "" for the plain storage registers.
std::string_view debug_register_name(std::uint32_t reg);

}  // namespace vek_sim
