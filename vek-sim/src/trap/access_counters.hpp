#pragma once

#include <atomic>
#include <cstdint>

namespace vek_sim::trap {

// Process-wide counts behind trap_counters(); relaxed, since they order nothing.
inline std::atomic<std::uint64_t> decoded_accesses{0};
inline std::atomic<std::uint64_t> single_stepped_accesses{0};

static_assert(std::atomic<std::uint64_t>::is_always_lock_free);

}  // namespace vek_sim::trap
