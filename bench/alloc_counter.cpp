// An LD_PRELOAD library that counts heap allocations of a process and writes the count to the
// file named by ALLOC_COUNT_FILE when the process exits. For the benchmarks only.

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cstddef>
#include <cstdio>
#include <cstdlib>

extern "C" {
void* __libc_malloc(std::size_t size);
void* __libc_calloc(std::size_t count, std::size_t size);
void* __libc_realloc(void* pointer, std::size_t size);
void* __libc_memalign(std::size_t alignment, std::size_t size);
}

namespace {

std::atomic<unsigned long long> allocations{0};

[[gnu::destructor]] void report_allocations() {
    const char* path = std::getenv("ALLOC_COUNT_FILE");
    if (path == nullptr) {
        return;
    }
    char line[64];
    const int length = std::snprintf(line, sizeof line, "%llu\n", allocations.load());
    const int fd = ::open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd >= 0 && length > 0) {
        (void)!::write(fd, line, static_cast<std::size_t>(length));
        ::close(fd);
    }
}

}  // namespace

extern "C" {

void* malloc(std::size_t size) {
    allocations.fetch_add(1, std::memory_order_relaxed);
    return __libc_malloc(size);
}

void* calloc(std::size_t count, std::size_t size) {
    allocations.fetch_add(1, std::memory_order_relaxed);
    return __libc_calloc(count, size);
}

void* realloc(void* pointer, std::size_t size) {
    allocations.fetch_add(1, std::memory_order_relaxed);
    return __libc_realloc(pointer, size);
}

void* aligned_alloc(std::size_t alignment, std::size_t size) {
    allocations.fetch_add(1, std::memory_order_relaxed);
    return __libc_memalign(alignment, size);
}

void* memalign(std::size_t alignment, std::size_t size) {
    allocations.fetch_add(1, std::memory_order_relaxed);
    return __libc_memalign(alignment, size);
}

int posix_memalign(void** out, std::size_t alignment, std::size_t size) {
    allocations.fetch_add(1, std::memory_order_relaxed);
    void* pointer = __libc_memalign(alignment, size);
    if (pointer == nullptr) {
        return 12;  // ENOMEM
    }
    *out = pointer;
    return 0;
}

}  // extern "C"
