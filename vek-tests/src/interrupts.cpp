#include "interrupts.hpp"

#include <csignal>
#include <initializer_list>

namespace live_state {

namespace {

volatile std::sig_atomic_t first_signal = 0;

extern "C" void remember_signal(int signal) {
    if (first_signal == 0) {
        first_signal = signal;
    }
}

}  // namespace

void install_interrupt_handlers() {
    struct sigaction action {};
    action.sa_handler = remember_signal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        sigaction(signal, &action, nullptr);
    }
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    sigaction(SIGPIPE, &ignore, nullptr);
}

int pending_interrupt() noexcept {
    return first_signal;
}

}  // namespace live_state
