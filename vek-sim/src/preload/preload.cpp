// The stand-in as an LD_PRELOAD library: at load it maps the card named by VEK_SIM_STATE and
// serves it at VEK_SIM_NODE (or the node stored in the card). Without VEK_SIM_STATE it stays
// out of the way, so child processes that lost the variable run normally.

#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "vek_sim/card.hpp"
#include "vek_sim/preload_environment.hpp"
#include "vek_sim/stand_in.hpp"

namespace {

// The card stays mapped until the process ends: nothing may unmap it under a window that a
// destructor running at exit might still touch. Held here so that it stays reachable.
vek_sim::Card* served = nullptr;

[[noreturn]] void give_up(const std::string& why) {
    const std::string text = "vek-sim: cannot serve the simulated card: " + why + "\n";
    [[maybe_unused]] const auto written = write(STDERR_FILENO, text.data(), text.size());
    _exit(127);
}

__attribute__((constructor)) void serve_card_from_environment() {
    const char* state = std::getenv(vek_sim::state_file_variable);
    if (state == nullptr || *state == '\0') {
        return;
    }
    auto card = vek_sim::Card::open(state);
    if (!card) {
        give_up(card.error());
    }
    served = new vek_sim::Card(std::move(*card));
    const char* node = std::getenv(vek_sim::node_variable);
    const std::string path =
        node != nullptr && *node != '\0' ? node : served->header().stand_in.node;
    if (auto attached = vek_sim::attach_card(*served, path); !attached) {
        give_up(attached.error());
    }
}

}  // namespace
