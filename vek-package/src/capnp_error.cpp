#include "vek_package/capnp_error.hpp"

namespace vek_package {

namespace {

std::string_view name(CapnpErrorKind kind) noexcept {
    switch (kind) {
        case CapnpErrorKind::Failed:
            return "Failed";
        case CapnpErrorKind::Overloaded:
            return "Overloaded";
        case CapnpErrorKind::Disconnected:
            return "Disconnected";
        case CapnpErrorKind::Unimplemented:
            return "Unimplemented";
    }
    return "Unknown";
}

}  // namespace

std::string_view describe(CapnpErrorKind kind) noexcept {
    switch (kind) {
        case CapnpErrorKind::Failed:
            return "failed";
        case CapnpErrorKind::Overloaded:
            return "overloaded";
        case CapnpErrorKind::Disconnected:
            return "disconnected";
        case CapnpErrorKind::Unimplemented:
            return "unimplemented";
    }
    return "unknown";
}

std::string CapnpError::message() const {
    std::string out(describe(kind_));
    out += ": ";
    out += description_;
    return out;
}

std::string CapnpError::debug() const {
    std::string out = "CapnpError { kind: ";
    out += name(kind_);
    out += ", description: ";
    out += vek_error::quoted(description_);
    out += " }";
    return out;
}

}  // namespace vek_package
