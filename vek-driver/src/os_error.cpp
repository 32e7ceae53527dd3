#include "vek_driver/os_error.hpp"

#include <fmt/format.h>

#include <cerrno>
#include <cstring>

#include "vek_error/error.hpp"

namespace vek_driver {

OsError OsError::last() noexcept {
    return OsError(errno);
}

std::string_view OsError::kind_name() const noexcept {
    switch (code_) {
        case ENOENT:
            return "NotFound";
        case EPERM:
        case EACCES:
            return "PermissionDenied";
        case EEXIST:
            return "AlreadyExists";
        case EAGAIN:
            return "WouldBlock";
        case ENOTDIR:
            return "NotADirectory";
        case EISDIR:
            return "IsADirectory";
        case ENOTEMPTY:
            return "DirectoryNotEmpty";
        case EROFS:
            return "ReadOnlyFilesystem";
        case ELOOP:
            return "FilesystemLoop";
        case EINVAL:
            return "InvalidInput";
        case ETIMEDOUT:
            return "TimedOut";
        case EFBIG:
            return "FileTooLarge";
        case EBUSY:
            return "ResourceBusy";
        case ETXTBSY:
            return "ExecutableFileBusy";
        case EDEADLK:
            return "Deadlock";
        case EXDEV:
            return "CrossesDevices";
        case EMLINK:
            return "TooManyLinks";
        case ENAMETOOLONG:
            return "InvalidFilename";
        case E2BIG:
            return "ArgumentListTooLong";
        case EINTR:
            return "Interrupted";
        case ENOSYS:
            return "Unsupported";
        case ENOMEM:
            return "OutOfMemory";
        case ENOSPC:
            return "StorageFull";
        case ESPIPE:
            return "NotSeekable";
        case EPIPE:
            return "BrokenPipe";
        case EDQUOT:
            return "FilesystemQuotaExceeded";
        default:
            return "Uncategorized";
    }
}

std::string OsError::description() const {
    char buffer[256];
    // The GNU variant returns a pointer to the text, which need not be the buffer.
    return ::strerror_r(code_, buffer, sizeof buffer);
}

std::string OsError::message() const {
    return fmt::format("{} (os error {})", description(), code_);
}

std::string OsError::debug() const {
    return fmt::format("Os {{ code: {}, kind: {}, message: {} }}", code_, kind_name(),
                       vek_error::quoted(description()));
}

}  // namespace vek_driver
