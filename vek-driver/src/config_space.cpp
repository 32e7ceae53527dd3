#include <fmt/format.h>

#include "vek_driver/device.hpp"

namespace vek_driver::detail {

DriverError config_offset_error(std::uint32_t offset) {
    return DriverError::invalid(fmt::format("configuration offset 0x{:x}", offset));
}

}  // namespace vek_driver::detail
