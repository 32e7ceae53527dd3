#include "output_stream.hpp"

#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace live_state {

OutputStream::OutputStream(int fd) : fd_(fd), line_by_line_(::isatty(fd) == 1) {}

std::expected<void, vek_driver::OsError> OutputStream::write_line(std::string_view line) {
    if (failed_errno_ != 0) {
        return std::unexpected(vek_driver::OsError(failed_errno_));
    }
    if (line.size() > capacity - used_) {
        if (auto flushed = flush(); !flushed) {
            return flushed;
        }
        if (line.size() > capacity) {
            return write_all(line);
        }
    }
    std::memcpy(buffer_.data() + used_, line.data(), line.size());
    used_ += line.size();
    if (line_by_line_) {
        return flush();
    }
    return {};
}

std::expected<void, vek_driver::OsError> OutputStream::flush() {
    if (failed_errno_ != 0) {
        return std::unexpected(vek_driver::OsError(failed_errno_));
    }
    const std::string_view pending(buffer_.data(), used_);
    used_ = 0;
    return write_all(pending);
}

std::expected<void, vek_driver::OsError> OutputStream::write_all(std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd_, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            failed_errno_ = errno;
            return std::unexpected(vek_driver::OsError(failed_errno_));
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return {};
}

}  // namespace live_state
