#include "window_table.hpp"

#include <atomic>

namespace vek_sim::trap {

namespace {

using ReadFunction = std::uint32_t (*)(void*, std::uint32_t);
using WriteFunction = void (*)(void*, std::uint32_t, std::uint32_t);

// A slot's base is 0 when free and `claimed` while being filled or emptied; window bases are
// page aligned, so neither is ever a real base.
constexpr std::uintptr_t free_slot = 0;
constexpr std::uintptr_t claimed = 1;

struct Slot {
    std::atomic<std::uintptr_t> base{free_slot};
    std::atomic<ReadFunction> read{nullptr};
    std::atomic<WriteFunction> write{nullptr};
    std::atomic<ReadFunction> peek{nullptr};
    std::atomic<void*> context{nullptr};
};

static_assert(std::atomic<std::uintptr_t>::is_always_lock_free);
static_assert(std::atomic<ReadFunction>::is_always_lock_free);

Slot slots[max_trapped_windows];

bool is_window_base(std::uintptr_t base) {
    return base != free_slot && base != claimed;
}

}  // namespace

std::optional<WindowHit> find_window(std::uintptr_t address) {
    for (Slot& slot : slots) {
        const std::uintptr_t base = slot.base.load(std::memory_order_acquire);
        if (is_window_base(base) && address - base < trapped_window_size) {
            AccessHandler handler{slot.read.load(std::memory_order_relaxed),
                                  slot.write.load(std::memory_order_relaxed),
                                  slot.context.load(std::memory_order_relaxed),
                                  slot.peek.load(std::memory_order_relaxed)};
            return WindowHit{base, static_cast<std::uint32_t>(address - base), handler};
        }
    }
    return std::nullopt;
}

bool add_window(std::uintptr_t base, const AccessHandler& handler) {
    for (Slot& slot : slots) {
        std::uintptr_t expected = free_slot;
        if (!slot.base.compare_exchange_strong(expected, claimed, std::memory_order_acquire)) {
            continue;
        }
        slot.read.store(handler.read, std::memory_order_relaxed);
        slot.write.store(handler.write, std::memory_order_relaxed);
        slot.peek.store(handler.peek, std::memory_order_relaxed);
        slot.context.store(handler.context, std::memory_order_relaxed);
        slot.base.store(base, std::memory_order_release);
        return true;
    }
    return false;
}

bool remove_window(std::uintptr_t base) {
    if (!is_window_base(base)) {
        return false;  // would match a free or claimed slot
    }
    for (Slot& slot : slots) {
        std::uintptr_t expected = base;
        if (slot.base.compare_exchange_strong(expected, free_slot, std::memory_order_acq_rel)) {
            return true;
        }
    }
    return false;
}

bool any_window_overlaps(std::uintptr_t address, std::size_t length) {
    if (length == 0) {
        return false;
    }
    // The last byte, clamped so that a range running past the address space does not wrap.
    const std::uintptr_t last =
        length - 1 > UINTPTR_MAX - address ? UINTPTR_MAX : address + (length - 1);
    for (Slot& slot : slots) {
        const std::uintptr_t base = slot.base.load(std::memory_order_acquire);
        if (is_window_base(base) && address <= base + (trapped_window_size - 1) && last >= base) {
            return true;
        }
    }
    return false;
}

}  // namespace vek_sim::trap
