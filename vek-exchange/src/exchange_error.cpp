#include "vek_exchange/exchange_error.hpp"

#include <charconv>

namespace vek_exchange {

namespace {

std::string decimal(std::uint32_t value) {
    return std::to_string(value);
}

// Lower-case hexadecimal without leading zeros.
std::string hexadecimal(std::uint32_t value) {
    char digits[8];
    const auto result = std::to_chars(digits, digits + sizeof digits, value, 16);
    return std::string(digits, result.ptr);
}

struct Message {
    std::string operator()(const ExchangeError::ValidationBudgetExceeded&) const {
        return "exchange incremental-encoding work budget exhausted";
    }
    std::string operator()(const ExchangeError::Tile& v) const {
        return "logical tile " + decimal(v.logical) + " is out of range";
    }
    std::string operator()(const ExchangeError::DuplicateTile&) const {
        return "exchange endpoints must be distinct";
    }
    std::string operator()(const ExchangeError::Count& v) const {
        return "exchange count " + decimal(v.count) +
               " is outside 1..=" + decimal(kMaximumExchangeCount);
    }
    std::string operator()(const ExchangeError::ReceiverSet&) const {
        return "invalid multicast receiver set";
    }
    std::string operator()(const ExchangeError::Schedule& v) const {
        return "exchange schedule is not encodable: " + std::string(v.reason);
    }
    std::string operator()(const ExchangeError::PlanOffsetRange& v) const {
        return "exchange event offset " + decimal(v.cycles) +
               " cycles from the phase-entry sync exceeds the encodable maximum of " +
               decimal(v.maximum) + " cycles";
    }
    std::string operator()(const ExchangeError::Address& v) const {
        return "tile address 0x" + hexadecimal(v.address) + " is not encodable";
    }
    std::string operator()(const ExchangeError::HostPacket&) const {
        return "host exchange address or length is not encodable";
    }
};

struct Debug {
    std::string operator()(const ExchangeError::ValidationBudgetExceeded&) const {
        return "ValidationBudgetExceeded";
    }
    std::string operator()(const ExchangeError::Tile& v) const {
        return "Tile(" + decimal(v.logical) + ")";
    }
    std::string operator()(const ExchangeError::DuplicateTile&) const { return "DuplicateTile"; }
    std::string operator()(const ExchangeError::Count& v) const {
        return "Count(" + decimal(v.count) + ")";
    }
    std::string operator()(const ExchangeError::ReceiverSet&) const { return "ReceiverSet"; }
    std::string operator()(const ExchangeError::Schedule& v) const {
        return "Schedule(" + vek_error::quoted(v.reason) + ")";
    }
    std::string operator()(const ExchangeError::PlanOffsetRange& v) const {
        return "PlanOffsetRange { cycles: " + decimal(v.cycles) +
               ", maximum: " + decimal(v.maximum) + " }";
    }
    std::string operator()(const ExchangeError::Address& v) const {
        return "Address(" + decimal(v.address) + ")";
    }
    std::string operator()(const ExchangeError::HostPacket&) const { return "HostPacket"; }
};

}  // namespace

std::string ExchangeError::message() const {
    return std::visit(Message{}, variant_);
}

std::string ExchangeError::debug() const {
    return std::visit(Debug{}, variant_);
}

}  // namespace vek_exchange
