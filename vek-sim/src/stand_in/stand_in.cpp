#include "vek_sim/stand_in.hpp"

#include <fcntl.h>
#include <fmt/format.h>
#include <sys/mman.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <optional>

#include "../card/card_release_hook.hpp"
#include "../model/monotonic_clock.hpp"
#include "stand_in_calls.hpp"
#include "vek_sim/trapped_window.hpp"

namespace vek_sim {
namespace {

constexpr int max_node_descriptors = 16;

struct NodeDescriptor {
    bool used;
    bool attached;  // the attach request succeeded on it
    int fd;
};

struct StandIn {
    std::atomic<CardHeader*> card;
    std::optional<CardModel> model;  // a stable address for the trapped window's handler
    char node[node_path_capacity];
    NodeDescriptor descriptors[max_node_descriptors];
    void* window;
    WindowMode window_mode;
};

constinit StandIn state{};

std::uint32_t read_register(void* model, std::uint32_t offset) {
    return static_cast<CardModel*>(model)->read(offset);
}

void write_register(void* model, std::uint32_t offset, std::uint32_t value) {
    static_cast<CardModel*>(model)->write(offset, value);
}

// A single-stepped store starts from this, so a read-modify-write keeps the other bits without
// the side effects of a read.
std::uint32_t peek_register(void* model, std::uint32_t offset) {
    return static_cast<CardModel*>(model)->peek(offset);
}

NodeDescriptor* find_descriptor(int fd) {
    for (NodeDescriptor& descriptor : state.descriptors) {
        if (descriptor.used && descriptor.fd == fd) {
            return &descriptor;
        }
    }
    return nullptr;
}

bool remember_descriptor(int fd) {
    for (NodeDescriptor& descriptor : state.descriptors) {
        if (!descriptor.used) {
            descriptor = NodeDescriptor{true, false, fd};
            return true;
        }
    }
    return false;
}

std::uint64_t as_argument(std::int64_t value) {
    return static_cast<std::uint64_t>(value);
}

void log_call(DriverCall call, const std::array<std::uint64_t, 6>& arguments, std::int64_t result,
              int error) {
    CardHeader& card = *state.card.load();
    ++card.counters.driver_calls;
    if (card.log.driver_calls < driver_call_capacity) {
        DriverCallRecord& record = card.calls[card.log.driver_calls];
        record = DriverCallRecord{};
        record.time_ns = monotonic_ns();
        record.access_index = card.log.accesses;
        std::memcpy(record.args, arguments.data(), sizeof record.args);
        record.result = result;
        record.error = error;
        record.call = call;
    }
    ++card.log.driver_calls;
}

void* map_frozen_window(int prot) {
    void* base = real_calls().mmap(nullptr, window_size, PROT_READ | PROT_WRITE,
                                   MAP_SHARED | MAP_ANONYMOUS, -1, 0);
    if (base == MAP_FAILED) {
        return nullptr;
    }
    auto* words = static_cast<std::uint32_t*>(base);
    for (std::uint32_t i = 0; i < window_words; ++i) {
        words[i] = state.model->peek(i * 4);
    }
    if (prot != (PROT_READ | PROT_WRITE) && mprotect(base, window_size, prot) != 0) {
        const int error = errno;
        real_calls().munmap(base, window_size);
        errno = error;
        return nullptr;
    }
    return base;
}

int remove_window() {
    const int result = state.window_mode == WindowMode::trapped
                           ? unmap_trapped_window(state.window)
                           : real_calls().munmap(state.window, window_size);
    if (result == 0) {
        state.window = nullptr;
    }
    return result;
}

void release_hook(const CardHeader* card) {
    if (state.card.load() == card) {
        detach_card();
    }
}

}  // namespace

bool is_node_path(const char* path) {
    return state.card.load() != nullptr && path != nullptr && std::strcmp(path, state.node) == 0;
}

bool is_node_fd(int fd) {
    return state.card.load() != nullptr && find_descriptor(fd) != nullptr;
}

bool touches_node_window(const void* address, std::size_t length) {
    if (state.window == nullptr) {
        return false;
    }
    const auto start = reinterpret_cast<std::uintptr_t>(address);
    const auto window = reinterpret_cast<std::uintptr_t>(state.window);
    return start < window + window_size && window < start + (length == 0 ? 1 : length);
}

int node_open(int flags, unsigned mode, int dirfd) {
    const CallFault& fault = state.card.load()->stand_in.open;
    int fd = -1;
    int error = 0;
    if (fault.active) {
        error = fault.error;
    } else {
        fd = real_calls().open("/dev/null", (flags & O_ACCMODE) | (flags & O_CLOEXEC));
        if (fd < 0) {
            error = errno;
        } else if (!remember_descriptor(fd)) {
            real_calls().close(fd);
            fd = -1;
            error = EMFILE;
        }
    }
    log_call(DriverCall::open,
             {static_cast<std::uint32_t>(flags), mode, as_argument(dirfd), 0, 0, 0}, fd, error);
    if (fd < 0) {
        errno = error;
    }
    return fd;
}

int node_ioctl(int fd, unsigned long request, unsigned long argument) {
    const StandInConfig& config = state.card.load()->stand_in;
    NodeDescriptor& descriptor = *find_descriptor(fd);
    const CallFault* fault = request == ioctl_attach   ? &config.attach
                             : request == ioctl_set_id ? &config.set_id
                                                       : nullptr;
    std::int64_t result = -1;
    int error = 0;
    if (fault == nullptr) {
        error = ENOTTY;
    } else if (fault->active) {
        result = fault->result;
        error = fault->error;
    } else if (argument != 0 || (request == ioctl_set_id && !descriptor.attached)) {
        error = EINVAL;
    } else {
        result = 0;
        descriptor.attached = descriptor.attached || request == ioctl_attach;
    }
    log_call(DriverCall::ioctl, {as_argument(fd), request, argument, 0, 0, 0}, result, error);
    if (error != 0) {
        errno = error;
    }
    return static_cast<int>(result);
}

void* node_mmap(void* address, std::size_t length, int prot, int flags, int fd, off_t offset) {
    const StandInConfig& config = state.card.load()->stand_in;
    const int type = flags & MAP_TYPE;
    void* base = nullptr;
    int error = 0;
    if (config.mmap.active) {
        error = config.mmap.error;
    } else if (length != window_size || offset != 0 ||
               (type != MAP_SHARED && type != MAP_SHARED_VALIDATE)) {
        error = EINVAL;
    } else if (state.window != nullptr) {
        error = EBUSY;
    } else {
        base = config.window == WindowMode::trapped
                   ? map_trapped_window(
                         AccessHandler{read_register, write_register, &*state.model, peek_register})
                   : map_frozen_window(prot);
        if (base == nullptr) {
            error = errno;
        } else {
            state.window = base;
            state.window_mode = config.window;
        }
    }
    const std::int64_t result = base == nullptr ? -1 : reinterpret_cast<std::intptr_t>(base);
    log_call(DriverCall::mmap,
             {reinterpret_cast<std::uintptr_t>(address), length, static_cast<std::uint32_t>(prot),
              static_cast<std::uint32_t>(flags), as_argument(fd), as_argument(offset)},
             result, error);
    if (base == nullptr) {
        errno = error;
        return MAP_FAILED;
    }
    return base;
}

int node_munmap(void* address, std::size_t length) {
    const CallFault& fault = state.card.load()->stand_in.munmap;
    int result = -1;
    int error = 0;
    if (address != state.window || length != window_size) {
        error = EINVAL;
    } else if (fault.active) {
        error = fault.error;
    } else {
        result = remove_window();
        error = result == 0 ? 0 : errno;
    }
    log_call(DriverCall::munmap, {reinterpret_cast<std::uintptr_t>(address), length, 0, 0, 0, 0},
             result, error);
    if (result != 0) {
        errno = error;
    }
    return result;
}

int node_close(int fd) {
    const CallFault& fault = state.card.load()->stand_in.close;
    find_descriptor(fd)->used = false;
    int result = real_calls().close(fd);
    int error = result == 0 ? 0 : errno;
    if (fault.active) {
        result = -1;
        error = fault.error;
    }
    log_call(DriverCall::close, {as_argument(fd), 0, 0, 0, 0, 0}, result, error);
    if (result != 0) {
        errno = error;
    }
    return result;
}

std::expected<void, std::string> attach_card(Card& card, std::string_view node_path) {
    if (node_path.empty() || node_path.size() >= node_path_capacity ||
        node_path.find('\0') != std::string_view::npos) {
        return std::unexpected(fmt::format("unusable node path '{}'", node_path));
    }
    detach_card();
    CardHeader& header = card.header();
    std::memset(state.node, 0, sizeof state.node);
    node_path.copy(state.node, node_path.size());
    std::memcpy(header.stand_in.node, state.node, sizeof state.node);
    state.model.emplace(&header);
    card_release_hook = release_hook;
    state.card.store(&header);
    return {};
}

void detach_card() {
    if (state.card.load() == nullptr) {
        return;
    }
    if (state.window != nullptr) {
        remove_window();
        state.window = nullptr;
    }
    for (NodeDescriptor& descriptor : state.descriptors) {
        descriptor = NodeDescriptor{};
    }
    state.card.store(nullptr);
    state.model.reset();
}

void* attached_window() {
    return state.window;
}

}  // namespace vek_sim
