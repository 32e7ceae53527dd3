#include "vek_error/error.hpp"

#include <cstdio>

namespace vek_error {

std::string quoted(std::string_view text) {
    std::string out;
    out.reserve(text.size() + 2);
    out.push_back('"');
    for (const char c : text) {
        switch (c) {
            case '"': out += "\\\""; break;
            case '\\': out += "\\\\"; break;
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            case '\t': out += "\\t"; break;
            case '\0': out += "\\0"; break;
            default: {
                const auto byte = static_cast<unsigned char>(c);
                if (byte < 0x20 || byte == 0x7f) {
                    char escape[16];
                    std::snprintf(escape, sizeof escape, "\\u{%x}", static_cast<unsigned>(byte));
                    out += escape;
                } else {
                    out.push_back(c);
                }
            }
        }
    }
    out.push_back('"');
    return out;
}

}  // namespace vek_error
