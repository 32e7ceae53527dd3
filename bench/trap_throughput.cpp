// Accesses per second through a trapped window: the 32-bit movs the fault handler completes
// itself, and instructions it runs once with the trap flag. The model behind the window is a
// plain array, so the figures are the window's own cost.
//
//   vek_sim_trap_bench --benchmark_repetitions=5 --benchmark_report_aggregates_only=true

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdlib>

#include "vek_sim/trapped_window.hpp"

namespace {

volatile std::uint32_t registers[vek_sim::trapped_window_size / 4];

vek_sim::AccessHandler array_handler() {
    return vek_sim::AccessHandler{
        [](void*, std::uint32_t offset) { return registers[offset / 4]; },
        [](void*, std::uint32_t offset, std::uint32_t value) { registers[offset / 4] = value; },
        nullptr, [](void*, std::uint32_t offset) { return registers[offset / 4]; }};
}

class Window {
  public:
    Window()
        : base_(
              static_cast<volatile std::uint32_t*>(vek_sim::map_trapped_window(array_handler()))) {
        if (base_ == nullptr) {
            std::abort();
        }
    }
    ~Window() { vek_sim::unmap_trapped_window(const_cast<std::uint32_t*>(base_)); }
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;

    [[nodiscard]] volatile std::uint32_t* words() const { return base_; }

  private:
    volatile std::uint32_t* base_;
};

constexpr std::uint32_t word_mask = 0x3FF;  // the first four pages

void decoded_read(benchmark::State& state) {
    const Window window;
    std::uint32_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(window.words()[i++ & word_mask]);
    }
    state.SetItemsProcessed(state.iterations());
}

void decoded_write(benchmark::State& state) {
    const Window window;
    std::uint32_t i = 0;
    for (auto _ : state) {
        window.words()[i & word_mask] = i;
        ++i;
    }
    state.SetItemsProcessed(state.iterations());
}

// add eax, [mem]: a read the decoder does not take.
void single_stepped_read(benchmark::State& state) {
    const Window window;
    std::uint32_t i = 0;
    for (auto _ : state) {
        std::uint32_t value = 1;
        volatile std::uint32_t* word = &window.words()[i++ & word_mask];
        asm volatile("addl (%1), %0" : "+r"(value) : "r"(word) : "memory", "cc");
        benchmark::DoNotOptimize(value);
    }
    state.SetItemsProcessed(state.iterations());
}

// or dword [mem], 1: a read-modify-write, which faults as a store.
void single_stepped_write(benchmark::State& state) {
    const Window window;
    std::uint32_t i = 0;
    for (auto _ : state) {
        volatile std::uint32_t* word = &window.words()[i++ & word_mask];
        asm volatile("orl $1, (%0)" : : "r"(word) : "memory", "cc");
    }
    state.SetItemsProcessed(state.iterations());
}

BENCHMARK(decoded_read);
BENCHMARK(decoded_write);
BENCHMARK(single_stepped_read);
BENCHMARK(single_stepped_write);

}  // namespace

BENCHMARK_MAIN();
