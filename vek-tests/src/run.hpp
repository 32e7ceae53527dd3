#pragma once

#include <expected>

#include "arguments.hpp"
#include "output_stream.hpp"
#include "run_error.hpp"

namespace live_state {

// Opens the card named by `arguments`, scans it and releases it again before returning, so the
// device is closed before any error is reported.
[[nodiscard]] std::expected<void, RunError> run(const Arguments& arguments, OutputStream& out);

}  // namespace live_state
