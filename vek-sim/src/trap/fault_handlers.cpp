#include "fault_handlers.hpp"

#include <cerrno>

#include "access_counters.hpp"
#include "machine_context.hpp"
#include "mov_decoder.hpp"
#include "signal_chain.hpp"
#include "single_step.hpp"
#include "window_table.hpp"

namespace vek_sim::trap {

namespace {

void complete_word_move(ucontext_t& context, const MovInstruction& mov, const WindowHit& window) {
    const AccessHandler& handler = window.handler;
    switch (mov.form) {
        case MovForm::load:
            set_register32(context, mov.reg, handler.read(handler.context, window.offset));
            break;
        case MovForm::store_register:
            handler.write(handler.context, window.offset,
                          static_cast<std::uint32_t>(general_register(context, mov.reg)));
            break;
        case MovForm::store_immediate:
            handler.write(handler.context, window.offset, mov.immediate);
            break;
    }
    set_instruction_pointer(context, instruction_pointer(context) + mov.length);
    decoded_accesses.fetch_add(1, std::memory_order_relaxed);
}

bool handle_window_fault(const siginfo_t& info, ucontext_t& context) {
    if (info.si_code != SEGV_ACCERR) {
        return false;
    }
    const auto address = reinterpret_cast<std::uintptr_t>(info.si_addr);
    const auto window = find_window(address);
    if (!window) {
        return false;
    }
    const std::uint64_t error = fault_error_code(context);
    if ((error & page_fault_fetch) != 0) {
        return false;  // a jump into the window: a real crash
    }
    const bool write = (error & page_fault_write) != 0;
    const std::uint64_t instruction = instruction_pointer(context);
    if (stepping_at(instruction)) {
        return step_over_fault(context, StepRequest{address, 1, write});
    }

    const auto mov =
        decode_mov(reinterpret_cast<const std::uint8_t*>(instruction), max_instruction_length);
    // The decoded operand must be the faulting one: an access that starts before the window
    // (or a page boundary) faults at a later address.
    bool at_fault = false;
    if (mov) {
        std::uint64_t registers[16];
        for (unsigned i = 0; i < 16; ++i) {
            registers[i] = general_register(context, i);
        }
        at_fault = effective_address(*mov, registers, instruction) == address;
    }
    const bool completes_here = mov && at_fault && is_word_move(*mov) && (address & 3) == 0 &&
                                write == (mov->form != MovForm::load) &&
                                (flags(context) & trap_flag) == 0;  // a traced program steps
    if (completes_here) {
        complete_word_move(context, *mov, *window);
        return true;
    }
    const std::uint32_t width = mov && at_fault ? mov->width : 1;
    return step_over_fault(context, StepRequest{address, width, write});
}

}  // namespace

void on_segv(int signal, siginfo_t* info, void* context) {
    const int saved_errno = errno;
    if (!handle_window_fault(*info, *static_cast<ucontext_t*>(context))) {
        chain_to_previous(signal, info, context);
    }
    errno = saved_errno;
}

void on_trap(int signal, siginfo_t* info, void* context) {
    const int saved_errno = errno;
    // A program that traces itself still gets its own trap for the stepped instruction.
    if (finish_step(*static_cast<ucontext_t*>(context), *info) != StepEnd::finished) {
        chain_to_previous(signal, info, context);
    }
    errno = saved_errno;
}

}  // namespace vek_sim::trap
