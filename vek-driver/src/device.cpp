#include "vek_driver/device.hpp"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "lossy_utf8.hpp"
#include "vek_driver/diagnostics.hpp"

namespace vek_driver {

namespace {

constexpr int open_flags = O_RDWR | O_CLOEXEC;
static_assert(open_flags == 0x80002);

constexpr std::string_view event_target = "vek_driver";

void emit_path_event(std::string_view message, diagnostics::Recorded recorded, std::string path) {
    const diagnostics::Field fields[] = {
        {"message", diagnostics::Recorded::String, std::string(message)},
        {"path", recorded, std::move(path)},
    };
    diagnostics::emit({event_target, diagnostics::Level::Info, fields});
}

}  // namespace

Result<Device> Device::open(std::string_view path) {
    if (diagnostics::enabled(diagnostics::Level::Info, event_target)) {
        emit_path_event("opening VEK device", diagnostics::Recorded::String, std::string(path));
    }
    if (path.find('\0') != std::string_view::npos) {
        return std::unexpected(DriverError::invalid("NUL in path"));
    }
    const std::string c_path(path);

    const int fd = ::open(c_path.c_str(), open_flags);
    if (fd < 0) {
        return std::unexpected(io_error("open VEK device"));
    }
    void* base = ::mmap(nullptr, CONFIG_WINDOW_SIZE, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    if (base == MAP_FAILED) {
        // Taken before the close, so that a failing close cannot replace the mapping's error.
        const OsError mapping_error = OsError::last();
        ::close(fd);
        return std::unexpected(DriverError::io("map configuration BAR", mapping_error));
    }
    Device device(fd, static_cast<std::uint8_t*>(base));

    if (auto attached = device.ioctl_value(IOCTL_ATTACH, 0, "attach VEK"); !attached) {
        return std::unexpected(std::move(attached.error()));
    }
    if (auto identified = device.ioctl_value(IOCTL_SET_ID, 0, "set VEK ID"); !identified) {
        return std::unexpected(std::move(identified.error()));
    }
    if (diagnostics::enabled(diagnostics::Level::Info, event_target)) {
        emit_path_event("VEK device attached", diagnostics::Recorded::Display, lossy_utf8(c_path));
    }
    return device;
}

Result<void> Device::ioctl_value(std::uint64_t request, std::uint64_t value,
                                 std::string_view operation) const {
    // The value itself is the request's argument, not a pointer to it.
    if (::ioctl(fd_, static_cast<unsigned long>(request), static_cast<unsigned long>(value)) != 0) {
        return std::unexpected(io_error(operation));
    }
    return {};
}

Device::Device(Device&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)), config_(std::exchange(other.config_, nullptr)) {}

Device& Device::operator=(Device&& other) noexcept {
    if (this != &other) {
        release();
        fd_ = std::exchange(other.fd_, -1);
        config_ = std::exchange(other.config_, nullptr);
    }
    return *this;
}

Device::~Device() {
    release();
}

void Device::release() noexcept {
    if (config_ == nullptr) {
        return;  // moved from
    }
    // Errors while releasing are of no use to anyone: the handle is gone either way.
    ::munmap(config_, CONFIG_WINDOW_SIZE);
    ::close(fd_);
    config_ = nullptr;
    fd_ = -1;
}

}  // namespace vek_driver
