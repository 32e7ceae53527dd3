#pragma once

// Register accesses written as the tool writes them, compiled twice: without optimisation and
// with -O2, so that the tests meet the instruction forms each level produces.

#include <cstddef>
#include <cstdint>

namespace vek_sim::trap_test {

struct TileRegisters {
    std::uint32_t control;
    std::uint32_t status;
    std::uint32_t reserved[14];
    std::uint32_t program_counter;  // offset 0x40
};

struct CompiledAccesses {
    const char* name;
    std::uint32_t (*read)(volatile std::uint32_t* window, std::size_t index);
    void (*write)(volatile std::uint32_t* window, std::size_t index, std::uint32_t value);
    void (*write_constant)(volatile std::uint32_t* window);  // 0x600DF00D at index 0x41
    std::uint32_t (*read_program_counter)(volatile TileRegisters* tile);
    void (*start_tile)(volatile TileRegisters* tile, std::uint32_t pc);  // pc, then control 1
    std::uint64_t (*sum)(volatile std::uint32_t* window, std::size_t count, std::size_t stride);
    void (*set_bits)(volatile std::uint32_t* window, std::size_t index, std::uint32_t bits);
};

extern const CompiledAccesses unoptimised_accesses;
extern const CompiledAccesses optimised_accesses;

}  // namespace vek_sim::trap_test
