#pragma once

#include <string>
#include <string_view>
#include <variant>

#include "vek_driver/os_error.hpp"
#include "vek_error/error.hpp"
#include "vek_package/package_error.hpp"

namespace vek_driver {

// An ELF reader's error: a fixed message text.
class ElfError final : public vek_error::Error {
  public:
    explicit ElfError(std::string_view text) noexcept : text_(text) {}

    [[nodiscard]] std::string_view text() const noexcept { return text_; }
    [[nodiscard]] std::string message() const override { return std::string(text_); }
    [[nodiscard]] std::string debug() const override;
    [[nodiscard]] const vek_error::Error* cause() const override { return nullptr; }

  private:
    std::string_view text_;
};

// Every failure of the driver library. Inside the library an error travels outward unchanged.
class DriverError final : public vek_error::Error {
  public:
    enum class Kind { Io, Invalid, Timeout, Package, Elf };

    struct Io {
        std::string_view operation;  // a literal naming the failed step
        OsError source;
    };
    struct Invalid {
        std::string text;
    };
    struct Timeout {
        std::string text;
    };
    struct Package {
        vek_package::PackageError error;
    };
    struct Elf {
        ElfError error;
    };

    [[nodiscard]] static DriverError io(std::string_view operation, OsError source) {
        return DriverError(Io{operation, source});
    }
    [[nodiscard]] static DriverError invalid(std::string text) {
        return DriverError(Invalid{std::move(text)});
    }
    [[nodiscard]] static DriverError timeout(std::string text) {
        return DriverError(Timeout{std::move(text)});
    }
    [[nodiscard]] static DriverError package(vek_package::PackageError error) {
        return DriverError(Package{std::move(error)});
    }
    [[nodiscard]] static DriverError elf(ElfError error) { return DriverError(Elf{error}); }

    [[nodiscard]] Kind kind() const noexcept { return static_cast<Kind>(value_.index()); }
    // The variant's fields, or null when the error is another variant.
    template <class Variant>
    [[nodiscard]] const Variant* get_if() const noexcept {
        return std::get_if<Variant>(&value_);
    }

    [[nodiscard]] std::string message() const override;
    [[nodiscard]] std::string debug() const override;
    [[nodiscard]] const vek_error::Error* cause() const override;

  private:
    using Value = std::variant<Io, Invalid, Timeout, Package, Elf>;
    explicit DriverError(Value value) : value_(std::move(value)) {}

    Value value_;
};

// DriverError::Io for `operation` with the calling thread's current errno. Call it right after
// the system call that failed, before anything else can change errno.
[[nodiscard]] DriverError io_error(std::string_view operation);

}  // namespace vek_driver
