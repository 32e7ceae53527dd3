#include <array>

#include "vek_driver/tile_state.hpp"

namespace vek_driver {

std::string_view TileException::name() const noexcept {
    static constexpr std::array<std::string_view, 16> names = {
        "None",
        "RetirementBreak",
        "PatchedBreak0",
        "PatchedBreak1",
        "BreakOnSync",
        "FloatingPoint",
        "MemoryConflict",
        "InvalidExchangeConfiguration",
        "InvalidMemoryAddress",
        "InvalidOperand",
        "InvalidProgramCounter",
        "DataBreak",
        "InvalidInstruction",
        "ExchangeError",
        "MemoryError",
        "InstructionBreak",
    };
    return names[value_];
}

std::string_view TileExchangeReceiveError::name() const noexcept {
    static constexpr std::array<std::string_view, 8> names = {
        "None",    "InstructionClash", "InstructionFetchClash", "Address",
        "Workers", "DataBreak",        "Configuration",         "Modification",
    };
    return names[value_];
}

}  // namespace vek_driver
