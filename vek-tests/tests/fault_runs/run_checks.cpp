#include "run_checks.hpp"

#include <fmt/format.h>

#include <regex>

#include "tool_run.hpp"

namespace live_state::fault_runs {

namespace {

const std::regex supervisor_line(
    "logical=(\\d+) physical=(\\d+) context=[0-3] ererr=(None|InstructionClash|"
    "InstructionFetchClash|Address|Workers|DataBreak|Configuration|Modification) dcount=\\d+ "
    "exchangeCtl=0x[0-9a-f]{8} incomingMuxPair=\\d+ incomingFormat=\\d+( pc=0x[0-9a-f]{8})?");
const std::regex worker_line(
    "logical=(\\d+) worker=([1-6]) status=0x[0-9a-f]{8} exception=(None|RetirementBreak|"
    "PatchedBreak0|PatchedBreak1|BreakOnSync|FloatingPoint|MemoryConflict|"
    "InvalidExchangeConfiguration|InvalidMemoryAddress|InvalidOperand|InvalidProgramCounter|"
    "DataBreak|InvalidInstruction|ExchangeError|MemoryError|InstructionBreak) "
    "pointers=\\[\\d+, \\d+, \\d+\\]");

// The driver's messages that a card can cause.
const std::regex driver_message(
    "device timeout: (TDI instruction|stopping tile context)|"
    "invalid device data: TDI instruction failed with status 0x[0-9a-f]+");
const std::regex tile_note(
    "read tile \\d+ (context state|ERERR|exchange state|PC|INCOMING_MUXPAIR|INCOMING_FORMAT)");
const std::regex interrupted("interrupted by (SIGINT|SIGTERM|SIGHUP)");

}  // namespace

std::vector<std::string> output_problems(const std::string& out, bool workers) {
    std::vector<std::string> problems;
    if (!out.empty() && out.back() != '\n') {
        problems.push_back("standard output ends inside a line");
    }
    long previous_logical = -1;
    long previous_worker = 0;
    for (const auto& line : testing::lines(out)) {
        std::smatch match;
        if (!std::regex_match(line, match, workers ? worker_line : supervisor_line)) {
            problems.push_back("malformed line: " + line);
            continue;
        }
        const long logical = std::stol(match[1]);
        if (workers) {
            const long worker = std::stol(match[2]);
            const bool next_worker = logical == previous_logical && worker == previous_worker + 1;
            const bool next_tile = logical > previous_logical && worker == 1;
            if (!next_worker && !next_tile) {
                problems.push_back("worker line out of order: " + line);
            }
            previous_worker = worker;
        } else if (logical <= previous_logical) {
            problems.push_back("tile line out of order: " + line);
        }
        previous_logical = logical;
    }
    return problems;
}

std::vector<std::string> report_problems(const std::string& err) {
    const auto all = testing::lines(err);
    if (all.empty() || !all[0].starts_with("Error: ") || err.back() != '\n') {
        return {"no report: " + err};
    }
    const std::string top = all[0].substr(7);
    std::vector<std::string> problems;
    if (all.size() == 1) {
        if (!std::regex_match(top, driver_message) && !std::regex_match(top, interrupted)) {
            problems.push_back("unexpected message without cause: " + top);
        }
        return problems;
    }
    if (all.size() != 4 || !all[1].empty() || all[2] != "Caused by:" ||
        !all[3].starts_with("    ")) {
        return {"malformed report: " + err};
    }
    if (!std::regex_match(top, tile_note)) {
        problems.push_back("unexpected top message: " + top);
    }
    if (!std::regex_match(all[3].substr(4), driver_message)) {
        problems.push_back("unexpected cause: " + all[3]);
    }
    return problems;
}

std::set<std::pair<std::uint32_t, std::uint32_t>> failed_scratch_restores(
    const vek_sim::Card& card) {
    constexpr std::uint32_t restore_m0 = 0x41000070;  // TDI_DATA into M register 0
    std::set<std::pair<std::uint32_t, std::uint32_t>> failed;
    std::uint32_t context = 0;
    std::uint32_t word = 0;
    for (const auto& record : card.accesses()) {
        const bool write = (record.flags & vek_sim::access_write) != 0;
        if (write && record.reg == 4) {
            context = record.value;
        } else if (write && record.reg == 3) {
            word = record.value;
        } else if (!write && record.reg == 8 && (record.value & 0x8) == 0 &&
                   (record.value & 0x7) != 0 && word == restore_m0) {
            failed.insert({record.tile, context});
        }
    }
    return failed;
}

}  // namespace live_state::fault_runs
