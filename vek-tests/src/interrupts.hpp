#pragma once

namespace live_state {

// SIGINT, SIGTERM and SIGHUP only ask the run to stop: a context bracket in progress is never cut
// short. The scan asks before each query and ends the run when a signal came. SIGPIPE is
// ignored, so a closed standard output shows as a failed write.
void install_interrupt_handlers();

// The number of the first signal that asked the run to stop, or 0.
[[nodiscard]] int pending_interrupt() noexcept;

}  // namespace live_state
