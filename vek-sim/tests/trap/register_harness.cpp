#include "register_harness.hpp"

// Each function: save the callee-saved registers and the array pointer, load every register
// from the array (rdi last), run the instruction, then store every register back through the
// pointer saved on the stack. No calls, so the stack needs no alignment.
#define VEK_TRAP_DEFINE(name, instruction)                                                      \
    asm(".pushsection .text\n"                                                                  \
        ".globl vek_trap_run_" #name                                                            \
        "\n"                                                                                    \
        ".type vek_trap_run_" #name                                                             \
        ", @function\n"                                                                         \
        "vek_trap_run_" #name                                                                   \
        ":\n"                                                                                   \
        ".intel_syntax noprefix\n"                                                              \
        "push rbx\n push rbp\n push r12\n push r13\n push r14\n push r15\n push rdi\n"          \
        "mov rax, [rdi]\n mov rcx, [rdi + 8]\n mov rdx, [rdi + 16]\n mov rbx, [rdi + 24]\n"     \
        "mov rbp, [rdi + 40]\n mov rsi, [rdi + 48]\n"                                           \
        "mov r8, [rdi + 64]\n mov r9, [rdi + 72]\n mov r10, [rdi + 80]\n mov r11, [rdi + 88]\n" \
        "mov r12, [rdi + 96]\n mov r13, [rdi + 104]\n mov r14, [rdi + 112]\n"                   \
        "mov r15, [rdi + 120]\n mov rdi, [rdi + 56]\n" instruction                              \
        "\n"                                                                                    \
        "push rdi\n mov rdi, [rsp + 8]\n"                                                       \
        "mov [rdi], rax\n mov [rdi + 8], rcx\n mov [rdi + 16], rdx\n mov [rdi + 24], rbx\n"     \
        "mov [rdi + 40], rbp\n mov [rdi + 48], rsi\n"                                           \
        "mov [rdi + 64], r8\n mov [rdi + 72], r9\n mov [rdi + 80], r10\n mov [rdi + 88], r11\n" \
        "mov [rdi + 96], r12\n mov [rdi + 104], r13\n mov [rdi + 112], r14\n"                   \
        "mov [rdi + 120], r15\n pop rax\n mov [rdi + 56], rax\n"                                \
        "pop rdi\n pop r15\n pop r14\n pop r13\n pop r12\n pop rbp\n pop rbx\n ret\n"           \
        ".att_syntax prefix\n"                                                                  \
        ".size vek_trap_run_" #name ", . - vek_trap_run_" #name                                 \
        "\n"                                                                                    \
        ".popsection\n");

VEK_TRAP_INSTRUCTIONS(VEK_TRAP_DEFINE)
