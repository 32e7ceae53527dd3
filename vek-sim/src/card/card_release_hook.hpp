#pragma once

#include "vek_sim/card_layout.hpp"

namespace vek_sim {

// Called by a Card before its file is unmapped, so that the kernel-driver stand-in stops serving
// a card that goes away. Null while no stand-in is linked in.
extern void (*card_release_hook)(const CardHeader* card);

}  // namespace vek_sim
