// Randomized runs of the built tool on generated cards: random context states, run breaks,
// exchange words, receive errors, status bits, instruction failures, busy counts, contexts that
// stop late or never, stalls, tool arguments and signals at random accesses. Whatever happens,
// the tool must end in a well-formed way, print what the card holds, fail only for a fault the
// card has, and leave the card as it found it.
//
//   FAULT_RUNS=5000 FAULT_SEED=1 live_state_fault_runs   more runs, from another seed
//   FAULT_RUNS=1 FAULT_SEED=N live_state_fault_runs      one failing run again

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "random_card.hpp"
#include "run_judgement.hpp"
#include "tool_run.hpp"

namespace live_state::fault_runs {
namespace {

#if defined(__SANITIZE_ADDRESS__)
constexpr std::uint64_t default_runs = 200;  // the sanitized tool and runner are slower
#else
constexpr std::uint64_t default_runs = 300;
#endif
constexpr std::uint64_t default_seed = 20261211;

std::uint64_t from_environment(const char* name, std::uint64_t fallback) {
    const char* value = std::getenv(name);
    return value == nullptr || *value == '\0' ? fallback : std::strtoull(value, nullptr, 10);
}

std::string describe(const GeneratedRun& run, const testing::ToolRun& result) {
    std::string text = "arguments:";
    for (const auto& argument : run.arguments) {
        text += " " + argument;
    }
    text += "\nscenario:\n" + run.scenario;
    text += "exit status: " + std::to_string(result.status) + "\nstandard output:\n" + result.out;
    return text + "standard error:\n" + result.err;
}

TEST(FaultRuns, EveryRunEndsWellPrintsTheCardAndLeavesItAsItWas) {
    const std::uint64_t runs = from_environment("FAULT_RUNS", default_runs);
    const std::uint64_t first_seed = from_environment("FAULT_SEED", default_seed);
    std::uint64_t failed_runs = 0;
    std::uint64_t endings[4] = {};  // by Judgement::Ending
    for (std::uint64_t seed = first_seed; seed < first_seed + runs; ++seed) {
        const GeneratedRun generated = generate_run(seed);
        const auto run = testing::run_tool(generated.scenario, generated.arguments);
        const Judgement judgement = judge_run(generated, run);
        ++endings[static_cast<int>(judgement.ending)];
        if (!judgement.problems.empty()) {
            ++failed_runs;
            std::string problems;
            for (const auto& problem : judgement.problems) {
                problems += "  " + problem + "\n";
            }
            ADD_FAILURE() << "run with FAULT_SEED=" << seed << " FAULT_RUNS=1:\n"
                          << problems << describe(generated, run);
        }
    }
    std::printf(
        "fault runs: %llu from seed %llu, %llu failed; endings: %llu status 0, %llu "
        "status 1, %llu interrupted\n",
        static_cast<unsigned long long>(runs), static_cast<unsigned long long>(first_seed),
        static_cast<unsigned long long>(failed_runs), static_cast<unsigned long long>(endings[0]),
        static_cast<unsigned long long>(endings[1]), static_cast<unsigned long long>(endings[2]));
    // Each ending must occur, or the generator tests less than it claims.
    if (runs >= 100) {
        EXPECT_GT(endings[static_cast<int>(Judgement::Ending::success)], 0U);
        EXPECT_GT(endings[static_cast<int>(Judgement::Ending::failure)], 0U);
        EXPECT_GT(endings[static_cast<int>(Judgement::Ending::interrupted)], 0U);
    }
}

}  // namespace
}  // namespace live_state::fault_runs
