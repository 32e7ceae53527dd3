#pragma once

#include <cstdint>
#include <optional>

// The tile debug interface: a block of sixteen 32-bit registers per physical tile inside the
// configuration window, and the instruction words the host runs through it.
namespace vek_driver {

inline constexpr std::uint32_t TDI_BASE = 0x30000;
inline constexpr std::uint32_t TDI_TILE_STRIDE = 0x40;

inline constexpr std::uint32_t TDI_STATUS = 0;
inline constexpr std::uint32_t TDI_RUN_BREAK = 1;
inline constexpr std::uint32_t TDI_INSTRUCTION = 3;
inline constexpr std::uint32_t TDI_INSTRUCTION_CONTEXT = 4;
inline constexpr std::uint32_t TDI_RESUME = 6;
inline constexpr std::uint32_t TDI_DATA = 7;
inline constexpr std::uint32_t TDI_INSTRUCTION_STATUS = 8;
inline constexpr std::uint32_t TDI_INSTRUCTION_CONTROL = 9;
inline constexpr std::uint32_t TDI_INCOMING_DCOUNT = 10;
inline constexpr std::uint32_t TDI_EXCHANGE_CONTROL = 11;

// The value written to TDI_INSTRUCTION_CONTROL before every instruction.
inline constexpr std::uint32_t TDI_INSTRUCTION_CONTROL_RUN = 6;

// Instruction status: bit 3 while the instruction runs, then bits 0..2 non-zero on failure.
inline constexpr std::uint32_t TDI_INSTRUCTION_BUSY = 0x8;
inline constexpr std::uint32_t TDI_INSTRUCTION_FAILED = 0x7;

// Context numbers: 0 is the supervisor, 1 to 6 the workers.
inline constexpr std::uint32_t TILE_CONTEXT_COUNT = 7;
inline constexpr std::uint32_t SUPERVISOR_CONTEXT = 0;

inline constexpr std::uint32_t M_REGISTER_COUNT = 16;

// Special registers as a tile's instructions see them.
inline constexpr std::uint8_t SPECIAL_PROGRAM_COUNTER = 0;
inline constexpr std::uint8_t SPECIAL_CONTEXT_STATUS = 1;
inline constexpr std::uint8_t SPECIAL_DEBUG_DATA = 0x70;
inline constexpr std::uint8_t SPECIAL_INCOMING_MUXPAIR = 0xA1;
inline constexpr std::uint8_t SPECIAL_INCOMING_FORMAT = 0xA3;

// Configuration-space offset of a tile's debug register, in 32-bit arithmetic.
[[nodiscard]] constexpr std::uint32_t tile_debug_offset(std::uint16_t physical_tile,
                                                        std::uint32_t register_number) noexcept {
    return TDI_BASE + std::uint32_t{physical_tile} * TDI_TILE_STRIDE + register_number * 4;
}

// True for the context states that count as stopped (2 and 3).
[[nodiscard]] constexpr bool is_stopped_state(std::uint32_t state) noexcept {
    return state == 2 || state == 3;
}

namespace tdi_instruction {

// Copies M register `register_number` into TDI_DATA; no word for registers 16 and above.
[[nodiscard]] constexpr std::optional<std::uint32_t> put_debug_data_m(
    std::uint32_t register_number) noexcept {
    if (register_number >= M_REGISTER_COUNT) {
        return std::nullopt;
    }
    return 0x43008070U | register_number << 20;
}

// Copies special register `special` into M register `register_number`. Unchecked: callers pass
// registers below 16 and specials below 256.
[[nodiscard]] constexpr std::uint32_t get_special_m(std::uint32_t register_number,
                                                    std::uint32_t special) noexcept {
    return 0x41000000U | register_number << 16 | special;
}

// Copies TDI_DATA into M register `register_number`.
[[nodiscard]] constexpr std::uint32_t get_debug_data_m(std::uint32_t register_number) noexcept {
    return get_special_m(register_number, SPECIAL_DEBUG_DATA);
}

}  // namespace tdi_instruction

}  // namespace vek_driver
