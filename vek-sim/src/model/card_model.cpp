#include "vek_sim/card_model.hpp"

#include <signal.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>

#include "monotonic_clock.hpp"

namespace vek_sim {
namespace {

// Sleeps the whole time even when a signal interrupts the sleep.
void pause_for(std::uint32_t milliseconds) {
    timespec until{};
    clock_gettime(CLOCK_MONOTONIC, &until);
    until.tv_sec += static_cast<time_t>(milliseconds / 1000);
    until.tv_nsec += static_cast<long>(milliseconds % 1000) * 1'000'000L;
    if (until.tv_nsec >= 1'000'000'000L) {
        until.tv_sec += 1;
        until.tv_nsec -= 1'000'000'000L;
    }
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &until, nullptr) == EINTR) {
    }
}

bool is_put_debug_data(std::uint32_t word) {
    return (word & ~put_debug_data_m_mask) == put_debug_data_base;
}

bool is_get_special(std::uint32_t word) {
    return (word & ~get_special_operand_mask) == get_special_base;
}

}  // namespace

std::uint32_t compose_status(const TileSlot& tile) {
    std::uint32_t value = tile.status_other_bits & ~(status_state_mask | status_receive_error_mask);
    value |= (tile.receive_error << status_receive_error_shift) & status_receive_error_mask;
    for (std::uint32_t c = 0; c < contexts_per_tile; ++c) {
        value |= static_cast<std::uint32_t>(tile.contexts[c].state & 3u) << (2 * c);
    }
    return value;
}

void arm_stop(ContextSlot& context) {
    if (context.stopped_by_break || context.faults.never_stops) {
        return;
    }
    const bool running = context.state == state_running;
    const bool inactive = context.state == state_inactive;
    if (running || (inactive && context.faults.inactive_stops)) {
        context.stop_armed = 1;
        context.stop_countdown = context.faults.stop_delay;
    }
}

CardModel::CardModel(CardHeader* card)
    : card_(card),
      tiles_(reinterpret_cast<TileSlot*>(reinterpret_cast<char*>(card) + card->tiles_offset)),
      log_(reinterpret_cast<AccessRecord*>(reinterpret_cast<char*>(card) +
                                           card->access_log_offset)) {}

CardModel::Location CardModel::locate(std::uint32_t offset) const {
    if (offset < debug_base) {
        return {no_tile, 0};
    }
    const std::uint32_t tile = (offset - debug_base) / debug_tile_stride;
    if (tile >= card_->tile_count) {
        return {no_tile, 0};
    }
    return {tile, (offset - debug_base) % debug_tile_stride / 4};
}

std::uint32_t CardModel::read(std::uint32_t offset) {
    offset &= ~3u;
    if (offset >= window_size) {
        return 0;
    }
    const Location where = locate(offset);
    Stall stall{};
    std::uint32_t value = 0;
    if (where.tile == no_tile) {
        value = card_->storage[offset / 4];
    } else {
        TileSlot& tile = tiles_[where.tile];
        switch (where.reg) {
            case tdi_status:
                value = read_status(tile, stall);
                break;
            case tdi_instruction_status:
                value = read_instruction_status(tile, stall);
                break;
            default:
                value = peek(offset);
                break;
        }
    }
    record(offset, value, where, 0);
    after_access(stall);
    return value;
}

void CardModel::write(std::uint32_t offset, std::uint32_t value) {
    offset &= ~3u;
    if (offset >= window_size) {
        return;
    }
    const Location where = locate(offset);
    std::uint8_t flags = access_write;
    if (where.tile == no_tile) {
        card_->storage[offset / 4] = value;
    } else {
        TileSlot& tile = tiles_[where.tile];
        switch (where.reg) {
            case tdi_run_break:
                write_run_break(tile, value);
                break;
            case tdi_instruction:
                if (start_instruction(tile, where.tile, value)) {
                    flags |= access_violation;
                }
                break;
            case tdi_instruction_context:
                tile.instruction_context = value;
                break;
            case tdi_instruction_control:
                tile.instruction_control = value;
                break;
            case tdi_resume:
                write_resume(tile, value);
                break;
            case tdi_data:
                tile.data = value;
                break;
            case tdi_status:
            case tdi_instruction_status:
            case tdi_incoming_dcount:
            case tdi_exchange_control:
                break;  // read-only: the write is logged and has no effect
            default:
                card_->storage[offset / 4] = value;
                break;
        }
    }
    record(offset, value, where, flags);
    after_access(Stall{});
}

std::uint32_t CardModel::peek(std::uint32_t offset) const {
    offset &= ~3u;
    if (offset >= window_size) {
        return 0;
    }
    const Location where = locate(offset);
    if (where.tile == no_tile) {
        return card_->storage[offset / 4];
    }
    const TileSlot& tile = tiles_[where.tile];
    switch (where.reg) {
        case tdi_status:
            return compose_status(tile);
        case tdi_run_break:
            return tile.run_break;
        case tdi_instruction:
            return tile.instruction_word;
        case tdi_instruction_context:
            return tile.instruction_context;
        case tdi_resume:
            return 0;
        case tdi_data:
            return tile.data;
        case tdi_instruction_status:
            if (!tile.pending.active) {
                return tile.instruction_status;
            }
            if (tile.faults.busy_forever || tile.pending.busy_left > 0) {
                return tile.faults.busy_value;
            }
            return tile.pending.status;
        case tdi_instruction_control:
            return tile.instruction_control;
        case tdi_incoming_dcount:
            return tile.exchange[0];
        case tdi_exchange_control:
            return tile.exchange[1];
        default:
            return card_->storage[offset / 4];
    }
}

