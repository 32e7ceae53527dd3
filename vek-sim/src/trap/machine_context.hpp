#pragma once

// Access to the registers of an interrupted thread, in the numbering that instructions use.

#include <sys/ucontext.h>

#include <cstdint>

namespace vek_sim::trap {

// mcontext gregs index of each register number (rax, rcx, rdx, rbx, rsp, rbp, rsi, rdi,
// r8..r15): the kernel saves them in another order.
inline constexpr int greg_of_register[16] = {
    REG_RAX, REG_RCX, REG_RDX, REG_RBX, REG_RSP, REG_RBP, REG_RSI, REG_RDI,
    REG_R8,  REG_R9,  REG_R10, REG_R11, REG_R12, REG_R13, REG_R14, REG_R15,
};

inline constexpr std::uint64_t trap_flag = 0x100;           // EFLAGS.TF
inline constexpr std::uint64_t page_fault_write = 1U << 1;  // error code: write access
inline constexpr std::uint64_t page_fault_fetch = 1U << 4;  // error code: instruction fetch

inline std::uint64_t general_register(const ucontext_t& context, unsigned number) {
    return static_cast<std::uint64_t>(context.uc_mcontext.gregs[greg_of_register[number]]);
}

// A 32-bit destination is zero-extended to 64 bits, as the processor does.
inline void set_register32(ucontext_t& context, unsigned number, std::uint32_t value) {
    context.uc_mcontext.gregs[greg_of_register[number]] = static_cast<greg_t>(value);
}

inline std::uint64_t instruction_pointer(const ucontext_t& context) {
    return static_cast<std::uint64_t>(context.uc_mcontext.gregs[REG_RIP]);
}

inline void set_instruction_pointer(ucontext_t& context, std::uint64_t address) {
    context.uc_mcontext.gregs[REG_RIP] = static_cast<greg_t>(address);
}

inline std::uint64_t flags(const ucontext_t& context) {
    return static_cast<std::uint64_t>(context.uc_mcontext.gregs[REG_EFL]);
}

inline void set_flags(ucontext_t& context, std::uint64_t value) {
    context.uc_mcontext.gregs[REG_EFL] = static_cast<greg_t>(value);
}

inline std::uint64_t fault_error_code(const ucontext_t& context) {
    return static_cast<std::uint64_t>(context.uc_mcontext.gregs[REG_ERR]);
}

}  // namespace vek_sim::trap
