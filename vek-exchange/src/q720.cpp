#include "vek_exchange/q720.hpp"

namespace vek_exchange {

std::uint16_t q720_logical_to_physical(std::uint16_t logical) noexcept {
    constexpr unsigned kRowsPerColumn = 23;
    constexpr unsigned kTilesPerRow = 64;

    const unsigned pair = logical / 2u;
    const unsigned lane = logical % 2u;
    const unsigned block = pair / kRowsPerColumn;
    unsigned row = pair % kRowsPerColumn;
    if (block % 2u == 1u) {
        row = kRowsPerColumn - 1u - row;
    }
    const unsigned column = (block / 2u) * 4u + block % 2u;
    // At most 22 * 64 + 2845 + 2 = 4255 for a 16-bit input, so the narrowing is exact.
    return static_cast<std::uint16_t>(row * kTilesPerRow + column + lane * 2u);
}

}  // namespace vek_exchange