std::uint32_t CardModel::read_status(TileSlot& tile, Stall& stall) {
    ++tile.status_reads;
    // A stop whose delay ran out shows in this very read.
    for (ContextSlot& context : tile.contexts) {
        if (!context.stop_armed) {
            continue;
        }
        if (context.stop_countdown == 0) {
            stop_by_break(context);
        } else {
            --context.stop_countdown;
        }
    }
    if (tile.faults.status_stall.at_read == tile.status_reads) {
        stall = tile.faults.status_stall;
    }
    return compose_status(tile);
}

std::uint32_t CardModel::read_instruction_status(TileSlot& tile, Stall& stall) {
    ++tile.instruction_status_reads;
    std::uint32_t value = tile.instruction_status;
    if (tile.pending.active) {
        if (tile.faults.busy_forever) {
            value = tile.faults.busy_value;
        } else if (tile.pending.busy_left > 0) {
            --tile.pending.busy_left;
            value = tile.faults.busy_value;
        } else {
            complete_instruction(tile);
            value = tile.instruction_status;
        }
    }
    if (tile.faults.instruction_status_stall.at_read == tile.instruction_status_reads) {
        stall = tile.faults.instruction_status_stall;
    }
    return value;
}

void CardModel::stop_by_break(ContextSlot& context) {
    context.stop_armed = 0;
    context.state_before_break = context.state;
    context.state = context.faults.break_state;
    context.stopped_by_break = 1;
    ++card_->counters.stops;
}

void CardModel::write_run_break(TileSlot& tile, std::uint32_t value) {
    const std::uint32_t old = tile.run_break;
    tile.run_break = value;
    for (std::uint32_t c = 0; c < contexts_per_tile; ++c) {
        const std::uint32_t bit = 1u << c;
        ContextSlot& context = tile.contexts[c];
        if ((value & bit) && !(old & bit)) {
            arm_stop(context);
        } else if (!(value & bit) && (old & bit)) {
            context.stop_armed = 0;  // cleared before the stop showed: cancelled
        }
    }
}

void CardModel::write_resume(TileSlot& tile, std::uint32_t value) {
    for (std::uint32_t c = 0; c < contexts_per_tile; ++c) {
        const std::uint32_t bit = 1u << c;
        ContextSlot& context = tile.contexts[c];
        if ((value & bit) && !(tile.run_break & bit) && context.stopped_by_break) {
            context.state = context.state_before_break;
            context.stopped_by_break = 0;
            ++card_->counters.resumes;
        }
    }
}

bool CardModel::start_instruction(TileSlot& tile, std::uint32_t tile_number, std::uint32_t word) {
    tile.instruction_word = word;
    ++tile.instructions;
    ++card_->counters.instructions;

    std::uint32_t failure = 0;
    if (tile.instruction_control != instruction_control_run) {
        failure |= failure_bad_control;
    }
    if (tile.instruction_context >= contexts_per_tile) {
        failure |= failure_bad_context;
    }
    if (!is_put_debug_data(word) && !is_get_special(word)) {
        failure |= failure_bad_word;
    }
    std::uint32_t status = failure;
    if (failure == 0) {
        status = tile.faults.fail_instruction == tile.instructions ? tile.faults.fail_status
                                                                   : tile.faults.completion_status;
    }
    // A new instruction replaces one that never completed; the old one has no effect.
    tile.pending =
        PendingInstruction{1, tile.instruction_context, word, status, tile.faults.busy_reads};

    const bool violation = tile.instruction_context < contexts_per_tile &&
                           tile.contexts[tile.instruction_context].state == state_running;
    if (violation) {
        if (card_->counters.violations < violation_capacity) {
            card_->violations[card_->counters.violations] = ViolationRecord{
                card_->counters.accesses, tile_number, tile.instruction_context, word, 0};
        }
        ++card_->counters.violations;
        ++card_->log.violations;
    }
    return violation;
}

void CardModel::complete_instruction(TileSlot& tile) {
    PendingInstruction& pending = tile.pending;
    pending.active = 0;
    tile.instruction_status = pending.status;
    if (pending.status & instruction_failure_mask) {
        ++card_->counters.instructions_failed;
        return;
    }
    ContextSlot& context = tile.contexts[pending.context];
    if (is_put_debug_data(pending.word)) {
        tile.data = context.m[(pending.word >> 20) & 0xF];
    } else {
        const std::uint32_t m = (pending.word >> 16) & 0xF;
        const std::uint32_t special = pending.word & 0xFF;
        context.m[m] = special == special_debug_data ? tile.data : context.special[special];
    }
}

void CardModel::record(std::uint32_t offset, std::uint32_t value, Location where,
                       std::uint8_t flags) {
    CardCounters& counters = card_->counters;
    ++counters.accesses;
    ++((flags & access_write) ? counters.writes : counters.reads);
    if (card_->log.accesses < card_->access_capacity) {
        log_[card_->log.accesses] = AccessRecord{monotonic_ns(),
                                                 offset,
                                                 value,
                                                 static_cast<std::uint16_t>(where.tile),
                                                 static_cast<std::uint8_t>(where.reg),
                                                 flags};
    }
    ++card_->log.accesses;
}

void CardModel::after_access(const Stall& stall) {
    if (stall.milliseconds > 0) {
        pause_for(stall.milliseconds);
    }
    InterruptFault& interrupt = card_->interrupt;
    if (interrupt.signal != 0 && !interrupt.sent &&
        card_->counters.accesses >= interrupt.at_access) {
        interrupt.sent = 1;
        const int saved_errno = errno;
        kill(getpid(), interrupt.signal);
        errno = saved_errno;
    }
}

}  // namespace vek_sim
