#pragma once

// How the vek-sim runner tells the preloaded stand-in which card to serve.

namespace vek_sim {

inline constexpr const char* state_file_variable = "VEK_SIM_STATE";  // the card's state file
inline constexpr const char* node_variable = "VEK_SIM_NODE";  // the node path; else the file's
inline constexpr const char* preload_library_name = "libvek_sim_preload.so";

}  // namespace vek_sim
