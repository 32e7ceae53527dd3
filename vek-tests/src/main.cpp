// exchange_live_state: reads the live exchange and execution state of every tile of a VEK card
// without resetting it, and prints one line per interesting tile (or per worker).

#include <unistd.h>

#include <string>

#include "arguments.hpp"
#include "error_report.hpp"
#include "interrupts.hpp"
#include "output_stream.hpp"
#include "run.hpp"

namespace {

void write_to_standard_error(const std::string& text) {
    std::string_view rest = text;
    while (!rest.empty()) {
        const ssize_t written = ::write(STDERR_FILENO, rest.data(), rest.size());
        if (written <= 0) {
            return;  // nothing more can be said
        }
        rest.remove_prefix(static_cast<std::size_t>(written));
    }
}

}  // namespace

int main(int argc, char** argv) {
    const auto arguments = live_state::Arguments::parse(argc, argv);
    live_state::install_interrupt_handlers();

    live_state::OutputStream out(STDOUT_FILENO);
    auto outcome = live_state::run(arguments, out);
    // The lines of the tiles read before a failure go out before its report.
    if (auto flushed = out.flush(); !flushed && outcome) {
        outcome = std::unexpected(live_state::OutputError(flushed.error()));
    }
    if (!outcome) {
        write_to_standard_error(live_state::render_error_report(outcome.error().top()));
        return outcome.error().exit_status();
    }
    return 0;
}
