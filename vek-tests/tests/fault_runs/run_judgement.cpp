#include "run_judgement.hpp"

#include <fmt/format.h>

#include <regex>

#include "card_expectations.hpp"
#include "run_checks.hpp"

namespace live_state::fault_runs {

namespace {

using Ending = Judgement::Ending;

// The driver's messages that a card can cause. Direct register reads cannot fail on a card,
// so a supervisor failure is always under the note of an instruction-based read.
const std::regex supervisor_note("read tile (\\d+) (PC|INCOMING_MUXPAIR|INCOMING_FORMAT)");
const std::regex failed_instruction(
    "invalid device data: TDI instruction failed with status 0x([0-9a-f]+)");
constexpr std::string_view stop_timeout = "device timeout: stopping tile context";
constexpr std::string_view instruction_timeout = "device timeout: TDI instruction";

class Judge {
  public:
    Judge(const GeneratedRun& generated, const testing::ToolRun& run)
        : generated_(generated), run_(run), printed_(testing::lines(run.out)) {}

    Judgement judge() {
        classify();
        for (auto& problem : output_problems(run_.out, generated_.request.workers)) {
            add(std::move(problem));
        }
        if (!run_.card) {
            add("no card state after the run");
            return std::move(judgement_);
        }
        expected_ = expect_run(*run_.card, generated_.request);
        compare_lines();
        switch (judgement_.ending) {
            case Ending::success:
                judge_success();
                break;
            case Ending::failure:
                judge_failure();
                break;
            case Ending::interrupted:
                judge_interrupt();
                break;
            case Ending::other:
                break;
        }
        if (generated_.interrupt) {
            judge_signal_timing();
        }
        judge_card();
        return std::move(judgement_);
    }

  private:
    void add(std::string text) { judgement_.problems.push_back(std::move(text)); }

    void classify() {
        const int status = run_.status;
        if (status == 0) {
            judgement_.ending = Ending::success;
        } else if (status == 1) {
            judgement_.ending = Ending::failure;
        } else if (generated_.interrupt && status == 128 + generated_.interrupt->signal) {
            judgement_.ending = Ending::interrupted;
        } else {
            add(fmt::format("exit status {}: {}", status, run_.err));
        }
    }

    // Whatever the ending, the lines printed are the start of the full report, line by line.
    void compare_lines() {
        const auto expected = expected_.all_lines();
        for (std::size_t i = 0; i < printed_.size(); ++i) {
            if (i >= expected.size()) {
                add("line beyond the report the card implies: " + printed_[i]);
                return;
            }
            if (printed_[i] != expected[i]) {
                add(fmt::format("line {}:\n    printed  {}\n    expected {}", i + 1, printed_[i],
                                expected[i]));
                return;
            }
        }
    }

    void judge_success() {
        if (!run_.err.empty()) {
            add("status 0 with standard error: " + run_.err);
        }
        if (printed_.size() != expected_.all_lines().size()) {
            add(fmt::format("status 0 after {} of the {} lines the card implies", printed_.size(),
                            expected_.all_lines().size()));
        }
        if (expected_.must_fail()) {
            add("status 0 although a reported tile cannot be read (busy forever, a failing "
                "instruction, or plain storage that never stops)");
        }
    }

    void judge_failure() {
        if (!expected_.may_fail()) {
            add("a card without faults on the walked tiles failed the run: " + run_.err);
        }
        const auto report = parse_report(run_.err);
        if (!report) {
            add(report.error());
            return;
        }
        std::string driver_message;
        const TileExpectation* tile = nullptr;
        if (generated_.request.workers) {
            // Worker reads carry no note: the failing tile is the first one not fully printed.
            if (!report->causes.empty()) {
                add("a worker failure with causes: " + run_.err);
                return;
            }
            driver_message = report->top;
            tile = first_unprinted_tile();
        } else {
            std::smatch match;
            if (!std::regex_match(report->top, match, supervisor_note) ||
                report->causes.size() != 1) {
                add("not a supervisor read failure with one cause: " + run_.err);
                return;
            }
            if (match[2] == "PC" && !generated_.request.program_counter) {
                add("a PC read that was not asked for: " + run_.err);
            }
            driver_message = report->causes[0];
            tile = expected_.find(static_cast<std::uint16_t>(std::stoul(match[1])));
            if (tile != nullptr && tile != first_unprinted_tile()) {
                add(
                    fmt::format("the failure names tile {}, but the lines printed end "
                                "elsewhere",
                                tile->logical));
            }
        }
        if (tile == nullptr || !tile->reported) {
            add("the failure is on no tile that the run reports: " + run_.err);
            return;
        }
        judge_cause(*tile, driver_message);
    }

