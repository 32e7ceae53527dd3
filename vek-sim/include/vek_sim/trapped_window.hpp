#pragma once

#include <cstddef>
#include <cstdint>

namespace vek_sim {

// Where a trapped window sends the accesses it catches. Both functions run inside a signal
// handler: they must be async-signal-safe (no allocation, no locks, no stdio).
struct AccessHandler {
    std::uint32_t (*read)(void* context, std::uint32_t offset);
    void (*write)(void* context, std::uint32_t offset, std::uint32_t value);
    void* context;
};

// How the accesses reached the handler so far, over every trapped window of the process.
struct TrapCounters {
    std::uint64_t decoded;       // 32-bit mov loads and stores decoded and stepped past
    std::uint64_t single_stepped;  // other instructions, run once with the trap flag
};

inline constexpr std::size_t trapped_window_size = 0x80000;

// Maps trapped_window_size bytes with no access rights and routes every 32-bit access inside
// them to `handler`, with the byte offset from the base. Returns the base, or null with errno
// set. Installs the process's SIGSEGV and SIGTRAP handlers on first use; faults outside every
// window go on to the handlers that were installed before.
void* map_trapped_window(AccessHandler handler);

// Removes a window made by map_trapped_window. Returns 0, or -1 with errno set (EINVAL when
// `base` is not a window's base).
int unmap_trapped_window(void* base);

// True when [address, address + length) overlaps a trapped window.
bool is_trapped_window(const void* address, std::size_t length);

TrapCounters trap_counters();

}  // namespace vek_sim
