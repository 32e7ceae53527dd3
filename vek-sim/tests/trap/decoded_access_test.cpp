// 32-bit movs that the fault handler completes itself, in the addressing forms and with the
// registers that compiled code uses.

#include <sys/mman.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "recording_model.hpp"
#include "register_case.hpp"
#include "register_harness.hpp"

namespace vek_sim::trap_test {
namespace {

// [r10 + rdx*4 + 8] with r10 at 0x300 and rdx = 5.
constexpr std::uint32_t sib_offset = 0x300 + 5 * 4 + 8;

RegisterCase load_into(const char* name, InstructionRun run, Register destination) {
    return RegisterCase{name,
                        run,
                        {at_window(r10, 0x300), set(rdx, 5)},
                        {read_of(sib_offset)},
                        destination,
                        RecordingModel::pattern(sib_offset)};
}

RegisterCase store_from(const char* name, InstructionRun run, std::uint32_t value) {
    return RegisterCase{
        name, run, {at_window(r10, 0x300), set(rdx, 5)}, {write_of(sib_offset, value)}};
}

RegisterCase load_at(const char* name, InstructionRun run, std::vector<Setting> settings,
                     std::uint32_t offset, Register destination) {
    return RegisterCase{name,
                        run,
                        std::move(settings),
                        {read_of(offset)},
                        destination,
                        RecordingModel::pattern(offset)};
}

std::vector<RegisterCase> decoded_cases() {
    return {
        // Every destination, zero-extended; rdx and r10 are also the address's registers.
        load_into("load_eax", vek_trap_run_load_eax, rax),
        load_into("load_ecx", vek_trap_run_load_ecx, rcx),
        load_into("load_edx_over_index", vek_trap_run_load_edx, rdx),
        load_into("load_ebx", vek_trap_run_load_ebx, rbx),
        load_into("load_ebp", vek_trap_run_load_ebp, rbp),
        load_into("load_esi", vek_trap_run_load_esi, rsi),
        load_into("load_edi", vek_trap_run_load_edi, rdi),
        load_into("load_r8d", vek_trap_run_load_r8d, r8),
        load_into("load_r9d", vek_trap_run_load_r9d, r9),
        load_into("load_r10d_over_base", vek_trap_run_load_r10d, r10),
        load_into("load_r11d", vek_trap_run_load_r11d, r11),
        load_into("load_r12d", vek_trap_run_load_r12d, r12),
        load_into("load_r13d", vek_trap_run_load_r13d, r13),
        load_into("load_r14d", vek_trap_run_load_r14d, r14),
        load_into("load_r15d", vek_trap_run_load_r15d, r15),
        // Addressing forms.
        load_at("base_only", vek_trap_run_load_base_only, {at_window(rbx, 0x100)}, 0x100, rax),
        load_at("r13_with_disp8_zero", vek_trap_run_load_r13_disp8_zero, {at_window(r13, 0x200)},
                0x200, r11),
        load_at("r12_base_through_sib", vek_trap_run_load_r12_needs_sib, {at_window(r12, 0x200)},
                0x27C, rcx),
        load_at("sib_disp32", vek_trap_run_load_disp32, {at_window(r13, 0), set(r9, 3)}, 0x100C,
                rsi),
        load_at("negative_disp8", vek_trap_run_load_negative_disp, {at_window(r14, 0x440)}, 0x400,
                rdi),
        load_at("r12_as_index", vek_trap_run_load_r12_index, {at_window(rsi, 0x10), set(r12, 0x20)},
                0x114, rbx),
        // rcx*2 + 0x40 lands on 0xC0 when rcx is half of the window address of 0x80.
        load_at("index_without_base", vek_trap_run_load_index_only, {at_window_halved(rcx, 0x80)},
                0xC0, rdx),
        // Stores.
        store_from("store_eax", vek_trap_run_store_eax, initial_low(rax)),
        store_from("store_ebp", vek_trap_run_store_ebp, initial_low(rbp)),
        store_from("store_edi", vek_trap_run_store_edi, initial_low(rdi)),
        store_from("store_r8d", vek_trap_run_store_r8d, initial_low(r8)),
        store_from("store_r15d", vek_trap_run_store_r15d, initial_low(r15)),
        store_from("store_index_register", vek_trap_run_store_index_register, 5),
        RegisterCase{"store_immediate_disp8",
                     vek_trap_run_store_immediate_disp8,
                     {at_window(rdi, 0x100)},
                     {write_of(0x144, 0xDEADBEEF)}},
        RegisterCase{"store_immediate_disp32",
                     vek_trap_run_store_immediate_disp32,
                     {at_window(r9, 0)},
                     {write_of(0x12340, 7)}},
    };
}

class DecodedAccess : public testing::TestWithParam<RegisterCase> {};

TEST_P(DecodedAccess, ReachesModelAndChangesOnlyTheDestination) {
    run_register_case(GetParam());
}

INSTANTIATE_TEST_SUITE_P(Forms, DecodedAccess, testing::ValuesIn(decoded_cases()),
                         [](const auto& instance) { return std::string(instance.param.name); });

// RIP-relative operands reach only 2 GiB around the code, so these instructions are written
// into a page beside the window and run there.
class CodeBesideWindow {
  public:
    explicit CodeBesideWindow(const TrappedWindow& window) {
        const std::uintptr_t candidates[] = {window.address(trapped_window_size),
                                             window.address(0) - page_size};
        for (const std::uintptr_t candidate : candidates) {
            void* page = mmap(reinterpret_cast<void*>(candidate), page_size, PROT_READ | PROT_WRITE,
                              MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED_NOREPLACE, -1, 0);
            if (page != MAP_FAILED) {
                page_ = static_cast<std::uint8_t*>(page);
                return;
            }
        }
    }
    ~CodeBesideWindow() {
        if (page_ != nullptr) {
            munmap(page_, page_size);
        }
    }
    CodeBesideWindow(const CodeBesideWindow&) = delete;
    CodeBesideWindow& operator=(const CodeBesideWindow&) = delete;

