#include <fmt/format.h>

#include "vek_driver/detail/busy_wait.hpp"
#include "vek_driver/device.hpp"

namespace vek_driver {

Result<void> Device::execute_tile_instruction(std::uint16_t physical_tile, std::uint32_t context,
                                              std::uint32_t instruction) const {
    if (auto r =
            write_tile_debug(physical_tile, TDI_INSTRUCTION_CONTROL, TDI_INSTRUCTION_CONTROL_RUN);
        !r) {
        return r;
    }
    if (auto r = write_tile_debug(physical_tile, TDI_INSTRUCTION_CONTEXT, context); !r) {
        return r;
    }
    // The instruction word goes last: writing it starts the instruction.
    if (auto r = write_tile_debug(physical_tile, TDI_INSTRUCTION, instruction); !r) {
        return r;
    }
    return detail::busy_wait("TDI instruction", [&]() -> Result<bool> {
        auto status = read_tile_debug(physical_tile, TDI_INSTRUCTION_STATUS);
        if (!status) {
            return std::unexpected(std::move(status.error()));
        }
        if ((*status & TDI_INSTRUCTION_BUSY) != 0) {
            return false;
        }
        if ((*status & TDI_INSTRUCTION_FAILED) != 0) {
            return std::unexpected(DriverError::invalid(
                fmt::format("TDI instruction failed with status 0x{:x}", *status)));
        }
        return true;
    });
}

Result<std::uint32_t> Device::tile_context_state(std::uint16_t physical_tile,
                                                 std::uint32_t context) const {
    if (context >= TILE_CONTEXT_COUNT) {
        return std::unexpected(DriverError::invalid("tile context out of range"));
    }
    auto status = read_tile_debug(physical_tile, TDI_STATUS);
    if (!status) {
        return status;
    }
    return (*status >> (2 * context)) & 3U;
}

}  // namespace vek_driver
