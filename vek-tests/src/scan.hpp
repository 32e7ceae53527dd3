#pragma once

// The walk over the card's logical tiles and the two reports. Written against any `Tiles` type
// with the driver's tile queries, so that tests can make a query fail that no card can fail;
// the tool runs it on vek_driver::Device.

#include <fmt/format.h>

#include <cstdint>
#include <expected>
#include <limits>
#include <string_view>
#include <type_traits>

#include "arguments.hpp"
#include "interrupts.hpp"
#include "output_stream.hpp"
#include "report_lines.hpp"
#include "run_error.hpp"
#include "tile_filter.hpp"
#include "vek_driver/tile_debug.hpp"
#include "vek_exchange/topology.hpp"

namespace live_state {

using ScanResult = std::expected<void, RunError>;

namespace scan_detail {

template <class Read>
using ReadValue = typename std::invoke_result_t<Read&>::value_type;

// One query of the scan. A signal that asked the run to stop ends it before the query starts,
// never inside one. A failure is given as it is, or under a note naming the logical tile.
template <class Read>
std::expected<ReadValue<Read>, RunError> ask(Read&& read, std::uint16_t logical,
                                             std::string_view what) {
    if (const int signal = pending_interrupt(); signal != 0) {
        return std::unexpected(Interrupted(signal));
    }
    auto result = read();
    if (result) {
        return std::move(*result);
    }
    if (what.empty()) {
        return std::unexpected(std::move(result.error()));
    }
    return std::unexpected(
        ContextError(fmt::format("read tile {} {}", logical, what), std::move(result.error())));
}

inline ScanResult print(OutputStream& out, const LineBuffer& line) {
    if (auto written = out.write_line({line.data(), line.size()}); !written) {
        return std::unexpected(OutputError(written.error()));
    }
    return {};
}

// The supervisor line of one tile, if the tile is worth one.
template <class Tiles>
ScanResult report_supervisor(const Tiles& tiles, std::uint16_t logical, std::uint16_t physical,
                             bool listed, bool program_counter, OutputStream& out) {
    using vek_driver::SUPERVISOR_CONTEXT;
    auto context = ask([&] { return tiles.tile_context_state(physical, SUPERVISOR_CONTEXT); },
                       logical, "context state");
    if (!context) {
        return std::unexpected(std::move(context.error()));
    }
    auto error = ask([&] { return tiles.tile_exchange_receive_error(physical); }, logical, "ERERR");
    if (!error) {
        return std::unexpected(std::move(error.error()));
    }
    auto exchange =
        ask([&] { return tiles.tile_exchange_state(physical); }, logical, "exchange state");
    if (!exchange) {
        return std::unexpected(std::move(exchange.error()));
    }
    const auto [incoming_dcount, exchange_control] = *exchange;
    const bool selected = listed || logical <= 3 || *context != 1 ||
                          *error != vek_driver::TileExchangeReceiveError::None ||
                          incoming_dcount != 0 || exchange_control != 0;
    if (!selected) {
        return {};
    }

    std::optional<std::uint32_t> pc;
    if (program_counter) {
        auto read =
            ask([&] { return tiles.read_tile_program_counter(physical, SUPERVISOR_CONTEXT); },
                logical, "PC");
        if (!read) {
            return std::unexpected(std::move(read.error()));
        }
        pc = *read;
    }
    auto mux_pair = ask(
        [&] {
            return tiles.read_tile_special_register(physical, SUPERVISOR_CONTEXT,
                                                    vek_driver::SPECIAL_INCOMING_MUXPAIR);
        },
        logical, "INCOMING_MUXPAIR");
    if (!mux_pair) {
        return std::unexpected(std::move(mux_pair.error()));
    }
    auto format = ask(
        [&] {
            return tiles.read_tile_special_register(physical, SUPERVISOR_CONTEXT,
                                                    vek_driver::SPECIAL_INCOMING_FORMAT);
        },
        logical, "INCOMING_FORMAT");
    if (!format) {
        return std::unexpected(std::move(format.error()));
    }

    LineBuffer line;
    render(SupervisorLine{logical, physical, *context, *error, incoming_dcount, exchange_control,
                          *mux_pair, *format, pc},
           line);
    return print(out, line);
}

// The six worker lines of one tile. Worker reads carry no note: the driver error is the report.
template <class Tiles>
ScanResult report_workers(const Tiles& tiles, std::uint16_t logical, std::uint16_t physical,
                          OutputStream& out) {
    constexpr std::uint32_t operand_pointers[] = {2, 3, 4};
    for (std::uint32_t worker = 1; worker < vek_driver::TILE_CONTEXT_COUNT; ++worker) {
        auto status =
            ask([&] { return tiles.read_tile_worker_status(physical, worker); }, logical, {});
        if (!status) {
            return std::unexpected(std::move(status.error()));
        }
        WorkerLine line{logical, worker, *status, {}};
        for (std::size_t i = 0; i < std::size(operand_pointers); ++i) {
            auto value = ask(
                [&] { return tiles.read_tile_m_register(physical, worker, operand_pointers[i]); },
                logical, {});
            if (!value) {
                return std::unexpected(std::move(value.error()));
            }
            line.registers[i] = *value;
        }
        LineBuffer text;
        render(line, text);
        if (auto printed = print(out, text); !printed) {
            return printed;
        }
    }
    return {};
}

}  // namespace scan_detail

// Walks the card's logical tiles in ascending order and prints the report that `arguments`
// asks for. The first failure ends the walk; lines printed before it stay printed.
template <class Tiles>
ScanResult scan(const Tiles& tiles, const vek_exchange::Topology& topology,
                const Arguments& arguments, OutputStream& out) {
    const std::size_t tile_count = topology.tile_count();
    if (tile_count > std::numeric_limits<std::uint16_t>::max()) {
        return std::unexpected(ConversionError{});
    }
    const TileFilter filter(arguments.tile);
    for (std::uint32_t walk = 0; walk < tile_count; ++walk) {
        const auto logical = static_cast<std::uint16_t>(walk);
        if (!filter.admits(logical)) {
            continue;
        }
        const auto physical = topology.physical(logical);
        if (!physical) {
            return std::unexpected(physical.error());
        }
        const ScanResult reported =
            arguments.workers
                ? scan_detail::report_workers(tiles, logical, *physical, out)
                : scan_detail::report_supervisor(tiles, logical, *physical, filter.explicit_list(),
                                                 arguments.program_counter, out);
        if (!reported) {
            return reported;
        }
    }
    return {};
}

}  // namespace live_state
