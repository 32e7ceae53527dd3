// The run break and resume behaviour of the card's contexts.

#include <gtest/gtest.h>

#include "card_test_support.hpp"

namespace vek_sim {
namespace {

using testing::make_card;
using testing::TileHost;

TEST(CardStop, RunningContextStopsAtTheFirstStatusReadAndResumes) {
    Card card = make_card("tiles 2\ndefault supervisor state 1\n");
    TileHost host(card, 1);
    host.write(tdi_run_break, 1);
    EXPECT_EQ(card.context_state(1, 0), 1) << "the stop shows only through a status read";
    EXPECT_EQ(host.state(0), 2u);
    host.write(tdi_run_break, 0);
    EXPECT_EQ(host.state(0), 2u) << "clearing the bit alone does not let it go";
    host.write(tdi_resume, 1);
    EXPECT_EQ(host.state(0), 1u);
    EXPECT_EQ(card.counters().stops, 1u);
    EXPECT_EQ(card.counters().resumes, 1u);
    EXPECT_EQ(card.context_state(0, 0), 1) << "another tile is untouched";
}

TEST(CardStop, StopDelayCountsStatusReadsOfTheTile) {
    Card card = make_card("tiles 1\ndefault supervisor state 1\ntile 0 context 0 stop-delay 3\n");
    TileHost host(card, 0);
    host.write(tdi_run_break, 1);
    // Peeks and reads of other registers do not count.
    EXPECT_EQ(card.model().peek(debug_offset(0, tdi_status)) & 3, 1u);
    host.read(tdi_data);
    for (int read = 1; read <= 3; ++read) {
        EXPECT_EQ(host.state(0), 1u) << "read " << read;
    }
    EXPECT_EQ(host.state(0), 2u);
}

TEST(CardStop, ClearingTheBitBeforeTheStopShowsCancelsIt) {
    Card card = make_card("tiles 1\ndefault supervisor state 1\ndefault stop-delay 2\n");
    TileHost host(card, 0);
    host.write(tdi_run_break, 1);
    EXPECT_EQ(host.state(0), 1u);
    host.write(tdi_run_break, 0);
    for (int read = 0; read < 5; ++read) {
        EXPECT_EQ(host.state(0), 1u);
    }
    EXPECT_EQ(card.counters().stops, 0u);
}

TEST(CardStop, ResumeWhileTheBitIsStillSetKeepsTheContextStopped) {
    Card card = make_card("tiles 1\ndefault supervisor state 1\n");
    TileHost host(card, 0);
    host.write(tdi_run_break, 1);
    EXPECT_EQ(host.state(0), 2u);
    host.write(tdi_resume, 1);
    EXPECT_EQ(host.state(0), 2u);
    host.write(tdi_run_break, 0);
    host.write(tdi_resume, 1);
    EXPECT_EQ(host.state(0), 1u);
}

TEST(CardStop, OnlyTheContextsNamedByTheBitsAreAffected) {
    Card card = make_card("tiles 1\ndefault supervisor state 1\ndefault worker state 1\n");
    TileHost host(card, 0);
    host.write(tdi_run_break, 1u << 3);
    EXPECT_EQ(host.read(tdi_status), 0x1595u) << "worker 3 stopped, everyone else running";
    host.write(tdi_run_break, 0);
    host.write(tdi_resume, 0x7F);
    EXPECT_EQ(host.read(tdi_status), 0x1555u);
    EXPECT_EQ(card.counters().resumes, 1u);
}

struct InactiveCase {
    const char* scenario;
    std::uint32_t state_after_break;
};

class CardInactiveStop : public ::testing::TestWithParam<InactiveCase> {};

TEST_P(CardInactiveStop, InactiveContextStopsUnlessTheScenarioSaysItDoesNot) {
    Card card = make_card(GetParam().scenario);
    TileHost host(card, 0);
    host.write(tdi_run_break, 1);
    EXPECT_EQ(host.state(0), GetParam().state_after_break);
    host.write(tdi_run_break, 0);
    host.write(tdi_resume, 1);
    EXPECT_EQ(host.state(0), 0u) << "an inactive context goes back to inactive";
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CardInactiveStop,
    ::testing::Values(InactiveCase{"tiles 1\n", 2},
                      InactiveCase{"tiles 1\ndefault inactive does-not-stop\n", 0},
                      InactiveCase{"tiles 1\ntile 0 context 0 inactive does-not-stop\n", 0},
                      InactiveCase{"tiles 1\ndefault inactive does-not-stop\n"
                                   "tile 0 context 0 inactive stops\n",
                                   2}));

struct UnaffectedCase {
    const char* scenario;
    std::uint32_t state;
};

class CardUnaffectedByBreak : public ::testing::TestWithParam<UnaffectedCase> {};

TEST_P(CardUnaffectedByBreak, RunBreakAndResumeLeaveTheStateAlone) {
    Card card = make_card(GetParam().scenario);
    TileHost host(card, 0);
    host.write(tdi_run_break, 1);
    for (int read = 0; read < 10; ++read) {
        EXPECT_EQ(host.state(0), GetParam().state);
    }
    host.write(tdi_run_break, 0);
    host.write(tdi_resume, 1);
    EXPECT_EQ(host.state(0), GetParam().state);
    EXPECT_EQ(card.counters().stops, 0u);
    EXPECT_EQ(card.counters().resumes, 0u);
}

INSTANTIATE_TEST_SUITE_P(Cases, CardUnaffectedByBreak,
                         ::testing::Values(UnaffectedCase{"tiles 1\ntile 0 context 0 state 1\n"
                                                          "tile 0 context 0 never-stops\n",
                                                          1},
                                           UnaffectedCase{"tiles 1\ntile 0 context 0 state 2\n", 2},
                                           UnaffectedCase{"tiles 1\ntile 0 context 0 state 3\n",
                                                          3}));

TEST(CardStop, BreakStateMayBeThree) {
    Card card = make_card("tiles 1\ndefault supervisor state 1\ntile 0 context 0 break-state 3\n");
    TileHost host(card, 0);
    host.write(tdi_run_break, 1);
    EXPECT_EQ(host.state(0), 3u);
}

TEST(CardStop, RunBreakSetAtLoadStopsTheContextAtTheFirstRead) {
    Card card = make_card("tiles 1\ndefault supervisor state 1\ntile 0 run-break 1\n");
    TileHost host(card, 0);
    EXPECT_EQ(host.read(tdi_run_break), 1u);
    EXPECT_EQ(host.state(0), 2u);
    EXPECT_TRUE(card.check().empty()) << "the card stopped it, not the host";
}

}  // namespace
}  // namespace vek_sim
