// The kernel-driver stand-in in this process: the node's calls reach the card and are logged,
// other calls go on to the C library, and every step can be made to fail.

#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "card_test_support.hpp"
#include "vek_sim/stand_in.hpp"

extern "C" int __open_2(const char* path, int flags);

namespace vek_sim {
namespace {

using testing::make_card;

constexpr const char* node = "/dev/vek-sim-test-node";
constexpr std::size_t window_bytes = 0x80000;
constexpr unsigned long attach_request = 0xC008ED0AUL;
constexpr unsigned long set_id_request = 0xC008ED0EUL;

class StandIn : public ::testing::Test {
  protected:
    void load(const std::string& scenario) {
        card_.emplace(make_card(scenario));
        auto attached = attach_card(*card_, node);
        ASSERT_TRUE(attached) << attached.error();
    }
    void TearDown() override { detach_card(); }

    const DriverCallRecord& call(std::size_t index) { return card_->driver_calls()[index]; }

    std::optional<Card> card_;
};

TEST_F(StandIn, ServesTheToolsSequenceAndLogsEveryCall) {
    load("tiles 4\ndefault supervisor state 1\ntile 2 exchange 7 9\n");
    const int fd = open(node, O_RDWR | O_CLOEXEC);
    ASSERT_GE(fd, 0) << std::strerror(errno);
    EXPECT_EQ(fcntl(fd, F_GETFD) & FD_CLOEXEC, FD_CLOEXEC);
    EXPECT_EQ(fcntl(fd, F_GETFL) & O_ACCMODE, O_RDWR);
    void* base = mmap(nullptr, window_bytes, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    ASSERT_NE(base, MAP_FAILED) << std::strerror(errno);
    EXPECT_EQ(ioctl(fd, attach_request, 0UL), 0);
    EXPECT_EQ(ioctl(fd, set_id_request, 0UL), 0);

    auto* window = static_cast<volatile std::uint32_t*>(base);
    EXPECT_EQ(window[0x300A8 / 4], 7u) << "tile 2 TDI_INCOMING_DCOUNT";
    window[0x30084 / 4] = 1;  // tile 2 run break
    EXPECT_EQ(window[0x30080 / 4], 2u);
    EXPECT_EQ(card_->context_state(2, 0), 2);

    EXPECT_EQ(munmap(base, window_bytes), 0);
    EXPECT_EQ(close(fd), 0);
    EXPECT_EQ(fcntl(fd, F_GETFD), -1) << "the descriptor was really closed";

    const auto calls = card_->driver_calls();
    ASSERT_EQ(calls.size(), 6u);
    EXPECT_EQ(call(0).call, DriverCall::open);
    EXPECT_EQ(call(0).args[0], 0x80002u);
    EXPECT_EQ(call(0).result, fd);
    EXPECT_EQ(call(1).call, DriverCall::mmap);
    EXPECT_THAT(std::vector<std::uint64_t>(call(1).args, call(1).args + 6),
                ::testing::ElementsAre(0u, 0x80000u, 3u, 1u, static_cast<std::uint64_t>(fd), 0u));
    EXPECT_EQ(call(1).result, reinterpret_cast<std::intptr_t>(base));
    for (const std::size_t i : {2u, 3u}) {
        EXPECT_EQ(call(i).call, DriverCall::ioctl);
        EXPECT_EQ(call(i).args[0], static_cast<std::uint64_t>(fd));
        EXPECT_EQ(call(i).args[2], 0u);
        EXPECT_EQ(call(i).result, 0);
    }
    EXPECT_EQ(call(2).args[1], attach_request);
    EXPECT_EQ(call(3).args[1], set_id_request);
    EXPECT_EQ(call(4).call, DriverCall::munmap);
    EXPECT_EQ(call(4).args[0], reinterpret_cast<std::uintptr_t>(base));
    EXPECT_EQ(call(4).args[1], 0x80000u);
    EXPECT_EQ(call(5).call, DriverCall::close);
    EXPECT_EQ(call(5).args[0], static_cast<std::uint64_t>(fd));

    // The log puts the register accesses between the calls where they happened.
    std::vector<std::string> kinds;
    for (const LogEntry& entry : card_->log()) {
        kinds.push_back(
            std::holds_alternative<AccessRecord>(entry)
                ? "access"
                : std::to_string(static_cast<int>(std::get<DriverCallRecord>(entry).call)));
    }
    EXPECT_THAT(kinds,
                ::testing::ElementsAre("0", "2", "1", "1", "access", "access", "access", "3", "4"));
}

TEST_F(StandIn, OtherFilesAndMappingsGoToTheCLibrary) {
    load("tiles 1\n");
    const int fd = open("/dev/null", O_RDONLY);
    ASSERT_GE(fd, 0);
    void* memory = mmap(nullptr, 4096, PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    ASSERT_NE(memory, MAP_FAILED);
    EXPECT_EQ(munmap(memory, 4096), 0);
    EXPECT_EQ(ioctl(fd, attach_request, 0UL), -1) << "/dev/null knows no such request";
    EXPECT_EQ(errno, ENOTTY);
    EXPECT_EQ(close(fd), 0);
    EXPECT_TRUE(card_->driver_calls().empty());
}

TEST_F(StandIn, EveryOpenVariantReachesTheNode) {
    load("tiles 1\n");
    const int fds[] = {open(node, O_RDWR), open64(node, O_RDONLY | O_CLOEXEC),
                       openat(AT_FDCWD, node, O_RDWR), openat64(-1, node, O_RDWR),
                       __open_2(node, O_WRONLY)};
    for (const int fd : fds) {
        EXPECT_GE(fd, 0);
        close(fd);
    }
    ASSERT_EQ(card_->driver_calls().size(), 10u);
    // The five opens come first, then the five closes.
    EXPECT_EQ(call(1).args[0], static_cast<std::uint64_t>(O_RDONLY | O_CLOEXEC));
    EXPECT_EQ(static_cast<std::int64_t>(call(2).args[2]), AT_FDCWD);
    EXPECT_EQ(static_cast<std::int64_t>(call(3).args[2]), -1) << "openat's directory is logged";
    EXPECT_EQ(call(4).args[0], static_cast<std::uint64_t>(O_WRONLY));
    EXPECT_EQ(call(9).call, DriverCall::close);
}

TEST_F(StandIn, NodeIsGoneOnceTheCardIsDetachedOrDestroyed) {
    load("tiles 1\n");
    card_.reset();
    EXPECT_EQ(open(node, O_RDWR), -1);
    EXPECT_EQ(errno, ENOENT);
}

enum class Step { open, map, attach, set_id, unmap, close };

struct FaultCase {
    const char* name;
    const char* fault;
    Step step;
    long result;
    int error;  // errno after the step; EXDEV: untouched
};

class StandInFault : public StandIn, public ::testing::WithParamInterface<FaultCase> {};

// Runs the tool's sequence up to the faulty step and checks that step's outcome and log.
TEST_P(StandInFault, TheStepFailsAsConfigured) {
    const FaultCase& c = GetParam();
    load(std::string("tiles 1\n") + c.fault + "\n");
    int fd = -1;
    void* base = nullptr;
    long result = 0;
    for (Step step = Step::open; step <= c.step;
         step = static_cast<Step>(static_cast<int>(step) + 1)) {
        errno = EXDEV;
        switch (step) {
            case Step::open:
                result = fd = open(node, O_RDWR | O_CLOEXEC);
                break;
            case Step::map:
                base = mmap(nullptr, window_bytes, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
                result = base == MAP_FAILED ? -1 : 0;
                break;
            case Step::attach:
                result = ioctl(fd, attach_request, 0UL);
                break;
            case Step::set_id:
                result = ioctl(fd, set_id_request, 0UL);
                break;
            case Step::unmap:
                result = munmap(base, window_bytes);
                break;
            case Step::close:
                result = close(fd);
                break;
        }
    }
    EXPECT_EQ(result, c.result);
    EXPECT_EQ(errno, c.error);
    const DriverCallRecord& last = card_->driver_calls().back();
    EXPECT_EQ(card_->driver_calls().size(), static_cast<std::size_t>(c.step) + 1);
    EXPECT_EQ(last.result, c.step == Step::map ? -1 : c.result);
    EXPECT_EQ(last.error, c.error == EXDEV ? 0 : c.error);
    if (c.step == Step::unmap) {
        EXPECT_EQ(attached_window(), base) << "a failed munmap leaves the window";
    }
    if (c.step == Step::close) {
        EXPECT_EQ(fcntl(fd, F_GETFD), -1) << "closed even though close reported a failure";
    } else if (fd >= 0) {
        close(fd);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, StandInFault,
    ::testing::Values(FaultCase{"Open", "fault open EACCES", Step::open, -1, EACCES},
                      FaultCase{"Map", "fault mmap ENODEV", Step::map, -1, ENODEV},
                      FaultCase{"Attach", "fault attach ENOTTY", Step::attach, -1, ENOTTY},
                      FaultCase{"AttachPositive", "fault attach result 1", Step::attach, 1, EXDEV},
                      FaultCase{"SetId", "fault set-id EPERM", Step::set_id, -1, EPERM},
                      FaultCase{"SetIdPositive", "fault set-id result 2 errno EIO", Step::set_id, 2,
                                EIO},
                      FaultCase{"Unmap", "fault munmap EBUSY", Step::unmap, -1, EBUSY},
                      FaultCase{"Close", "fault close EIO", Step::close, -1, EIO}),
    [](const auto& test) { return std::string(test.param.name); });

TEST_F(StandIn, RefusesWhatTheCardsDriverDoesNotDo) {
    load("tiles 1\n");
    const int fd = open(node, O_RDWR | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    auto map = [&](std::size_t length, int flags, off_t offset) {
        errno = 0;
        void* base = mmap(nullptr, length, PROT_READ | PROT_WRITE, flags, fd, offset);
        return base == MAP_FAILED ? errno : 0;
    };
    EXPECT_EQ(map(0x40000, MAP_SHARED, 0), EINVAL);
    EXPECT_EQ(map(window_bytes, MAP_PRIVATE, 0), EINVAL);
    EXPECT_EQ(map(window_bytes, MAP_SHARED, 4096), EINVAL);

    EXPECT_EQ(ioctl(fd, set_id_request, 0UL), -1) << "set ID before attach";
    EXPECT_EQ(errno, EINVAL);
    EXPECT_EQ(ioctl(fd, attach_request, 1UL), -1) << "the argument is the plain value 0";
    EXPECT_EQ(errno, EINVAL);
    EXPECT_EQ(ioctl(fd, 0xC008ED0BUL, 0UL), -1);
    EXPECT_EQ(errno, ENOTTY);

    void* base = mmap(nullptr, window_bytes, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    ASSERT_NE(base, MAP_FAILED);
    EXPECT_EQ(map(window_bytes, MAP_SHARED, 0), EBUSY) << "one window at a time";
    EXPECT_EQ(munmap(base, 0x1000), -1);
    EXPECT_EQ(errno, EINVAL);
    EXPECT_EQ(munmap(static_cast<char*>(base) + 0x1000, window_bytes), -1);
    EXPECT_EQ(errno, EINVAL);
    EXPECT_EQ(attached_window(), base);
    EXPECT_EQ(munmap(base, window_bytes), 0);
    EXPECT_EQ(attached_window(), nullptr);
    close(fd);
}

// An instruction the window cannot decode is single-stepped; its store starts from the
// register's value as peek gives it, so the program does not see a read it never made.
TEST_F(StandIn, ReadModifyWriteKeepsTheOtherBitsWithoutARead) {
    load("tiles 1\ntile 0 data 0x10\n");
    const int fd = open(node, O_RDWR | O_CLOEXEC);
    void* base = mmap(nullptr, window_bytes, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    ASSERT_NE(base, MAP_FAILED);
    auto* data = static_cast<char*>(base) + 0x3001C;
    asm volatile("orl $4, (%0)" : : "r"(data) : "memory");
    EXPECT_EQ(card_->tile(0).data, 0x14u);
    ASSERT_EQ(card_->accesses().size(), 1u);
    EXPECT_EQ(card_->accesses()[0].flags, access_write);
    EXPECT_EQ(card_->accesses()[0].value, 0x14u);
    EXPECT_EQ(munmap(base, window_bytes), 0);
    close(fd);
}

TEST_F(StandIn, FrozenWindowHoldsTheRegistersWithoutLogging) {
    load(
        "tiles 3\nwindow frozen\ndefault supervisor state 1\ntile 2 receive-error 5\n"
        "tile 2 exchange 3 4\nword 0x10 0x77\n");
    const int fd = open(node, O_RDWR | O_CLOEXEC);
    void* base = mmap(nullptr, window_bytes, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    ASSERT_NE(base, MAP_FAILED);
    auto* window = static_cast<volatile std::uint32_t*>(base);
    EXPECT_EQ(window[0x30080 / 4], 1u | (5u << 27));
    EXPECT_EQ(window[0x300A8 / 4], 3u);
    EXPECT_EQ(window[0x300AC / 4], 4u);
    EXPECT_EQ(window[0x10 / 4], 0x77u);
    window[0x30084 / 4] = 1;
    EXPECT_EQ(window[0x30080 / 4], 1u | (5u << 27)) << "no behaviour behind a frozen window";
    EXPECT_EQ(card_->run_break(2), 0u);
    EXPECT_TRUE(card_->accesses().empty());
    EXPECT_EQ(munmap(base, window_bytes), 0);
    close(fd);
}

}  // namespace
}  // namespace vek_sim
