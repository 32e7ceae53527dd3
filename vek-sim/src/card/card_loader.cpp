#include "card_loader.hpp"

#include <cstring>

#include "vek_sim/card_model.hpp"

namespace vek_sim {
namespace {

TileSlot* tiles_of(CardHeader& card, std::uint64_t offset) {
    return reinterpret_cast<TileSlot*>(reinterpret_cast<char*>(&card) + offset);
}

void set_defaults(const Scenario& scenario, TileSlot& tile) {
    tile.faults.busy_value = instruction_busy;
    for (std::uint32_t c = 0; c < contexts_per_tile; ++c) {
        ContextSlot& context = tile.contexts[c];
        context.state = c == 0 ? scenario.supervisor_state : scenario.worker_state;
        context.faults.stop_delay = scenario.stop_delay;
        context.faults.inactive_stops = scenario.inactive_stops ? 1 : 0;
        context.faults.break_state = scenario.break_state;
    }
}

void apply_to_context(const TileSetting& setting, ContextSlot& context) {
    switch (setting.kind) {
        case TileSettingKind::state:
            context.state = static_cast<std::uint8_t>(setting.a);
            break;
        case TileSettingKind::m_register:
            context.m[setting.a] = setting.b;
            break;
        case TileSettingKind::special:
            context.special[setting.a] = setting.b;
            break;
        case TileSettingKind::exception:
            context.special[special_status] =
                (context.special[special_status] & ~0xF0u) | (setting.a << 4);
            break;
        case TileSettingKind::stop_delay:
            context.faults.stop_delay = setting.a;
            break;
        case TileSettingKind::never_stops:
            context.faults.never_stops = 1;
            break;
        case TileSettingKind::inactive_stops:
            context.faults.inactive_stops = static_cast<std::uint8_t>(setting.a);
            break;
        case TileSettingKind::break_state:
            context.faults.break_state = static_cast<std::uint8_t>(setting.a);
            break;
        default:
            break;
    }
}

void apply_to_tile(const TileSetting& setting, std::uint32_t number, TileSlot& tile,
                   CardHeader& card) {
    switch (setting.kind) {
        case TileSettingKind::run_break:
            tile.run_break = setting.a;
            break;
        case TileSettingKind::receive_error:
            tile.receive_error = setting.a;
            break;
        case TileSettingKind::exchange:
            tile.exchange[0] = setting.a;
            tile.exchange[1] = setting.b;
            break;
        case TileSettingKind::status_bits:
            tile.status_other_bits = setting.a;
            break;
        case TileSettingKind::data:
            tile.data = setting.a;
            break;
        case TileSettingKind::plain_register:
            card.storage[debug_offset(number, setting.a) / 4] = setting.b;
            break;
        case TileSettingKind::busy:
            tile.faults.busy_reads = setting.a;
            tile.faults.busy_value = setting.b;
            tile.faults.busy_forever = 0;
            break;
        case TileSettingKind::busy_forever:
            tile.faults.busy_forever = 1;
            tile.faults.busy_value = setting.b;
            break;
        case TileSettingKind::fail_instruction:
            tile.faults.fail_instruction = setting.a;
            tile.faults.fail_status = setting.b;
            break;
        case TileSettingKind::completion_status:
            tile.faults.completion_status = setting.a;
            break;
        case TileSettingKind::stall_status:
            tile.faults.status_stall = Stall{setting.a, setting.b};
            break;
        case TileSettingKind::stall_instruction_status:
            tile.faults.instruction_status_stall = Stall{setting.a, setting.b};
            break;
        default:
            for (std::uint32_t c = setting.first_context; c <= setting.last_context; ++c) {
                apply_to_context(setting, tile.contexts[c]);
            }
            break;
    }
}

}  // namespace

void load_scenario(const Scenario& scenario, CardHeader& card) {
    TileSlot* tiles = tiles_of(card, card.tiles_offset);
    for (std::uint32_t t = 0; t < card.tile_count; ++t) {
        set_defaults(scenario, tiles[t]);
    }
    for (const TileSetting& setting : scenario.tiles) {
        for (std::uint32_t t = setting.first_tile; t <= setting.last_tile; ++t) {
            apply_to_tile(setting, t, tiles[t], card);
        }
    }
    for (const WordSetting& word : scenario.words) {
        card.storage[word.offset / 4] = word.value;
    }
    for (std::uint32_t t = 0; t < card.tile_count; ++t) {
        for (std::uint32_t c = 0; c < contexts_per_tile; ++c) {
            if (tiles[t].run_break & (1u << c)) {
                arm_stop(tiles[t].contexts[c]);
            }
        }
    }
    std::memcpy(tiles_of(card, card.initial_tiles_offset), tiles,
                sizeof(TileSlot) * card.tile_count);

    StandInConfig& stand_in = card.stand_in;
    std::strncpy(stand_in.node, "/dev/vek0", sizeof stand_in.node - 1);
    stand_in.window = scenario.window;
    stand_in.open = scenario.faults.open;
    stand_in.mmap = scenario.faults.mmap;
    stand_in.attach = scenario.faults.attach;
    stand_in.set_id = scenario.faults.set_id;
    stand_in.munmap = scenario.faults.munmap;
    stand_in.close = scenario.faults.close;
    card.interrupt = scenario.interrupt;
    card.supervisor_state = scenario.supervisor_state;
    card.worker_state = scenario.worker_state;
}

}  // namespace vek_sim
