#pragma once

#include <chrono>
#include <string_view>

#include <expected>
#include <string>

#include "vek_driver/driver_error.hpp"

namespace vek_driver::detail {

inline constexpr std::chrono::milliseconds busy_wait_bound{100};

// Polls `probe` without pause until it reports the wait over (true) or fails. The wait fails
// with a timeout only when a probe that was made at or after the deadline still reports busy:
// the clock is read before each probe (the deadline's own reading serves for the first), so a
// thread preempted between a probe and the clock cannot time out on a stale busy reading.
// Each round is one probe and one clock reading.
template <class Probe>
[[nodiscard]] std::expected<void, DriverError> busy_wait(std::string_view what, Probe&& probe) {
    using Clock = std::chrono::steady_clock;
    Clock::time_point before_probe = Clock::now();
    const Clock::time_point deadline = before_probe + busy_wait_bound;
    for (;;) {
        std::expected<bool, DriverError> done = probe();
        if (!done) {
            return std::unexpected(std::move(done.error()));
        }
        if (*done) {
            return {};
        }
        if (before_probe >= deadline) {
            return std::unexpected(DriverError::timeout(std::string(what)));
        }
        before_probe = Clock::now();
    }
}

}  // namespace vek_driver::detail
