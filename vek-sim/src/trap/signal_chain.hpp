#pragma once

// The SIGSEGV and SIGTRAP handlers that were in place before the trapped windows' own, and how
// a signal that is not a window's goes on to them.

#include <csignal>

namespace vek_sim::trap {

using SignalAction = void (*)(int, siginfo_t*, void*);

// Installs `on_segv` and `on_trap` once per process, remembering what was there. Returns 0, or
// -1 with errno set. Not async-signal-safe; callers serialise it.
int install_handlers(SignalAction on_segv, SignalAction on_trap);

// Hands the signal on as the previous disposition would have taken it: to its handler, or, for
// SIG_DFL (and SIG_IGN on a kernel-made fault, which the kernel does not let be ignored), with
// the default restored so that the fault recurs or the signal is raised again and ends the
// process as it would have. Async-signal-safe.
void chain_to_previous(int signal, siginfo_t* info, void* context);

}  // namespace vek_sim::trap