    [[nodiscard]] bool placed() const { return page_ != nullptr; }

    // Writes `opcode`, a rel32 to `target` counted from the end of the instruction (whose
    // length includes `immediate`), the immediate bytes and a ret; returns the code's address.
    template <typename Function>
    Function place(std::vector<std::uint8_t> opcode, std::uintptr_t target,
                   std::vector<std::uint8_t> immediate = {}) {
        mprotect(page_, page_size, PROT_READ | PROT_WRITE);
        const std::size_t length = opcode.size() + 4 + immediate.size();
        const auto next =
            reinterpret_cast<std::intptr_t>(page_) + static_cast<std::intptr_t>(length);
        const auto displacement =
            static_cast<std::int32_t>(static_cast<std::intptr_t>(target) - next);
        std::vector<std::uint8_t> code = std::move(opcode);
        for (int i = 0; i < 4; ++i) {
            code.push_back(
                static_cast<std::uint8_t>(static_cast<std::uint32_t>(displacement) >> (8 * i)));
        }
        code.insert(code.end(), immediate.begin(), immediate.end());
        code.push_back(0xC3);  // ret
        std::memcpy(page_, code.data(), code.size());
        mprotect(page_, page_size, PROT_READ | PROT_EXEC);
        Function function = nullptr;
        void* start = page_;
        std::memcpy(&function, &start, sizeof function);
        return function;
    }

  private:
    static constexpr std::size_t page_size = 4096;
    std::uint8_t* page_ = nullptr;
};

TEST(RipRelativeAccess, LoadsAndStoresCountFromTheInstructionsEnd) {
    RecordingModel model;
    const TrappedWindow window(model.handler());
    ASSERT_NE(window.base(), nullptr);
    CodeBesideWindow code(window);
    ASSERT_TRUE(code.placed()) << "no free page beside the window";
    const CounterDelta counters;

    // mov eax, [rip + rel32]
    auto load = code.place<std::uint32_t (*)()>({0x8B, 0x05}, window.address(0x7FFFC));
    EXPECT_EQ(load(), RecordingModel::pattern(0x7FFFC));
    // mov [rip + rel32], edi
    auto store = code.place<void (*)(std::uint32_t)>({0x89, 0x3D}, window.address(0x10));
    store(0x600DF00D);
    // mov dword [rip + rel32], 0x01020304: the immediate is part of the length
    auto store_immediate =
        code.place<void (*)()>({0xC7, 0x05}, window.address(0x20), {0x04, 0x03, 0x02, 0x01});
    store_immediate();

    const std::vector<Access> expected = {read_of(0x7FFFC), write_of(0x10, 0x600DF00D),
                                          write_of(0x20, 0x01020304)};
    EXPECT_EQ(model.accesses(), expected);
    EXPECT_EQ(counters.decoded(), 3U);
    EXPECT_EQ(counters.single_stepped(), 0U);
}

}  // namespace
}  // namespace vek_sim::trap_test
