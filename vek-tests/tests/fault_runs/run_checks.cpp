#include "run_checks.hpp"

#include <fmt/format.h>

#include <map>
#include <regex>

#include "tool_run.hpp"
#include "vek_sim/registers.hpp"

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
const std::regex numbered_cause("\\s{4}\\d: (.*)");

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

std::expected<ErrorReport, std::string> parse_report(const std::string& err) {
    const auto all = testing::lines(err);
    if (all.empty() || !all[0].starts_with("Error: ") || err.back() != '\n') {
        return std::unexpected("no error report: " + err);
    }
    ErrorReport report{all[0].substr(7), {}};
    if (all.size() == 1) {
        return report;
    }
    if (all.size() < 4 || !all[1].empty() || all[2] != "Caused by:") {
        return std::unexpected("malformed report: " + err);
    }
    if (all.size() == 4) {
        if (!all[3].starts_with("    ") || all[3].size() == 4 || all[3][4] == ' ') {
            return std::unexpected("malformed cause: " + err);
        }
        report.causes.push_back(all[3].substr(4));
        return report;
    }
    for (std::size_t i = 3; i < all.size(); ++i) {
        std::smatch match;
        if (!std::regex_match(all[i], match, numbered_cause) ||
            all[i][4] - '0' != static_cast<int>(i - 3)) {
            return std::unexpected("malformed numbered cause: " + err);
        }
        report.causes.push_back(match[1]);
    }
    return report;
}

std::set<std::pair<std::uint32_t, std::uint32_t>> unrestored_scratch(const vek_sim::Card& card) {
    // TDI_DATA into M register 0: the scratch register's restore.
    constexpr std::uint32_t restore_word = vek_sim::get_special_base | vek_sim::special_debug_data;
    struct Started {
        std::uint32_t context = 0;
        std::uint32_t word = 0;
        bool took_effect = false;
    };
    std::map<std::uint32_t, std::uint32_t> contexts;  // TDI_INSTRUCTION_CONTEXT by tile
    std::map<std::uint32_t, Started> started;         // the latest instruction by tile
    std::set<std::pair<std::uint32_t, std::uint32_t>> unrestored;
    const auto finish = [&](std::uint32_t tile) {
        const auto found = started.find(tile);
        if (found != started.end() && found->second.word == restore_word &&
            !found->second.took_effect) {
            unrestored.insert({tile, found->second.context});
        }
    };
    for (const auto& record : card.accesses()) {
        if (record.tile == vek_sim::no_tile) {
            continue;
        }
        const bool write = (record.flags & vek_sim::access_write) != 0;
        if (write && record.reg == vek_sim::tdi_instruction_context) {
            contexts[record.tile] = record.value;
        } else if (write && record.reg == vek_sim::tdi_instruction) {
            finish(record.tile);  // a new instruction replaces one that never completed
            started[record.tile] = {contexts[record.tile], record.value, false};
        } else if (!write && record.reg == vek_sim::tdi_instruction_status &&
                   (record.value & vek_sim::instruction_busy) == 0) {
            // The first reading that shows the instruction done decides; a failed one has no
            // effect.
            const auto found = started.find(record.tile);
            if (found != started.end() && !found->second.took_effect) {
                found->second.took_effect = (record.value & vek_sim::instruction_failure_mask) == 0;
                if (!found->second.took_effect) {
                    finish(record.tile);
                    started.erase(found);
                }
            }
        }
    }
    for (const auto& [tile, instruction] : started) {
        finish(tile);
    }
    return unrestored;
}

}  // namespace live_state::fault_runs
