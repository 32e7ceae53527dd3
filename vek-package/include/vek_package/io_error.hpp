#pragma once

#include <string>
#include <string_view>
#include <utility>

#include "vek_error/error.hpp"

namespace vek_package {

// The kinds of I/O failure that a package reader meets.
enum class IoErrorKind {
    NotFound,
    PermissionDenied,
    InvalidData,
    UnexpectedEof,
    Other,
};

// The kind's name as debug forms show it ("UnexpectedEof").
[[nodiscard]] std::string_view name(IoErrorKind kind) noexcept;
// The kind's generic description ("unexpected end of file").
[[nodiscard]] std::string_view describe(IoErrorKind kind) noexcept;

// An I/O error: a kind and an optional detail text that replaces the kind's generic
// description in the message.
class IoError final : public vek_error::Error {
  public:
    explicit IoError(IoErrorKind kind, std::string detail = {})
        : kind_(kind), detail_(std::move(detail)) {}

    [[nodiscard]] IoErrorKind kind() const noexcept { return kind_; }
    [[nodiscard]] const std::string& detail() const noexcept { return detail_; }

    // The detail when there is one, else the kind's description.
    [[nodiscard]] std::string message() const override;
    // IoError { kind: UnexpectedEof } or IoError { kind: Other, detail: "..." }
    [[nodiscard]] std::string debug() const override;
    [[nodiscard]] const vek_error::Error* cause() const override { return nullptr; }

    friend bool operator==(const IoError& a, const IoError& b) {
        return a.kind_ == b.kind_ && a.detail_ == b.detail_;
    }

  private:
    IoErrorKind kind_;
    std::string detail_;
};

}  // namespace vek_package
