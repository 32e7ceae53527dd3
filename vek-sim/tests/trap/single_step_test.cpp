// Window accesses that the fault handler does not complete itself: run once with the trap
// flag against real memory that holds the model's words.

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "recording_model.hpp"
#include "register_case.hpp"
#include "register_harness.hpp"

namespace vek_sim::trap_test {
namespace {

constexpr std::uint32_t p8 = RecordingModel::pattern(8);    // 0xA5000008
constexpr std::uint32_t p12 = RecordingModel::pattern(12);  // 0xA500000C
const std::uint32_t cx = initial_low(rcx);                  // 0x10203001
const std::uint64_t rcx_before = initial_value(rcx);

RegisterCase stepped(const char* name, InstructionRun run, std::vector<Access> accesses,
                     int changed = -1, std::uint64_t changed_value = 0,
                     std::uint32_t window_offset = 0) {
    return RegisterCase{name,
                        run,
                        {at_window(r10, window_offset)},
                        std::move(accesses),
                        changed,
                        changed_value,
                        Path::single_stepped};
}

std::vector<RegisterCase> stepped_cases() {
    std::vector<RegisterCase> cases = {
        // Read-modify-write faults as a write: it starts from the peeked value, no read.
        stepped("add_to_memory", vek_trap_run_add_to_memory, {write_of(8, p8 + cx)}),
        stepped("or_immediate_to_memory", vek_trap_run_or_immediate_to_memory,
                {write_of(8, p8 | 0x100)}),
        stepped("add_from_memory", vek_trap_run_add_from_memory, {read_of(8)}, rcx, p8 + cx),
        // Part of a word: the other bytes keep the register's value.
        stepped("store_word16_high_half", vek_trap_run_store_word16,
                {write_of(8, (cx << 16) | (p8 & 0xFFFF))}),
        stepped("store_byte", vek_trap_run_store_byte,
                {write_of(8, (p8 & 0xFFFF00FF) | ((cx & 0xFF) << 8))}),
        stepped("load_word16_keeps_upper_bits", vek_trap_run_load_word16, {read_of(8)}, rcx,
                (rcx_before & ~0xFFFFULL) | (p8 & 0xFFFF)),
        // Eight bytes: two words, in order.
        stepped("load_qword", vek_trap_run_load_qword, {read_of(8), read_of(12)}, rcx,
                (std::uint64_t{p12} << 32) | p8),
        stepped("store_qword", vek_trap_run_store_qword,
                {write_of(8, cx), write_of(12, static_cast<std::uint32_t>(rcx_before >> 32))}),
        stepped("store_qword_immediate_sign_extended", vek_trap_run_store_qword_immediate,
                {write_of(8, 0xFFFFFFFE), write_of(12, 0xFFFFFFFF)}),
        // A 32-bit mov at an address that is not a word: both words it covers.
        stepped("load_misaligned", vek_trap_run_load_misaligned, {read_of(8), read_of(12)}, rcx,
                (p8 >> 16) | ((p12 & 0xFFFF) << 16)),
        // Across a page: [r10 + 10] at 0xFFE, words 0xFFC and 0x1000 on two pages.
        stepped("load_across_pages", vek_trap_run_load_misaligned,
                {read_of(0xFFC), read_of(0x1000)}, rcx,
                (RecordingModel::pattern(0xFFC) >> 16) |
                    ((RecordingModel::pattern(0x1000) & 0xFFFF) << 16),
                0xFF4),
        stepped(
            "store_qword_across_pages", vek_trap_run_store_qword,
            {write_of(0xFFC, cx), write_of(0x1000, static_cast<std::uint32_t>(rcx_before >> 32))},
            -1, 0, 0xFF4),
        // An instruction the decoder knows nothing of.
        stepped("load_sse", vek_trap_run_load_sse, {read_of(8)}, rcx, p8),
    };
    // Without peek a stepped store starts from zero rather than reading the register.
    RegisterCase add_without_peek =
        stepped("add_to_memory_without_peek", vek_trap_run_add_to_memory, {write_of(8, cx)});
    add_without_peek.peek = false;
    cases.push_back(add_without_peek);
    RegisterCase half_without_peek =
        stepped("store_word16_without_peek", vek_trap_run_store_word16, {write_of(8, cx << 16)});
    half_without_peek.peek = false;
    cases.push_back(half_without_peek);
    return cases;
}

class SingleSteppedAccess : public testing::TestWithParam<RegisterCase> {};

TEST_P(SingleSteppedAccess, ReachesModelAndChangesOnlyTheDestination) {
    run_register_case(GetParam());
}

INSTANTIATE_TEST_SUITE_P(Instructions, SingleSteppedAccess, testing::ValuesIn(stepped_cases()),
                         [](const auto& instance) { return std::string(instance.param.name); });

TEST(SingleStep, StoreWiderThanItsFaultReachesTheModelWordByWord) {
    // movdqu faults once, on its first word; the three words after it are found changed.
    RecordingModel model;
    const TrappedWindow window(model.handler());
    ASSERT_NE(window.base(), nullptr);
    RegisterFile registers{};
    registers[r10] = window.address(0);
    registers[rcx] = 0x4444444433333333;
    const CounterDelta counters;

    vek_trap_run_store_sse16(registers);
    const std::vector<Access> wide = {write_of(8, 0x33333333), write_of(12, 0x44444444),
                                      write_of(16, 0x33333333), write_of(20, 0x44444444)};
    EXPECT_EQ(model.accesses(), wide);

    // The next step finds nothing of this one left in the page.
    model.clear();
    registers[rcx] = 1;
    vek_trap_run_add_to_memory(registers);
    const std::vector<Access> add = {write_of(8, 0x33333334)};
    EXPECT_EQ(model.accesses(), add);
    EXPECT_EQ(counters.single_stepped(), 2U);
}

}  // namespace
}  // namespace vek_sim::trap_test
