// Built with -O0 (see trap.cmake).

#include "compiled_accesses.hpp"

namespace vek_sim::trap_test {

namespace {
#include "compiled_accesses.inc"
}  // namespace

const CompiledAccesses unoptimised_accesses = accesses_here("O0");

}  // namespace vek_sim::trap_test
