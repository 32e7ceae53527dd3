#pragma once

// The fallback for instructions the fault handler does not complete itself: the words the
// instruction touches get real memory for one instruction, the thread runs it with the trap
// flag set, and the trap handler hands what it wrote to the model and closes the memory again.
//
// The window's own pages are that memory. Outside a step they hold zeros: every word a step
// filled or found written is cleared when the step ends.

#include <signal.h>
#include <sys/ucontext.h>

#include <cstdint>

namespace vek_sim::trap {

struct StepRequest {
    std::uintptr_t first;  // first byte accessed (the fault address)
    std::uint32_t width;   // bytes accessed, when the instruction is known; 1 otherwise
    bool write;            // the fault was a write (also for read-modify-write instructions)
};

// True while this thread steps the instruction at `instruction`: a further fault there belongs
// to the step (a second page, or a page another thread closed meanwhile).
bool stepping_at(std::uint64_t instruction);

// Prepares the step of the faulting instruction, or adds the words of a further fault of the
// instruction being stepped. Returns false when the step cannot be made (too many words or
// pages, or mprotect failed); the fault is then not the window's to take.
bool step_over_fault(ucontext_t& context, const StepRequest& request);

enum class StepEnd : std::uint8_t {
    not_a_step,               // the trap is not this thread's step
    finished,                 // step done
    finished_program_traced,  // step done, and the program had the trap flag set itself
};

// Completes this thread's step on its trace trap.
StepEnd finish_step(ucontext_t& context, const siginfo_t& info);

}  // namespace vek_sim::trap
