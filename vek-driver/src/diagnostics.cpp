#include "vek_driver/diagnostics.hpp"

namespace vek_driver::diagnostics {

namespace {
Subscriber* installed = nullptr;
}

Subscriber* set_subscriber(Subscriber* subscriber) noexcept {
    Subscriber* previous = installed;
    installed = subscriber;
    return previous;
}

bool enabled(Level level, std::string_view target) noexcept {
    return installed != nullptr && installed->enabled(level, target);
}

void emit(const Event& event) {
    if (installed != nullptr) {
        installed->event(event);
    }
}

}  // namespace vek_driver::diagnostics
