#pragma once

// One instruction run through the register harness against a window, and what it must do: the
// accesses the model sees, the one register it changes, and which way the window took it.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <ostream>
#include <vector>

#include "recording_model.hpp"
#include "register_harness.hpp"

namespace vek_sim::trap_test {

struct Setting {
    Register reg;
    std::uint64_t value;
    bool window_offset;         // value is an offset into the window, the register gets its address
    std::uint64_t divisor = 1;  // ... divided by this, for an address made by a scaled index
};

inline Setting at_window(Register reg, std::uint64_t offset) {
    return {reg, offset, true};
}
inline Setting at_window_halved(Register reg, std::uint64_t offset) {
    return {reg, offset, true, 2};
}
inline Setting set(Register reg, std::uint64_t value) {
    return {reg, value, false};
}

enum class Path : std::uint8_t { decoded, single_stepped };

struct RegisterCase {
    const char* name;
    InstructionRun run;
    std::vector<Setting> settings;
    std::vector<Access> accesses;
    int changed = -1;  // the register the instruction writes, if any
    std::uint64_t changed_value = 0;
    Path path = Path::decoded;
    bool peek = true;  // the model offers a side-effect-free read
};

inline std::ostream& operator<<(std::ostream& out, const RegisterCase& c) {
    return out << c.name;
}

// What each register holds before the instruction unless a case sets it: high bits set and
// the low 32 bits distinct, so a store of the wrong register or a missing zero-extension shows.
inline std::uint64_t initial_value(int reg) {
    return 0xC3C3000000000000U + (static_cast<std::uint64_t>(reg) << 32) + 0x10203000U +
           static_cast<std::uint64_t>(reg);
}
inline std::uint32_t initial_low(int reg) {
    return static_cast<std::uint32_t>(initial_value(reg));
}

inline void run_register_case(const RegisterCase& c) {
    RecordingModel model;
    TrappedWindow window(model.handler(c.peek));
    ASSERT_NE(window.base(), nullptr);

    RegisterFile before{};
    for (int reg = 0; reg < 16; ++reg) {
        before[reg] = initial_value(reg);
    }
    for (const Setting& setting : c.settings) {
        before[setting.reg] =
            setting.window_offset
                ? window.address(static_cast<std::uint32_t>(setting.value)) / setting.divisor
                : setting.value;
    }
    RegisterFile after{};
    std::copy(std::begin(before), std::end(before), std::begin(after));

    const CounterDelta counters;
    c.run(after);

    EXPECT_EQ(model.accesses(), c.accesses);
    for (int reg = 0; reg < 16; ++reg) {
        if (reg == rsp) {
            continue;
        }
        const std::uint64_t expected = reg == c.changed ? c.changed_value : before[reg];
        EXPECT_EQ(after[reg], expected) << "register " << reg;
    }
    const bool stepped = c.path == Path::single_stepped;
    EXPECT_EQ(counters.decoded(), stepped ? 0U : 1U);
    EXPECT_EQ(counters.single_stepped(), stepped ? 1U : 0U);

    // The window traps again afterwards, on both pages a step may have opened: plain reads
    // reach the model.
    model.clear();
    EXPECT_EQ(window.word(0x40), model.at(0x40));
    EXPECT_EQ(window.word(0x1040), model.at(0x1040));
    EXPECT_EQ(model.access_count(), 2U);
}

}  // namespace vek_sim::trap_test
