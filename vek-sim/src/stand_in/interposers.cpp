// The C library entry points that the stand-in takes over. Each one hands calls on the simulated
// node to the stand-in and passes every other call on unchanged.

#include <dlfcn.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/types.h>

#include <cstdarg>

#include "stand_in_calls.hpp"

namespace vek_sim {
namespace {

template <typename Function>
Function next_definition(const char* name) {
    return reinterpret_cast<Function>(dlsym(RTLD_NEXT, name));
}

}  // namespace

const RealCalls& real_calls() {
    static const RealCalls calls = [] {
        RealCalls next{};
        next.open = next_definition<decltype(next.open)>("open");
        next.open64 = next_definition<decltype(next.open64)>("open64");
        next.openat = next_definition<decltype(next.openat)>("openat");
        next.openat64 = next_definition<decltype(next.openat64)>("openat64");
        next.open_2 = next_definition<decltype(next.open_2)>("__open_2");
        next.open64_2 = next_definition<decltype(next.open64_2)>("__open64_2");
        next.ioctl = next_definition<decltype(next.ioctl)>("ioctl");
        next.mmap = next_definition<decltype(next.mmap)>("mmap");
        next.mmap64 = next_definition<decltype(next.mmap64)>("mmap64");
        next.munmap = next_definition<decltype(next.munmap)>("munmap");
        next.close = next_definition<decltype(next.close)>("close");
        return next;
    }();
    return calls;
}

}  // namespace vek_sim

using vek_sim::is_node_fd;
using vek_sim::is_node_path;
using vek_sim::real_calls;

// open's mode argument exists only when the flags create a file; va_start needs the variadic
// function itself, hence a macro.
#define VEK_SIM_READ_MODE(flags, mode)      \
    if (takes_mode_of(flags)) {             \
        va_list arguments;                  \
        va_start(arguments, flags);         \
        mode = va_arg(arguments, unsigned); \
        va_end(arguments);                  \
    }

namespace {
bool takes_mode_of(int flags) {
    return (flags & O_CREAT) != 0 || (flags & O_TMPFILE) == O_TMPFILE;
}
}  // namespace

extern "C" {

int open(const char* path, int flags, ...) {
    unsigned mode = 0;
    VEK_SIM_READ_MODE(flags, mode)
    if (is_node_path(path)) {
        return vek_sim::node_open(flags, mode, AT_FDCWD);
    }
    return real_calls().open(path, flags, mode);
}

int open64(const char* path, int flags, ...) {
    unsigned mode = 0;
    VEK_SIM_READ_MODE(flags, mode)
    if (is_node_path(path)) {
        return vek_sim::node_open(flags, mode, AT_FDCWD);
    }
    return real_calls().open64(path, flags, mode);
}

int openat(int dirfd, const char* path, int flags, ...) {
    unsigned mode = 0;
    VEK_SIM_READ_MODE(flags, mode)
    if (is_node_path(path)) {
        return vek_sim::node_open(flags, mode, dirfd);
    }
    return real_calls().openat(dirfd, path, flags, mode);
}

int openat64(int dirfd, const char* path, int flags, ...) {
    unsigned mode = 0;
    VEK_SIM_READ_MODE(flags, mode)
    if (is_node_path(path)) {
        return vek_sim::node_open(flags, mode, dirfd);
    }
    return real_calls().openat64(dirfd, path, flags, mode);
}

int __open_2(const char* path, int flags) {
    if (is_node_path(path)) {
        return vek_sim::node_open(flags, 0, AT_FDCWD);
    }
    return real_calls().open_2(path, flags);
}

int __open64_2(const char* path, int flags) {
    if (is_node_path(path)) {
        return vek_sim::node_open(flags, 0, AT_FDCWD);
    }
    return real_calls().open64_2(path, flags);
}

int ioctl(int fd, unsigned long request, ...) noexcept {
    va_list arguments;
    va_start(arguments, request);
    const unsigned long argument = va_arg(arguments, unsigned long);
    va_end(arguments);
    if (is_node_fd(fd)) {
        return vek_sim::node_ioctl(fd, request, argument);
    }
    return real_calls().ioctl(fd, request, argument);
}

void* mmap(void* address, size_t length, int prot, int flags, int fd, off_t offset) noexcept {
    if (is_node_fd(fd)) {
        return vek_sim::node_mmap(address, length, prot, flags, fd, offset);
    }
    return real_calls().mmap(address, length, prot, flags, fd, offset);
}

void* mmap64(void* address, size_t length, int prot, int flags, int fd, off_t offset) noexcept {
    if (is_node_fd(fd)) {
        return vek_sim::node_mmap(address, length, prot, flags, fd, offset);
    }
    return real_calls().mmap64(address, length, prot, flags, fd, offset);
}

int munmap(void* address, size_t length) noexcept {
    if (vek_sim::touches_node_window(address, length)) {
        return vek_sim::node_munmap(address, length);
    }
    return real_calls().munmap(address, length);
}

int close(int fd) {
    if (is_node_fd(fd)) {
        return vek_sim::node_close(fd);
    }
    return real_calls().close(fd);
}

}  // extern "C"
