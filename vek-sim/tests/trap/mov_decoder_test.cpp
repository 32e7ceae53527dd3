#include "mov_decoder.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <ostream>
#include <vector>

namespace vek_sim::trap {
namespace {

constexpr std::int8_t none = no_register;

struct DecodeCase {
    const char* text;
    std::vector<std::uint8_t> bytes;
    std::optional<MovInstruction> expected;

    friend void PrintTo(const DecodeCase& c, std::ostream* out) { *out << c.text; }
};

MovInstruction mov(MovForm form, std::uint8_t width, std::uint8_t reg, std::uint8_t length,
                   MemoryOperand memory, std::uint32_t immediate = 0) {
    return MovInstruction{form, width, reg, immediate, length, memory};
}

MemoryOperand at(std::int8_t base, std::int32_t displacement = 0, std::int8_t index = none,
                 std::uint8_t scale = 1) {
    return MemoryOperand{base, index, scale, false, displacement};
}

MemoryOperand rip(std::int32_t displacement) {
    return MemoryOperand{none, none, 1, true, displacement};
}

constexpr auto load = MovForm::load;
constexpr auto store = MovForm::store_register;
constexpr auto store_imm = MovForm::store_immediate;

// Encodings as the assembler gives them, with the registers spelled out where the REX bits
// and the reserved ModRM/SIB values decide them.
const DecodeCase decode_cases[] = {
    {"mov eax, [rdi]", {0x8B, 0x07}, mov(load, 4, 0, 2, at(7))},
    {"mov [rsi], ecx", {0x89, 0x0E}, mov(store, 4, 1, 2, at(6))},
    {"mov esp, [rcx]", {0x8B, 0x21}, mov(load, 4, 4, 2, at(1))},
    {"mov r9d, [rax+0x10]", {0x44, 0x8B, 0x48, 0x10}, mov(load, 4, 9, 4, at(0, 0x10))},
    {"mov eax, [r13-0x80] (disp8 sign)",
     {0x41, 0x8B, 0x45, 0x80},
     mov(load, 4, 0, 4, at(13, -128))},
    {"mov eax, [r13] (needs disp8 0)", {0x41, 0x8B, 0x45, 0x00}, mov(load, 4, 0, 4, at(13))},
    {"mov eax, [r12] (needs SIB)", {0x41, 0x8B, 0x04, 0x24}, mov(load, 4, 0, 4, at(12))},
    {"mov edx, [rsp+8]", {0x8B, 0x54, 0x24, 0x08}, mov(load, 4, 2, 4, at(4, 8))},
    {"mov ebx, [rbp+0x12345678]",
     {0x8B, 0x9D, 0x78, 0x56, 0x34, 0x12},
     mov(load, 4, 3, 6, at(5, 0x12345678))},
    {"mov [r13+r9*4+0x40], r15d",
     {0x47, 0x89, 0x7C, 0x8D, 0x40},
     mov(store, 4, 15, 5, at(13, 0x40, 9, 4))},
    {"mov esi, [rbx+r12*8-4] (REX.X index 12 is r12)",
     {0x42, 0x8B, 0x74, 0xE3, 0xFC},
     mov(load, 4, 6, 5, at(3, -4, 12, 8))},
    {"mov edx, [rcx*2+0x40] (no base)",
     {0x8B, 0x14, 0x4D, 0x40, 0x00, 0x00, 0x00},
     mov(load, 4, 2, 7, at(none, 0x40, 1, 2))},
    {"mov edx, [r13*2+0x40] (no base, also with REX.B)",
     {0x43, 0x8B, 0x14, 0x6D, 0x40, 0x00, 0x00, 0x00},
     mov(load, 4, 2, 8, at(none, 0x40, 13, 2))},
    {"mov eax, [0x1000] (SIB, neither base nor index)",
     {0x8B, 0x04, 0x25, 0x00, 0x10, 0x00, 0x00},
     mov(load, 4, 0, 7, at(none, 0x1000))},
    {"mov eax, [rip+0x100]", {0x8B, 0x05, 0x00, 0x01, 0x00, 0x00}, mov(load, 4, 0, 6, rip(0x100))},
    {"mov r8d, [rip-8] (REX.B does not make it r13)",
     {0x45, 0x8B, 0x05, 0xF8, 0xFF, 0xFF, 0xFF},
     mov(load, 4, 8, 7, rip(-8))},
    {"mov dword [rdi+0x44], 0xdeadbeef",
     {0xC7, 0x47, 0x44, 0xEF, 0xBE, 0xAD, 0xDE},
     mov(store_imm, 4, 0, 7, at(7, 0x44), 0xDEADBEEF)},
    {"mov dword [rip+0x20], 7 (immediate after disp)",
     {0xC7, 0x05, 0x20, 0x00, 0x00, 0x00, 0x07, 0x00, 0x00, 0x00},
     mov(store_imm, 4, 0, 10, rip(0x20), 7)},
    {"mov dword [r9+0x12340], 1",
     {0x41, 0xC7, 0x81, 0x40, 0x23, 0x01, 0x00, 0x01, 0x00, 0x00, 0x00},
     mov(store_imm, 4, 0, 11, at(9, 0x12340), 1)},
    // Moves the handler steps instead: recognised for their width.
    {"mov rax, [rdi] (REX.W)", {0x48, 0x8B, 0x07}, mov(load, 8, 0, 3, at(7))},
    {"mov [rdi], ax", {0x66, 0x89, 0x07}, mov(store, 2, 0, 3, at(7))},
    {"mov [rdi], r8w", {0x66, 0x44, 0x89, 0x07}, mov(store, 2, 8, 4, at(7))},
    {"mov word [rdi], 0x1234 (2-byte immediate)",
     {0x66, 0xC7, 0x07, 0x34, 0x12},
     mov(store_imm, 2, 0, 5, at(7), 0x1234)},
    {"mov qword [rdi], -1 (4-byte immediate)",
     {0x48, 0xC7, 0x07, 0xFF, 0xFF, 0xFF, 0xFF},
     mov(store_imm, 8, 0, 7, at(7), 0xFFFFFFFF)},
    {"mov al, [rdi]", {0x8A, 0x07}, mov(load, 1, 0, 2, at(7))},
    {"mov byte [rdi+1], 5", {0xC6, 0x47, 0x01, 0x05}, mov(store_imm, 1, 0, 4, at(7, 1), 5)},
    // Not moves between memory and a register.
    {"mov eax, ecx (register operand)", {0x8B, 0xC1}, std::nullopt},
    {"add [rdi], eax", {0x01, 0x07}, std::nullopt},
    {"C7 /1 (undefined)", {0xC7, 0x4F, 0x04, 0, 0, 0, 0}, std::nullopt},
    {"mov eax, fs:[rdi] (segment)", {0x64, 0x8B, 0x07}, std::nullopt},
    {"mov eax, [edi] (address size)", {0x67, 0x8B, 0x07}, std::nullopt},
    {"REX before 0x66 (REX ignored)", {0x41, 0x66, 0x8B, 0x07}, std::nullopt},
    {"movd xmm0, [rdi]", {0x66, 0x0F, 0x6E, 0x07}, std::nullopt},
    // Cut short: each needs one byte more.
    {"opcode only", {0x8B}, std::nullopt},
    {"missing SIB", {0x8B, 0x04}, std::nullopt},
    {"short disp32", {0x8B, 0x05, 0x00, 0x01, 0x00}, std::nullopt},
    {"short immediate", {0xC7, 0x07, 0x01, 0x00, 0x00}, std::nullopt},
    {"nothing", {}, std::nullopt},
};

class DecodeMov : public testing::TestWithParam<DecodeCase> {};

TEST_P(DecodeMov, DecodesFormWidthRegisterOperandAndLength) {
    const DecodeCase& c = GetParam();
    // A copy of exactly the bytes given: reading past them shows under the sanitizers.
    const std::vector<std::uint8_t> code = c.bytes;
    const auto decoded = decode_mov(code.data(), code.size());
    ASSERT_EQ(decoded.has_value(), c.expected.has_value()) << c.text;
    if (!decoded) {
        return;
    }
    const MovInstruction& want = *c.expected;
    EXPECT_EQ(decoded->form, want.form) << c.text;
    EXPECT_EQ(decoded->width, want.width) << c.text;
    EXPECT_EQ(decoded->reg, want.reg) << c.text;
    EXPECT_EQ(decoded->immediate, want.immediate) << c.text;
    EXPECT_EQ(decoded->length, want.length) << c.text;
    EXPECT_EQ(decoded->memory.base, want.memory.base) << c.text;
    EXPECT_EQ(decoded->memory.index, want.memory.index) << c.text;
    EXPECT_EQ(decoded->memory.scale, want.memory.scale) << c.text;
    EXPECT_EQ(decoded->memory.rip_relative, want.memory.rip_relative) << c.text;
    EXPECT_EQ(decoded->memory.displacement, want.memory.displacement) << c.text;
}

INSTANTIATE_TEST_SUITE_P(Encodings, DecodeMov, testing::ValuesIn(decode_cases));

TEST(DecodeMovLimit, ReadsNoMoreThanFifteenBytes) {
    // Fifteen bytes of prefixes is what the processor allows; the decoder takes one 0x66 only,
    // so a run of them is refused without reading on.
    std::vector<std::uint8_t> code(15, 0x66);
    code.push_back(0x8B);
    EXPECT_FALSE(decode_mov(code.data(), code.size()).has_value());
}

TEST(EffectiveAddress, AddsBaseScaledIndexDisplacementOrNextInstruction) {
    std::uint64_t registers[16] = {};
    registers[13] = 0x7F0000001000;
    registers[9] = 3;
    registers[2] = 0xFFFFFFFFFFFFFFFF;  // -1 as an index

    const MovInstruction sib = mov(store, 4, 15, 5, at(13, 0x40, 9, 4));
    EXPECT_EQ(effective_address(sib, registers, 0), 0x7F0000001000U + 12 + 0x40);

    const MovInstruction negative = mov(load, 4, 0, 4, at(13, -0x10, 2, 8));
    EXPECT_EQ(effective_address(negative, registers, 0), 0x7F0000001000U - 8 - 0x10);

    // RIP-relative counts from the end of the instruction, immediate included.
    const MovInstruction relative = mov(store_imm, 4, 0, 10, rip(-0x20), 7);
    EXPECT_EQ(effective_address(relative, registers, 0x400000), 0x400000U + 10 - 0x20);

    const MovInstruction absolute = mov(load, 4, 0, 7, at(none, 0x1000));
    EXPECT_EQ(effective_address(absolute, registers, 0x400000), 0x1000U);
}

}  // namespace
}  // namespace vek_sim::trap
