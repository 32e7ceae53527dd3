// Where the card's registers lie in the window and what the plain ones hold.

#include <gtest/gtest.h>

#include "card_test_support.hpp"

namespace vek_sim {
namespace {

using testing::make_card;
using testing::TileHost;

TEST(CardRegisters, StatusHoldsStatesReceiveErrorAndScenarioBits) {
    Card card = make_card(
        "tiles 131\n"
        "tile 130 context 0 state 2\n"
        "tile 130 context 6 state 1\n"
        "tile 130 receive-error 3\n"
        "tile 130 status-bits 0xC0004000\n");
    // Literal offsets: 0x30000 + 130 * 0x40.
    EXPECT_EQ(card.model().read(0x32080), 0x2 | 0x1000 | (3u << 27) | 0xC0004000u);
}

TEST(CardRegisters, ExchangeWordsAreRegistersTenAndEleven) {
    Card card = make_card("tiles 2\ntile 1 exchange 4 0xa1f\n");
    EXPECT_EQ(card.model().read(0x30068), 4u);
    EXPECT_EQ(card.model().read(0x3006C), 0xA1Fu);
}

TEST(CardRegisters, ReadOnlyRegistersIgnoreWrites) {
    Card card = make_card("tiles 1\ntile 0 exchange 1 2\ntile 0 context 0 state 1\n");
    TileHost host(card, 0);
    for (const std::uint32_t reg : {0u, 8u, 10u, 11u}) {
        host.write(reg, 0xFFFFFFFF);
    }
    EXPECT_EQ(host.read(tdi_status), 1u);
    EXPECT_EQ(host.read(tdi_instruction_status), 0u);
    EXPECT_EQ(host.read(tdi_incoming_dcount), 1u);
    EXPECT_EQ(host.read(tdi_exchange_control), 2u);
}

TEST(CardRegisters, PlainRegistersAndNonLiveTilesAreStorage) {
    Card card = make_card("tiles 5120\ntile 7 register 12 0x1234\nword 0x100 0x99\n");
    CardModel& model = card.model();
    EXPECT_EQ(model.read(debug_offset(7, 12)), 0x1234u);
    EXPECT_EQ(model.read(0x100), 0x99u);
    for (const std::uint32_t reg : {2u, 5u, 12u, 13u, 14u, 15u}) {
        model.write(debug_offset(3, reg), 0xA000 + reg);
        EXPECT_EQ(model.read(debug_offset(3, reg)), 0xA000 + reg);
    }
    // The window's last word is register 15 of tile 5119.
    model.write(0x7FFFC, 0xCAFE);
    EXPECT_EQ(model.read(0x7FFFC), 0xCAFEu);
    EXPECT_EQ(card.accesses().back().tile, 5119u);
    EXPECT_EQ(card.accesses().back().reg, 15u);
}

TEST(CardRegisters, BeyondTheTileCountTheDebugBlocksArePlainStorage) {
    Card card = make_card("tiles 2\n");
    CardModel& model = card.model();
    model.write(debug_offset(2, tdi_status), 0x5);
    EXPECT_EQ(model.read(debug_offset(2, tdi_status)), 0x5u);
    EXPECT_EQ(card.accesses().back().tile, no_tile);
}

TEST(CardRegisters, WriteOnlyRegistersReadBackWhatWasWritten) {
    Card card = make_card("tiles 1\n");
    TileHost host(card, 0);
    host.write(tdi_instruction_control, 6);
    host.write(tdi_instruction_context, 3);
    host.write(tdi_resume, 1);
    EXPECT_EQ(host.read(tdi_instruction_control), 6u);
    EXPECT_EQ(host.read(tdi_instruction_context), 3u);
    EXPECT_EQ(host.read(tdi_resume), 0u);
}

TEST(CardRegisters, PeekHasNoSideEffectAndLeavesNoRecord) {
    Card card =
        make_card("tiles 1\ndefault supervisor state 1\ntile 0 busy 1\ntile 0 run-break 1\n");
    TileHost host(card, 0);
    host.start(0, 0x43008070);
    card.clear_log();
    const std::uint64_t accesses = card.counters().accesses;
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(card.model().peek(debug_offset(0, tdi_status)), 1u);
        EXPECT_EQ(card.model().peek(debug_offset(0, tdi_instruction_status)), 0x8u);
    }
    EXPECT_EQ(card.counters().accesses, accesses);
    EXPECT_TRUE(card.accesses().empty());
    EXPECT_EQ(host.state(0), 2u);
    EXPECT_EQ(host.read(tdi_instruction_status), 0x8u);
}

}  // namespace
}  // namespace vek_sim
