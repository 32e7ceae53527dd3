#pragma once

#include <span>
#include <string>
#include <string_view>

// A small facade for diagnostic events: a level, a target and named fields. Nothing is shown
// unless a subscriber is installed; the tool installs none, tests install one to observe events.
// Callers ask `enabled` first and build field values only when it says yes.
namespace vek_driver::diagnostics {

enum class Level { Error, Warn, Info, Debug, Trace };

// How a field's value was recorded: as a string value or through its display form.
enum class Recorded { String, Display };

struct Field {
    std::string_view name;
    Recorded recorded;
    std::string value;
};

struct Event {
    std::string_view target;
    Level level;
    std::span<const Field> fields;  // "message" holds the event's fixed text
};

class Subscriber {
  public:
    virtual ~Subscriber() = default;
    [[nodiscard]] virtual bool enabled(Level level, std::string_view target) const = 0;
    virtual void event(const Event& event) = 0;
};

// Installs `subscriber` (null removes it) and returns the one it replaces. Not thread-safe
// against concurrent events; tests install it before the code under test runs.
Subscriber* set_subscriber(Subscriber* subscriber) noexcept;

[[nodiscard]] bool enabled(Level level, std::string_view target) noexcept;

// Hands the event to the subscriber, if there is one.
void emit(const Event& event);

}  // namespace vek_driver::diagnostics
