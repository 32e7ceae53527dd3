// A tiny program that drives a card node the way the tool does, one step per argument, printing
// what each step gives. The runner's end-to-end tests run it under vek-sim.
//
//   open [PATH]        open PATH (default /dev/vek0) with O_RDWR | O_CLOEXEC
//   map                mmap the 0x80000-byte window
//   attach, set-id     the two control requests, argument 0
//   read OFFSET        print the 32-bit word at OFFSET of the window
//   write OFFSET VALUE store VALUE at OFFSET
//   unmap, close       munmap the window, close the descriptor
//   raise SIGNAL       send SIGNAL (a number) to itself
//   sleep MS           sleep for MS milliseconds
// A failing step prints "STEP: error text" to standard error and ends with status 1.

#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

constexpr std::size_t window_size = 0x80000;

int fail(const char* step) {
    std::fprintf(stderr, "%s: %s\n", step, std::strerror(errno));
    return 1;
}

std::uint32_t number(const char* text) {
    return static_cast<std::uint32_t>(std::strtoul(text, nullptr, 0));
}

}  // namespace

int main(int argc, char** argv) {
    int fd = -1;
    volatile std::uint32_t* window = nullptr;
    for (int i = 1; i < argc; ++i) {
        const std::string step = argv[i];
        const bool has_value = i + 1 < argc;
        if (step == "open") {
            const char* path = "/dev/vek0";
            if (has_value && argv[i + 1][0] == '/') {
                path = argv[++i];
            }
            fd = open(path, O_RDWR | O_CLOEXEC);
            if (fd < 0) {
                return fail("open");
            }
        } else if (step == "map") {
            void* base = mmap(nullptr, window_size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
            if (base == MAP_FAILED) {
                return fail("map");
            }
            window = static_cast<volatile std::uint32_t*>(base);
        } else if (step == "attach" || step == "set-id") {
            const unsigned long request = step == "attach" ? 0xC008ED0AUL : 0xC008ED0EUL;
            if (ioctl(fd, request, 0UL) != 0) {
                return fail(step.c_str());
            }
        } else if (step == "read" && has_value) {
            const std::uint32_t offset = number(argv[++i]);
            std::printf("%#x = %#x\n", offset, window[offset / 4]);
        } else if (step == "write" && i + 2 < argc) {
            const std::uint32_t offset = number(argv[++i]);
            window[offset / 4] = number(argv[++i]);
        } else if (step == "unmap") {
            if (munmap(const_cast<std::uint32_t*>(window), window_size) != 0) {
                return fail("unmap");
            }
            window = nullptr;
        } else if (step == "close") {
            if (close(fd) != 0) {
                return fail("close");
            }
        } else if (step == "raise" && has_value) {
            std::fflush(stdout);
            raise(static_cast<int>(number(argv[++i])));
        } else if (step == "sleep" && has_value) {
            usleep(number(argv[++i]) * 1000);
        } else {
            std::fprintf(stderr, "unknown step '%s'\n", step.c_str());
            return 2;
        }
        std::fflush(stdout);
    }
    return 0;
}
