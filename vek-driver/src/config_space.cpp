#include <fmt/format.h>

#include "vek_driver/device.hpp"

namespace vek_driver::detail {

Result<void> rejected_offset(std::uint32_t offset) {
    return std::unexpected(
        DriverError::invalid(fmt::format("configuration offset 0x{:x}", offset)));
}

Result<std::uint32_t> rejected_read(std::uint32_t offset) {
    return std::unexpected(std::move(rejected_offset(offset).error()));
}

}  // namespace vek_driver::detail
