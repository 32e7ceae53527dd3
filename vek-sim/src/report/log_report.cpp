#include <fmt/format.h>

#include <cstring>

#include "vek_sim/names.hpp"
#include "vek_sim/report.hpp"

namespace vek_sim {
namespace {

std::string result_text(const DriverCallRecord& call, bool pointer) {
    if (call.result == -1 && call.error != 0) {
        return fmt::format("-1 {} ({})", errno_name(call.error), std::strerror(call.error));
    }
    if (pointer) {
        return fmt::format("{:#x}", static_cast<std::uint64_t>(call.result));
    }
    if (call.error != 0) {
        return fmt::format("{} {} ({})", call.result, errno_name(call.error),
                           std::strerror(call.error));
    }
    return fmt::format("{}", call.result);
}

std::string address_text(std::uint64_t address) {
    return address == 0 ? std::string("NULL") : fmt::format("{:#x}", address);
}

std::int64_t signed_argument(std::uint64_t value) {
    return static_cast<std::int64_t>(value);
}

}  // namespace

std::string describe_access(const AccessRecord& access) {
    const bool write = (access.flags & access_write) != 0;
    std::string where;
    if (access.tile != no_tile) {
        const auto name = debug_register_name(access.reg);
        where = name.empty() ? fmt::format(" tile {} register {}", access.tile, access.reg)
                             : fmt::format(" tile {} {}", access.tile, name);
    }
    return fmt::format("{} {:#08x}{} = {:#010x}{}", write ? "write" : "read ", access.offset, where,
                       access.value,
                       (access.flags & access_violation) ? "  VIOLATION: context running" : "");
}

std::string describe_call(const DriverCallRecord& call, const char* node) {
    const auto* a = call.args;
    switch (call.call) {
        case DriverCall::open:
            return fmt::format("open(\"{}\", {:#x}, {:#o}) = {}", node, a[0], a[1],
                               result_text(call, false));
        case DriverCall::ioctl:
            return fmt::format("ioctl({}, {:#x}, {:#x}) = {}", signed_argument(a[0]), a[1], a[2],
                               result_text(call, false));
        case DriverCall::mmap:
            return fmt::format("mmap({}, {:#x}, {:#x}, {:#x}, {}, {:#x}) = {}", address_text(a[0]),
                               a[1], a[2], a[3], signed_argument(a[4]), a[5],
                               result_text(call, call.result != -1));
        case DriverCall::munmap:
            return fmt::format("munmap({}, {:#x}) = {}", address_text(a[0]), a[1],
                               result_text(call, false));
        case DriverCall::close:
            return fmt::format("close({}) = {}", signed_argument(a[0]), result_text(call, false));
    }
    return "unknown call";
}

std::string render_log(const Card& card) {
    const LogCounts& counts = card.log_counts();
    const auto accesses = card.accesses();
    const auto calls = card.driver_calls();
    std::string out = fmt::format("log: {} register accesses, {} driver calls", counts.accesses,
                                  counts.driver_calls);
    const std::uint64_t lost =
        counts.accesses - accesses.size() + counts.driver_calls - calls.size();
    out += lost > 0 ? fmt::format(" ({} past the log's capacity not recorded)\n", lost) : "\n";
    const auto entries = card.log();
    std::uint64_t start = 0;
    bool first = true;
    std::size_t number = 0;
    for (const LogEntry& entry : entries) {
        const std::uint64_t time = std::holds_alternative<AccessRecord>(entry)
                                       ? std::get<AccessRecord>(entry).time_ns
                                       : std::get<DriverCallRecord>(entry).time_ns;
        if (first) {
            start = time;
            first = false;
        }
        const std::string text =
            std::holds_alternative<AccessRecord>(entry)
                ? describe_access(std::get<AccessRecord>(entry))
                : describe_call(std::get<DriverCallRecord>(entry), card.header().stand_in.node);
        out += fmt::format("{:>8} {:>12.6f}  {}\n", number++,
                           static_cast<double>(time - start) / 1e9, text);
    }
    return out;
}

}  // namespace vek_sim
