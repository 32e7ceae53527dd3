#include "lossy_utf8.hpp"

#include <cstddef>
#include <cstdint>

namespace vek_driver {

namespace {

constexpr std::string_view replacement = "\xEF\xBF\xBD";

bool is_continuation(unsigned char byte) {
    return (byte & 0xC0) == 0x80;
}

// Length of the valid sequence starting at `at`, or the number of bytes that form one maximal
// invalid prefix (at least 1), negated.
std::ptrdiff_t sequence_length(std::string_view bytes, std::size_t at) {
    const auto lead = static_cast<unsigned char>(bytes[at]);
    if (lead < 0x80) {
        return 1;
    }
    std::size_t length = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return -1;
    }
    for (std::size_t i = 1; i < length; ++i) {
        if (at + i >= bytes.size()) {
            return -static_cast<std::ptrdiff_t>(i);
        }
        const auto byte = static_cast<unsigned char>(bytes[at + i]);
        const bool in_range = i == 1 ? (byte >= low && byte <= high) : is_continuation(byte);
        if (!in_range) {
            return -static_cast<std::ptrdiff_t>(i);
        }
    }
    return static_cast<std::ptrdiff_t>(length);
}

}  // namespace

std::string lossy_utf8(std::string_view bytes) {
    std::string text;
    text.reserve(bytes.size());
    std::size_t at = 0;
    while (at < bytes.size()) {
        const std::ptrdiff_t length = sequence_length(bytes, at);
        if (length > 0) {
            text.append(bytes.substr(at, static_cast<std::size_t>(length)));
            at += static_cast<std::size_t>(length);
        } else {
            text.append(replacement);
            at += static_cast<std::size_t>(-length);
        }
    }
    return text;
}

}  // namespace vek_driver
