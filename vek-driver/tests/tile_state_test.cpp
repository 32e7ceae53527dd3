#include <gtest/gtest.h>

#include "simulated_card.hpp"

namespace vek_driver {
namespace {

using testing::instruction;
using testing::R;
using testing::SimulatedCard;
using testing::W;

TEST(TileException, DecodesBitsSevenToFourOfTheStatusWord) {
    const std::pair<std::uint32_t, std::string_view> cases[] = {
        {0xF0, "InstructionBreak"},
        {0x50, "FloatingPoint"},
        {0xFFFFFF0F, "None"},
        {0x12345678, "InvalidExchangeConfiguration"},
        {0x80, "InvalidMemoryAddress"},
        {0x10, "RetirementBreak"},
        {0x20, "PatchedBreak0"},
        {0x30, "PatchedBreak1"},
        {0x40, "BreakOnSync"},
        {0x60, "MemoryConflict"},
        {0x90, "InvalidOperand"},
        {0xA0, "InvalidProgramCounter"},
        {0xB0, "DataBreak"},
        {0xC0, "InvalidInstruction"},
        {0xD0, "ExchangeError"},
        {0xE0, "MemoryError"},
    };
    for (const auto& [status, name] : cases) {
        EXPECT_EQ(TileException::from_status(status).name(), name) << std::hex << status;
        EXPECT_EQ(TileException::from_status(status).value(), (status >> 4) & 0xF);
    }
    EXPECT_EQ(TileException::from_status(0xF0), TileException::InstructionBreak);
}

TEST(TileExchangeReceiveError, DecodesThreeBitValuesOnly) {
    const std::string_view names[] = {"None",          "InstructionClash", "InstructionFetchClash",
                                      "Address",       "Workers",          "DataBreak",
                                      "Configuration", "Modification"};
    for (std::uint32_t raw = 0; raw < 8; ++raw) {
        const auto decoded = TileExchangeReceiveError::from_raw(raw);
        ASSERT_TRUE(decoded) << raw;
        EXPECT_EQ(decoded->name(), names[raw]);
        EXPECT_EQ(decoded->value(), raw);
    }
    EXPECT_EQ(TileExchangeReceiveError::from_raw(8), std::nullopt);
    EXPECT_EQ(TileExchangeReceiveError::from_raw(0xFFFFFFFF), std::nullopt);
}

TEST(TileStateQueries, ReceiveErrorComesFromStatusBits29To27) {
    const std::pair<const char*, TileExchangeReceiveError> cases[] = {
        {"tile 0 context 0..6 state 3\ntile 0 receive-error 7",  // 0x38003FFF
         TileExchangeReceiveError::Modification},
        {"tile 0 status-bits 0xc7ffc000", TileExchangeReceiveError::None},
        {"tile 0 context 6 state 1\ntile 0 receive-error 2",  // 0x10001000
         TileExchangeReceiveError::InstructionFetchClash},
    };
    for (const auto& [scenario, expected] : cases) {
        SimulatedCard sim(std::string("tiles 1\n") + scenario + "\n");
        const Device device = sim.open();
        EXPECT_EQ(device.tile_exchange_receive_error(0), expected) << scenario;
        EXPECT_EQ(sim.accesses().size(), 1U);
    }
}

TEST(TileStateQueries, ExchangeStateReadsRegisterTenThenEleven) {
    SimulatedCard sim("tiles 3\ntile 2 exchange 4 0xa1f\n");
    const Device device = sim.open();
    EXPECT_EQ(device.tile_exchange_state(2), (ExchangeState{4, 0xA1F}));
    EXPECT_EQ(sim.accesses(),
              (std::vector{R(TDI_INCOMING_DCOUNT, 4), R(TDI_EXCHANGE_CONTROL, 0xA1F)}));
    sim.card().clear_log();
    EXPECT_EQ(device.tile_exchange_state(5120).error().message(),
              "invalid device data: configuration offset 0x80028");
    EXPECT_EQ(device.tile_exchange_receive_error(5120).error().message(),
              "invalid device data: configuration offset 0x80000");
    EXPECT_TRUE(sim.accesses().empty());
}

TEST(TileStateQueries, WorkerStatusNeedsAWorkerContext) {
    SimulatedCard sim("tiles 1\ntile 0 context 6 state 2\ntile 0 context 6 status-word 0x80\n");
    const Device device = sim.open();
    const auto supervisor = device.read_tile_worker_status(0, 0);
    ASSERT_FALSE(supervisor);
    EXPECT_EQ(supervisor.error().message(),
              "invalid device data: worker status requires a worker context");
    const auto beyond = device.read_tile_worker_status(0, 7);
    ASSERT_FALSE(beyond);
    EXPECT_EQ(beyond.error().message(), "invalid device data: tile context out of range");
    EXPECT_TRUE(sim.accesses().empty());

    EXPECT_EQ(device.read_tile_worker_status(0, 6), 0x80U);
    const auto seen = sim.accesses();
    ASSERT_GE(seen.size(), 10U);
    EXPECT_EQ(std::vector(seen.begin() + 7, seen.begin() + 10),
              (std::vector{W(TDI_INSTRUCTION_CONTROL, 6), W(TDI_INSTRUCTION_CONTEXT, 6),
                           W(TDI_INSTRUCTION, 0x41000001)}));
    sim.expect_unchanged();
}

struct SpecialCase {
    const char* name;
    std::uint32_t word;
    bool stops_inactive;
};

TEST(TileStateQueries, EachSpecialRegisterQueryRunsItsWord) {
    const SpecialCase cases[] = {
        {"program counter", 0x41000000, true},
        {"context status", 0x41000001, true},
        {"INCOMING_MUXPAIR", 0x410000A1, false},
        {"INCOMING_FORMAT", 0x410000A3, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        // An inactive supervisor: only the reads by number take it as quiescent.
        SimulatedCard sim(
            "tiles 1\ntile 0 context 0 pc 0x400\ntile 0 context 0 status-word 0x95\n"
            "tile 0 context 0 special 0xa1 161\ntile 0 context 0 special 0xa3 163\n");
        const Device device = sim.open();
        Result<std::uint32_t> value = 0U;
        std::uint32_t expected = 0;
        switch (c.word & 0xFF) {
            case 0x00:
                value = device.read_tile_program_counter(0, 0);
                expected = 0x400;
                break;
            case 0x01:
                value = device.read_tile_context_status(0, 0);
                expected = 0x95;
                break;
            default:
                value = device.read_tile_special_register(0, 0, static_cast<std::uint8_t>(c.word));
                expected = c.word & 0xFF;
        }
        EXPECT_EQ(value, expected);
        const auto seen = sim.accesses();
        const bool stopped = seen.size() > 2 && seen[2] == W(TDI_RUN_BREAK, 1);
        EXPECT_EQ(stopped, c.stops_inactive);
        const auto word_at = std::find(seen.begin(), seen.end(), W(TDI_INSTRUCTION, c.word));
        EXPECT_NE(word_at, seen.end());
        sim.expect_unchanged();
    }
}

}  // namespace
}  // namespace vek_driver
