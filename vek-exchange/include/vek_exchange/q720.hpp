#pragma once

#include <cstdint>

namespace vek_exchange {

// Number of tiles on a q720 card.
inline constexpr std::uint16_t kQ720TileCount = 1472;

// Physical tile number of a q720 logical tile. Logical tiles come in pairs that share a row;
// blocks of 23 pairs fill one column each, alternately top-down and bottom-up. Defined for every
// input; numbers from kQ720TileCount up repeat physical numbers of the card's range.
[[nodiscard]] std::uint16_t q720_logical_to_physical(std::uint16_t logical) noexcept;

}  // namespace vek_exchange
