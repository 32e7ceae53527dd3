#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <expected>
#include <span>
#include <string_view>
#include <type_traits>
#include <utility>

#include "vek_driver/driver_error.hpp"
#include "vek_driver/tile_debug.hpp"
#include "vek_driver/tile_state.hpp"

namespace vek_driver {

inline constexpr std::size_t CONFIG_WINDOW_SIZE = 0x80000;
inline constexpr std::uint64_t IOCTL_ATTACH = 0xC008ED0A;
inline constexpr std::uint64_t IOCTL_SET_ID = 0xC008ED0E;

template <class T>
using Result = std::expected<T, DriverError>;

// The pair of exchange state words: TDI_INCOMING_DCOUNT, then TDI_EXCHANGE_CONTROL.
using ExchangeState = std::pair<std::uint32_t, std::uint32_t>;

// One open VEK card: the descriptor of its device node and its mapped configuration window.
// Move-only; exactly one destructor unmaps the window and closes the descriptor. Every
// operation takes the device read-only: registers change through the mapping, the handle never.
class Device {
  public:
    // Opens the node, maps the window and attaches to the card.
    [[nodiscard]] static Result<Device> open(std::string_view path);

    Device(Device&& other) noexcept;
    Device& operator=(Device&& other) noexcept;
    Device(const Device&) = delete;
    Device& operator=(const Device&) = delete;
    ~Device();

    [[nodiscard]] int fd() const noexcept { return fd_; }
    [[nodiscard]] std::uint8_t* config() const noexcept { return config_; }

    // --- Configuration space: one volatile 32-bit access at a checked offset. ---

    // Fails for an offset that is not a multiple of 4 or lies above CONFIG_WINDOW_SIZE - 4.
    [[nodiscard]] Result<void> check_offset(std::uint32_t offset) const;
    [[nodiscard]] Result<std::uint32_t> read_config(std::uint32_t offset) const;
    [[nodiscard]] Result<void> write_config(std::uint32_t offset, std::uint32_t value) const;

    // --- Tile debug registers and instructions. ---

    [[nodiscard]] Result<std::uint32_t> read_tile_debug(std::uint16_t physical_tile,
                                                        std::uint32_t register_number) const {
        return read_config(tile_debug_offset(physical_tile, register_number));
    }
    [[nodiscard]] Result<void> write_tile_debug(std::uint16_t physical_tile,
                                                std::uint32_t register_number,
                                                std::uint32_t value) const {
        return write_config(tile_debug_offset(physical_tile, register_number), value);
    }
    // Runs one instruction word in a context and waits, at most 100 ms, until the tile reports
    // it done. Its product is read from TDI_DATA afterwards.
    [[nodiscard]] Result<void> execute_tile_instruction(std::uint16_t physical_tile,
                                                        std::uint32_t context,
                                                        std::uint32_t instruction) const;
    // The 2-bit state of a context: 0 inactive, 1 running, 2 or 3 stopped.
    [[nodiscard]] Result<std::uint32_t> tile_context_state(std::uint16_t physical_tile,
                                                           std::uint32_t context) const;

    // --- Context brackets: stop a context around an operation and let it go again. ---

    // Stops the context (unless it is stopped already, or inactive and `inactive_is_quiescent`),
    // runs `operation`, then restores TDI_RUN_BREAK and resumes the context. A failure to
    // restore or resume wins over the operation's outcome.
    template <class Operation>
    [[nodiscard]] std::invoke_result_t<Operation&> with_tile_context(std::uint16_t physical_tile,
                                                                     std::uint32_t context,
                                                                     bool inactive_is_quiescent,
                                                                     Operation&& operation) const;
    // As with_tile_context, and saves M registers 0..N-1 before the operation and writes them
    // back after it. The operation's failure wins over a failure to write them back.
    template <std::size_t N, class Operation>
    [[nodiscard]] std::invoke_result_t<Operation&> with_tile_scratch(std::uint16_t physical_tile,
                                                                     std::uint32_t context,
                                                                     bool inactive_is_quiescent,
                                                                     Operation&& operation) const;

