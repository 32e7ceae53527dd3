#pragma once

#include <string>
#include <string_view>

namespace vek_driver {

// The bytes as UTF-8 text, each invalid sequence replaced by U+FFFD.
[[nodiscard]] std::string lossy_utf8(std::string_view bytes);

}  // namespace vek_driver
