// Register accesses as the compiler writes them at -O0 and -O2 all reach the model, decoded.

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "compiled_accesses.hpp"
#include "recording_model.hpp"

namespace vek_sim::trap_test {
namespace {

class CompiledAccess : public testing::TestWithParam<const CompiledAccesses*> {
  protected:
    void SetUp() override { ASSERT_NE(window_.base(), nullptr); }

    volatile std::uint32_t* words() const { return &window_.word(0); }
    volatile TileRegisters* tile(std::uint32_t offset) const {
        return reinterpret_cast<volatile TileRegisters*>(window_.address(offset));
    }
    // Every compiled form of a 32-bit access is one the handler completes by itself.
    void expect_all_decoded(std::uint64_t count) const {
        EXPECT_EQ(counters_.decoded(), count);
        EXPECT_EQ(counters_.single_stepped(), 0U);
    }

    RecordingModel model_;
    TrappedWindow window_{model_.handler()};
    CounterDelta counters_;
};

TEST_P(CompiledAccess, ReadsAndWritesByIndex) {
    const CompiledAccesses& code = *GetParam();
    EXPECT_EQ(code.read(words(), 0x1FFFF), RecordingModel::pattern(0x7FFFC));
    code.write(words(), 3, 0x80000001);
    EXPECT_EQ(model_.at(12), 0x80000001U);
    code.write_constant(words());
    const std::vector<Access> expected = {read_of(0x7FFFC), write_of(12, 0x80000001),
                                          write_of(0x104, 0x600DF00D)};
    EXPECT_EQ(model_.accesses(), expected);
    expect_all_decoded(3);
}

TEST_P(CompiledAccess, StructMembersInOrder) {
    const CompiledAccesses& code = *GetParam();
    EXPECT_EQ(code.read_program_counter(tile(0x2000)), RecordingModel::pattern(0x2040));
    code.start_tile(tile(0x3000), 0x1234);
    const std::vector<Access> expected = {read_of(0x2040), write_of(0x3040, 0x1234),
                                          write_of(0x3000, 1)};
    EXPECT_EQ(model_.accesses(), expected);
    expect_all_decoded(3);
}

TEST_P(CompiledAccess, LoopOfReadsAndReadModifyWrite) {
    const CompiledAccesses& code = *GetParam();
    std::uint64_t expected_sum = 0;
    for (std::uint32_t i = 0; i < 5; ++i) {
        expected_sum += RecordingModel::pattern(i * 0x100);
    }
    EXPECT_EQ(code.sum(words(), 5, 0x40), expected_sum);
    model_.clear();
    code.set_bits(words(), 0x10, 0x6);
    const std::vector<Access> expected = {read_of(0x40),
                                          write_of(0x40, RecordingModel::pattern(0x40) | 0x6)};
    EXPECT_EQ(model_.accesses(), expected);
    expect_all_decoded(7);
}

INSTANTIATE_TEST_SUITE_P(OptimisationLevels, CompiledAccess,
                         testing::Values(&unoptimised_accesses, &optimised_accesses),
                         [](const auto& instance) { return std::string(instance.param->name); });

}  // namespace
}  // namespace vek_sim::trap_test
