#include "single_step.hpp"

#include <sys/mman.h>

#include "access_counters.hpp"
#include "machine_context.hpp"
#include "raw_memory.hpp"
#include "window_table.hpp"

namespace vek_sim::trap {

namespace {

// Enough for an 8-byte access that is misaligned and crosses a page, plus the words of a few
// further faults of the same instruction (a string move between two windows).
constexpr unsigned max_step_words = 8;
constexpr unsigned max_step_pages = 4;

struct StepWord {
    std::uintptr_t address;
    std::uint32_t offset;
    std::uint32_t filled;  // what the word held when the instruction ran
    AccessHandler handler;
    bool write;
};

struct Step {
    bool active;
    std::uint64_t instruction;
    bool program_traced;
    sigset_t program_mask;
    unsigned word_count;
    StepWord words[max_step_words];
    unsigned page_count;
    std::uintptr_t pages[max_step_pages];
};

// Initial-exec: the handler must not reach __tls_get_addr, which may allocate.
constinit thread_local Step step __attribute__((tls_model("initial-exec"))) = {};

volatile std::uint32_t& word_at(std::uintptr_t address) {
    return *reinterpret_cast<volatile std::uint32_t*>(address);
}

std::uintptr_t page_of(std::uintptr_t address) {
    return address & ~(page_size - 1);
}

void* as_pointer(std::uintptr_t address) {
    return reinterpret_cast<void*>(address);
}

void close_pages() {
    for (unsigned i = 0; i < step.page_count; ++i) {
        raw_mprotect(as_pointer(step.pages[i]), page_size, PROT_NONE);
    }
    step.page_count = 0;
}

// Ends a step that never reached its trap (the instruction raised another signal and the
// program left it with a jump): its pages must not stay open.
void abandon_step() {
    for (unsigned i = 0; i < step.word_count; ++i) {
        word_at(step.words[i].address) = 0;
    }
    close_pages();
    step.word_count = 0;
    step.active = false;
}

bool open_page(std::uintptr_t page) {
    bool known = false;
    for (unsigned i = 0; i < step.page_count; ++i) {
        known = known || step.pages[i] == page;
    }
    if (!known && step.page_count == max_step_pages) {
        return false;
    }
    // Also for a known page: another thread's step may have closed it meanwhile.
    if (raw_mprotect(as_pointer(page), page_size, PROT_READ | PROT_WRITE) != 0) {
        return false;
    }
    if (!known) {
        step.pages[step.page_count++] = page;
    }
    return true;
}

StepWord* find_word(std::uintptr_t address) {
    for (unsigned i = 0; i < step.word_count; ++i) {
        if (step.words[i].address == address) {
            return &step.words[i];
        }
    }
    return nullptr;
}

// Makes the word at `address` hold what the instruction must find there. A read gets the
// model's value; a store starts from the side-effect-free peek, or 0 without one, because a
// read here would be one the program never made (and may clear a register).
bool add_word(std::uintptr_t address, bool write) {
    const auto window = find_window(address);
    if (!window) {
        return true;  // ordinary memory beside a window: the instruction uses it as it is
    }
    StepWord* word = find_word(address);
    if (word == nullptr) {
        if (step.word_count == max_step_words) {
            return false;
        }
        const AccessHandler& handler = window->handler;
        std::uint32_t filled = 0;
        if (!write) {
            filled = handler.read(handler.context, window->offset);
        } else if (handler.peek != nullptr) {
            filled = handler.peek(handler.context, window->offset);
        }
        word = &step.words[step.word_count++];
        *word = StepWord{address, window->offset, filled, handler, write};
    }
    word->write = word->write || write;
    if (!open_page(page_of(address))) {
        return false;
    }
    word_at(address) = word->filled;
    return true;
}

void block_asynchronous_signals(sigset_t& mask) {
    sigfillset(&mask);
    for (const int signal : {SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGTRAP}) {
        sigdelset(&mask, signal);
    }
}

// Hands the model every word of an open page that the instruction changed beyond the ones
// that faulted (a store wider than the fault showed), and clears them. A wider store of zeros
// cannot be told from no store; no compiled register access makes one.
void forward_other_changes(std::uintptr_t page) {
    const auto window = find_window(page);
    if (!window) {
        return;
    }
    for (std::uintptr_t address = page; address < page + page_size; address += 4) {
        const std::uint32_t value = word_at(address);
        if (value != 0) {
            const auto offset = static_cast<std::uint32_t>(address - window->base);
            window->handler.write(window->handler.context, offset, value);
            word_at(address) = 0;
        }
    }
}

}  // namespace

bool stepping_at(std::uint64_t instruction) {
    return step.active && step.instruction == instruction;
}

bool step_over_fault(ucontext_t& context, const StepRequest& request) {
    const std::uint64_t instruction = instruction_pointer(context);
    if (step.active && step.instruction != instruction) {
        abandon_step();
    }
    const bool further_fault = step.active;
    if (!further_fault) {
        step.instruction = instruction;
        step.word_count = 0;
        step.page_count = 0;
    }
    const std::uintptr_t first_word = request.first & ~std::uintptr_t{3};
    const std::uintptr_t last_word = (request.first + request.width - 1) & ~std::uintptr_t{3};
    for (std::uintptr_t address = first_word; address <= last_word; address += 4) {
        if (!add_word(address, request.write)) {
            abandon_step();
            return false;
        }
    }
    if (!further_fault) {
        // Other signals wait until the trap, so that no handler of the program runs (and
        // perhaps touches a window) between this fault and the step.
        step.program_traced = (flags(context) & trap_flag) != 0;
        step.program_mask = context.uc_sigmask;
        block_asynchronous_signals(context.uc_sigmask);
        set_flags(context, flags(context) | trap_flag);
        step.active = true;
    }
    return true;
}

StepEnd finish_step(ucontext_t& context, const siginfo_t& info) {
    if (!step.active || info.si_code != TRAP_TRACE) {
        return StepEnd::not_a_step;
    }
    for (unsigned i = 0; i < step.word_count; ++i) {
        StepWord& word = step.words[i];
        const std::uint32_t value = word_at(word.address);
        if (word.write || value != word.filled) {
            word.handler.write(word.handler.context, word.offset, value);
        }
        word_at(word.address) = 0;
    }
    for (unsigned i = 0; i < step.page_count; ++i) {
        forward_other_changes(step.pages[i]);
    }
    close_pages();
    step.word_count = 0;
    step.active = false;

    const std::uint64_t kept = step.program_traced ? trap_flag : 0;
    set_flags(context, (flags(context) & ~trap_flag) | kept);
    context.uc_sigmask = step.program_mask;
    single_stepped_accesses.fetch_add(1, std::memory_order_relaxed);
    return step.program_traced ? StepEnd::finished_program_traced : StepEnd::finished;
}

}  // namespace vek_sim::trap
