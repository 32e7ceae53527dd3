#include "vek_driver/device.hpp"

namespace vek_driver {

Result<std::uint32_t> Device::read_tile_m_register_in_context(std::uint16_t physical_tile,
                                                              std::uint32_t context,
                                                              std::uint32_t register_number) const {
    const auto word = tdi_instruction::put_debug_data_m(register_number);
    if (!word) {
        return std::unexpected(DriverError::invalid("M register index out of range"));
    }
    if (auto ran = execute_tile_instruction(physical_tile, context, *word); !ran) {
        return std::unexpected(std::move(ran.error()));
    }
    return read_tile_debug(physical_tile, TDI_DATA);
}

Result<std::uint32_t> Device::read_tile_m_register(std::uint16_t physical_tile,
                                                   std::uint32_t context,
                                                   std::uint32_t register_number) const {
    return with_tile_context(physical_tile, context, false, [&] {
        return read_tile_m_register_in_context(physical_tile, context, register_number);
    });
}

Result<std::uint32_t> Device::read_tile_special_in_context(std::uint16_t physical_tile,
                                                           std::uint32_t context,
                                                           std::uint32_t instruction,
                                                           bool inactive_is_quiescent) const {
    return with_tile_scratch<1>(
        physical_tile, context, inactive_is_quiescent, [&]() -> Result<std::uint32_t> {
            if (auto ran = execute_tile_instruction(physical_tile, context, instruction); !ran) {
                return std::unexpected(std::move(ran.error()));
            }
            return read_tile_m_register_in_context(physical_tile, context, 0);
        });
}

}  // namespace vek_driver
