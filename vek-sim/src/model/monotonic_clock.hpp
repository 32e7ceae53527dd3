#pragma once

#include <time.h>

#include <cstdint>

namespace vek_sim {

// CLOCK_MONOTONIC in nanoseconds; async-signal-safe.
inline std::uint64_t monotonic_ns() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<std::uint64_t>(ts.tv_sec) * 1'000'000'000u +
           static_cast<std::uint64_t>(ts.tv_nsec);
}

}  // namespace vek_sim
