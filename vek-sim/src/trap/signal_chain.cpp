#include "signal_chain.hpp"

#include <atomic>
#include <cerrno>
#include <csignal>

namespace vek_sim::trap {

namespace {

struct sigaction previous_segv {};
struct sigaction previous_trap {};
std::atomic<bool> installed{false};

// Signals the processor raises for the instruction being run: blocking them makes the kernel
// kill the process instead, so handlers and steps keep them open.
void remove_synchronous(sigset_t& set) {
    for (const int signal : {SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGTRAP}) {
        sigdelset(&set, signal);
    }
}

}  // namespace

int install_handlers(SignalAction on_segv, SignalAction on_trap) {
    if (installed.load(std::memory_order_acquire)) {
        return 0;
    }
    struct sigaction segv_before {};
    struct sigaction trap_before {};
    if (sigaction(SIGSEGV, nullptr, &segv_before) != 0 ||
        sigaction(SIGTRAP, nullptr, &trap_before) != 0) {
        return -1;
    }
    previous_segv = segv_before;
    previous_trap = trap_before;

    // Other signals wait while a handler runs, so that a signal handler of the program that
    // touches a window is never entered in the middle of a trap.
    struct sigaction action {};
    sigfillset(&action.sa_mask);
    remove_synchronous(action.sa_mask);
    action.sa_flags = SA_SIGINFO | SA_RESTART;
    action.sa_sigaction = on_trap;
    if (sigaction(SIGTRAP, &action, nullptr) != 0) {
        return -1;
    }
    // Keep the previous handler's alternate stack (a stack overflow must still reach it, and
    // can only run there) and its SA_NODEFER (a sanitizer reports a fault inside its own
    // handler, which would otherwise kill the process at once).
    action.sa_flags |= segv_before.sa_flags & (SA_ONSTACK | SA_NODEFER);
    action.sa_sigaction = on_segv;
    if (sigaction(SIGSEGV, &action, nullptr) != 0) {
        const int error = errno;
        sigaction(SIGTRAP, &trap_before, nullptr);
        errno = error;
        return -1;
    }
    installed.store(true, std::memory_order_release);
    return 0;
}

void chain_to_previous(int signal, siginfo_t* info, void* context) {
    const struct sigaction& previous = signal == SIGSEGV ? previous_segv : previous_trap;
    if ((previous.sa_flags & SA_SIGINFO) != 0) {
        previous.sa_sigaction(signal, info, context);
        return;
    }
    const bool from_kernel = info->si_code > 0;
    if (previous.sa_handler != SIG_DFL && previous.sa_handler != SIG_IGN) {
        previous.sa_handler(signal);
        return;
    }
    if (previous.sa_handler == SIG_IGN && !from_kernel) {
        return;  // sent by a process and ignored before: still ignored
    }
    struct sigaction default_action {};
    default_action.sa_handler = SIG_DFL;
    sigemptyset(&default_action.sa_mask);
    sigaction(signal, &default_action, nullptr);
    // A fault happens again when the instruction is retried; a trap or a sent signal does not,
    // so it is raised again and arrives once this handler returns.
    if (!(from_kernel && signal == SIGSEGV)) {
        raise(signal);
    }
}

}  // namespace vek_sim::trap
