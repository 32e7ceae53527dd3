// Built with -O2 (see trap.cmake).

#include "compiled_accesses.hpp"

namespace vek_sim::trap_test {

namespace {
#include "compiled_accesses.inc"
}  // namespace

const CompiledAccesses optimised_accesses = accesses_here("O2");

}  // namespace vek_sim::trap_test
