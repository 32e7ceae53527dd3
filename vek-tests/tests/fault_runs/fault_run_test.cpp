// Randomized runs of the built tool on generated cards: random context states, run breaks,
// exchange words, instruction failures, busy counts, contexts that stop late or never, stalls
// and signals at random points. Whatever happens, the tool must end in a well-formed way and
// leave the card as it found it.

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "random_card.hpp"
#include "run_checks.hpp"
#include "tool_run.hpp"

namespace live_state::fault_runs {
namespace {

#if defined(__SANITIZE_ADDRESS__)
constexpr std::uint64_t default_runs = 100;  // every run is several times slower
#else
constexpr std::uint64_t default_runs = 300;
#endif
constexpr std::uint64_t default_seed = 20261211;

std::uint64_t from_environment(const char* name, std::uint64_t fallback) {
    const char* value = std::getenv(name);
    return value == nullptr ? fallback : std::strtoull(value, nullptr, 10);
}

std::string describe(const GeneratedRun& run) {
    std::string text = "arguments:";
    for (const auto& argument : run.arguments) {
        text += " " + argument;
    }
    return text + "\nscenario:\n" + run.scenario;
}

TEST(FaultRuns, EveryRunEndsWellAndLeavesTheCardAsItWas) {
    const std::uint64_t runs = from_environment("FAULT_RUNS", default_runs);
    const std::uint64_t first_seed = from_environment("FAULT_SEED", default_seed);
    std::uint64_t failed_runs = 0;
    std::uint64_t status_counts[3] = {};  // 0, 1, interrupted
    for (std::uint64_t seed = first_seed; seed < first_seed + runs; ++seed) {
        const GeneratedRun generated = generate_run(seed);
        const auto run = testing::run_tool(generated.scenario, generated.arguments);
        std::vector<std::string> problems;
        const bool workers = !generated.arguments.empty() && generated.arguments[0] == "--workers";

        const bool interrupted =
            generated.interrupt_signal && run.status == 128 + *generated.interrupt_signal;
        if (run.status == 0) {
            ++status_counts[0];
            if (!run.err.empty()) {
                problems.push_back("status 0 with standard error: " + run.err);
            }
        } else if (run.status == 1 || interrupted) {
            ++status_counts[interrupted ? 2 : 1];
            for (auto& problem : report_problems(run.err)) {
                problems.push_back(std::move(problem));
            }
            if (run.status == 1 && !generated.faulty) {
                problems.push_back("a card without faults failed the run: " + run.err);
            }
        } else {
            problems.push_back(fmt::format("exit status {}: {}", run.status, run.err));
        }
        for (auto& problem : output_problems(run.out, workers)) {
            problems.push_back(std::move(problem));
        }
        if (!run.card) {
            problems.push_back("no card state after the run");
        } else {
            const auto unrestorable = failed_scratch_restores(*run.card);
            for (const auto& difference : run.card->check()) {
                const bool reported_restore_failure =
                    difference.kind == vek_sim::Difference::Kind::m_register &&
                    difference.reg == 0 &&
                    unrestorable.contains({difference.tile, difference.context});
                if (!reported_restore_failure) {
                    problems.push_back("card changed: " + difference.message());
                }
            }
            if (run.card->log_counts().accesses > run.card->accesses().size()) {
                problems.push_back("the card's log overflowed; the run is too long to judge");
            }
        }
        if (!problems.empty()) {
            ++failed_runs;
            std::string text;
            for (const auto& problem : problems) {
                text += "  " + problem + "\n";
            }
            ADD_FAILURE() << "run with FAULT_SEED=" << seed << " FAULT_RUNS=1:\n"
                          << text << describe(generated);
        }
    }
    std::printf(
        "fault runs: %llu runs from seed %llu, %llu failed; statuses: %llu ok, %llu "
        "failed, %llu interrupted\n",
        static_cast<unsigned long long>(runs), static_cast<unsigned long long>(first_seed),
        static_cast<unsigned long long>(failed_runs),
        static_cast<unsigned long long>(status_counts[0]),
        static_cast<unsigned long long>(status_counts[1]),
        static_cast<unsigned long long>(status_counts[2]));
    // Each kind of ending must actually occur, or the generator tests less than it claims.
    if (runs >= 100) {
        EXPECT_GT(status_counts[0], 0U);
        EXPECT_GT(status_counts[1], 0U);
        EXPECT_GT(status_counts[2], 0U);
    }
}

}  // namespace
}  // namespace live_state::fault_runs