    // The reported tile at which the printed lines stop, or null when every line was printed.
    // A tile with no lines to print (plain storage in the worker report) cannot be passed.
    const TileExpectation* first_unprinted_tile() const {
        std::size_t before = 0;
        for (const TileExpectation& tile : expected_.tiles) {
            if (!tile.reported) {
                continue;
            }
            if (tile.lines.empty() || printed_.size() < before + tile.lines.size()) {
                return &tile;
            }
            before += tile.lines.size();
        }
        return nullptr;
    }

    void judge_cause(const TileExpectation& tile, const std::string& message) {
        std::smatch match;
        bool explained = false;
        if (message == stop_timeout) {
            explained = tile.may_time_out_stopping;
        } else if (message == instruction_timeout) {
            explained = tile.may_time_out_instruction;
        } else if (std::regex_match(message, match, failed_instruction)) {
            explained =
                tile.failing_status && std::stoul(match[1], nullptr, 16) == *tile.failing_status;
        } else {
            add("a driver message the card cannot cause: " + message);
            return;
        }
        if (!explained) {
            add(fmt::format("tile {} (physical {}) has no fault that explains: {}", tile.logical,
                            tile.physical, message));
        }
    }

    void judge_interrupt() {
        const std::string expected = "Error: interrupted by " + generated_.interrupt->name + "\n";
        if (run_.err != expected) {
            add("interrupted with the report: " + run_.err);
        }
    }

    // The signal only sets a flag that the tool reads before each query, so the query in hand
    // may finish but no other may start: every access after the signal is on the tile of the
    // access that raised it.
    void judge_signal_timing() {
        const bool sent = run_.card->header().interrupt.sent != 0;
        if (!sent) {
            if (judgement_.ending == Ending::interrupted) {
                add("interrupted, but the card never sent the signal");
            }
            return;
        }
        const auto accesses = run_.card->accesses();
        const std::uint64_t at = generated_.interrupt->at_access;
        if (at == 0 || at > accesses.size()) {
            return;  // the log cannot tell
        }
        const std::uint16_t tile = accesses[at - 1].tile;
        for (std::size_t i = at; i < accesses.size(); ++i) {
            if (accesses[i].tile != tile) {
                add(
                    fmt::format("the tool went on after the signal at access {} on tile {}: "
                                "access {} is on tile {}",
                                at, tile, i + 1, accesses[i].tile));
                return;
            }
        }
    }

    // The card as the run left it: contexts, run breaks and M registers as loaded, and no
    // instruction in a running context. The one change a run may leave is a scratch register
    // whose restore the card itself failed, and only when the run reports a failure.
    void judge_card() {
        const auto unrestored = unrestored_scratch(*run_.card);
        for (const auto& difference : run_.card->check()) {
            const bool failed_restore = judgement_.ending == Ending::failure &&
                                        difference.kind == vek_sim::Difference::Kind::m_register &&
                                        difference.reg == 0 &&
                                        unrestored.contains({difference.tile, difference.context});
            if (!failed_restore) {
                add("card changed: " + difference.message());
            }
        }
        if (run_.card->log_counts().accesses > run_.card->accesses().size()) {
            add("the card's log overflowed; the run is too long to judge");
        }
    }

    const GeneratedRun& generated_;
    const testing::ToolRun& run_;
    std::vector<std::string> printed_;
    RunExpectation expected_;
    Judgement judgement_;
};

}  // namespace

Judgement judge_run(const GeneratedRun& generated, const testing::ToolRun& run) {
    return Judge(generated, run).judge();
}

}  // namespace live_state::fault_runs
