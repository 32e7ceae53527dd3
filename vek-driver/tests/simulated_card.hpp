#pragma once

// A simulated card served as this process's device node, for the driver's tests: the
// production Device opens it, and the card's log shows the register traffic it made.

#include <gtest/gtest.h>

#include <cstdint>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "vek_driver/device.hpp"
#include "vek_sim/card.hpp"
#include "vek_sim/stand_in.hpp"

namespace vek_driver::testing {

inline constexpr std::string_view test_node = "/dev/vek-driver-test";

// One register access of one tile, as the card saw it.
struct Access {
    char kind;  // 'R' or 'W'
    std::uint32_t reg;
    std::uint32_t value;
    friend bool operator==(const Access&, const Access&) = default;
    friend std::ostream& operator<<(std::ostream& out, const Access& a) {
        return out << a.kind << " r" << a.reg << " 0x" << std::hex << a.value << std::dec;
    }
};
inline Access R(std::uint32_t reg, std::uint32_t value) {
    return {'R', reg, value};
}
inline Access W(std::uint32_t reg, std::uint32_t value) {
    return {'W', reg, value};
}

// The four accesses of one instruction that completes on its first status read.
inline std::vector<Access> instruction(std::uint32_t context, std::uint32_t word,
                                       std::uint32_t status = 0) {
    return {W(TDI_INSTRUCTION_CONTROL, 6), W(TDI_INSTRUCTION_CONTEXT, context),
            W(TDI_INSTRUCTION, word), R(TDI_INSTRUCTION_STATUS, status)};
}

// Concatenates pieces of traffic.
inline std::vector<Access> traffic(std::initializer_list<std::vector<Access>> pieces) {
    std::vector<Access> all;
    for (const auto& piece : pieces) {
        all.insert(all.end(), piece.begin(), piece.end());
    }
    return all;
}

class SimulatedCard {
  public:
    explicit SimulatedCard(std::string_view scenario) : card_(make(scenario)) {
        auto attached = vek_sim::attach_card(card_, test_node);
        if (!attached) {
            ADD_FAILURE() << attached.error();
        }
    }

    [[nodiscard]] vek_sim::Card& card() { return card_; }

    // Opens the card through the production Device, and forgets the open's own log.
    [[nodiscard]] Device open() {
        auto device = Device::open(test_node);
        if (!device) {
            ADD_FAILURE() << device.error().message();
            std::abort();
        }
        card_.clear_log();
        return std::move(*device);
    }

    // Every register access since the log was cleared, of any tile.
    [[nodiscard]] std::vector<Access> accesses() const {
        std::vector<Access> seen;
        for (const auto& record : card_.accesses()) {
            const bool write = (record.flags & vek_sim::access_write) != 0;
            seen.push_back({write ? 'W' : 'R', record.reg, record.value});
        }
        return seen;
    }

    // The records themselves, for their times.
    [[nodiscard]] std::span<const vek_sim::AccessRecord> records() const {
        return card_.accesses();
    }

    // Fails the test when the card was left other than it was loaded.
    void expect_unchanged() const {
        for (const auto& difference : card_.check()) {
            ADD_FAILURE() << difference.message();
        }
    }

  private:
    static vek_sim::Card make(std::string_view scenario) {
        auto card = vek_sim::Card::from_text(scenario);
        if (!card) {
            ADD_FAILURE() << card.error();
            std::abort();
        }
        return std::move(*card);
    }

    vek_sim::Card card_;
};

}  // namespace vek_driver::testing