    // Reads an M register of a context that the caller has stopped.
    [[nodiscard]] Result<std::uint32_t> read_tile_m_register_in_context(
        std::uint16_t physical_tile, std::uint32_t context, std::uint32_t register_number) const;
    // Reads an M register, stopping the context around the read unless it is stopped already.
    [[nodiscard]] Result<std::uint32_t> read_tile_m_register(std::uint16_t physical_tile,
                                                             std::uint32_t context,
                                                             std::uint32_t register_number) const;
    // The value that `instruction` (a get_special_m word into M register 0) places in M
    // register 0, with M register 0 and the context's run state put back.
    [[nodiscard]] Result<std::uint32_t> read_tile_special_in_context(
        std::uint16_t physical_tile, std::uint32_t context, std::uint32_t instruction,
        bool inactive_is_quiescent) const;

    // --- Tile state queries. ---

    [[nodiscard]] Result<TileExchangeReceiveError> tile_exchange_receive_error(
        std::uint16_t physical_tile) const;
    [[nodiscard]] Result<ExchangeState> tile_exchange_state(std::uint16_t physical_tile) const;
    [[nodiscard]] Result<std::uint32_t> read_tile_context_status(std::uint16_t physical_tile,
                                                                 std::uint32_t context) const;
    [[nodiscard]] Result<std::uint32_t> read_tile_program_counter(std::uint16_t physical_tile,
                                                                  std::uint32_t context) const;
    [[nodiscard]] Result<std::uint32_t> read_tile_special_register(std::uint16_t physical_tile,
                                                                   std::uint32_t context,
                                                                   std::uint8_t special) const;
    [[nodiscard]] Result<std::uint32_t> read_tile_worker_status(std::uint16_t physical_tile,
                                                                std::uint32_t context) const;

  private:
    Device(int fd, std::uint8_t* config) noexcept : fd_(fd), config_(config) {}

    [[nodiscard]] Result<void> ioctl_value(std::uint64_t request, std::uint64_t value,
                                           std::string_view operation) const;
    void release() noexcept;

    int fd_;
    std::uint8_t* config_;
};

namespace detail {
[[nodiscard]] constexpr bool valid_config_offset(std::uint32_t offset) noexcept {
    return (offset & 3U) == 0 && offset <= CONFIG_WINDOW_SIZE - 4;
}
// The failure of a rejected offset, built out of line and straight into the caller's result, so
// that an access keeps a small frame: two integer tests and one load or store.
[[nodiscard, gnu::cold, gnu::noinline]] Result<void> rejected_offset(std::uint32_t offset);
[[nodiscard, gnu::cold, gnu::noinline]] Result<std::uint32_t> rejected_read(std::uint32_t offset);
}  // namespace detail

inline Result<void> Device::check_offset(std::uint32_t offset) const {
    if (!detail::valid_config_offset(offset)) [[unlikely]] {
        return detail::rejected_offset(offset);
    }
    return {};
}

// Both accesses apply check_offset's test and give its failure unchanged.
inline Result<std::uint32_t> Device::read_config(std::uint32_t offset) const {
    if (!detail::valid_config_offset(offset)) [[unlikely]] {
        return detail::rejected_read(offset);
    }
    return *reinterpret_cast<const volatile std::uint32_t*>(config_ + offset);
}

inline Result<void> Device::write_config(std::uint32_t offset, std::uint32_t value) const {
    if (!detail::valid_config_offset(offset)) [[unlikely]] {
        return detail::rejected_offset(offset);
    }
    *reinterpret_cast<volatile std::uint32_t*>(config_ + offset) = value;
    return {};
}

}  // namespace vek_driver

#include "vek_driver/detail/tile_context_impl.hpp"
