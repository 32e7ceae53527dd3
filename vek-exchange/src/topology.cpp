#include "vek_exchange/topology.hpp"

#include "vek_exchange/q720.hpp"

namespace vek_exchange {

Topology Topology::q720() {
    std::vector<std::uint16_t> table;
    table.reserve(kQ720TileCount);
    for (std::uint16_t logical = 0; logical < kQ720TileCount; ++logical) {
        table.push_back(q720_logical_to_physical(logical));
    }
    return Topology(std::move(table));
}

std::expected<std::uint16_t, ExchangeError> Topology::physical(std::uint16_t logical) const {
    const std::size_t index = logical;
    if (index >= logical_to_physical_.size()) {
        return std::unexpected(ExchangeError::tile(logical));
    }
    return logical_to_physical_[index];
}

}  // namespace vek_exchange
