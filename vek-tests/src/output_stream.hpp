#pragma once

#include <array>
#include <cstddef>
#include <expected>
#include <string_view>

#include "vek_driver/os_error.hpp"

namespace live_state {

// Report lines on their way to a descriptor: gathered in a fixed buffer and written in blocks,
// or line by line when the descriptor is a terminal. The first failed write is kept, and every
// later call reports it again without writing.
class OutputStream {
  public:
    explicit OutputStream(int fd);

    OutputStream(const OutputStream&) = delete;
    OutputStream& operator=(const OutputStream&) = delete;

    // Appends one whole line, which must end with a newline.
    [[nodiscard]] std::expected<void, vek_driver::OsError> write_line(std::string_view line);
    // Writes out everything gathered so far.
    [[nodiscard]] std::expected<void, vek_driver::OsError> flush();

  private:
    [[nodiscard]] std::expected<void, vek_driver::OsError> write_all(std::string_view bytes);

    static constexpr std::size_t capacity = 64 * 1024;

    int fd_;
    bool line_by_line_;
    int failed_errno_ = 0;
    std::size_t used_ = 0;
    std::array<char, capacity> buffer_;
};

}  // namespace live_state
