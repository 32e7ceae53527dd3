// The supervisor exchange report of the built tool on simulated cards.

#include <gtest/gtest.h>

#include <fmt/format.h>

#include "tool_run.hpp"
#include "vek_exchange/q720.hpp"

namespace live_state {
namespace {

using testing::expect_card_unchanged;
using testing::idle;
using testing::lines;
using testing::run_tool;
using testing::tile;
using vek_exchange::q720_logical_to_physical;

std::string idle_line(std::uint16_t logical) {
    return fmt::format(
        "logical={} physical={} context=1 ererr=None dcount=0 exchangeCtl=0x00000000 "
        "incomingMuxPair=0 incomingFormat=0",
        logical, q720_logical_to_physical(logical));
}

// Whether any instruction word `word` was started on the card.
bool ran_instruction(const vek_sim::Card& card, std::uint32_t word) {
    for (const auto& record : card.accesses()) {
        if (record.reg == 3 && (record.flags & vek_sim::access_write) != 0 &&
            record.value == word) {
            return true;
        }
    }
    return false;
}

TEST(SupervisorReport, IdleCardPrintsTilesZeroToThree) {
    const auto run = run_tool(idle, {});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(lines(run.out),
              (std::vector{idle_line(0), idle_line(1), idle_line(2), idle_line(3)}));
    EXPECT_EQ(q720_logical_to_physical(3), 66);
    expect_card_unchanged(run);
    EXPECT_FALSE(ran_instruction(*run.card, 0x41000000)) << "the program counter was read";
}

TEST(SupervisorReport, EachConditionAloneSelectsATile) {
    const std::pair<const char*, const char*> cases[] = {
        {"context 0 state 0", "context=0 ererr=None dcount=0 exchangeCtl=0x00000000"},
        {"context 0 state 2", "context=2 ererr=None dcount=0 exchangeCtl=0x00000000"},
        {"context 0 state 3", "context=3 ererr=None dcount=0 exchangeCtl=0x00000000"},
        {"receive-error 2",
         "context=1 ererr=InstructionFetchClash dcount=0 exchangeCtl=0x00000000"},
        {"exchange 12 0", "context=1 ererr=None dcount=12 exchangeCtl=0x00000000"},
        {"exchange 0 0xa1f", "context=1 ererr=None dcount=0 exchangeCtl=0x00000a1f"},
    };
    for (const auto& [setting, fields] : cases) {
        SCOPED_TRACE(setting);
        const auto run = run_tool(idle + tile(900, setting), {});
        EXPECT_EQ(run.status, 0) << run.err;
        const auto printed = lines(run.out);
        ASSERT_EQ(printed.size(), 5U);
        EXPECT_EQ(printed[4], fmt::format("logical=900 physical={} {} incomingMuxPair=0 "
                                          "incomingFormat=0",
                                          q720_logical_to_physical(900), fields));
        expect_card_unchanged(run);
    }
}

TEST(SupervisorReport, ExplicitTilesFilterTheAscendingWalk) {
    const std::pair<std::vector<std::string>, std::vector<std::string>> cases[] = {
        {{"--tile", "9", "--tile", "4"}, {idle_line(4), idle_line(9)}},
        {{"--tile", "4", "--tile", "4"}, {idle_line(4)}},
        {{"--tile", "7", "--tile", "3", "--tile", "7"}, {idle_line(3), idle_line(7)}},
        {{"--tile", "5000"}, {}},
        {{"--tile", "1471", "--tile", "1472", "--tile", "65535"}, {idle_line(1471)}},
    };
    for (const auto& [arguments, expected] : cases) {
        const auto run = run_tool(idle + tile(100, "exchange 1 1"), arguments);
        EXPECT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(run.err, "");
        EXPECT_EQ(lines(run.out), expected);
        expect_card_unchanged(run);
    }
}

TEST(SupervisorReport, ProgramCounterOnRequest) {
    const std::string card =
        idle + tile(5, "context 0 pc 0x400") + tile(6, "context 0 pc 0xfffffffc");
    const auto with_pc = run_tool(card, {"--tile", "5", "--tile", "6", "--program-counter"});
    EXPECT_EQ(with_pc.status, 0) << with_pc.err;
    EXPECT_EQ(with_pc.out,
              "logical=5 physical=130 context=1 ererr=None dcount=0 exchangeCtl=0x00000000 "
              "incomingMuxPair=0 incomingFormat=0 pc=0x00000400\n" +
                  idle_line(6) + " pc=0xfffffffc\n");
    expect_card_unchanged(with_pc);

    const auto without_pc = run_tool(card, {"--tile", "5"});
    EXPECT_EQ(without_pc.out, idle_line(5) + "\n");
    EXPECT_FALSE(ran_instruction(*without_pc.card, 0x41000000));
}

TEST(SupervisorReport, ShowsTheExchangeSpecialRegistersOfAStoppedSupervisor) {
    const auto run = run_tool(
        idle + tile(700, "context 0 state 2") + tile(700, "context 0 special 0xa1 4294967295") +
            tile(700, "context 0 special 0xa3 163") + tile(700, "receive-error 7") +
            tile(700, "exchange 4294967295 0xffffffff"),
        {"--tile", "700"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, fmt::format("logical=700 physical={} context=2 ererr=Modification "
                                   "dcount=4294967295 exchangeCtl=0xffffffff "
                                   "incomingMuxPair=4294967295 incomingFormat=163\n",
                                   q720_logical_to_physical(700)));
    expect_card_unchanged(run);
}

struct MidScanFailure {
    const char* name;
    std::string faults;
    std::vector<std::string> arguments;
    std::string report;
    std::size_t lines_before;
};

TEST(SupervisorReport, AFailureEndsTheRunWithTheTilesNoteAndKeepsEarlierLines) {
    const MidScanFailure cases[] = {
        {"stop timeout",
         tile(700, "exchange 1 0") + tile(700, "context 0 never-stops"),
         {},
         "Error: read tile 700 INCOMING_MUXPAIR\n\nCaused by:\n"
         "    device timeout: stopping tile context\n",
         4},
        {"instruction failure",
         tile(5, "fail-instruction 2 status 0x15"),
         {"--tile", "5"},
         "Error: read tile 5 INCOMING_MUXPAIR\n\nCaused by:\n"
         "    invalid device data: TDI instruction failed with status 0x15\n",
         0},
        {"format read",
         tile(2, "fail-instruction 6 status 0x1"),
         {},
         "Error: read tile 2 INCOMING_FORMAT\n\nCaused by:\n"
         "    invalid device data: TDI instruction failed with status 0x1\n",
         2},
        {"program counter",
         tile(3, "busy forever"),
         {"--program-counter"},
         "Error: read tile 3 PC\n\nCaused by:\n    device timeout: TDI instruction\n",
         3},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto run = run_tool(idle + c.faults, c.arguments);
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(run.err, c.report);
        const auto printed = lines(run.out);
        ASSERT_EQ(printed.size(), c.lines_before);
        for (std::size_t i = 0; i < printed.size(); ++i) {
            EXPECT_TRUE(printed[i].starts_with(fmt::format("logical={} ", i))) << printed[i];
        }
        expect_card_unchanged(run);
    }
}

}  // namespace
}  // namespace live_state
