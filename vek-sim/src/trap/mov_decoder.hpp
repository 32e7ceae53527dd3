#pragma once

// Decodes the x86-64 mov forms between memory and a general register or an immediate, the
// instructions that compiled volatile register accesses become. Pure functions on bytes, so
// that the decoding is tested apart from the signal handling.

#include <cstddef>
#include <cstdint>
#include <optional>

namespace vek_sim::trap {

enum class MovForm : std::uint8_t { load, store_register, store_immediate };

inline constexpr std::int8_t no_register = -1;

struct MemoryOperand {
    std::int8_t base = no_register;   // register number 0..15
    std::int8_t index = no_register;  // register number 0..15
    std::uint8_t scale = 1;
    bool rip_relative = false;
    std::int32_t displacement = 0;
};

struct MovInstruction {
    MovForm form = MovForm::load;
    std::uint8_t width = 4;       // bytes moved: 1, 2, 4 or 8
    std::uint8_t reg = 0;         // load destination or store source, 0..15
    std::uint32_t immediate = 0;  // store_immediate only, as encoded (not sign-extended)
    std::uint8_t length = 0;      // bytes of the whole instruction
    MemoryOperand memory;
};

inline constexpr std::size_t max_instruction_length = 15;

// Decodes `8A/8B /r` (load), `88/89 /r` (store register) and `C6/C7 /0` (store immediate) with
// an optional 0x66 and an optional REX prefix, ModRM with a memory operand, SIB, disp8, disp32
// and RIP-relative addressing. Reads no byte past the ones the instruction needs, nor past
// `available`. Anything else (other opcodes or prefixes, register operands) gives nullopt.
std::optional<MovInstruction> decode_mov(const std::uint8_t* code, std::size_t available);

// True for the forms a fault handler completes by itself: 32-bit moves.
inline bool is_word_move(const MovInstruction& mov) {
    return mov.width == 4;
}

// The address the instruction accesses, given the general registers in x86 numbering
// (rax, rcx, rdx, rbx, rsp, rbp, rsi, rdi, r8..r15) and the instruction's own address.
std::uint64_t effective_address(const MovInstruction& mov, const std::uint64_t (&registers)[16],
                                std::uint64_t instruction_address);

}  // namespace vek_sim::trap
