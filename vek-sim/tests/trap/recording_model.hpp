#pragma once

// A card stand-in for the window's tests: a file of 32-bit registers that records, in order,
// every access the window hands it.

#include <atomic>
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <ostream>
#include <vector>

#include "vek_sim/trapped_window.hpp"

namespace vek_sim::trap_test {

struct Access {
    bool write;
    std::uint32_t offset;
    std::uint32_t value;

    friend bool operator==(const Access&, const Access&) = default;
    friend std::ostream& operator<<(std::ostream& out, const Access& access) {
        return out << (access.write ? "write 0x" : "read 0x") << std::hex << access.offset
                   << " = 0x" << access.value << std::dec;
    }
};

class RecordingModel {
  public:
    RecordingModel() : registers_(trapped_window_size / 4) {
        for (std::size_t i = 0; i < registers_.size(); ++i) {
            registers_[i] = pattern(static_cast<std::uint32_t>(i * 4));
        }
    }

    // What a register holds until a test writes it: different in every word and in the top
    // bit, so that a value from the wrong offset or a sign extension shows.
    static constexpr std::uint32_t pattern(std::uint32_t offset) { return 0xA5000000U | offset; }

    AccessHandler handler(bool with_peek = true) {
        return AccessHandler{&RecordingModel::on_read, &RecordingModel::on_write, this,
                             with_peek ? &RecordingModel::on_peek : nullptr};
    }

    // The fences keep the compiler from moving these across a window access: it does not know
    // that the access reaches the model from a signal handler.
    std::uint32_t at(std::uint32_t offset) const {
        std::atomic_signal_fence(std::memory_order_seq_cst);
        const std::uint32_t value = registers_.at(offset / 4);
        std::atomic_signal_fence(std::memory_order_seq_cst);
        return value;
    }

    std::vector<Access> accesses() const {
        std::atomic_signal_fence(std::memory_order_seq_cst);
        const std::size_t count = count_.load() < capacity ? count_.load() : capacity;
        return {log_, log_ + count};
    }
    std::size_t access_count() const { return count_.load(); }
    void clear() { count_ = 0; }

  private:
    static constexpr std::size_t capacity = 64;

    static std::uint32_t on_read(void* context, std::uint32_t offset) {
        auto& self = *static_cast<RecordingModel*>(context);
        const std::uint32_t value = self.registers_[offset / 4];
        self.record(Access{false, offset, value});
        errno = EIO;  // the window must hand the program back its own errno
        return value;
    }
    static void on_write(void* context, std::uint32_t offset, std::uint32_t value) {
        auto& self = *static_cast<RecordingModel*>(context);
        self.registers_[offset / 4] = value;
        self.record(Access{true, offset, value});
        errno = EIO;
    }
    static std::uint32_t on_peek(void* context, std::uint32_t offset) {
        return static_cast<RecordingModel*>(context)->registers_[offset / 4];
    }

    void record(const Access& access) {
        const std::size_t slot = count_.fetch_add(1);
        if (slot < capacity) {
            log_[slot] = access;
        }
    }

    std::vector<std::uint32_t> registers_;
    Access log_[capacity]{};
    std::atomic<std::size_t> count_{0};
};

// A read of a register the test left as it was, and a write.
inline Access read_of(std::uint32_t offset) {
    return Access{false, offset, RecordingModel::pattern(offset)};
}
inline Access write_of(std::uint32_t offset, std::uint32_t value) {
    return Access{true, offset, value};
}

// A window that goes with the test.
class TrappedWindow {
  public:
    explicit TrappedWindow(const AccessHandler& handler) : base_(map_trapped_window(handler)) {}
    ~TrappedWindow() {
        if (base_ != nullptr) {
            unmap_trapped_window(base_);
        }
    }
    TrappedWindow(const TrappedWindow&) = delete;
    TrappedWindow& operator=(const TrappedWindow&) = delete;

    [[nodiscard]] void* base() const { return base_; }
    [[nodiscard]] std::uintptr_t address(std::uint32_t offset) const {
        return reinterpret_cast<std::uintptr_t>(base_) + offset;
    }
    [[nodiscard]] volatile std::uint32_t& word(std::uint32_t offset) const {
        return *reinterpret_cast<volatile std::uint32_t*>(address(offset));
    }

  private:
    void* base_;
};

// How many accesses went each way during a scope.
class CounterDelta {
  public:
    CounterDelta() : start_(trap_counters()) {}
    [[nodiscard]] std::uint64_t decoded() const { return trap_counters().decoded - start_.decoded; }
    [[nodiscard]] std::uint64_t single_stepped() const {
        return trap_counters().single_stepped - start_.single_stepped;
    }

  private:
    TrapCounters start_;
};

}  // namespace vek_sim::trap_test
