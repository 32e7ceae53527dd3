#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <variant>

#include "vek_error/error.hpp"

namespace vek_exchange {

// Largest exchange count that an exchange program can encode.
inline constexpr std::uint32_t kMaximumExchangeCount = 4148;

// Every failure of the exchange library. No variant has an underlying cause.
class ExchangeError final : public vek_error::Error {
  public:
    // The variants, in this order; kind() names the one a value holds.
    struct ValidationBudgetExceeded {
        friend bool operator==(const ValidationBudgetExceeded&,
                               const ValidationBudgetExceeded&) = default;
    };
    struct Tile {
        std::uint16_t logical;
        friend bool operator==(const Tile&, const Tile&) = default;
    };
    struct DuplicateTile {
        friend bool operator==(const DuplicateTile&, const DuplicateTile&) = default;
    };
    struct Count {
        std::uint32_t count;
        friend bool operator==(const Count&, const Count&) = default;
    };
    struct ReceiverSet {
        friend bool operator==(const ReceiverSet&, const ReceiverSet&) = default;
    };
    struct Schedule {
        std::string_view reason;  // static text
        friend bool operator==(const Schedule&, const Schedule&) = default;
    };
    struct PlanOffsetRange {
        std::uint32_t cycles;
        std::uint32_t maximum;
        friend bool operator==(const PlanOffsetRange&, const PlanOffsetRange&) = default;
    };
    struct Address {
        std::uint32_t address;
        friend bool operator==(const Address&, const Address&) = default;
    };
    struct HostPacket {
        friend bool operator==(const HostPacket&, const HostPacket&) = default;
    };
    using Variant = std::variant<ValidationBudgetExceeded, Tile, DuplicateTile, Count, ReceiverSet,
                                 Schedule, PlanOffsetRange, Address, HostPacket>;

    // Follows the order of Variant, so that kind() is the variant's index.
    enum class Kind {
        ValidationBudgetExceeded,
        Tile,
        DuplicateTile,
        Count,
        ReceiverSet,
        Schedule,
        PlanOffsetRange,
        Address,
        HostPacket,
    };

    [[nodiscard]] static ExchangeError validation_budget_exceeded() {
        return ExchangeError(ValidationBudgetExceeded{});
    }
    [[nodiscard]] static ExchangeError tile(std::uint16_t logical) {
        return ExchangeError(Tile{logical});
    }
    [[nodiscard]] static ExchangeError duplicate_tile() { return ExchangeError(DuplicateTile{}); }
    [[nodiscard]] static ExchangeError count(std::uint32_t count) {
        return ExchangeError(Count{count});
    }
    [[nodiscard]] static ExchangeError receiver_set() { return ExchangeError(ReceiverSet{}); }
    // The reason is not copied: pass a string literal or other text of static lifetime.
    [[nodiscard]] static ExchangeError schedule(std::string_view reason) {
        return ExchangeError(Schedule{reason});
    }
    [[nodiscard]] static ExchangeError plan_offset_range(std::uint32_t cycles,
                                                         std::uint32_t maximum) {
        return ExchangeError(PlanOffsetRange{cycles, maximum});
    }
    [[nodiscard]] static ExchangeError address(std::uint32_t address) {
        return ExchangeError(Address{address});
    }
    [[nodiscard]] static ExchangeError host_packet() { return ExchangeError(HostPacket{}); }

    [[nodiscard]] Kind kind() const noexcept { return static_cast<Kind>(variant_.index()); }
    [[nodiscard]] const Variant& variant() const noexcept { return variant_; }

    [[nodiscard]] std::string message() const override;
    [[nodiscard]] std::string debug() const override;
    [[nodiscard]] const vek_error::Error* cause() const override { return nullptr; }

    friend bool operator==(const ExchangeError& a, const ExchangeError& b) {
        return a.variant_ == b.variant_;
    }

  private:
    explicit ExchangeError(Variant variant) : variant_(variant) {}

    Variant variant_;
};

}  // namespace vek_exchange
