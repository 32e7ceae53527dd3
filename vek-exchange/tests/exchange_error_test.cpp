#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "vek_exchange/exchange_error.hpp"

namespace {

using vek_exchange::ExchangeError;
using Kind = vek_exchange::ExchangeError::Kind;

struct RenderCase {
    ExchangeError error;
    Kind kind;
    std::string message;
    std::string debug;
};

std::vector<RenderCase> render_cases() {
    return {
        {ExchangeError::validation_budget_exceeded(), Kind::ValidationBudgetExceeded,
         "exchange incremental-encoding work budget exhausted", "ValidationBudgetExceeded"},
        {ExchangeError::tile(1472), Kind::Tile, "logical tile 1472 is out of range", "Tile(1472)"},
        {ExchangeError::tile(65535), Kind::Tile, "logical tile 65535 is out of range",
         "Tile(65535)"},
        {ExchangeError::duplicate_tile(), Kind::DuplicateTile,
         "exchange endpoints must be distinct", "DuplicateTile"},
        {ExchangeError::count(5000), Kind::Count, "exchange count 5000 is outside 1..=4148",
         "Count(5000)"},
        {ExchangeError::count(0), Kind::Count, "exchange count 0 is outside 1..=4148", "Count(0)"},
        {ExchangeError::receiver_set(), Kind::ReceiverSet, "invalid multicast receiver set",
         "ReceiverSet"},
        {ExchangeError::schedule("too many \"phases\""), Kind::Schedule,
         "exchange schedule is not encodable: too many \"phases\"",
         R"(Schedule("too many \"phases\""))"},
        {ExchangeError::plan_offset_range(10, 5), Kind::PlanOffsetRange,
         "exchange event offset 10 cycles from the phase-entry sync exceeds the encodable maximum "
         "of 5 cycles",
         "PlanOffsetRange { cycles: 10, maximum: 5 }"},
        {ExchangeError::address(31), Kind::Address, "tile address 0x1f is not encodable",
         "Address(31)"},
        {ExchangeError::address(0), Kind::Address, "tile address 0x0 is not encodable",
         "Address(0)"},
        {ExchangeError::address(0xFFFFFFFF), Kind::Address,
         "tile address 0xffffffff is not encodable", "Address(4294967295)"},
        {ExchangeError::host_packet(), Kind::HostPacket,
         "host exchange address or length is not encodable", "HostPacket"},
    };
}

TEST(ExchangeError, EachVariantRendersItsMessageAndDebugFormWithoutCause) {
    for (const auto& c : render_cases()) {
        EXPECT_EQ(c.error.kind(), c.kind) << c.debug;
        EXPECT_EQ(c.error.message(), c.message);
        EXPECT_EQ(c.error.debug(), c.debug);
        EXPECT_EQ(c.error.cause(), nullptr) << c.debug;
    }
}

}  // namespace
