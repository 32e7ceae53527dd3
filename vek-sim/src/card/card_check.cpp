#include <fmt/format.h>

#include <algorithm>

#include "vek_sim/card.hpp"

namespace vek_sim {

std::string Difference::message() const {
    switch (kind) {
        case Kind::context_state:
            return fmt::format("tile {} context {}: state {} at load, now {}", tile, context,
                               before, after);
        case Kind::run_break:
            return fmt::format("tile {}: TDI_RUN_BREAK {:#x} at load, now {:#x}", tile, before,
                               after);
        case Kind::m_register:
            return fmt::format("tile {} context {}: M register {} {:#x} at load, now {:#x}", tile,
                               context, reg, before, after);
        case Kind::violation:
            return fmt::format(
                "tile {} context {}: instruction {:#010x} run while the context was running "
                "(register access {} since load)",
                tile, context, after, before);
        case Kind::unrecorded:
            return fmt::format("{} more instructions run in running contexts", after);
    }
    return {};
}

std::vector<Difference> Card::check() const {
    using Kind = Difference::Kind;
    std::vector<Difference> differences;
    for (std::uint32_t t = 0; t < tile_count(); ++t) {
        const TileSlot& now = tile(t);
        const TileSlot& then = initial_tile(t);
        for (std::uint32_t c = 0; c < contexts_per_tile; ++c) {
            const ContextSlot& context = now.contexts[c];
            const ContextSlot& loaded = then.contexts[c];
            // The card itself stops a context whose run-break bit was set at load.
            const bool stopped_by_card = (then.run_break >> c) & 1u;
            if (context.state != loaded.state && !stopped_by_card) {
                differences.push_back({Kind::context_state, t, c, 0, loaded.state, context.state});
            }
            for (std::uint32_t r = 0; r < m_registers; ++r) {
                if (context.m[r] != loaded.m[r]) {
                    differences.push_back({Kind::m_register, t, c, r, loaded.m[r], context.m[r]});
                }
            }
        }
        if (now.run_break != then.run_break) {
            differences.push_back({Kind::run_break, t, 0, 0, then.run_break, now.run_break});
        }
    }
    const std::uint64_t violations = header().counters.violations;
    const std::uint64_t recorded = std::min<std::uint64_t>(violations, violation_capacity);
    for (std::uint64_t i = 0; i < recorded; ++i) {
        const ViolationRecord& record = header().violations[i];
        differences.push_back(
            {Kind::violation, record.tile, record.context, 0, record.access_index, record.word});
    }
    if (violations > recorded) {
        differences.push_back({Kind::unrecorded, 0, 0, 0, 0, violations - recorded});
    }
    return differences;
}

}  // namespace vek_sim
