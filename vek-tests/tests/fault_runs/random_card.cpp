#include "random_card.hpp"

#include <fmt/format.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <csignal>
#include <random>

#include "vek_exchange/q720.hpp"

namespace live_state::fault_runs {

namespace {

constexpr std::uint32_t contexts_per_tile = 7;
constexpr std::uint16_t q720_tiles = vek_exchange::kQ720TileCount;

// Bounds that keep a wait short: stop delays and busy counts are TDI_STATUS and
// TDI_INSTRUCTION_STATUS reads, a microsecond each, far below the 100 ms bound.
constexpr std::uint32_t max_stop_delay = 40;
constexpr std::uint32_t max_busy_reads = 30;

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
    // Spread evenly over the orders of magnitude from 1 to `top`.
    std::uint64_t log_uniform(std::uint64_t top) {
        const double exponent = std::uniform_real_distribution<double>(
            0.0, std::log(static_cast<double>(top)))(engine_);
        return std::max<std::uint64_t>(1, static_cast<std::uint64_t>(std::exp(exponent)));
    }
    template <class T>
    const T& pick(const std::vector<T>& from) {
        return from[below(static_cast<std::uint32_t>(from.size()))];
    }
    template <class T>
    void shuffle(std::vector<T>& items) {
        std::shuffle(items.begin(), items.end(), engine_);
    }

  private:
    std::mt19937_64 engine_;
};

// A context state, running most of the time as on a live card.
std::uint32_t state(Dice& dice) {
    return dice.chance(0.6) ? 1 : dice.below(4);
}

// Writes the scenario's lines.
class CardWriter {
  public:
    CardWriter(Dice& dice, std::string& scenario) : dice_(dice), scenario_(scenario) {}

    // The card-wide lines; gives the tile count.
    std::uint32_t defaults() {
        std::uint32_t tile_count = q720_tiles;
        if (dice_.chance(0.15)) {
            // A smaller card: the tiles from the count on are plain storage, which the tool
            // walks like any other tile.
            tile_count = dice_.chance(0.5) ? 1 + dice_.below(128) : 1 + dice_.below(q720_tiles);
            line(fmt::format("tiles {}", tile_count));
        }
        line(fmt::format("default supervisor state {}", state(dice_)));
        line(fmt::format("default worker state {}", state(dice_)));
        if (dice_.chance(0.1)) {
            line(fmt::format("default stop-delay {}", dice_.below(max_stop_delay)));
        }
        if (dice_.chance(0.05)) {
            line("default break-state 3");
        }
        if (dice_.chance(0.03)) {
            line("default inactive does-not-stop");
        }
        return tile_count;
    }

    // Random state and faults for the tile with this logical number.
    void interesting_tile(std::uint16_t logical) {
        physical_ = vek_exchange::q720_logical_to_physical(logical);
        for (std::uint32_t c = 0; c < contexts_per_tile; ++c) {
            context_settings(c);
        }
        if (dice_.chance(0.3)) {
            tile(fmt::format("run-break {:#x}", dice_.below(128)));
        }
        if (dice_.chance(0.3)) {
            tile(fmt::format("receive-error {}", dice_.below(8)));
        }
        if (dice_.chance(0.3)) {
            tile(fmt::format("exchange {} {}", dice_.word(), dice_.word()));
        }
        if (dice_.chance(0.2)) {
            // Bits outside the context states and the receive error, which a reader ignores.
            tile(fmt::format("status-bits {:#x}", dice_.word() & 0xC7FFC000U));
        }
        if (dice_.chance(0.1)) {
            // A stale TDI_DATA shows up in a line if the tool reads it before an instruction
            // is done.
            tile(fmt::format("data {:#x}", dice_.word()));
        }
        instruction_faults();
    }

    void line(const std::string& text) { scenario_ += text + "\n"; }

