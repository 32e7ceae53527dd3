#pragma once

// The context brackets. They are written against any `Registers` type with Device's tile debug
// operations, so that tests can make a register access fail that no card can fail; Device's
// members run them on the device itself. Included by vek_driver/device.hpp.

#include "vek_driver/detail/busy_wait.hpp"

namespace vek_driver::detail {

template <class Registers>
Result<void> stop_tile_context(const Registers& registers, std::uint16_t physical_tile,
                               std::uint32_t context, std::uint32_t stop_request) {
    if (auto requested = registers.write_tile_debug(physical_tile, TDI_RUN_BREAK, stop_request);
        !requested) {
        return requested;
    }
    return busy_wait("stopping tile context", [&]() -> Result<bool> {
        auto state = registers.tile_context_state(physical_tile, context);
        if (!state) {
            return std::unexpected(std::move(state.error()));
        }
        return is_stopped_state(*state);
    });
}

template <class Registers>
Result<void> release_tile_context(const Registers& registers, std::uint16_t physical_tile,
                                  std::uint32_t context_bit, std::uint32_t old_run_break) {
    if (auto restored = registers.write_tile_debug(physical_tile, TDI_RUN_BREAK, old_run_break);
        !restored) {
        return restored;
    }
    // A run break that was set before the bracket stays set, and the context stays stopped.
    if ((old_run_break & context_bit) == 0) {
        return registers.write_tile_debug(physical_tile, TDI_RESUME, context_bit);
    }
    return {};
}

template <class Registers, class Operation>
std::invoke_result_t<Operation&> with_tile_context(const Registers& registers,
                                                   std::uint16_t physical_tile,
                                                   std::uint32_t context,
                                                   bool inactive_is_quiescent,
                                                   Operation&& operation) {
    using Outcome = std::invoke_result_t<Operation&>;
    auto initial_state = registers.tile_context_state(physical_tile, context);
    if (!initial_state) {
        return std::unexpected(std::move(initial_state.error()));
    }
    const std::uint32_t context_bit = 1U << context;
    auto old_run_break = registers.read_tile_debug(physical_tile, TDI_RUN_BREAK);
    if (!old_run_break) {
        return std::unexpected(std::move(old_run_break.error()));
    }
    const bool already_stopped =
        is_stopped_state(*initial_state) || (inactive_is_quiescent && *initial_state == 0);
    if (already_stopped) {
        return operation();
    }

    auto stopped =
        stop_tile_context(registers, physical_tile, context, *old_run_break | context_bit);
    Outcome result = stopped ? operation() : Outcome(std::unexpected(std::move(stopped.error())));
    // Whatever the outcome, the context is let go; a failure to do so wins.
    if (auto released = release_tile_context(registers, physical_tile, context_bit, *old_run_break);
        !released) {
        return std::unexpected(std::move(released.error()));
    }
    return result;
}

template <class Registers>
Result<void> restore_tile_scratch(const Registers& registers, std::uint16_t physical_tile,
                                  std::uint32_t context, std::span<const std::uint32_t> saved) {
    for (std::size_t r = saved.size(); r-- > 0;) {
        if (auto written = registers.write_tile_debug(physical_tile, TDI_DATA, saved[r]);
            !written) {
            return written;
        }
        const auto scratch = static_cast<std::uint32_t>(r);
        if (auto moved = registers.execute_tile_instruction(
                physical_tile, context, tdi_instruction::get_debug_data_m(scratch));
            !moved) {
            return moved;
        }
    }
    return {};
}

template <std::size_t N, class Registers, class Operation>
std::invoke_result_t<Operation&> with_tile_scratch(const Registers& registers,
                                                   std::uint16_t physical_tile,
                                                   std::uint32_t context,
                                                   bool inactive_is_quiescent,
                                                   Operation&& operation) {
    using Outcome = std::invoke_result_t<Operation&>;
    return with_tile_context(
        registers, physical_tile, context, inactive_is_quiescent, [&]() -> Outcome {
            std::array<std::uint32_t, N> saved{};
            for (std::uint32_t r = 0; r < N; ++r) {
                auto value = registers.read_tile_m_register_in_context(physical_tile, context, r);
                if (!value) {
                    return std::unexpected(std::move(value.error()));
                }
                saved[r] = *value;
            }
            Outcome result = operation();
            auto restored = restore_tile_scratch(registers, physical_tile, context, saved);
            // The operation's own failure wins over a failure to put the scratch back.
            if (result && !restored) {
                return std::unexpected(std::move(restored.error()));
            }
            return result;
        });
}

}  // namespace vek_driver::detail

namespace vek_driver {

template <class Operation>
std::invoke_result_t<Operation&> Device::with_tile_context(std::uint16_t physical_tile,
                                                           std::uint32_t context,
                                                           bool inactive_is_quiescent,
                                                           Operation&& operation) const {
    return detail::with_tile_context(*this, physical_tile, context, inactive_is_quiescent,
                                     std::forward<Operation>(operation));
}

template <std::size_t N, class Operation>
std::invoke_result_t<Operation&> Device::with_tile_scratch(std::uint16_t physical_tile,
                                                           std::uint32_t context,
                                                           bool inactive_is_quiescent,
                                                           Operation&& operation) const {
    return detail::with_tile_scratch<N>(*this, physical_tile, context, inactive_is_quiescent,
                                        std::forward<Operation>(operation));
}

}  // namespace vek_driver
