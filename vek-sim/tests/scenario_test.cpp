// Scenario text: what each kind of line sets, and the errors for lines that are wrong.

#include <gtest/gtest.h>

#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <filesystem>
#include <fstream>

#include "card_test_support.hpp"
#include "vek_sim/scenario.hpp"

namespace vek_sim {
namespace {

using testing::make_card;

TEST(Scenario, CommentsBlankLinesAndNumberForms) {
    Card card = make_card(
        "# a card\n"
        "\n"
        "tiles 0x10   # sixteen\n"
        "   tile 3 context 0 m 1 0x1F\t\n"
        "tile 3 context 0 m 2 31\r\n");
    EXPECT_EQ(card.tile_count(), 16u);
    EXPECT_EQ(card.m_register(3, 0, 1), 31u);
    EXPECT_EQ(card.m_register(3, 0, 2), 31u);
}

TEST(Scenario, DefaultsApplyBeforeTileLinesWhereverTheyStand) {
    Card card = make_card(
        "tiles 4\n"
        "tile 2 context 0 state 2\n"
        "default supervisor state 1\n"
        "default worker state 3\n");
    EXPECT_EQ(card.context_state(0, 0), 1);
    EXPECT_EQ(card.context_state(2, 0), 2);
    EXPECT_EQ(card.context_state(1, 6), 3);
}

TEST(Scenario, RangesOfTilesAndContexts) {
    Card card = make_card("tiles 10\ntile 2..4 context 1..6 state 1\ntile 7 context 0..6 m 3 5\n");
    for (std::uint32_t t = 0; t < 10; ++t) {
        EXPECT_EQ(card.context_state(t, 1), t >= 2 && t <= 4 ? 1 : 0) << t;
        EXPECT_EQ(card.context_state(t, 0), 0) << t;
    }
    EXPECT_EQ(card.m_register(7, 6, 3), 5u);
}

TEST(Scenario, ContextRegistersAndException) {
    Card card = make_card(
        "tiles 2\n"
        "tile 1 context 2 special 0xa3 7\n"
        "tile 1 context 2 pc 0x1234\n"
        "tile 1 context 2 status-word 0x10f\n"
        "tile 1 context 2 exception 9\n");
    EXPECT_EQ(card.special_register(1, 2, 0xA3), 7u);
    EXPECT_EQ(card.special_register(1, 2, 0), 0x1234u);
    EXPECT_EQ(card.special_register(1, 2, 1), 0x19Fu) << "the exception replaces bits 7..4 only";
}

TEST(Scenario, CardWideSettings) {
    auto scenario = parse_scenario(
        "window frozen\n"
        "log-capacity 100\n"
        "default stop-delay 4\n"
        "default inactive does-not-stop\n"
        "default break-state 3\n"
        "interrupt SIGTERM at 5000\n"
        "fault open EACCES\n"
        "fault mmap 12\n"
        "fault attach result 1\n"
        "fault set-id result 2 errno ENOTTY\n"
        "fault munmap EINVAL\n"
        "fault close EIO\n");
    ASSERT_TRUE(scenario) << scenario.error().message();
    EXPECT_EQ(scenario->window, WindowMode::frozen);
    EXPECT_EQ(scenario->log_capacity, 100u);
    EXPECT_EQ(scenario->stop_delay, 4u);
    EXPECT_FALSE(scenario->inactive_stops);
    EXPECT_EQ(scenario->break_state, 3);
    EXPECT_EQ(scenario->interrupt.signal, SIGTERM);
    EXPECT_EQ(scenario->interrupt.at_access, 5000u);
    const DriverFaults& f = scenario->faults;
    EXPECT_EQ(f.open.active, 1u);
    EXPECT_EQ(f.open.error, EACCES);
    EXPECT_EQ(f.open.result, -1);
    EXPECT_EQ(f.mmap.error, 12);
    EXPECT_EQ(f.attach.result, 1);
    EXPECT_EQ(f.attach.error, 0) << "errno left as it is";
    EXPECT_EQ(f.set_id.result, 2);
    EXPECT_EQ(f.set_id.error, ENOTTY);
    EXPECT_EQ(f.munmap.error, EINVAL);
    EXPECT_EQ(f.close.error, EIO);
}

TEST(Scenario, TileFaults) {
    Card card = make_card(
        "tiles 2\n"
        "tile 1 busy 5 value 0x18\n"
        "tile 1 fail-instruction 3 status 0x15\n"
        "tile 1 completion-status 0x10\n"
        "tile 1 stall status 7 150\n"
        "tile 1 stall instruction-status 2 30\n"
        "tile 0 busy forever\n"
        "tile 0 context 4 never-stops\n"
        "tile 0 context 4 stop-delay 9\n");
    const TileFaults& faults = card.tile(1).faults;
    EXPECT_EQ(faults.busy_reads, 5u);
    EXPECT_EQ(faults.busy_value, 0x18u);
    EXPECT_EQ(faults.fail_instruction, 3u);
    EXPECT_EQ(faults.fail_status, 0x15u);
    EXPECT_EQ(faults.completion_status, 0x10u);
    EXPECT_EQ(faults.status_stall.at_read, 7u);
    EXPECT_EQ(faults.status_stall.milliseconds, 150u);
    EXPECT_EQ(faults.instruction_status_stall.at_read, 2u);
    EXPECT_EQ(card.tile(0).faults.busy_forever, 1u);
    EXPECT_EQ(card.tile(0).faults.busy_value, 0x8u);
    EXPECT_EQ(card.tile(0).contexts[4].faults.never_stops, 1u);
    EXPECT_EQ(card.tile(0).contexts[4].faults.stop_delay, 9u);
}

struct BadLine {
    const char* text;
    const char* error;
};

class ScenarioError_ : public ::testing::TestWithParam<BadLine> {};

TEST_P(ScenarioError_, NamesTheLineAndTheProblem) {
    const std::string text = std::string("tiles 16\n# comment\n") + GetParam().text + "\n";
    auto scenario = parse_scenario(text);
    ASSERT_FALSE(scenario) << GetParam().text;
    EXPECT_EQ(scenario.error().message(), GetParam().error);
}

INSTANTIATE_TEST_SUITE_P(
    Table, ScenarioError_,
    ::testing::Values(
        BadLine{"tilez 3", "line 3: unknown setting 'tilez'"},
        BadLine{"tile", "line 3: missing tile number"},
        BadLine{"tile x context 0 state 1", "line 3: invalid tile number 'x'"},
        BadLine{"tile 5120 data 1", "line 3: tile number 5120 is out of range 0..5119"},
        BadLine{"tile 20 data 1", "line 3: tile 20 is not below the tile count 16"},
        BadLine{"tile 4..2 data 1", "line 3: empty tile number range '4..2'"},
        BadLine{"tile 3", "line 3: missing tile setting"},
        BadLine{"tile 3 colour red", "line 3: unknown tile setting 'colour'"},
        BadLine{"tile 3 context 7 state 1", "line 3: context number 7 is out of range 0..6"},
        BadLine{"tile 3 context 0 state 4", "line 3: state 4 is out of range 0..3"},
        BadLine{"tile 3 context 0 state", "line 3: missing state"},
        BadLine{"tile 3 context 0 state 1 2", "line 3: unexpected '2' at the end of the line"},
        BadLine{"tile 3 context 0 m 16 1", "line 3: M register 16 is out of range 0..15"},
        BadLine{"tile 3 context 0 m 1 0x100000000",
                "line 3: value 0x100000000 does not fit in 32 bits"},
        BadLine{"tile 3 context 0 special 256 1",
                "line 3: special register 256 is out of range 0..255"},
        BadLine{"tile 3 context 0 exception 16", "line 3: exception code 16 is out of range 0..15"},
        BadLine{"tile 3 context 0 fly", "line 3: unknown context setting 'fly'"},
        BadLine{"tile 3 context 0 inactive maybe",
                "line 3: expected 'stops' or 'does-not-stop', found 'maybe'"},
        BadLine{"tile 3 context 0 break-state 1", "line 3: state 1 is out of range 2..3"},
        BadLine{"tile 3 receive-error 8", "line 3: receive error 8 is out of range 0..7"},
        BadLine{"tile 3 exchange 4", "line 3: missing exchange control"},
        BadLine{"tile 3 status-bits 0x8000001",
                "line 3: status bits 0x8000001 overlap the context states or the receive error"},
        BadLine{"tile 3 register 7 1", "line 3: debug register 7 is not a plain storage register"},
        BadLine{"tile 3 busy 2 value 4", "line 3: busy value 0x4 does not have bit 3 set"},
        BadLine{"tile 3 busy soon", "line 3: invalid busy read count 'soon'"},
        BadLine{"tile 3 fail-instruction 0 status 1",
                "line 3: instruction number 0 is out of range 1..4294967295"},
        BadLine{"tile 3 fail-instruction 2 0x15", "line 3: expected 'status', found '0x15'"},
        BadLine{"tile 3 fail-instruction 2 status 0x10",
                "line 3: failure status 0x10 has none of bits 2..0 set"},
        BadLine{"tile 3 fail-instruction 2 status 0xd",
                "line 3: failure status 0xd has bit 3 (busy) set"},
        BadLine{"tile 3 completion-status 0x11",
                "line 3: completion status 0x11 has some of bits 3..0 set"},
        BadLine{"tile 3 stall status-read 1 5",
                "line 3: expected 'status' or 'instruction-status', found 'status-read'"},
        BadLine{"tile 3 stall status 1 0",
                "line 3: stall milliseconds 0 is out of range 1..600000"},
        BadLine{"tiles 0", "line 3: tile count 0 is out of range 1..5120"},
        BadLine{"default colour 1", "line 3: unknown default 'colour'"},
        BadLine{"default supervisor mood 1", "line 3: expected 'state', found 'mood'"},
        BadLine{"window open", "line 3: expected 'trapped' or 'frozen', found 'open'"},
        BadLine{"fault read EIO", "line 3: unknown driver call 'read'"},
        BadLine{"fault open EWHAT", "line 3: unknown errno name 'EWHAT'"},
        BadLine{"fault open", "line 3: missing errno name"},
        BadLine{"fault attach result 0", "line 3: result 0 is out of range 1..2147483647"},
        BadLine{"fault mmap result 1", "line 3: unknown errno name 'result'"},
        BadLine{"interrupt SIGFOO at 3", "line 3: unknown signal 'SIGFOO'"},
        BadLine{"interrupt SIGINT 3", "line 3: expected 'at', found '3'"},
        BadLine{"word 0x102 1", "line 3: window offset 0x102 is not a multiple of 4"},
        BadLine{"word 0x80000 1", "line 3: window offset 0x80000 is out of range 0..524284"},
        BadLine{"word 0x30004 1", "line 3: window offset 0x30004 is TDI_RUN_BREAK of live tile 0"},
        BadLine{"log-capacity 0", "line 3: log capacity 0 is out of range 1..16777216"}));

TEST(Scenario, FileErrorsNameTheFileAndLine) {
    const auto path = std::filesystem::temp_directory_path() /
                      ("vek-sim-scenario-" + std::to_string(::getpid()) + ".card");
    std::ofstream(path) << "tiles 4\ntile 9 data 1\n";
    auto scenario = load_scenario_file(path.string());
    ASSERT_FALSE(scenario);
    EXPECT_EQ(scenario.error(), path.string() + ":2: tile 9 is not below the tile count 4");
    std::filesystem::remove(path);
    auto missing = load_scenario_file(path.string());
    ASSERT_FALSE(missing);
    EXPECT_EQ(missing.error(), "cannot read scenario " + path.string());
}

}  // namespace
}  // namespace vek_sim
