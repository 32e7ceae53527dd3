#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

// Decoders of the status fields that the tile state queries report.
namespace vek_driver {

// The exception code in bits 7..4 of a context status word.
class TileException {
  public:
    enum Value : std::uint8_t {
        None = 0,
        RetirementBreak = 1,
        PatchedBreak0 = 2,
        PatchedBreak1 = 3,
        BreakOnSync = 4,
        FloatingPoint = 5,
        MemoryConflict = 6,
        InvalidExchangeConfiguration = 7,
        InvalidMemoryAddress = 8,
        InvalidOperand = 9,
        InvalidProgramCounter = 10,
        DataBreak = 11,
        InvalidInstruction = 12,
        ExchangeError = 13,
        MemoryError = 14,
        InstructionBreak = 15,
    };

    constexpr TileException(Value value) noexcept : value_(value) {}  // NOLINT: implicit

    [[nodiscard]] static constexpr TileException from_status(std::uint32_t status) noexcept {
        return TileException(static_cast<Value>((status >> 4) & 0xF));
    }

    [[nodiscard]] constexpr Value value() const noexcept { return value_; }
    // The enumerator's name, which is also its debug form.
    [[nodiscard]] std::string_view name() const noexcept;

    friend constexpr bool operator==(TileException, TileException) = default;

  private:
    Value value_;
};

// The exchange receive error code in bits 29..27 of TDI_STATUS.
class TileExchangeReceiveError {
  public:
    enum Value : std::uint8_t {
        None = 0,
        InstructionClash = 1,
        InstructionFetchClash = 2,
        Address = 3,
        Workers = 4,
        DataBreak = 5,
        Configuration = 6,
        Modification = 7,
    };

    constexpr TileExchangeReceiveError(Value value) noexcept : value_(value) {}  // NOLINT

    // The enumerator for 0..7, nothing for any other value.
    [[nodiscard]] static constexpr std::optional<TileExchangeReceiveError> from_raw(
        std::uint32_t value) noexcept {
        if (value > Modification) {
            return std::nullopt;
        }
        return TileExchangeReceiveError(static_cast<Value>(value));
    }

    [[nodiscard]] constexpr Value value() const noexcept { return value_; }
    [[nodiscard]] std::string_view name() const noexcept;

    friend constexpr bool operator==(TileExchangeReceiveError, TileExchangeReceiveError) = default;

  private:
    Value value_;
};

static_assert(sizeof(TileException) == 1 && sizeof(TileExchangeReceiveError) == 1);

}  // namespace vek_driver
