#include "vek_package/io_error.hpp"

namespace vek_package {

std::string_view name(IoErrorKind kind) noexcept {
    switch (kind) {
        case IoErrorKind::NotFound:
            return "NotFound";
        case IoErrorKind::PermissionDenied:
            return "PermissionDenied";
        case IoErrorKind::InvalidData:
            return "InvalidData";
        case IoErrorKind::UnexpectedEof:
            return "UnexpectedEof";
        case IoErrorKind::Other:
            return "Other";
    }
    return "Unknown";
}

std::string_view describe(IoErrorKind kind) noexcept {
    switch (kind) {
        case IoErrorKind::NotFound:
            return "entity not found";
        case IoErrorKind::PermissionDenied:
            return "permission denied";
        case IoErrorKind::InvalidData:
            return "invalid data";
        case IoErrorKind::UnexpectedEof:
            return "unexpected end of file";
        case IoErrorKind::Other:
            return "other error";
    }
    return "unknown error";
}

std::string IoError::message() const {
    return detail_.empty() ? std::string(describe(kind_)) : detail_;
}

std::string IoError::debug() const {
    std::string out = "IoError { kind: ";
    out += name(kind_);
    if (!detail_.empty()) {
        out += ", detail: ";
        out += vek_error::quoted(detail_);
    }
    out += " }";
    return out;
}

}  // namespace vek_package
