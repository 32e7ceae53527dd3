#pragma once

// Memory mapping calls made straight to the kernel. The process may interpose mmap and munmap
// (the kernel-driver stand-in does, and so do sanitizers), and the window must not pass through
// them: an interposed munmap of a window would call back into unmap_trapped_window.

#include <sys/mman.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cstddef>

namespace vek_sim::trap {

inline constexpr std::size_t page_size = 4096;  // x86-64 base pages, as the window is mapped

inline void* raw_mmap_anonymous(std::size_t length, int protection) {
    const long result = syscall(SYS_mmap, nullptr, length, protection,
                                MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    return result == -1 ? MAP_FAILED : reinterpret_cast<void*>(result);
}

inline int raw_munmap(void* address, std::size_t length) {
    return static_cast<int>(syscall(SYS_munmap, address, length));
}

inline int raw_mprotect(void* address, std::size_t length, int protection) {
    return static_cast<int>(syscall(SYS_mprotect, address, length, protection));
}

}  // namespace vek_sim::trap
