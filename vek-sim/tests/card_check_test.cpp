// The check of a card after a run, and the state file that holds the card.

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "card_test_support.hpp"

namespace vek_sim {
namespace {

using ::testing::ElementsAre;
using testing::make_card;
using testing::TileHost;

std::vector<std::string> messages(const std::vector<Difference>& differences) {
    std::vector<std::string> texts;
    for (const Difference& difference : differences) {
        texts.push_back(difference.message());
    }
    return texts;
}

constexpr const char* running_card =
    "tiles 4\n"
    "default supervisor state 1\n"
    "tile 2 context 3 m 4 0x44\n"
    "tile 3 run-break 1\n";

TEST(CardCheck, AStopAndResumeThatPutEverythingBackLeavesNoDifference) {
    Card card = make_card(running_card);
    TileHost host(card, 2);
    host.write(tdi_run_break, 1u << 3);
    host.read(tdi_status);
    host.run(3, 0x43408070);
    host.write(tdi_data, 0x1234);  // the data register may change
    host.write(tdi_run_break, 0);
    host.write(tdi_resume, 1u << 3);
    TileHost preset(card, 3);
    EXPECT_EQ(preset.state(0), 2u) << "stopped by the card, not a difference";
    EXPECT_THAT(messages(card.check()), ElementsAre());
}

TEST(CardCheck, ListsEveryChangeTheProgramMayNotCause) {
    Card card = make_card(running_card);
    TileHost tile1(card, 1);
    tile1.write(tdi_run_break, 1);
    tile1.read(tdi_status);  // stopped and never let go
    TileHost tile2(card, 2);
    tile2.run(0, 0x43008070);  // in a running context
    tile2.write(tdi_run_break, 1u << 3);
    tile2.read(tdi_status);
    tile2.write(tdi_data, 9);
    tile2.run(3, 0x41040070);  // M4 of worker 3 overwritten
    tile2.write(tdi_run_break, 0);
    tile2.write(tdi_resume, 1u << 3);

    EXPECT_THAT(messages(card.check()),
                ElementsAre("tile 1 context 0: state 1 at load, now 2",
                            "tile 1: TDI_RUN_BREAK 0x0 at load, now 0x1",
                            "tile 2 context 3: M register 4 0x44 at load, now 0x9",
                            "tile 2 context 0: instruction 0x43008070 run while the context was "
                            "running (register access 4 since load)"));
}

TEST(CardStateFile, KeepsTheCardForAnotherMapping) {
    const std::string path =
        (std::filesystem::temp_directory_path() / ("vek-sim-kept-" + std::to_string(getpid())))
            .string();
    {
        auto scenario = parse_scenario("tiles 8\ntile 5 context 2 m 1 0x77\n");
        ASSERT_TRUE(scenario);
        auto card = Card::create(*scenario, path);
        ASSERT_TRUE(card) << card.error();
        card->model().write(debug_offset(5, tdi_data), 0xABC);
    }
    ASSERT_TRUE(std::filesystem::exists(path)) << "a named state file outlives its Card";
    {
        auto card = Card::open(path);
        ASSERT_TRUE(card) << card.error();
        EXPECT_EQ(card->tile_count(), 8u);
        EXPECT_EQ(card->m_register(5, 2, 1), 0x77u);
        EXPECT_EQ(card->tile(5).data, 0xABCu);
        ASSERT_EQ(card->accesses().size(), 1u);
        EXPECT_EQ(card->accesses()[0].value, 0xABCu);
    }
    std::filesystem::remove(path);
}

TEST(CardStateFile, TemporaryFileGoesWithTheCard) {
    std::string path;
    {
        Card card = make_card("tiles 1\n");
        path = card.path();
        EXPECT_TRUE(std::filesystem::exists(path));
        Card moved = std::move(card);
        EXPECT_EQ(moved.path(), path);
    }
    EXPECT_FALSE(std::filesystem::exists(path));
}

TEST(CardStateFile, OtherFilesAreRefused) {
    const std::string path =
        (std::filesystem::temp_directory_path() / ("vek-sim-not-" + std::to_string(getpid())))
            .string();
    std::ofstream(path) << std::string(1 << 20, 'x');
    auto card = Card::open(path);
    ASSERT_FALSE(card);
    EXPECT_EQ(card.error(), path + " is not a card state file");
    std::filesystem::remove(path);

    auto missing = Card::open(path);
    ASSERT_FALSE(missing);
    EXPECT_EQ(missing.error(),
              "cannot open card state file " + path + ": No such file or directory");
}

}  // namespace
}  // namespace vek_sim
