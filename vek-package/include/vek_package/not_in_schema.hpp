#pragma once

#include <cstdint>
#include <string>

#include "vek_error/error.hpp"

namespace vek_package {

// A message held an enumerant or union discriminant that its schema does not define.
class NotInSchema final : public vek_error::Error {
  public:
    explicit NotInSchema(std::uint16_t value) : value_(value) {}

    [[nodiscard]] std::uint16_t value() const noexcept { return value_; }

    // "Enum value or union discriminant 7 was not present in the schema."
    [[nodiscard]] std::string message() const override;
    // NotInSchema(7)
    [[nodiscard]] std::string debug() const override;
    [[nodiscard]] const vek_error::Error* cause() const override { return nullptr; }

    friend bool operator==(const NotInSchema& a, const NotInSchema& b) {
        return a.value_ == b.value_;
    }

  private:
    std::uint16_t value_;
};

}  // namespace vek_package
