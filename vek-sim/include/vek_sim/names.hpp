#pragma once

// Symbolic names of errno values and signals, as scenarios and reports write them.

#include <optional>
#include <string>
#include <string_view>

namespace vek_sim {

// "EACCES" -> 13; names of the errors a kernel driver gives, plus a few more.
std::optional<int> errno_from_name(std::string_view name);
// 13 -> "EACCES"; an unnamed value as its decimal number.
std::string errno_name(int error);

// "SIGINT" -> 2, for the signals a scenario may send.
std::optional<int> signal_from_name(std::string_view name);
std::string signal_name(int signal);

}  // namespace vek_sim
