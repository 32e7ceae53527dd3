// A fresh process for the tests of what a trapped window does to the handlers that were there
// before it. The mode names what to install first and how to fault; exit 0 means every check
// of the mode held, a crash mode ends as the crash would have ended it.
//
//   vek_sim_trap_probe MODE     (modes: see `modes` below)

#include <sys/mman.h>
#include <sys/resource.h>
#include <unistd.h>

#include <csetjmp>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "vek_sim/trapped_window.hpp"

namespace {

using vek_sim::AccessHandler;

// Volatile: the compiler does not know that the window's accesses reach it from a handler.
volatile std::uint32_t registers[vek_sim::trapped_window_size / 4];

AccessHandler array_handler() {
    return AccessHandler{
        [](void*, std::uint32_t offset) { return registers[offset / 4]; },
        [](void*, std::uint32_t offset, std::uint32_t value) { registers[offset / 4] = value; },
        nullptr, [](void*, std::uint32_t offset) { return registers[offset / 4]; }};
}

int failures = 0;

void check(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "probe: %s\n", what);
        ++failures;
    }
}

volatile std::uint32_t* map_window() {
    void* base = vek_sim::map_trapped_window(array_handler());
    if (base == nullptr) {
        std::perror("probe: map_trapped_window");
        _exit(2);
    }
    return static_cast<volatile std::uint32_t*>(base);
}

// A decoded and a stepped access, each reaching the model.
void check_window_works(volatile std::uint32_t* window) {
    registers[1] = 0x12345678;
    check(window[1] == 0x12345678, "decoded read");
    *reinterpret_cast<volatile std::uint16_t*>(&window[2]) = 0xBEEF;
    check(registers[2] == 0xBEEF, "stepped 16-bit store");
}

sigjmp_buf recovery;
volatile std::sig_atomic_t prior_calls = 0;
void* volatile prior_address = nullptr;

void prior_siginfo(int, siginfo_t* info, void*) {
    prior_calls = prior_calls + 1;
    prior_address = info->si_addr;
    siglongjmp(recovery, 1);
}

void prior_plain(int) {
    prior_calls = prior_calls + 1;
    siglongjmp(recovery, 1);
}

void prior_trap(int, siginfo_t*, void*) {
    prior_calls = prior_calls + 1;
}

void install(int signal, void (*handler)(int, siginfo_t*, void*)) {
    struct sigaction action {};
    action.sa_sigaction = handler;
    action.sa_flags = SA_SIGINFO;
    sigemptyset(&action.sa_mask);
    sigaction(signal, &action, nullptr);
}

void install_plain(int signal, void (*handler)(int)) {
    struct sigaction action {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    sigaction(signal, &action, nullptr);
}

// Touches a page of this process that is no window; the handler installed before must get it.
void fault_outside_windows() {
    void* page = mmap(nullptr, 4096, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    volatile auto* word = static_cast<volatile std::uint32_t*>(page);
    if (sigsetjmp(recovery, 1) == 0) {
        (void)*word;
        check(false, "the fault outside the window went nowhere");
    }
    check(prior_calls == 1, "the handler installed before was called once");
    check(prior_address == nullptr || prior_address == page, "it got the fault's address");
    munmap(page, 4096);
}

// A field read through a null structure pointer: the first page is never mapped. (Not at 0
// itself, which the undefined-behaviour sanitizer stops before the processor does.)
void null_dereference() {
    volatile std::uintptr_t field_address = 8;
    (void)*reinterpret_cast<volatile std::uint32_t*>(field_address);
}

void jump_to(void* address) {
    void (*code)() = nullptr;
    std::memcpy(&code, &address, sizeof code);
    code();
}

int run(const char* mode) {
    if (std::strcmp(mode, "null-deref-bare") == 0) {
        null_dereference();
    } else if (std::strcmp(mode, "null-deref") == 0) {
        check_window_works(map_window());
        null_dereference();
    } else if (std::strcmp(mode, "jump-into-page-bare") == 0) {
        jump_to(mmap(nullptr, 4096, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
    } else if (std::strcmp(mode, "jump-into-window") == 0) {
        jump_to(const_cast<std::uint32_t*>(map_window()));
    } else if (std::strcmp(mode, "prior-siginfo") == 0) {
        install(SIGSEGV, prior_siginfo);
        volatile std::uint32_t* window = map_window();
        check_window_works(window);
        fault_outside_windows();
        check_window_works(window);
    } else if (std::strcmp(mode, "prior-plain") == 0) {
        install_plain(SIGSEGV, prior_plain);
        volatile std::uint32_t* window = map_window();
        fault_outside_windows();
        check_window_works(window);
    } else if (std::strcmp(mode, "prior-trap") == 0) {
        install(SIGTRAP, prior_trap);
        check_window_works(map_window());
        __asm__ volatile("int3");
        check(prior_calls == 1, "the SIGTRAP handler installed before got the breakpoint");
    } else if (std::strcmp(mode, "breakpoint") == 0) {
        check_window_works(map_window());
        __asm__ volatile("int3");
        check(false, "a breakpoint with no handler returned");
    } else if (std::strcmp(mode, "sent-segv-ignored") == 0) {
        install_plain(SIGSEGV, SIG_IGN);
        check_window_works(map_window());
        kill(getpid(), SIGSEGV);
        check(true, "");
    } else {
        std::fprintf(stderr, "probe: unknown mode %s\n", mode);
        return 2;
    }
    return failures == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: vek_sim_trap_probe MODE\n");
        return 2;
    }
    const rlimit no_core{0, 0};
    setrlimit(RLIMIT_CORE, &no_core);  // the crash modes need no core files
    return run(argv[1]);
}