  private:
    void tile(const std::string& setting) { line(fmt::format("tile {} {}", physical_, setting)); }
    void context(std::uint32_t c, const std::string& setting) {
        tile(fmt::format("context {} {}", c, setting));
    }

    void context_settings(std::uint32_t c) {
        if (dice_.chance(0.5)) {
            context(c, fmt::format("state {}", state(dice_)));
        }
        for (std::uint32_t m = 0; m < 5; ++m) {  // the scratch register and the pointers
            if (dice_.chance(0.3)) {
                context(c, fmt::format("m {} {}", m, dice_.word()));
            }
        }
        if (dice_.chance(0.3)) {
            context(c, fmt::format("status-word {:#x}", dice_.word()));
        }
        if (dice_.chance(0.1)) {
            context(c, fmt::format("exception {}", dice_.below(16)));
        }
        if (dice_.chance(0.2)) {
            context(c, fmt::format("pc {:#x}", dice_.word()));
        }
        if (dice_.chance(0.2)) {
            context(c, fmt::format("special 0xa1 {}", dice_.word()));
        }
        if (dice_.chance(0.2)) {
            context(c, fmt::format("special 0xa3 {}", dice_.word()));
        }
        if (dice_.chance(0.15)) {
            context(c, fmt::format("stop-delay {}", dice_.below(max_stop_delay)));
        }
        if (dice_.chance(0.05)) {
            context(c, fmt::format("break-state {}", 2 + dice_.below(2)));
        }
        if (dice_.chance(0.03)) {
            context(c, "never-stops");
        }
        if (dice_.chance(0.03)) {
            context(c, "inactive does-not-stop");
        }
    }

    void instruction_faults() {
        // A pause past the 100 ms bound is no timeout by itself, but a busy or not-yet-stopped
        // reading after it is.
        const bool stall = dice_.chance(0.1);
        const std::uint32_t milliseconds = dice_.chance(0.5) ? 120 : 1 + dice_.below(5);
        const bool status_stall = dice_.chance(0.5);
        const bool long_instruction_stall = stall && !status_stall && milliseconds >= 100;

        std::uint32_t busy_reads = 0;
        if (dice_.chance(long_instruction_stall ? 0.8 : 0.3)) {
            busy_reads = dice_.below(max_busy_reads);
            if (dice_.chance(0.3)) {
                // The busy bit wins over whatever else the status shows.
                tile(fmt::format("busy {} value {:#x}", busy_reads, dice_.word() | 0x8U));
            } else {
                tile(fmt::format("busy {}", busy_reads));
            }
        }
        if (dice_.chance(0.2)) {
            tile(fmt::format("completion-status {:#x}", dice_.word() & 0xFFFFFFF0U));
        }
        if (dice_.chance(0.15)) {
            // Often within the first special register read (save, copy in, copy out, restore),
            // else any instruction of a supervisor or worker visit.
            const std::uint32_t nth = dice_.chance(0.3) ? 1 + dice_.below(4) : 1 + dice_.below(45);
            tile(fmt::format("fail-instruction {} status {:#x}", nth,
                             (dice_.word() & 0xFFFFFFF0U) | (1 + dice_.below(7))));
        }
        if (dice_.chance(0.02)) {
            tile("busy forever");
        }
        if (stall) {
            std::uint32_t at_read = 1 + dice_.below(20);
            if (!status_stall && busy_reads > 0 && dice_.chance(0.6)) {
                // After an instruction's last busy reading (the next one shows it done: no
                // timeout), or the one before it (the next one is still busy: a timeout).
                const std::uint32_t instruction = dice_.below(4);
                const std::uint32_t last_busy = dice_.chance(0.5) ? busy_reads : busy_reads - 1;
                at_read = std::max(1U, instruction * (busy_reads + 1) + last_busy);
            }
            tile(fmt::format("stall {} {} {}", status_stall ? "status" : "instruction-status",
                             at_read, milliseconds));
        }
    }

