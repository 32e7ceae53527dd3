#include "random_card.hpp"

#include <fmt/format.h>

#include <csignal>

#include "vek_exchange/q720.hpp"

namespace live_state::fault_runs {

namespace {

class Dice {
  public:
    explicit Dice(std::uint64_t seed) : engine_(seed) {}

    std::uint32_t below(std::uint32_t bound) {
        return std::uniform_int_distribution<std::uint32_t>(0, bound - 1)(engine_);
    }
    bool chance(double probability) { return std::bernoulli_distribution(probability)(engine_); }
    std::uint32_t word() {
        // Small values and edge values are more telling than uniform noise.
        switch (below(4)) {
            case 0:
                return 0;
            case 1:
                return below(4096);
            case 2:
                return 0xFFFFFFFFU - below(16);
            default:
                return static_cast<std::uint32_t>(engine_());
        }
    }

  private:
    std::mt19937_64 engine_;
};

// A context state, running most of the time as on a live card.
std::uint32_t state(Dice& dice) {
    return dice.chance(0.6) ? 1 : dice.below(4);
}

}  // namespace

GeneratedRun generate_run(std::uint64_t seed) {
    Dice dice(seed);
    GeneratedRun run{};
    std::string& card = run.scenario;
    card += fmt::format("# seed {}\n", seed);
    card += fmt::format("default supervisor state {}\n", state(dice));
    card += fmt::format("default worker state {}\n", state(dice));

    const std::uint32_t interesting = 1 + dice.below(6);
    std::vector<std::uint16_t> logical_tiles;
    for (std::uint32_t i = 0; i < interesting; ++i) {
        const auto logical =
            static_cast<std::uint16_t>(dice.chance(0.3) ? dice.below(8) : dice.below(1472));
        logical_tiles.push_back(logical);
        const std::uint16_t physical = vek_exchange::q720_logical_to_physical(logical);
        const auto tile = [&](const std::string& setting) {
            card += fmt::format("tile {} {}\n", physical, setting);
        };
        for (std::uint32_t context = 0; context < 7; ++context) {
            if (dice.chance(0.5)) {
                tile(fmt::format("context {} state {}", context, state(dice)));
            }
            for (std::uint32_t m = 0; m < 5; ++m) {
                if (dice.chance(0.3)) {
                    tile(fmt::format("context {} m {} {}", context, m, dice.word()));
                }
            }
            if (dice.chance(0.3)) {
                tile(fmt::format("context {} status-word {}", context, dice.word()));
            }
            if (dice.chance(0.2)) {
                tile(fmt::format("context {} pc {}", context, dice.word()));
            }
            if (dice.chance(0.2)) {
                tile(fmt::format("context {} special {} {}", context, 0xA1 + 2 * dice.below(2),
                                 dice.word()));
            }
            if (dice.chance(0.15)) {
                tile(fmt::format("context {} stop-delay {}", context, dice.below(40)));
            }
            if (dice.chance(0.03)) {
                tile(fmt::format("context {} never-stops", context));
                run.faulty = true;
            }
            if (dice.chance(0.03)) {
                tile(fmt::format("context {} inactive does-not-stop", context));
                run.faulty = true;
            }
        }
        if (dice.chance(0.3)) {
            tile(fmt::format("run-break {:#x}", dice.below(128)));
        }
        if (dice.chance(0.3)) {
            tile(fmt::format("receive-error {}", dice.below(8)));
        }
        if (dice.chance(0.3)) {
            tile(fmt::format("exchange {} {}", dice.word(), dice.word()));
        }
        if (dice.chance(0.2)) {
            tile(fmt::format("status-bits {:#x}", dice.word() & 0xC7FFC000U));
        }
        if (dice.chance(0.3)) {
            tile(fmt::format("busy {}", dice.below(30)));
        }
        if (dice.chance(0.2)) {
            tile(fmt::format("completion-status {:#x}", dice.word() & 0xFFFFFFF0U));
        }
        if (dice.chance(0.15)) {
            tile(fmt::format("fail-instruction {} status {:#x}", 1 + dice.below(40),
                             (dice.word() & 0xFFFFFFF0U) | (1 + dice.below(7))));
            run.faulty = true;
        }
        if (dice.chance(0.02)) {
            tile("busy forever");
            run.faulty = true;
        }
        if (dice.chance(0.05)) {
            // A stall past the 100 ms bound is no timeout by itself, but a busy read after it is.
            const std::uint32_t milliseconds = dice.below(3) == 0 ? 120 : 1 + dice.below(5);
            tile(fmt::format("stall {} {} {}", dice.chance(0.5) ? "status" : "instruction-status",
                             1 + dice.below(20), milliseconds));
            run.faulty = run.faulty || milliseconds >= 100;
        }
    }

    if (dice.chance(0.2)) {
        const int signals[] = {SIGINT, SIGTERM, SIGHUP};
        const char* names[] = {"SIGINT", "SIGTERM", "SIGHUP"};
        const std::uint32_t which = dice.below(3);
        run.interrupt_signal = signals[which];
        card += fmt::format("interrupt {} at {}\n", names[which], 1 + dice.below(8000));
    }

    const bool workers = dice.chance(0.35);
    if (workers) {
        run.arguments.push_back("--workers");
    }
    if (dice.chance(0.5)) {
        run.arguments.push_back("--program-counter");
    }
    // The worker report of a whole card is long; a generated run lists its tiles.
    if (workers || dice.chance(0.4)) {
        for (const std::uint16_t logical : logical_tiles) {
            run.arguments.push_back(fmt::format("--tile={}", logical));
        }
        if (dice.chance(0.3)) {
            run.arguments.push_back(fmt::format("--tile={}", dice.below(65536)));
        }
    }
    return run;
}

}  // namespace live_state::fault_runs
