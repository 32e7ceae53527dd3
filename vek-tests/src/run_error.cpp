#include "run_error.hpp"

#include <fmt/format.h>

#include <csignal>
#include <cstring>

namespace live_state {

std::string ContextError::debug() const {
    return fmt::format("Context {{ message: {}, cause: {} }}", vek_error::quoted(message_),
                       cause_.debug());
}

std::string OutputError::debug() const {
    return fmt::format("Output {{ source: {} }}", cause_.debug());
}

namespace {
const char* signal_name(int signal) {
    switch (signal) {
        case SIGINT:
            return "SIGINT";
        case SIGTERM:
            return "SIGTERM";
        case SIGHUP:
            return "SIGHUP";
        default:
            return nullptr;
    }
}
}  // namespace

std::string Interrupted::message() const {
    if (const char* name = signal_name(signal_)) {
        return fmt::format("interrupted by {}", name);
    }
    return fmt::format("interrupted by signal {}", signal_);
}

std::string Interrupted::debug() const {
    return fmt::format("Interrupted({})", signal_);
}

const vek_error::Error& RunError::top() const noexcept {
    return std::visit([](const auto& error) -> const vek_error::Error& { return error; }, value_);
}

int RunError::exit_status() const noexcept {
    if (const auto* interrupted = std::get_if<Interrupted>(&value_)) {
        return 128 + interrupted->signal();
    }
    return 1;
}

}  // namespace live_state
