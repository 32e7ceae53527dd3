#pragma once

// Runs one instruction with every general register (but rsp) set from an array and stores
// them all back afterwards, so that a test sees what the instruction, and the window's
// handling of it, did to each register.

#include <cstdint>

namespace vek_sim::trap_test {

// Indexes of the array: the x86 register numbers. Entry 4 (rsp) is neither loaded nor stored.
enum Register : int {
    rax,
    rcx,
    rdx,
    rbx,
    rsp,
    rbp,
    rsi,
    rdi,
    r8,
    r9,
    r10,
    r11,
    r12,
    r13,
    r14,
    r15,
};

using RegisterFile = std::uint64_t[16];
using InstructionRun = void (*)(std::uint64_t* registers);

}  // namespace vek_sim::trap_test

// Every instruction under test, one function each (defined in register_harness.cpp).
#define VEK_TRAP_INSTRUCTIONS(X)                                            \
    /* decoded: loads into each destination register, [r10 + rdx*4 + 8] */  \
    X(load_eax, "mov eax, dword ptr [r10 + rdx*4 + 8]")                     \
    X(load_ecx, "mov ecx, dword ptr [r10 + rdx*4 + 8]")                     \
    X(load_edx, "mov edx, dword ptr [r10 + rdx*4 + 8]")                     \
    X(load_ebx, "mov ebx, dword ptr [r10 + rdx*4 + 8]")                     \
    X(load_ebp, "mov ebp, dword ptr [r10 + rdx*4 + 8]")                     \
    X(load_esi, "mov esi, dword ptr [r10 + rdx*4 + 8]")                     \
    X(load_edi, "mov edi, dword ptr [r10 + rdx*4 + 8]")                     \
    X(load_r8d, "mov r8d, dword ptr [r10 + rdx*4 + 8]")                     \
    X(load_r9d, "mov r9d, dword ptr [r10 + rdx*4 + 8]")                     \
    X(load_r10d, "mov r10d, dword ptr [r10 + rdx*4 + 8]")                   \
    X(load_r11d, "mov r11d, dword ptr [r10 + rdx*4 + 8]")                   \
    X(load_r12d, "mov r12d, dword ptr [r10 + rdx*4 + 8]")                   \
    X(load_r13d, "mov r13d, dword ptr [r10 + rdx*4 + 8]")                   \
    X(load_r14d, "mov r14d, dword ptr [r10 + rdx*4 + 8]")                   \
    X(load_r15d, "mov r15d, dword ptr [r10 + rdx*4 + 8]")                   \
    /* decoded: addressing forms */                                         \
    X(load_base_only, "mov eax, dword ptr [rbx]")                           \
    X(load_r13_disp8_zero, "mov r11d, dword ptr [r13]")                     \
    X(load_r12_needs_sib, "mov ecx, dword ptr [r12 + 0x7c]")                \
    X(load_disp32, "mov esi, dword ptr [r13 + r9*4 + 0x1000]")              \
    X(load_negative_disp, "mov edi, dword ptr [r14 - 0x40]")                \
    X(load_r12_index, "mov ebx, dword ptr [rsi + r12*8 + 4]")               \
    /* mov edx, [rcx*2 + 0x40]: SIB without base, which assemblers avoid */ \
    X(load_index_only, ".byte 0x8b, 0x14, 0x4d, 0x40, 0x00, 0x00, 0x00")    \
    /* decoded: stores from registers and immediates */                     \
    X(store_eax, "mov dword ptr [r10 + rdx*4 + 8], eax")                    \
    X(store_ebp, "mov dword ptr [r10 + rdx*4 + 8], ebp")                    \
    X(store_edi, "mov dword ptr [r10 + rdx*4 + 8], edi")                    \
    X(store_r8d, "mov dword ptr [r10 + rdx*4 + 8], r8d")                    \
    X(store_r15d, "mov dword ptr [r10 + rdx*4 + 8], r15d")                  \
    X(store_index_register, "mov dword ptr [r10 + rdx*4 + 8], edx")         \
    X(store_immediate_disp8, "mov dword ptr [rdi + 0x44], 0xdeadbeef")      \
    X(store_immediate_disp32, "mov dword ptr [r9 + 0x12340], 7")            \
    /* stepped: not 32-bit movs, or not at an aligned word */               \
    X(add_to_memory, "add dword ptr [r10 + 8], ecx")                        \
    X(add_from_memory, "add ecx, dword ptr [r10 + 8]")                      \
    X(or_immediate_to_memory, "or dword ptr [r10 + 8], 0x100")              \
    X(store_word16, "mov word ptr [r10 + 10], cx")                          \
    X(load_word16, "mov cx, word ptr [r10 + 8]")                            \
    X(store_byte, "mov byte ptr [r10 + 9], cl")                             \
    X(load_qword, "mov rcx, qword ptr [r10 + 8]")                           \
    X(store_qword, "mov qword ptr [r10 + 8], rcx")                          \
    X(store_qword_immediate, "mov qword ptr [r10 + 8], -2")                 \
    X(load_misaligned, "mov ecx, dword ptr [r10 + 10]")                     \
    X(load_sse, "movd xmm0, dword ptr [r10 + 8]\n movd ecx, xmm0")          \
    X(store_sse16, "movq xmm0, rcx\n punpcklqdq xmm0, xmm0\n movdqu xmmword ptr [r10 + 8], xmm0")

#define VEK_TRAP_DECLARE(name, instruction) extern "C" void vek_trap_run_##name(std::uint64_t*);
VEK_TRAP_INSTRUCTIONS(VEK_TRAP_DECLARE)
#undef VEK_TRAP_DECLARE
