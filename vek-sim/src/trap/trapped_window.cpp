#include "vek_sim/trapped_window.hpp"

#include <sys/mman.h>

#include <cerrno>
#include <mutex>

#include "access_counters.hpp"
#include "fault_handlers.hpp"
#include "raw_memory.hpp"
#include "signal_chain.hpp"
#include "window_table.hpp"

namespace vek_sim {

namespace {

std::mutex install_mutex;

}  // namespace

void* map_trapped_window(AccessHandler handler) {
    if (handler.read == nullptr || handler.write == nullptr) {
        errno = EINVAL;
        return nullptr;
    }
    {
        const std::lock_guard lock(install_mutex);
        if (trap::install_handlers(trap::on_segv, trap::on_trap) != 0) {
            return nullptr;
        }
    }
    void* base = trap::raw_mmap_anonymous(trapped_window_size, PROT_NONE);
    if (base == MAP_FAILED) {
        return nullptr;
    }
    if (!trap::add_window(reinterpret_cast<std::uintptr_t>(base), handler)) {
        trap::raw_munmap(base, trapped_window_size);
        errno = ENOMEM;
        return nullptr;
    }
    return base;
}

int unmap_trapped_window(void* base) {
    // Out of the table first, so that the address is never a window while something else
    // may already be mapped there.
    if (!trap::remove_window(reinterpret_cast<std::uintptr_t>(base))) {
        errno = EINVAL;
        return -1;
    }
    return trap::raw_munmap(base, trapped_window_size);
}

bool is_trapped_window(const void* address, std::size_t length) {
    return trap::any_window_overlaps(reinterpret_cast<std::uintptr_t>(address), length);
}

TrapCounters trap_counters() {
    return TrapCounters{trap::decoded_accesses.load(std::memory_order_relaxed),
                        trap::single_stepped_accesses.load(std::memory_order_relaxed)};
}

}  // namespace vek_sim
