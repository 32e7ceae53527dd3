#pragma once

#include <csignal>

namespace vek_sim::trap {

// The process's SIGSEGV handler: completes aligned 32-bit movs in a window itself, steps every
// other window access, and passes faults elsewhere on.
void on_segv(int signal, siginfo_t* info, void* context);

// The process's SIGTRAP handler: ends this thread's step, and passes other traps on.
void on_trap(int signal, siginfo_t* info, void* context);

}  // namespace vek_sim::trap
