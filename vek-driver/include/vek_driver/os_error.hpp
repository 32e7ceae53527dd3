#pragma once

#include <string>
#include <string_view>

#include "vek_error/error.hpp"

namespace vek_driver {

// An operating-system error code (errno) captured when a system call failed.
class OsError final : public vek_error::Error {
  public:
    explicit OsError(int code) noexcept : code_(code) {}

    // The calling thread's current errno.
    [[nodiscard]] static OsError last() noexcept;

    [[nodiscard]] int code() const noexcept { return code_; }
    // A short category name for the code, for example NotFound for ENOENT.
    [[nodiscard]] std::string_view kind_name() const noexcept;
    // The C library's description of the code.
    [[nodiscard]] std::string description() const;

    // The description, then " (os error N)".
    [[nodiscard]] std::string message() const override;
    // Os { code: 2, kind: NotFound, message: "No such file or directory" }
    [[nodiscard]] std::string debug() const override;
    [[nodiscard]] const vek_error::Error* cause() const override { return nullptr; }

  private:
    int code_;
};

}  // namespace vek_driver
