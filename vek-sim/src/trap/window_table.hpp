#pragma once

// The process's trapped windows: a fixed table that the signal handlers read without locks.
// A slot's handler is written before its base is published (release) and read after the base
// is seen (acquire), so a handler never sees a half-made slot.

#include <cstdint>
#include <optional>

#include "vek_sim/trapped_window.hpp"

namespace vek_sim::trap {

struct WindowHit {
    std::uintptr_t base;
    std::uint32_t offset;
    AccessHandler handler;
};

// The window that holds `address`, if any. Async-signal-safe.
std::optional<WindowHit> find_window(std::uintptr_t address);

// Enters a window; false when every slot is taken.
bool add_window(std::uintptr_t base, const AccessHandler& handler);

// Takes a window out; false when `base` is no window's base.
bool remove_window(std::uintptr_t base);

bool any_window_overlaps(std::uintptr_t address, std::size_t length);

}  // namespace vek_sim::trap
