#pragma once

#include <cstddef>
#include <cstdint>
#include <expected>
#include <utility>
#include <vector>

#include "vek_exchange/exchange_error.hpp"

namespace vek_exchange {

// The logical-to-physical tile table of one card. Immutable once built.
class Topology {
  public:
    // The q720 card: logical tiles 0..1471 mapped by q720_logical_to_physical.
    [[nodiscard]] static Topology q720();

    [[nodiscard]] std::size_t tile_count() const noexcept { return logical_to_physical_.size(); }

    // The physical number of a logical tile, or ExchangeError::Tile when the card has no such
    // logical tile.
    [[nodiscard]] std::expected<std::uint16_t, ExchangeError> physical(std::uint16_t logical) const;

  private:
    explicit Topology(std::vector<std::uint16_t> logical_to_physical)
        : logical_to_physical_(std::move(logical_to_physical)) {}

    std::vector<std::uint16_t> logical_to_physical_;
};

}  // namespace vek_exchange
