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

// Sets items per second, and shows how each item reached the window, so that a benchmark
// that measures the wrong path (or no trap at all) shows it.
class Accounting {
  public:
    explicit Accounting(benchmark::State& state)
        : state_(state), start_(vek_sim::trap_counters()) {}
    ~Accounting() {
        const vek_sim::TrapCounters end = vek_sim::trap_counters();
        const auto items = static_cast<double>(state_.iterations());
        state_.SetItemsProcessed(state_.iterations());
        state_.counters["decoded_per_item"] =
            static_cast<double>(end.decoded - start_.decoded) / items;
        state_.counters["stepped_per_item"] =
            static_cast<double>(end.single_stepped - start_.single_stepped) / items;
    }
    Accounting(const Accounting&) = delete;
    Accounting& operator=(const Accounting&) = delete;

  private:
    benchmark::State& state_;
    vek_sim::TrapCounters start_;
};

constexpr std::uint32_t word_mask = 0x3FF;  // the first four pages

void decoded_read(benchmark::State& state) {
    const Window window;
    const Accounting accounting(state);
    std::uint32_t i = 0;
    for (auto _ : state) {
        const std::uint32_t value = window.words()[i++ & word_mask];
        benchmark::DoNotOptimize(value);
    }
}

void decoded_write(benchmark::State& state) {
    const Window window;
    const Accounting accounting(state);
    std::uint32_t i = 0;
    for (auto _ : state) {
        window.words()[i & word_mask] = i;
        ++i;
    }
}

// add eax, [mem]: a read the decoder does not take.
void single_stepped_read(benchmark::State& state) {
    const Window window;
    const Accounting accounting(state);
    std::uint32_t i = 0;
    for (auto _ : state) {
        std::uint32_t value = 1;
        volatile std::uint32_t* word = &window.words()[i++ & word_mask];
        asm volatile("addl (%1), %0" : "+r"(value) : "r"(word) : "memory", "cc");
        benchmark::DoNotOptimize(value);
    }
}

// or dword [mem], 1: a read-modify-write, which faults as a store.
void single_stepped_write(benchmark::State& state) {
    const Window window;
    const Accounting accounting(state);
    std::uint32_t i = 0;
    for (auto _ : state) {
        volatile std::uint32_t* word = &window.words()[i++ & word_mask];
        asm volatile("orl $1, (%0)" : : "r"(word) : "memory", "cc");
    }
}

BENCHMARK(decoded_read);
BENCHMARK(decoded_write);
BENCHMARK(single_stepped_read);
BENCHMARK(single_stepped_write);

}  // namespace

BENCHMARK_MAIN();
