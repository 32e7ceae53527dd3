#pragma once

// Between the interposed C library entry points and the stand-in's behaviour.

#include <sys/types.h>

#include <cstddef>

namespace vek_sim {

// The definitions that come after the interposers (the C library's, or a sanitizer's).
struct RealCalls {
    int (*open)(const char*, int, ...);
    int (*open64)(const char*, int, ...);
    int (*openat)(int, const char*, int, ...);
    int (*openat64)(int, const char*, int, ...);
    int (*open_2)(const char*, int);
    int (*open64_2)(const char*, int);
    int (*ioctl)(int, unsigned long, ...);
    void* (*mmap)(void*, std::size_t, int, int, int, off_t);
    void* (*mmap64)(void*, std::size_t, int, int, int, off_t);
    int (*munmap)(void*, std::size_t);
    int (*close)(int);
};
const RealCalls& real_calls();

// True when a card is attached and `path` is its node.
bool is_node_path(const char* path);
// True when `fd` is a descriptor the stand-in gave out.
bool is_node_fd(int fd);
// True when [address, address + length) touches the attached card's window.
bool touches_node_window(const void* address, std::size_t length);

int node_open(int flags, unsigned mode, int dirfd);
int node_ioctl(int fd, unsigned long request, unsigned long argument);
void* node_mmap(void* address, std::size_t length, int prot, int flags, int fd, off_t offset);
int node_munmap(void* address, std::size_t length);
int node_close(int fd);

}  // namespace vek_sim
