#pragma once

#include "vek_sim/card_layout.hpp"
#include "vek_sim/scenario.hpp"

namespace vek_sim {

// Fills a freshly sized, zeroed card with the scenario: defaults first, then the tile and word
// lines in order, then the run-break stops that the loaded run-break registers ask for, then the
// copy of the tiles as loaded.
void load_scenario(const Scenario& scenario, CardHeader& card);

}  // namespace vek_sim
