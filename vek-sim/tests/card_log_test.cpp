// The card's log and counters, and the faults that act on time and signals.

#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>

#include "../src/model/monotonic_clock.hpp"
#include "card_test_support.hpp"

namespace vek_sim {
namespace {

using testing::make_card;
using testing::TileHost;

TEST(CardLog, RecordsEveryAccessInOrder) {
    Card card = make_card("tiles 2\ntile 1 context 0 state 1\n");
    CardModel& model = card.model();
    const std::uint64_t before = monotonic_ns();
    model.read(0x30040);
    model.write(0x30044, 1);
    model.read(0x200);
    const auto log = card.accesses();
    ASSERT_EQ(log.size(), 3u);
    EXPECT_EQ(log[0].offset, 0x30040u);
    EXPECT_EQ(log[0].tile, 1u);
    EXPECT_EQ(log[0].reg, tdi_status);
    EXPECT_EQ(log[0].value, 1u);
    EXPECT_EQ(log[0].flags, 0u);
    EXPECT_EQ(log[1].reg, tdi_run_break);
    EXPECT_EQ(log[1].flags, access_write);
    EXPECT_EQ(log[2].tile, no_tile);
    EXPECT_GE(log[0].time_ns, before);
    EXPECT_LE(log[0].time_ns, log[1].time_ns);
    EXPECT_LE(log[1].time_ns, log[2].time_ns);
}

TEST(CardLog, CountsStayRightPastTheCapacityAndAfterClearing) {
    Card card = make_card("tiles 1\nlog-capacity 3\n");
    CardModel& model = card.model();
    for (std::uint32_t i = 0; i < 5; ++i) {
        model.write(0x100, i);
    }
    model.read(0x100);
    EXPECT_EQ(card.accesses().size(), 3u);
    EXPECT_EQ(card.accesses()[2].value, 2u) << "the first records are kept";
    EXPECT_EQ(card.log_counts().accesses, 6u);
    EXPECT_EQ(card.counters().accesses, 6u);
    EXPECT_EQ(card.counters().writes, 5u);
    EXPECT_EQ(card.counters().reads, 1u);

    card.clear_log();
    model.read(0x100);
    ASSERT_EQ(card.accesses().size(), 1u);
    EXPECT_EQ(card.accesses()[0].value, 4u);
    EXPECT_EQ(card.log_counts().accesses, 1u);
    EXPECT_EQ(card.counters().accesses, 7u) << "the card's counters run on from load";
}

struct StallCase {
    const char* scenario;
    std::uint32_t reg;
};

class CardStall : public ::testing::TestWithParam<StallCase> {};

// The stall comes after the value was determined: the read's record carries a time from before
// the pause, and the caller's next clock reading is late by the pause.
TEST_P(CardStall, PausesAfterTheNthReadHasItsValue) {
    Card card = make_card(GetParam().scenario);
    TileHost host(card, 0);
    host.start(0, 0x43008070);
    std::uint64_t longest = 0;
    std::size_t longest_read = 0;
    for (std::size_t read = 1; read <= 3; ++read) {
        const std::uint64_t start = monotonic_ns();
        host.read(GetParam().reg);
        const std::uint64_t end = monotonic_ns();
        if (end - start > longest) {
            longest = end - start;
            longest_read = read;
        }
        if (read == 2) {
            EXPECT_GE(end - card.accesses().back().time_ns, 60'000'000u);
        }
    }
    EXPECT_EQ(longest_read, 2u);
    EXPECT_GE(longest, 60'000'000u);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CardStall,
    ::testing::Values(StallCase{"tiles 1\ntile 0 stall status 2 60\n", tdi_status},
                      StallCase{"tiles 1\ntile 0 stall instruction-status 2 60\n",
                                tdi_instruction_status}));

volatile sig_atomic_t interrupts = 0;

TEST(CardLog, InterruptIsSentOnceAfterTheNthAccess) {
    struct sigaction action {};
    struct sigaction previous {};
    action.sa_handler = [](int) { interrupts = interrupts + 1; };
    sigaction(SIGUSR1, &action, &previous);
    interrupts = 0;
    Card card = make_card("tiles 1\ninterrupt SIGUSR1 at 3\n");
    card.model().read(0x100);
    card.model().read(0x100);
    EXPECT_EQ(interrupts, 0);
    card.model().write(0x100, 1);
    EXPECT_EQ(interrupts, 1);
    card.model().read(0x100);
    EXPECT_EQ(interrupts, 1);
    sigaction(SIGUSR1, &previous, nullptr);
}

}  // namespace
}  // namespace vek_sim
