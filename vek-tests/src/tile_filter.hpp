#pragma once

#include <bitset>
#include <cstdint>
#include <span>

namespace live_state {

// The explicit --tile list as a filter over the ascending walk: order and duplicates do not
// matter, and a lookup costs the same however long the list is.
class TileFilter {
  public:
    explicit TileFilter(std::span<const std::uint16_t> requested)
        : explicit_list_(!requested.empty()) {
        for (const std::uint16_t logical : requested) {
            listed_.set(logical);
        }
    }

    // True when tiles were listed, so that every listed tile is printed.
    [[nodiscard]] bool explicit_list() const noexcept { return explicit_list_; }
    [[nodiscard]] bool admits(std::uint16_t logical) const noexcept {
        return !explicit_list_ || listed_.test(logical);
    }

  private:
    bool explicit_list_;
    std::bitset<65536> listed_;
};

}  // namespace live_state
