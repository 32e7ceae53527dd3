#include "vek_package/package_error.hpp"

namespace vek_package {

namespace {

struct Message {
    std::string operator()(const PackageError::Capnp& v) const {
        return "Cap'n Proto error: " + v.error.message();
    }
    std::string operator()(const PackageError::Io& v) const {
        return "I/O error: " + v.error.message();
    }
    std::string operator()(const PackageError::Utf8& v) const {
        return "invalid UTF-8 text: " + v.error.message();
    }
    std::string operator()(const PackageError::SchemaEnum& v) const {
        return "unknown schema enum value: " + v.error.message();
    }
    std::string operator()(const PackageError::Invalid& v) const {
        return "invalid package: " + v.text;
    }
};

struct Debug {
    std::string operator()(const PackageError::Capnp& v) const {
        return "Capnp(" + v.error.debug() + ")";
    }
    std::string operator()(const PackageError::Io& v) const {
        return "Io(" + v.error.debug() + ")";
    }
    std::string operator()(const PackageError::Utf8& v) const {
        return "Utf8(" + v.error.debug() + ")";
    }
    std::string operator()(const PackageError::SchemaEnum& v) const {
        return "SchemaEnum(" + v.error.debug() + ")";
    }
    std::string operator()(const PackageError::Invalid& v) const {
        return "Invalid(" + vek_error::quoted(v.text) + ")";
    }
};

struct Cause {
    const vek_error::Error* operator()(const PackageError::Capnp& v) const { return &v.error; }
    const vek_error::Error* operator()(const PackageError::Io& v) const { return &v.error; }
    const vek_error::Error* operator()(const PackageError::Utf8& v) const { return &v.error; }
    const vek_error::Error* operator()(const PackageError::SchemaEnum& v) const { return &v.error; }
    const vek_error::Error* operator()(const PackageError::Invalid&) const { return nullptr; }
};

}  // namespace

std::string PackageError::message() const {
    return std::visit(Message{}, variant_);
}

std::string PackageError::debug() const {
    return std::visit(Debug{}, variant_);
}

const vek_error::Error* PackageError::cause() const {
    return std::visit(Cause{}, variant_);
}

}  // namespace vek_package
