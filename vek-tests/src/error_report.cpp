#include "error_report.hpp"

#include <fmt/format.h>

#include <string_view>

namespace live_state {

namespace {

// Appends a message, continuing each of its further lines at the given indentation.
void append_indented(std::string& out, std::string_view message, std::string_view continuation) {
    std::size_t start = 0;
    while (true) {
        const std::size_t newline = message.find('\n', start);
        out += message.substr(start, newline - start);
        if (newline == std::string_view::npos) {
            return;
        }
        out += '\n';
        out += continuation;
        start = newline + 1;
    }
}

}  // namespace

std::string render_error_report(const vek_error::Error& error) {
    std::string out = "Error: " + error.message();
    const vek_error::Error* first_cause = error.cause();
    if (first_cause != nullptr) {
        out += "\n\nCaused by:";
        const bool numbered = first_cause->cause() != nullptr;
        std::size_t index = 0;
        for (const vek_error::Error* cause = first_cause; cause != nullptr;
             cause = cause->cause(), ++index) {
            out += '\n';
            if (numbered) {
                out += fmt::format("{:>5}: ", index);
                append_indented(out, cause->message(), "       ");
            } else {
                out += "    ";
                append_indented(out, cause->message(), "    ");
            }
        }
    }
    out += '\n';
    return out;
}

}  // namespace live_state
