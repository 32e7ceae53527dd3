#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "vek_error/error.hpp"

namespace vek_package {

// A failed UTF-8 decode: the length of the valid prefix, and the length of the invalid
// sequence that follows it, or nothing when the input ended in the middle of a sequence.
class Utf8Error final : public vek_error::Error {
  public:
    Utf8Error(std::size_t valid_up_to, std::optional<std::uint8_t> error_len)
        : valid_up_to_(valid_up_to), error_len_(error_len) {}

    [[nodiscard]] std::size_t valid_up_to() const noexcept { return valid_up_to_; }
    [[nodiscard]] std::optional<std::uint8_t> error_len() const noexcept { return error_len_; }

    // "invalid utf-8 sequence of 1 bytes from index 3" or
    // "incomplete utf-8 byte sequence from index 3"
    [[nodiscard]] std::string message() const override;
    // Utf8Error { valid_up_to: 3, error_len: Some(1) }
    [[nodiscard]] std::string debug() const override;
    [[nodiscard]] const vek_error::Error* cause() const override { return nullptr; }

    friend bool operator==(const Utf8Error& a, const Utf8Error& b) {
        return a.valid_up_to_ == b.valid_up_to_ && a.error_len_ == b.error_len_;
    }

  private:
    std::size_t valid_up_to_;
    std::optional<std::uint8_t> error_len_;
};

}  // namespace vek_package
