#include <fmt/format.h>

#include <fstream>
#include <sstream>

#include "scenario_line.hpp"
#include "vek_sim/names.hpp"
#include "vek_sim/scenario.hpp"

namespace vek_sim {
namespace {

constexpr std::uint32_t max_log_capacity = 1u << 24;
constexpr std::uint32_t max_stall_ms = 600'000;
constexpr std::uint32_t reserved_status_bits = status_state_mask | status_receive_error_mask;

std::optional<int> errno_value(ScenarioLine& line) {
    const auto name = line.word("errno name");
    if (!name) {
        return std::nullopt;
    }
    if (const auto value = errno_from_name(*name)) {
        return value;
    }
    if (const auto number = parse_unsigned(*name); number && *number > 0 && *number < 4096) {
        return static_cast<int>(*number);
    }
    line.fail(fmt::format("unknown errno name '{}'", *name));
    return std::nullopt;
}

std::optional<std::uint8_t> state_value(ScenarioLine& line, std::uint32_t first = 0) {
    const auto state = line.number("state", first, 3);
    return state ? std::optional<std::uint8_t>(static_cast<std::uint8_t>(*state)) : std::nullopt;
}

std::optional<bool> stops_or_not(ScenarioLine& line) {
    const auto word = line.word("'stops' or 'does-not-stop'");
    if (!word) {
        return std::nullopt;
    }
    if (*word == "stops" || *word == "does-not-stop") {
        return *word == "stops";
    }
    line.fail(fmt::format("expected 'stops' or 'does-not-stop', found '{}'", *word));
    return std::nullopt;
}

void parse_default(ScenarioLine& line, Scenario& scenario) {
    const auto what = line.word("default setting");
    if (!what) {
        return;
    }
    if (*what == "supervisor" || *what == "worker") {
        line.expect("state");
        if (const auto state = state_value(line)) {
            (*what == "supervisor" ? scenario.supervisor_state : scenario.worker_state) = *state;
        }
    } else if (*what == "stop-delay") {
        if (const auto reads = line.number("stop delay")) {
            scenario.stop_delay = *reads;
        }
    } else if (*what == "inactive") {
        if (const auto stops = stops_or_not(line)) {
            scenario.inactive_stops = *stops;
        }
    } else if (*what == "break-state") {
        if (const auto state = state_value(line, state_stopped)) {
            scenario.break_state = *state;
        }
    } else {
        line.fail(fmt::format("unknown default '{}'", *what));
    }
}

void parse_fault(ScenarioLine& line, Scenario& scenario) {
    const auto call = line.word("driver call");
    if (!call) {
        return;
    }
    DriverFaults& faults = scenario.faults;
    CallFault* fault = nullptr;
    bool is_request = false;
    if (*call == "open") {
        fault = &faults.open;
    } else if (*call == "mmap") {
        fault = &faults.mmap;
    } else if (*call == "munmap") {
        fault = &faults.munmap;
    } else if (*call == "close") {
        fault = &faults.close;
    } else if (*call == "attach") {
        fault = &faults.attach;
        is_request = true;
    } else if (*call == "set-id") {
        fault = &faults.set_id;
        is_request = true;
    } else {
        line.fail(fmt::format("unknown driver call '{}'", *call));
        return;
    }
    if (is_request && line.accept("result")) {
        const auto result = line.number("result", 1, INT32_MAX);
        std::optional<int> error = 0;
        if (line.accept("errno")) {
            error = errno_value(line);
        }
        if (result && error) {
            *fault = CallFault{1, *error, *result};
        }
        return;
    }
    if (const auto error = errno_value(line)) {
        *fault = CallFault{1, *error, -1};
    }
}

void parse_interrupt(ScenarioLine& line, Scenario& scenario) {
    const auto name = line.word("signal name");
    if (!name) {
        return;
    }
    const auto signal = signal_from_name(*name);
    if (!signal) {
        line.fail(fmt::format("unknown signal '{}'", *name));
        return;
    }
    line.expect("at");
    if (const auto access = line.number("access number", 1)) {
        scenario.interrupt = InterruptFault{*signal, 0, *access};
    }
}

// Fills in the setting once all of its values were read; a value that failed to read has
// already recorded its error on the line.
void assign(TileSetting& setting, TileSettingKind kind, std::optional<std::uint32_t> a,
            std::optional<std::uint32_t> b) {
    if (a && b) {
        setting.kind = kind;
        setting.a = *a;
        setting.b = *b;
    }
}

void parse_context_setting(ScenarioLine& line, TileSetting& setting) {
    const auto what = line.word("context setting");
    if (!what) {
        return;
    }
    auto set = [&](TileSettingKind kind, std::optional<std::uint32_t> a,
                   std::optional<std::uint32_t> b = 0u) { assign(setting, kind, a, b); };
    using K = TileSettingKind;
    if (*what == "state") {
        set(K::state, line.number("state", 0, 3));
    } else if (*what == "m") {
        const auto reg = line.number("M register", 0, m_registers - 1);
        set(K::m_register, reg, line.number("value"));
    } else if (*what == "special") {
        const auto reg = line.number("special register", 0, special_registers - 1);
        set(K::special, reg, line.number("value"));
    } else if (*what == "pc") {
        set(K::special, special_program_counter, line.number("value"));
    } else if (*what == "status-word") {
        set(K::special, special_status, line.number("value"));
    } else if (*what == "exception") {
        set(K::exception, line.number("exception code", 0, 15));
    } else if (*what == "stop-delay") {
        set(K::stop_delay, line.number("stop delay"));
    } else if (*what == "never-stops") {
        set(K::never_stops, 1u);
    } else if (*what == "inactive") {
        const auto stops = stops_or_not(line);
        set(K::inactive_stops,
            stops ? std::optional<std::uint32_t>(*stops ? 1u : 0u) : std::nullopt);
    } else if (*what == "break-state") {
        set(K::break_state, line.number("state", state_stopped, 3));
    } else {
        line.fail(fmt::format("unknown context setting '{}'", *what));
    }
}

void parse_busy(ScenarioLine& line, TileSetting& setting) {
    std::optional<std::uint32_t> reads = 0u;
    setting.kind = TileSettingKind::busy_forever;
    if (!line.accept("forever")) {
        setting.kind = TileSettingKind::busy;
        reads = line.number("busy read count");
    }
    std::optional<std::uint32_t> value = instruction_busy;
    if (line.accept("value")) {
        value = line.number("busy value");
        if (value && !(*value & instruction_busy)) {
            line.fail(fmt::format("busy value {:#x} does not have bit 3 set", *value));
        }
    }
    if (reads && value) {
        setting.a = *reads;
        setting.b = *value;
    }
}

void parse_fail_instruction(ScenarioLine& line, TileSetting& setting) {
    const auto nth = line.number("instruction number", 1);
    line.expect("status");
    const auto status = line.number("failure status");
    if (!nth || !status) {
        return;
    }
    if (*status & instruction_busy) {
        line.fail(fmt::format("failure status {:#x} has bit 3 (busy) set", *status));
    } else if (!(*status & instruction_failure_mask)) {
        line.fail(fmt::format("failure status {:#x} has none of bits 2..0 set", *status));
    }
    setting.kind = TileSettingKind::fail_instruction;
    setting.a = *nth;
    setting.b = *status;
}

void parse_stall(ScenarioLine& line, TileSetting& setting) {
    const auto which = line.word("'status' or 'instruction-status'");
    if (!which) {
        return;
    }
    if (*which == "status") {
        setting.kind = TileSettingKind::stall_status;
    } else if (*which == "instruction-status") {
        setting.kind = TileSettingKind::stall_instruction_status;
    } else {
        line.fail(fmt::format("expected 'status' or 'instruction-status', found '{}'", *which));
        return;
    }
    const auto nth = line.number("read number", 1);
    const auto ms = line.number("stall milliseconds", 1, max_stall_ms);
    if (nth && ms) {
        setting.a = *nth;
        setting.b = *ms;
    }
}

void parse_tile(ScenarioLine& line, Scenario& scenario) {
    const auto tiles = line.range("tile number", 0, max_tiles - 1);
    if (!tiles) {
        return;
    }
    TileSetting setting{
        line.number(), tiles->first, tiles->last, 0, 0, TileSettingKind::state, 0, 0};
    const auto what = line.word("tile setting");
    if (!what) {
        return;
    }
    auto set = [&](TileSettingKind kind, std::optional<std::uint32_t> a,
                   std::optional<std::uint32_t> b = 0u) { assign(setting, kind, a, b); };
    using K = TileSettingKind;
    if (*what == "context") {
        if (const auto contexts = line.range("context number", 0, contexts_per_tile - 1)) {
            setting.first_context = contexts->first;
            setting.last_context = contexts->last;
            parse_context_setting(line, setting);
        }
    } else if (*what == "run-break") {
        set(K::run_break, line.number("run-break mask"));
    } else if (*what == "receive-error") {
        set(K::receive_error, line.number("receive error", 0, 7));
    } else if (*what == "exchange") {
        const auto dcount = line.number("incoming dcount");
        set(K::exchange, dcount, line.number("exchange control"));
    } else if (*what == "status-bits") {
        const auto bits = line.number("status bits");
        if (bits && (*bits & reserved_status_bits)) {
            line.fail(fmt::format(
                "status bits {:#x} overlap the context states or the receive error", *bits));
        }
        set(K::status_bits, bits);
    } else if (*what == "data") {
        set(K::data, line.number("value"));
    } else if (*what == "register") {
        const auto reg = line.number("debug register", 0, debug_registers_per_tile - 1);
        if (reg && !debug_register_name(*reg).empty()) {
            line.fail(fmt::format("debug register {} is not a plain storage register", *reg));
        }
        set(K::plain_register, reg, line.number("value"));
    } else if (*what == "busy") {
        parse_busy(line, setting);
    } else if (*what == "fail-instruction") {
        parse_fail_instruction(line, setting);
    } else if (*what == "completion-status") {
        const auto status = line.number("completion status");
        if (status && (*status & (instruction_busy | instruction_failure_mask))) {
            line.fail(fmt::format("completion status {:#x} has some of bits 3..0 set", *status));
        }
        set(K::completion_status, status);
    } else if (*what == "stall") {
        parse_stall(line, setting);
    } else {
        line.fail(fmt::format("unknown tile setting '{}'", *what));
    }
    if (line.finish()) {
        scenario.tiles.push_back(setting);
    }
}

void parse_word(ScenarioLine& line, Scenario& scenario) {
    const auto offset = line.number("window offset", 0, window_size - 4);
    const auto value = line.number("value");
    if (offset && *offset % 4 != 0) {
        line.fail(fmt::format("window offset {:#x} is not a multiple of 4", *offset));
    }
    if (offset && value && line.finish()) {
        scenario.words.push_back(WordSetting{line.number(), *offset, *value});
    }
}

void parse_line(ScenarioLine& line, Scenario& scenario) {
    const auto keyword = *line.word("setting");
    if (keyword == "tile") {
        parse_tile(line, scenario);
        return;
    }
    if (keyword == "word") {
        parse_word(line, scenario);
        return;
    }
    if (keyword == "tiles") {
        if (const auto count = line.number("tile count", 1, max_tiles)) {
            scenario.tile_count = *count;
        }
    } else if (keyword == "default") {
        parse_default(line, scenario);
    } else if (keyword == "window") {
        const auto mode = line.word("'trapped' or 'frozen'");
        if (mode && (*mode == "trapped" || *mode == "frozen")) {
            scenario.window = *mode == "frozen" ? WindowMode::frozen : WindowMode::trapped;
        } else if (mode) {
            line.fail(fmt::format("expected 'trapped' or 'frozen', found '{}'", *mode));
        }
    } else if (keyword == "log-capacity") {
        if (const auto capacity = line.number("log capacity", 1, max_log_capacity)) {
            scenario.log_capacity = *capacity;
        }
    } else if (keyword == "fault") {
        parse_fault(line, scenario);
    } else if (keyword == "interrupt") {
        parse_interrupt(line, scenario);
    } else {
        line.fail(fmt::format("unknown setting '{}'", keyword));
    }
    line.finish();
}

// Checks that need the whole scenario: the tile count may be given after the tile lines.
std::optional<ScenarioError> check_against_tile_count(const Scenario& scenario) {
    for (const TileSetting& setting : scenario.tiles) {
        if (setting.last_tile >= scenario.tile_count) {
            return ScenarioError{setting.line, fmt::format("tile {} is not below the tile count {}",
                                                           setting.last_tile, scenario.tile_count)};
        }
    }
    for (const WordSetting& word : scenario.words) {
        if (word.offset < debug_base) {
            continue;
        }
        const std::uint32_t tile = (word.offset - debug_base) / debug_tile_stride;
        const std::uint32_t reg = (word.offset - debug_base) % debug_tile_stride / 4;
        if (tile < scenario.tile_count && !debug_register_name(reg).empty()) {
            return ScenarioError{
                word.line, fmt::format("window offset {:#x} is {} of live tile {}", word.offset,
                                       debug_register_name(reg), tile)};
        }
    }
    return std::nullopt;
}

}  // namespace

std::string ScenarioError::message() const {
    return fmt::format("line {}: {}", line, text);
}

std::expected<Scenario, ScenarioError> parse_scenario(std::string_view text) {
    Scenario scenario;
    std::size_t number = 0;
    while (!text.empty() || number == 0) {
        ++number;
        const auto newline = text.find('\n');
        ScenarioLine line(number, text.substr(0, newline));
        text = newline == std::string_view::npos ? std::string_view{} : text.substr(newline + 1);
        if (line.blank()) {
            continue;
        }
        parse_line(line, scenario);
        if (line.error()) {
            return std::unexpected(*line.error());
        }
    }
    if (auto error = check_against_tile_count(scenario)) {
        return std::unexpected(std::move(*error));
    }
    return scenario;
}

std::expected<Scenario, std::string> load_scenario_file(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        return std::unexpected(fmt::format("cannot read scenario {}", path));
    }
    std::ostringstream text;
    text << file.rdbuf();
    auto scenario = parse_scenario(text.str());
    if (!scenario) {
        return std::unexpected(
            fmt::format("{}:{}: {}", path, scenario.error().line, scenario.error().text));
    }
    return std::move(*scenario);
}

}  // namespace vek_sim
