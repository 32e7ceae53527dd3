#include <fmt/format.h>

#include "vek_sim/report.hpp"

namespace vek_sim {
namespace {

// " (0x5 at load)" when the value changed, "" otherwise.
std::string was(std::uint32_t now, std::uint32_t then) {
    return now == then ? std::string() : fmt::format(" ({:#x} at load)", then);
}

bool context_is_default(const ContextSlot& context, const ContextSlot& loaded,
                        std::uint8_t default_state) {
    if (context.state != default_state || loaded.state != default_state) {
        return false;
    }
    for (std::uint32_t r = 0; r < m_registers; ++r) {
        if (context.m[r] != 0 || loaded.m[r] != 0) {
            return false;
        }
    }
    for (std::uint32_t s = 0; s < special_registers; ++s) {
        if (context.special[s] != 0) {
            return false;
        }
    }
    return true;
}

std::string render_context(std::uint32_t number, const ContextSlot& context,
                           const ContextSlot& loaded) {
    std::string out = fmt::format("  context {}: state {}", number, context.state);
    if (context.state != loaded.state) {
        out += fmt::format(" ({} at load)", loaded.state);
    }
    if (context.stopped_by_break) {
        out += " stopped by the run break";
    }
    for (std::uint32_t r = 0; r < m_registers; ++r) {
        if (context.m[r] != 0 || loaded.m[r] != 0) {
            out += fmt::format(" m{} {:#x}{}", r, context.m[r], was(context.m[r], loaded.m[r]));
        }
    }
    for (std::uint32_t s = 0; s < special_registers; ++s) {
        if (context.special[s] != 0) {
            out += fmt::format(" special {:#x} {:#x}", s, context.special[s]);
        }
    }
    return out + "\n";
}

}  // namespace

std::string render_final_state(const Card& card) {
    const CardHeader& header = card.header();
    std::string out = fmt::format(
        "final state of {} live tiles (tiles left out are as the "
        "scenario's defaults):\n",
        card.tile_count());
    for (std::uint32_t t = 0; t < card.tile_count(); ++t) {
        const TileSlot& now = card.tile(t);
        const TileSlot& then = card.initial_tile(t);
        std::string contexts;
        for (std::uint32_t c = 0; c < contexts_per_tile; ++c) {
            const std::uint8_t default_state =
                c == 0 ? header.supervisor_state : header.worker_state;
            if (!context_is_default(now.contexts[c], then.contexts[c], default_state)) {
                contexts += render_context(c, now.contexts[c], then.contexts[c]);
            }
        }
        const bool tile_is_default = now.run_break == 0 && then.run_break == 0 && now.data == 0 &&
                                     now.exchange[0] == 0 && now.exchange[1] == 0 &&
                                     now.receive_error == 0 && now.status_other_bits == 0;
        if (tile_is_default && contexts.empty()) {
            continue;
        }
        out += fmt::format(
            "tile {}: status {:#010x} run-break {:#x}{} data {:#x} dcount {:#x} exchangeCtl {:#x} "
            "receive-error {}\n",
            t, compose_status(now), now.run_break, was(now.run_break, then.run_break), now.data,
            now.exchange[0], now.exchange[1], now.receive_error);
        out += contexts;
    }
    return out;
}

std::string render_check(const std::vector<Difference>& differences) {
    if (differences.empty()) {
        return "check: the card is as loaded\n";
    }
    std::string out = fmt::format("check: {} difference{} from the card as loaded:\n",
                                  differences.size(), differences.size() == 1 ? "" : "s");
    for (const Difference& difference : differences) {
        out += "  " + difference.message() + "\n";
    }
    return out;
}

std::string render_summary(const Card& card) {
    const CardCounters& counters = card.counters();
    std::string out = fmt::format(
        "summary: {} register accesses ({} reads, {} writes), {} driver calls\n"
        "summary: {} stops, {} resumes, {} instructions ({} failed), {} violations\n",
        counters.accesses, counters.reads, counters.writes, counters.driver_calls, counters.stops,
        counters.resumes, counters.instructions, counters.instructions_failed, counters.violations);
    return out + render_check(card.check());
}

}  // namespace vek_sim