    Dice& dice_;
    std::string& scenario_;
    std::uint16_t physical_ = 0;
};

void choose_interrupt(Dice& dice, GeneratedRun& run) {
    if (!dice.chance(0.2)) {
        return;
    }
    constexpr std::array<std::pair<int, const char*>, 3> signals = {
        {{SIGINT, "SIGINT"}, {SIGTERM, "SIGTERM"}, {SIGHUP, "SIGHUP"}}};
    const auto& [number, name] = signals[dice.below(3)];
    // From the first accesses to past the end of a default scan (67712 accesses).
    const std::uint64_t at = dice.log_uniform(200000);
    run.interrupt = GeneratedRun::Interrupt{number, name, at};
    run.scenario += fmt::format("interrupt {} at {}\n", name, at);
}

void choose_arguments(Dice& dice, const std::vector<std::uint16_t>& interesting,
                      GeneratedRun& run) {
    ToolRequest& request = run.request;
    std::vector<std::vector<std::string>> options;
    request.workers = dice.chance(0.35);
    if (request.workers) {
        options.push_back({"--workers"});
    }
    request.program_counter = dice.chance(0.5);
    if (request.program_counter) {
        options.push_back({"--program-counter"});
    }
    if (dice.chance(0.1)) {
        options.push_back({"--device=/dev/vek0"});
    }
    // A worker report of the whole card is long (8832 lines); most generated ones list tiles.
    const bool listed = request.workers ? !dice.chance(0.03) : dice.chance(0.4);
    if (listed) {
        for (const std::uint16_t logical : interesting) {
            if (dice.chance(0.85)) {
                request.tiles.push_back(logical);
            }
        }
        if (dice.chance(0.3)) {
            // Any number, beyond the card's tiles most of the time, or one of the first tiles.
            request.tiles.push_back(
                static_cast<std::uint16_t>(dice.chance(0.5) ? dice.below(65536) : dice.below(8)));
        }
        if (!request.tiles.empty() && dice.chance(0.2)) {
            request.tiles.push_back(dice.pick(request.tiles));  // a duplicate
        }
        if (request.tiles.empty()) {
            request.tiles.push_back(interesting.front());
        }
        for (const std::uint16_t logical : request.tiles) {
            if (dice.chance(0.5)) {
                options.push_back({fmt::format("--tile={}", logical)});
            } else {
                options.push_back({"--tile", fmt::format("{}", logical)});
            }
        }
    }
    dice.shuffle(options);
    for (const auto& option : options) {
        run.arguments.insert(run.arguments.end(), option.begin(), option.end());
    }
}

}  // namespace

GeneratedRun generate_run(std::uint64_t seed) {
    Dice dice(seed);
    GeneratedRun run{};
    run.scenario = fmt::format("# seed {}\n", seed);
    CardWriter writer(dice, run.scenario);
    const std::uint32_t tile_count = writer.defaults();

    std::vector<std::uint16_t> live;
    std::vector<std::uint16_t> plain;
    std::vector<std::uint16_t> first_live;  // among the tiles every default report shows
    for (std::uint16_t logical = 0; logical < q720_tiles; ++logical) {
        const bool is_live = vek_exchange::q720_logical_to_physical(logical) < tile_count;
        (is_live ? live : plain).push_back(logical);
        if (is_live && logical < 8) {
            first_live.push_back(logical);
        }
    }
    std::vector<std::uint16_t> interesting;
    const std::uint32_t count = 1 + dice.below(6);
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::uint16_t logical =
            dice.chance(0.3) && !first_live.empty() ? dice.pick(first_live) : dice.pick(live);
        writer.interesting_tile(logical);
        interesting.push_back(logical);
    }
    if (!plain.empty() && dice.chance(0.5)) {
        interesting.push_back(dice.pick(plain));  // a tile of plain storage among the listed
    }
    choose_interrupt(dice, run);
    choose_arguments(dice, interesting, run);
    return run;
}

}  // namespace live_state::fault_runs
