#include "card_expectations.hpp"

#include <fmt/format.h>

#include <algorithm>
#include <array>
#include <string_view>

#include "vek_exchange/q720.hpp"
#include "vek_sim/registers.hpp"

namespace live_state::fault_runs {

namespace {

// By the receive error code in bits 29..27 of TDI_STATUS.
constexpr std::array<std::string_view, 8> receive_error_names = {
    "None",    "InstructionClash", "InstructionFetchClash", "Address",
    "Workers", "DataBreak",        "Configuration",         "Modification"};

// By the code in bits 7..4 of a context status word.
// clang-format off
constexpr std::array<std::string_view, 16> exception_names = {
    "None", "RetirementBreak", "PatchedBreak0", "PatchedBreak1",
    "BreakOnSync", "FloatingPoint", "MemoryConflict", "InvalidExchangeConfiguration",
    "InvalidMemoryAddress", "InvalidOperand", "InvalidProgramCounter", "DataBreak",
    "InvalidInstruction", "ExchangeError", "MemoryError", "InstructionBreak"};
// clang-format on

// Instructions of one visit when nothing fails: a special register read is four (save the
// scratch register, copy the special into it, copy it out, put it back), an M register read one.
constexpr std::uint32_t special_read_instructions = 4;
constexpr std::uint32_t supervisor_instructions = 2 * special_read_instructions;
constexpr std::uint32_t worker_instructions = 6 * (special_read_instructions + 3);

constexpr std::uint32_t wait_bound_ms = 100;

// The supervisor's state in the tool's first TDI_STATUS read of the tile: a stop armed at load
// with no delay shows in that very read.
std::uint32_t first_seen_state(const vek_sim::ContextSlot& context) {
    if (context.stop_armed != 0 && context.stop_countdown == 0) {
        return context.faults.break_state;
    }
    return context.state;
}

// Whether a long pause after a TDI_INSTRUCTION_STATUS reading times an instruction out: every
// instruction shows busy for N readings and done in the next, so the tile's k-th reading is
// reading j of instruction i, and the pause ends the wait only when the reading after it is
// still busy. A pause after the last busy reading is followed by the done one: no timeout.
bool instruction_stall_times_out(const vek_sim::TileFaults& faults, std::uint32_t reached) {
    const vek_sim::Stall& stall = faults.instruction_status_stall;
    if (stall.milliseconds < wait_bound_ms || stall.at_read == 0 || faults.busy_forever != 0) {
        return false;
    }
    const std::uint32_t per_instruction = faults.busy_reads + 1;
    const std::uint32_t instruction = (stall.at_read - 1) / per_instruction + 1;
    const std::uint32_t reading = (stall.at_read - 1) % per_instruction + 1;
    return instruction <= reached && reading + 1 <= faults.busy_reads;
}

std::string supervisor_line(std::uint16_t logical, std::uint16_t physical, std::uint32_t context,
                            std::uint32_t receive_error, std::uint32_t dcount,
                            std::uint32_t control, std::uint32_t mux_pair, std::uint32_t format,
                            std::optional<std::uint32_t> pc) {
    std::string line = fmt::format(
        "logical={} physical={} context={} ererr={} dcount={} exchangeCtl=0x{:08x} "
        "incomingMuxPair={} incomingFormat={}",
        logical, physical, context, receive_error_names.at(receive_error), dcount, control,
        mux_pair, format);
    if (pc) {
        line += fmt::format(" pc=0x{:08x}", *pc);
    }
    return line;
}

void expect_live(const vek_sim::TileSlot& tile, const ToolRequest& request, bool listed,
                 TileExpectation& expected) {
    const vek_sim::ContextSlot& supervisor = tile.contexts[0];
    std::uint32_t instructions = 0;
    if (request.workers) {
        expected.reported = true;
        instructions = worker_instructions;
        for (std::uint32_t worker = 1; worker < vek_sim::contexts_per_tile; ++worker) {
            const vek_sim::ContextSlot& context = tile.contexts[worker];
            const std::uint32_t status = context.special[vek_sim::special_status];
            expected.lines.push_back(fmt::format(
                "logical={} worker={} status=0x{:08x} exception={} pointers=[{}, {}, {}]",
                expected.logical, worker, status, exception_names.at((status >> 4) & 0xF),
                context.m[2], context.m[3], context.m[4]));
        }
    } else {
        const std::uint32_t state = first_seen_state(supervisor);
        expected.reported = listed || expected.logical <= 3 || state != 1 ||
                            tile.receive_error != 0 || tile.exchange[0] != 0 ||
                            tile.exchange[1] != 0;
        instructions =
            supervisor_instructions + (request.program_counter ? special_read_instructions : 0);
        std::optional<std::uint32_t> pc;
        if (request.program_counter) {
            pc = supervisor.special[vek_sim::special_program_counter];
        }
        if (expected.reported) {
            expected.lines.push_back(supervisor_line(
                expected.logical, expected.physical, state, tile.receive_error, tile.exchange[0],
                tile.exchange[1], supervisor.special[vek_sim::special_incoming_muxpair],
                supervisor.special[vek_sim::special_incoming_format], pc));
        }
    }

    const vek_sim::TileFaults& faults = tile.faults;
    for (const vek_sim::ContextSlot& context : tile.contexts) {
        expected.may_time_out_stopping = expected.may_time_out_stopping ||
                                         context.faults.never_stops != 0 ||
                                         context.faults.inactive_stops == 0;
    }
    expected.may_time_out_stopping =
        expected.may_time_out_stopping || faults.status_stall.milliseconds >= wait_bound_ms;
    std::uint32_t reached = instructions;  // the last instruction the visit can start
    if (faults.fail_instruction >= 1 && faults.fail_instruction <= instructions) {
        expected.failing_status = faults.fail_status;
        reached = faults.fail_instruction;
    }
    const bool stall_times_out = instruction_stall_times_out(faults, reached);
    expected.may_time_out_instruction = faults.busy_forever != 0 || stall_times_out;
    expected.must_fail =
        faults.busy_forever != 0 || expected.failing_status.has_value() || stall_times_out;
}

// A tile beyond the card's tile count is plain storage that reads 0 (the generator writes none
// of it): an inactive supervisor with nothing of note, whose instructions succeed at once, but
// whose contexts never show a stop: a visit that stops one (a worker read, the program counter)
// cannot succeed and prints nothing.
void expect_plain(const ToolRequest& request, TileExpectation& expected) {
    expected.reported = true;
    const bool needs_stop = request.workers || request.program_counter;
    expected.may_time_out_stopping = needs_stop;
    expected.must_fail = needs_stop;
    if (!needs_stop) {
        expected.lines.push_back(
            supervisor_line(expected.logical, expected.physical, 0, 0, 0, 0, 0, 0, std::nullopt));
    }
}

}  // namespace

RunExpectation expect_run(const vek_sim::Card& card, const ToolRequest& request) {
    std::vector<std::uint16_t> walk;
    const bool listed = !request.tiles.empty();
    if (listed) {
        for (const std::uint16_t logical : request.tiles) {
            if (logical < vek_exchange::kQ720TileCount) {
                walk.push_back(logical);
            }
        }
        std::sort(walk.begin(), walk.end());
        walk.erase(std::unique(walk.begin(), walk.end()), walk.end());
    } else {
        for (std::uint16_t logical = 0; logical < vek_exchange::kQ720TileCount; ++logical) {
            walk.push_back(logical);
        }
    }
    RunExpectation run;
    for (const std::uint16_t logical : walk) {
        TileExpectation expected;
        expected.logical = logical;
        expected.physical = vek_exchange::q720_logical_to_physical(logical);
        if (expected.physical < card.tile_count()) {
            expect_live(card.initial_tile(expected.physical), request, listed, expected);
        } else {
            expect_plain(request, expected);
        }
        run.tiles.push_back(std::move(expected));
    }
    return run;
}

bool RunExpectation::may_fail() const {
    return std::any_of(tiles.begin(), tiles.end(),
                       [](const TileExpectation& tile) { return tile.may_fail(); });
}

bool RunExpectation::must_fail() const {
    return std::any_of(tiles.begin(), tiles.end(),
                       [](const TileExpectation& tile) { return tile.reported && tile.must_fail; });
}

std::vector<std::string> RunExpectation::all_lines() const {
    std::vector<std::string> lines;
    for (const TileExpectation& tile : tiles) {
        lines.insert(lines.end(), tile.lines.begin(), tile.lines.end());
    }
    return lines;
}

const TileExpectation* RunExpectation::find(std::uint16_t logical) const {
    for (const TileExpectation& tile : tiles) {
        if (tile.logical == logical) {
            return &tile;
        }
    }
    return nullptr;
}

}  // namespace live_state::fault_runs
