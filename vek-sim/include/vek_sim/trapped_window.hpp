#pragma once

#include <cstddef>
#include <cstdint>

namespace vek_sim {

// Where a trapped window sends the accesses it catches. The functions run inside a signal
// handler: they must be async-signal-safe (no allocation, no locks, no stdio). Offsets are byte
// offsets from the window's base and always a multiple of 4: an access that is not a whole
// aligned word reaches the handler as the words it touches.
struct AccessHandler {
    std::uint32_t (*read)(void* context, std::uint32_t offset);
    void (*write)(void* context, std::uint32_t offset, std::uint32_t value);
    void* context;
    // Optional: the word a read would give now, without any side effect. Single-stepped stores
    // start from it, so that a read-modify-write instruction (`or dword [reg], 4`) or a store of
    // fewer than 4 bytes keeps the register's other bits. Without it they start from 0. A store
    // never calls `read`, since a read can have side effects that the program did not ask for.
    std::uint32_t (*peek)(void* context, std::uint32_t offset) = nullptr;
};

// How the accesses reached the handler so far, over every trapped window of the process.
struct TrapCounters {
    std::uint64_t decoded;         // 32-bit mov loads and stores decoded and stepped past
    std::uint64_t single_stepped;  // other instructions, run once with the trap flag
};

inline constexpr std::size_t trapped_window_size = 0x80000;
inline constexpr std::size_t max_trapped_windows = 8;

// Maps trapped_window_size bytes with no access rights and routes every access inside them to
// `handler`. Returns the base, or null with errno set (EINVAL without read or write, ENOMEM when
// max_trapped_windows are mapped already). Installs the process's SIGSEGV and SIGTRAP handlers
// on first use; faults outside every window, and traps that are not a window's, go on to the
// handlers that were installed before.
//
// Decoded accesses (aligned 32-bit mov loads and stores) are safe from any number of threads.
// A single-stepped access opens the window's page for one instruction, so another thread that
// touches the same page at that moment bypasses the handler: use those from one thread.
void* map_trapped_window(AccessHandler handler);

// Removes a window made by map_trapped_window. Returns 0, or -1 with errno set (EINVAL when
// `base` is not a window's base). No thread may be accessing the window while it goes.
int unmap_trapped_window(void* base);

// True when [address, address + length) overlaps a trapped window.
bool is_trapped_window(const void* address, std::size_t length);

TrapCounters trap_counters();

}  // namespace vek_sim
