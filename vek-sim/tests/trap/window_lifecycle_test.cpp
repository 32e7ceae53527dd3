// Making, finding and removing windows, several at once, from several threads.

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <memory>
#include <thread>
#include <vector>

#include "recording_model.hpp"

namespace vek_sim::trap_test {
namespace {

TEST(TrappedWindowMap, GivesAPageAlignedWindowThatTrapsItsWholeRange) {
    RecordingModel model;
    const TrappedWindow window(model.handler());
    ASSERT_NE(window.base(), nullptr);
    EXPECT_EQ(window.address(0) % 4096, 0U);

    const auto* base = static_cast<const std::uint8_t*>(window.base());
    EXPECT_TRUE(is_trapped_window(base, trapped_window_size));
    EXPECT_TRUE(is_trapped_window(base + trapped_window_size - 1, 1));
    EXPECT_TRUE(is_trapped_window(base - 1, 2));  // overlaps by its last byte
    EXPECT_FALSE(is_trapped_window(base - 1, 1));
    EXPECT_FALSE(is_trapped_window(base + trapped_window_size, 16));
    EXPECT_FALSE(is_trapped_window(base, 0));
    // A length that runs past the end of the address space still overlaps, without wrapping.
    EXPECT_TRUE(is_trapped_window(base + 16, SIZE_MAX));
    EXPECT_FALSE(is_trapped_window(base + trapped_window_size, SIZE_MAX - 1));

    EXPECT_EQ(window.word(0), RecordingModel::pattern(0));
    EXPECT_EQ(window.word(trapped_window_size - 4), RecordingModel::pattern(0x7FFFC));
}

TEST(TrappedWindowMap, RefusesAHandlerWithoutReadOrWrite) {
    RecordingModel model;
    AccessHandler no_read = model.handler();
    no_read.read = nullptr;
    AccessHandler no_write = model.handler();
    no_write.write = nullptr;
    for (const AccessHandler& handler : {no_read, no_write}) {
        errno = 0;
        EXPECT_EQ(map_trapped_window(handler), nullptr);
        EXPECT_EQ(errno, EINVAL);
    }
}

TEST(TrappedWindowMap, SeveralWindowsEachReachTheirOwnModel) {
    std::vector<std::unique_ptr<RecordingModel>> models;
    std::vector<std::unique_ptr<TrappedWindow>> windows;
    for (std::size_t i = 0; i < max_trapped_windows; ++i) {
        models.push_back(std::make_unique<RecordingModel>());
        windows.push_back(std::make_unique<TrappedWindow>(models.back()->handler()));
        ASSERT_NE(windows.back()->base(), nullptr) << "window " << i;
    }
    for (std::uint32_t i = 0; i < max_trapped_windows; ++i) {
        windows[i]->word(4 * i) = 0x100 + i;
    }
    for (std::uint32_t i = 0; i < max_trapped_windows; ++i) {
        const std::vector<Access> expected = {write_of(4 * i, 0x100 + i)};
        EXPECT_EQ(models[i]->accesses(), expected) << "window " << i;
    }

    // One more than the table holds is refused, and a freed slot is taken again.
    RecordingModel extra;
    errno = 0;
    EXPECT_EQ(map_trapped_window(extra.handler()), nullptr);
    EXPECT_EQ(errno, ENOMEM);
    windows[3].reset();
    const TrappedWindow again(extra.handler());
    ASSERT_NE(again.base(), nullptr);
    EXPECT_EQ(again.word(8), RecordingModel::pattern(8));
    EXPECT_EQ(extra.access_count(), 1U);
}

TEST(TrappedWindowUnmap, TakesOnlyAWindowsBaseOnce) {
    RecordingModel model;
    void* base = map_trapped_window(model.handler());
    ASSERT_NE(base, nullptr);
    auto* inside = static_cast<std::uint8_t*>(base) + 4096;
    int local = 0;
    for (void* wrong :
         {static_cast<void*>(inside), static_cast<void*>(&local), static_cast<void*>(nullptr)}) {
        errno = 0;
        EXPECT_EQ(unmap_trapped_window(wrong), -1);
        EXPECT_EQ(errno, EINVAL);
    }
    EXPECT_TRUE(is_trapped_window(base, 1));
    EXPECT_EQ(unmap_trapped_window(base), 0);
    EXPECT_FALSE(is_trapped_window(base, trapped_window_size));
    errno = 0;
    EXPECT_EQ(unmap_trapped_window(base), -1);
    EXPECT_EQ(errno, EINVAL);
}

TEST(TrappedWindowAccess, KeepsTheProgramsErrno) {
    // The model sets errno on every access; the program must not see it.
    RecordingModel model;
    const TrappedWindow window(model.handler());
    ASSERT_NE(window.base(), nullptr);
    errno = ENOENT;
    window.word(0) = 1;
    EXPECT_EQ(errno, ENOENT);
    errno = EAGAIN;
    EXPECT_EQ(window.word(0), 1U);
    EXPECT_EQ(errno, EAGAIN);
    // The stepped path, through a 16-bit store.
    errno = ERANGE;
    *reinterpret_cast<volatile std::uint16_t*>(window.address(6)) = 0xBEEF;
    EXPECT_EQ(errno, ERANGE);
    EXPECT_EQ(model.at(4), (0xBEEFU << 16) | (RecordingModel::pattern(4) & 0xFFFF));
}

// A model that only counts, safe from any number of threads.
struct CountingModel {
    std::atomic<std::uint64_t> reads{0};
    std::atomic<std::uint64_t> writes{0};
    std::atomic<std::uint64_t> written_sum{0};

    AccessHandler handler() {
        return AccessHandler{[](void* context, std::uint32_t offset) {
                                 static_cast<CountingModel*>(context)->reads.fetch_add(1);
                                 return offset;
                             },
                             [](void* context, std::uint32_t, std::uint32_t value) {
                                 auto& self = *static_cast<CountingModel*>(context);
                                 self.writes.fetch_add(1);
                                 self.written_sum.fetch_add(value);
                             },
                             this};
    }
};

TEST(TrappedWindowAccess, DecodedAccessesFromSeveralThreadsAllArrive) {
    CountingModel model;
    const TrappedWindow window(model.handler());
    ASSERT_NE(window.base(), nullptr);
    constexpr std::uint32_t per_thread = 20000;
    std::atomic<std::uint32_t> wrong_reads{0};
    auto work = [&](std::uint32_t first_word) {
        for (std::uint32_t i = 0; i < per_thread; ++i) {
            const std::uint32_t offset = ((first_word + i) % 1024) * 4;
            if (window.word(offset) != offset) {
                wrong_reads.fetch_add(1);
            }
            window.word(offset) = 1;
        }
    };
    std::thread other(work, 512);
    work(0);
    other.join();
    EXPECT_EQ(wrong_reads.load(), 0U);
    EXPECT_EQ(model.reads.load(), 2U * per_thread);
    EXPECT_EQ(model.writes.load(), 2U * per_thread);
    EXPECT_EQ(model.written_sum.load(), 2U * per_thread);
}

}  // namespace
}  // namespace vek_sim::trap_test
