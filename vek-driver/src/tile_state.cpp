#include "vek_driver/device.hpp"

namespace vek_driver {

namespace {
constexpr unsigned receive_error_shift = 27;
constexpr std::uint32_t receive_error_mask = 7;
}  // namespace

Result<TileExchangeReceiveError> Device::tile_exchange_receive_error(
    std::uint16_t physical_tile) const {
    auto status = read_tile_debug(physical_tile, TDI_STATUS);
    if (!status) {
        return std::unexpected(std::move(status.error()));
    }
    // Three bits always decode.
    return *TileExchangeReceiveError::from_raw((*status >> receive_error_shift) &
                                               receive_error_mask);
}

Result<ExchangeState> Device::tile_exchange_state(std::uint16_t physical_tile) const {
    auto incoming_dcount = read_tile_debug(physical_tile, TDI_INCOMING_DCOUNT);
    if (!incoming_dcount) {
        return std::unexpected(std::move(incoming_dcount.error()));
    }
    auto exchange_control = read_tile_debug(physical_tile, TDI_EXCHANGE_CONTROL);
    if (!exchange_control) {
        return std::unexpected(std::move(exchange_control.error()));
    }
    return ExchangeState{*incoming_dcount, *exchange_control};
}

Result<std::uint32_t> Device::read_tile_context_status(std::uint16_t physical_tile,
                                                       std::uint32_t context) const {
    return read_tile_special_in_context(
        physical_tile, context, tdi_instruction::get_special_m(0, SPECIAL_CONTEXT_STATUS), false);
}

Result<std::uint32_t> Device::read_tile_program_counter(std::uint16_t physical_tile,
                                                        std::uint32_t context) const {
    return read_tile_special_in_context(
        physical_tile, context, tdi_instruction::get_special_m(0, SPECIAL_PROGRAM_COUNTER), false);
}

Result<std::uint32_t> Device::read_tile_special_register(std::uint16_t physical_tile,
                                                         std::uint32_t context,
                                                         std::uint8_t special) const {
    // A special register read by number takes an inactive context as quiescent.
    return read_tile_special_in_context(physical_tile, context,
                                        tdi_instruction::get_special_m(0, special), true);
}

Result<std::uint32_t> Device::read_tile_worker_status(std::uint16_t physical_tile,
                                                      std::uint32_t context) const {
    if (context == SUPERVISOR_CONTEXT) {
        return std::unexpected(DriverError::invalid("worker status requires a worker context"));
    }
    return read_tile_context_status(physical_tile, context);
}

}  // namespace vek_driver
