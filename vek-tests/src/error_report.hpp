#pragma once

#include <string>

#include "vek_error/error.hpp"

namespace live_state {

// The report of a failed run, for standard error: "Error: " and the top message, then, when
// there is a cause, "Caused by:" and every cause down to the innermost, one per line (numbered
// from 0 when there are two or more). Ends with a newline.
[[nodiscard]] std::string render_error_report(const vek_error::Error& error);

}  // namespace live_state
