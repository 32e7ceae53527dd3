// The instruction channel: what the two instruction words do, when their effect happens, the
// failures the card reports, and instructions run in running contexts.

#include <gtest/gtest.h>

#include "card_test_support.hpp"

namespace vek_sim {
namespace {

using testing::make_card;
using testing::TileHost;

constexpr const char* stopped_tile =
    "tiles 2\n"
    "tile 1 context 0..6 state 2\n"
    "tile 1 context 4 m 5 0x5555\n"
    "tile 1 context 4 m 0 0x1000\n"
    "tile 1 context 4 special 0xa1 0xa1a1\n"
    "tile 1 context 4 pc 0x4242\n";

TEST(CardInstruction, PutDebugDataCopiesAnMRegisterToTheDataRegister) {
    Card card = make_card(stopped_tile);
    TileHost host(card, 1);
    EXPECT_EQ(host.run(4, 0x43508070), 0u);
    EXPECT_EQ(host.read(tdi_data), 0x5555u);
    EXPECT_EQ(host.run(4, 0x43008070), 0u);
    EXPECT_EQ(host.read(tdi_data), 0x1000u);
}

TEST(CardInstruction, GetSpecialCopiesASpecialRegisterIntoAnMRegister) {
    Card card = make_card(stopped_tile);
    TileHost host(card, 1);
    EXPECT_EQ(host.run(4, 0x410000A1), 0u);
    EXPECT_EQ(card.m_register(1, 4, 0), 0xA1A1u);
    EXPECT_EQ(host.run(4, 0x41070000), 0u);
    EXPECT_EQ(card.m_register(1, 4, 7), 0x4242u) << "special 0 is the program counter";
    host.write(tdi_data, 0xD00D);
    EXPECT_EQ(host.run(4, 0x41020070), 0u) << "special 0x70 is the data register";
    EXPECT_EQ(card.m_register(1, 4, 2), 0xD00Du);
    EXPECT_EQ(card.m_register(1, 3, 2), 0u) << "another context of the tile is untouched";
}

TEST(CardInstruction, TheEffectHappensWhenAStatusReadFirstShowsItDone) {
    Card card = make_card(std::string(stopped_tile) + "tile 1 busy 2\n");
    TileHost host(card, 1);
    host.write(tdi_data, 0xBEEF);
    host.start(4, 0x43508070);
    EXPECT_EQ(host.read(tdi_data), 0xBEEFu) << "too early: the instruction is still running";
    EXPECT_EQ(host.read(tdi_instruction_status), 0x8u);
    EXPECT_EQ(host.read(tdi_instruction_status), 0x8u);
    EXPECT_EQ(host.read(tdi_data), 0xBEEFu);
    EXPECT_EQ(host.read(tdi_instruction_status), 0x0u);
    EXPECT_EQ(host.read(tdi_data), 0x5555u);
    EXPECT_EQ(host.read(tdi_instruction_status), 0x0u) << "done stays done";
}

struct FailureCase {
    const char* name;
    std::uint32_t control;
    std::uint32_t context;
    std::uint32_t word;
    std::uint32_t status;
};

class CardInstructionFailure : public ::testing::TestWithParam<FailureCase> {};

TEST_P(CardInstructionFailure, IsReportedAndHasNoEffect) {
    const FailureCase& c = GetParam();
    Card card = make_card(stopped_tile);
    TileHost host(card, 1);
    host.write(tdi_data, 0x77);
    host.write(tdi_instruction_control, c.control);
    host.write(tdi_instruction_context, c.context);
    host.write(tdi_instruction, c.word);
    EXPECT_EQ(host.read(tdi_instruction_status), c.status);
    EXPECT_EQ(host.read(tdi_data), 0x77u);
    EXPECT_EQ(card.counters().instructions_failed, 1u);
}

INSTANTIATE_TEST_SUITE_P(Cases, CardInstructionFailure,
                         ::testing::Values(FailureCase{"ControlNotSix", 5, 4, 0x43508070, 0x1},
                                           FailureCase{"ContextSeven", 6, 7, 0x43508070, 0x2},
                                           FailureCase{"UnknownWord", 6, 4, 0x43508071, 0x4},
                                           FailureCase{"PutWithOtherBits", 6, 4, 0x4350807F, 0x4},
                                           FailureCase{"GetWithOtherBits", 6, 4, 0x410100A1 | 0x100,
                                                       0x4},
                                           FailureCase{"Everything", 0, 9, 0, 0x7}),
                         [](const auto& test) { return std::string(test.param.name); });

TEST(CardInstruction, FailureOfTheNthInstructionOfTheTile) {
    Card card = make_card(std::string(stopped_tile) + "tile 1 fail-instruction 2 status 0x15\n");
    TileHost host(card, 1);
    EXPECT_EQ(host.run(4, 0x43508070), 0u);
    host.write(tdi_data, 0);
    EXPECT_EQ(host.run(4, 0x43508070), 0x15u);
    EXPECT_EQ(host.read(tdi_data), 0u) << "a failed instruction has no effect";
    EXPECT_EQ(host.run(4, 0x43508070), 0u);
    EXPECT_EQ(host.read(tdi_data), 0x5555u);
}

TEST(CardInstruction, CompletionStatusWithHighBitsIsStillSuccess) {
    Card card = make_card(std::string(stopped_tile) + "tile 1 completion-status 0x10\n");
    TileHost host(card, 1);
    EXPECT_EQ(host.run(4, 0x43508070), 0x10u);
    EXPECT_EQ(host.read(tdi_data), 0x5555u);
}

TEST(CardInstruction, BusyForeverNeverCompletes) {
    Card card = make_card(std::string(stopped_tile) + "tile 1 busy forever value 0xd\n");
    TileHost host(card, 1);
    host.start(4, 0x43508070);
    for (int poll = 0; poll < 2000; ++poll) {
        ASSERT_EQ(host.read(tdi_instruction_status), 0xDu);
    }
    EXPECT_EQ(host.read(tdi_data), 0u);
}

TEST(CardInstruction, BusyCountAppliesToEveryInstructionOfTheTile) {
    Card card = make_card(std::string(stopped_tile) + "tile 1 busy 3\n");
    TileHost host(card, 1);
    for (int instruction = 0; instruction < 2; ++instruction) {
        host.start(4, 0x43508070);
        for (int poll = 0; poll < 3; ++poll) {
            EXPECT_EQ(host.read(tdi_instruction_status), 0x8u);
        }
        EXPECT_EQ(host.read(tdi_instruction_status), 0u);
    }
    TileHost other(card, 0);
    EXPECT_EQ(other.run(0, 0x43008070), 0u);
}

TEST(CardInstruction, ANewInstructionReplacesOneThatNeverCompleted) {
    Card card = make_card(std::string(stopped_tile) + "tile 1 busy 1\n");
    TileHost host(card, 1);
    host.start(4, 0x410000A1);  // would set M0; never polled to completion
    EXPECT_EQ(host.read(tdi_instruction_status), 0x8u);
    EXPECT_EQ(host.run(4, 0x43008070), 0u);
    EXPECT_EQ(host.read(tdi_data), 0x1000u);
    EXPECT_EQ(card.m_register(1, 4, 0), 0x1000u);
}

TEST(CardInstruction, AnInstructionInARunningContextIsAViolation) {
    Card card = make_card("tiles 3\ndefault supervisor state 1\ntile 2 context 0 state 0\n");
    TileHost running(card, 1);
    EXPECT_EQ(running.run(0, 0x43008070), 0u) << "the card still runs it";
    TileHost inactive(card, 2);
    EXPECT_EQ(inactive.run(0, 0x43008070), 0u);
    TileHost stopped(card, 0);
    stopped.write(tdi_run_break, 1);
    EXPECT_EQ(stopped.state(0), 2u);
    EXPECT_EQ(stopped.run(0, 0x43008070), 0u);

    EXPECT_EQ(card.violations(), 1u);
    std::vector<AccessRecord> flagged;
    for (const AccessRecord& access : card.accesses()) {
        if (access.flags & access_violation) {
            flagged.push_back(access);
        }
    }
    ASSERT_EQ(flagged.size(), 1u);
    EXPECT_EQ(flagged[0].tile, 1u);
    EXPECT_EQ(flagged[0].reg, tdi_instruction);
    EXPECT_EQ(flagged[0].value, 0x43008070u);
}

TEST(CardInstruction, AStopNotYetShownStillCountsAsRunning) {
    Card card = make_card("tiles 1\ndefault supervisor state 1\n");
    TileHost host(card, 0);
    host.write(tdi_run_break, 1);
    host.run(0, 0x43008070);  // without polling TDI_STATUS first
    EXPECT_EQ(card.violations(), 1u);
}

}  // namespace
}  // namespace vek_sim
