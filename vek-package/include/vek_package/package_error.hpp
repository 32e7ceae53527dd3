#pragma once

#include <string>
#include <utility>
#include <variant>

#include "vek_error/error.hpp"
#include "vek_package/capnp_error.hpp"
#include "vek_package/io_error.hpp"
#include "vek_package/not_in_schema.hpp"
#include "vek_package/utf8_error.hpp"

namespace vek_package {

// Every failure of reading an application package.
class PackageError final : public vek_error::Error {
  public:
    // The variants, in this order; kind() names the one a value holds.
    struct Capnp {
        CapnpError error;
        friend bool operator==(const Capnp&, const Capnp&) = default;
    };
    struct Io {
        IoError error;
        friend bool operator==(const Io&, const Io&) = default;
    };
    struct Utf8 {
        Utf8Error error;
        friend bool operator==(const Utf8&, const Utf8&) = default;
    };
    struct SchemaEnum {
        NotInSchema error;
        friend bool operator==(const SchemaEnum&, const SchemaEnum&) = default;
    };
    struct Invalid {
        std::string text;
        friend bool operator==(const Invalid&, const Invalid&) = default;
    };
    using Variant = std::variant<Capnp, Io, Utf8, SchemaEnum, Invalid>;

    // Follows the order of Variant, so that kind() is the variant's index.
    enum class Kind { Capnp, Io, Utf8, SchemaEnum, Invalid };

    [[nodiscard]] static PackageError capnp(CapnpError error) {
        return PackageError(Capnp{std::move(error)});
    }
    [[nodiscard]] static PackageError io(IoError error) {
        return PackageError(Io{std::move(error)});
    }
    [[nodiscard]] static PackageError utf8(Utf8Error error) {
        return PackageError(Utf8{std::move(error)});
    }
    [[nodiscard]] static PackageError schema_enum(NotInSchema error) {
        return PackageError(SchemaEnum{error});
    }
    [[nodiscard]] static PackageError invalid(std::string text) {
        return PackageError(Invalid{std::move(text)});
    }

    [[nodiscard]] Kind kind() const noexcept { return static_cast<Kind>(variant_.index()); }
    [[nodiscard]] const Variant& variant() const noexcept { return variant_; }

    [[nodiscard]] std::string message() const override;
    [[nodiscard]] std::string debug() const override;
    // The carried error; none for Invalid.
    [[nodiscard]] const vek_error::Error* cause() const override;

    friend bool operator==(const PackageError& a, const PackageError& b) {
        return a.variant_ == b.variant_;
    }

  private:
    explicit PackageError(Variant variant) : variant_(std::move(variant)) {}

    Variant variant_;
};

}  // namespace vek_package
