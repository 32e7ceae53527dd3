#include "vek_package/utf8_error.hpp"

namespace vek_package {

std::string Utf8Error::message() const {
    if (error_len_.has_value()) {
        return "invalid utf-8 sequence of " + std::to_string(*error_len_) + " bytes from index " +
               std::to_string(valid_up_to_);
    }
    return "incomplete utf-8 byte sequence from index " + std::to_string(valid_up_to_);
}

std::string Utf8Error::debug() const {
    std::string out = "Utf8Error { valid_up_to: " + std::to_string(valid_up_to_) + ", error_len: ";
    out += error_len_.has_value() ? "Some(" + std::to_string(*error_len_) + ")" : "None";
    out += " }";
    return out;
}

}  // namespace vek_package
