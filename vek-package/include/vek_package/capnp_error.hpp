#pragma once

#include <string>
#include <string_view>
#include <utility>

#include "vek_error/error.hpp"

namespace vek_package {

// The kinds of failure that the message library reports.
enum class CapnpErrorKind {
    Failed,
    Overloaded,
    Disconnected,
    Unimplemented,
};

// Lower-case name of a kind, as messages show it ("failed").
[[nodiscard]] std::string_view describe(CapnpErrorKind kind) noexcept;

// An error of the message library: its kind and a free-form description.
class CapnpError final : public vek_error::Error {
  public:
    CapnpError(CapnpErrorKind kind, std::string description)
        : kind_(kind), description_(std::move(description)) {}

    [[nodiscard]] CapnpErrorKind kind() const noexcept { return kind_; }
    [[nodiscard]] const std::string& description() const noexcept { return description_; }

    // "failed: message too short"
    [[nodiscard]] std::string message() const override;
    // CapnpError { kind: Failed, description: "message too short" }
    [[nodiscard]] std::string debug() const override;
    [[nodiscard]] const vek_error::Error* cause() const override { return nullptr; }

    friend bool operator==(const CapnpError& a, const CapnpError& b) {
        return a.kind_ == b.kind_ && a.description_ == b.description_;
    }

  private:
    CapnpErrorKind kind_;
    std::string description_;
};

}  // namespace vek_package
