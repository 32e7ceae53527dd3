#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "simulated_card.hpp"
#include "vek_driver/device.hpp"
#include "vek_driver/diagnostics.hpp"

namespace vek_driver {
namespace {

using testing::SimulatedCard;
using testing::test_node;
using vek_sim::DriverCall;

std::string os_text(int code) {
    return std::string(std::strerror(code)) + " (os error " + std::to_string(code) + ")";
}

int open_descriptor_count() {
    int count = 0;
    if (DIR* dir = ::opendir("/proc/self/fd")) {
        while (::readdir(dir) != nullptr) {
            ++count;
        }
        ::closedir(dir);
    }
    return count;
}

std::vector<DriverCall> calls(const vek_sim::Card& card) {
    std::vector<DriverCall> seen;
    for (const auto& record : card.driver_calls()) {
        seen.push_back(record.call);
    }
    return seen;
}

TEST(DeviceOpen, OpensMapsAttachesAndReleasesWithTheExactArguments) {
    SimulatedCard sim("tiles 4\n");
    {
        auto device = Device::open(test_node);
        ASSERT_TRUE(device) << device.error().message();
        EXPECT_EQ(::fcntl(device->fd(), F_GETFD), FD_CLOEXEC);
        EXPECT_EQ(device->config(), vek_sim::attached_window());
    }
    const auto records = sim.card().driver_calls();
    ASSERT_EQ(calls(sim.card()),
              (std::vector{DriverCall::open, DriverCall::mmap, DriverCall::ioctl, DriverCall::ioctl,
                           DriverCall::munmap, DriverCall::close}));
    const auto fd = static_cast<std::uint64_t>(records[0].result);
    EXPECT_EQ(records[0].args[0], 0x80002U);  // O_RDWR | O_CLOEXEC, nothing else
    const std::uint64_t mapping[] = {0, 0x80000, 3, 1, fd, 0};
    EXPECT_TRUE(std::equal(std::begin(mapping), std::end(mapping), records[1].args));
    EXPECT_EQ(records[2].args[0], fd);
    EXPECT_EQ(records[2].args[1], 0xC008ED0AU);
    EXPECT_EQ(records[2].args[2], 0U);
    EXPECT_EQ(records[3].args[1], 0xC008ED0EU);
    EXPECT_EQ(records[3].args[2], 0U);
    EXPECT_EQ(records[4].args[0], static_cast<std::uint64_t>(records[1].result));
    EXPECT_EQ(records[4].args[1], 0x80000U);
    EXPECT_EQ(records[5].args[0], fd);
    EXPECT_TRUE(sim.card().accesses().empty()) << "open reads nothing from the window";
    EXPECT_EQ(vek_sim::attached_window(), nullptr);
}

struct OpenFailure {
    const char* fault;
    std::string message;
    std::vector<DriverCall> calls;
};

TEST(DeviceOpen, EveryFailingStepIsReportedAndLeavesNothingOpen) {
    using enum DriverCall;
    const OpenFailure cases[] = {
        {"fault open EACCES", "open VEK device: " + os_text(EACCES), {open}},
        {"fault mmap ENOMEM", "map configuration BAR: " + os_text(ENOMEM), {open, mmap, close}},
        // A close that fails after a failed mapping does not replace the mapping's error.
        {"fault mmap ENODEV\nfault close EIO",
         "map configuration BAR: " + os_text(ENODEV),
         {open, mmap, close}},
        {"fault attach ENOTTY",
         "attach VEK: " + os_text(ENOTTY),
         {open, mmap, ioctl, munmap, close}},
        {"fault attach result 1 errno EBUSY",
         "attach VEK: " + os_text(EBUSY),
         {open, mmap, ioctl, munmap, close}},
        {"fault set-id EINVAL",
         "set VEK ID: " + os_text(EINVAL),
         {open, mmap, ioctl, ioctl, munmap, close}},
        {"fault set-id result 7 errno EIO",
         "set VEK ID: " + os_text(EIO),
         {open, mmap, ioctl, ioctl, munmap, close}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.fault);
        const int descriptors = open_descriptor_count();
        SimulatedCard sim(std::string("tiles 4\n") + c.fault + "\n");
        auto device = Device::open(test_node);
        ASSERT_FALSE(device);
        EXPECT_EQ(device.error().kind(), DriverError::Kind::Io);
        EXPECT_EQ(device.error().message(), c.message);
        EXPECT_EQ(calls(sim.card()), c.calls);
        EXPECT_EQ(vek_sim::attached_window(), nullptr);
        EXPECT_EQ(open_descriptor_count(), descriptors);
    }
}

TEST(DeviceOpen, RealPathsFailWithTheSystemsError) {
    char file[] = "/tmp/vek-driver-regular-XXXXXX";
    const int file_fd = ::mkstemp(file);
    ASSERT_GE(file_fd, 0);
    ::close(file_fd);
    const std::pair<std::string, std::string> cases[] = {
        {"", "open VEK device: " + os_text(ENOENT)},
        {"/nonexistent/vek0", "open VEK device: " + os_text(ENOENT)},
        {"/tmp", "open VEK device: " + os_text(EISDIR)},
        // A regular file can be mapped but knows no attach request.
        {file, "attach VEK: " + os_text(ENOTTY)},
    };
    for (const auto& [path, message] : cases) {
        const int descriptors = open_descriptor_count();
        auto device = Device::open(path);
        ASSERT_FALSE(device) << path;
        EXPECT_EQ(device.error().message(), message) << path;
        EXPECT_EQ(open_descriptor_count(), descriptors) << path;
    }
    ::unlink(file);
}

TEST(DeviceOpen, PathWithANulByteFailsBeforeAnySystemCall) {
    SimulatedCard sim("tiles 1\n");
    for (const std::string& path :
         {std::string("/dev/vek-driver-test\0", 21), std::string("\0/dev/vek0", 10)}) {
        auto device = Device::open(path);
        ASSERT_FALSE(device);
        EXPECT_EQ(device.error().message(), "invalid device data: NUL in path");
        EXPECT_EQ(device.error().cause(), nullptr);
    }
    EXPECT_TRUE(sim.card().driver_calls().empty());
}

TEST(DeviceOpen, OnlyTheLastOwnerReleasesAfterMoves) {
    SimulatedCard sim("tiles 1\n");
    {
        auto opened = Device::open(test_node);
        ASSERT_TRUE(opened);
        Device first = std::move(*opened);
        Device second = std::move(first);
        EXPECT_EQ(first.config(), nullptr);
        first = std::move(second);
        EXPECT_NE(first.config(), nullptr);
        EXPECT_EQ(second.config(), nullptr);
    }
    std::size_t unmaps = 0;
    std::size_t closes = 0;
    for (const auto& record : sim.card().driver_calls()) {
        unmaps += record.call == DriverCall::munmap ? 1 : 0;
        closes += record.call == DriverCall::close ? 1 : 0;
    }
    EXPECT_EQ(unmaps, 1U);
    EXPECT_EQ(closes, 1U);
}

class RecordingSubscriber final : public diagnostics::Subscriber {
  public:
    struct Seen {
        std::string target;
        diagnostics::Level level;
        std::vector<diagnostics::Field> fields;
    };
    bool enabled(diagnostics::Level level, std::string_view) const override {
        return level <= diagnostics::Level::Info;
    }
    void event(const diagnostics::Event& event) override {
        events.push_back(
            {std::string(event.target), event.level, {event.fields.begin(), event.fields.end()}});
    }
    std::vector<Seen> events;
};

class DiagnosticEvents : public ::testing::Test {
  protected:
    void SetUp() override { previous_ = diagnostics::set_subscriber(&subscriber_); }
    void TearDown() override { diagnostics::set_subscriber(previous_); }
    RecordingSubscriber subscriber_;
    diagnostics::Subscriber* previous_ = nullptr;
};

void expect_event(const RecordingSubscriber::Seen& seen, std::string_view message,
                  diagnostics::Recorded recorded, std::string_view path) {
    EXPECT_EQ(seen.target, "vek_driver");
    EXPECT_EQ(seen.level, diagnostics::Level::Info);
    ASSERT_EQ(seen.fields.size(), 2U);
    EXPECT_EQ(seen.fields[0].name, "message");
    EXPECT_EQ(seen.fields[0].value, message);
    EXPECT_EQ(seen.fields[1].name, "path");
    EXPECT_EQ(seen.fields[1].recorded, recorded);
    EXPECT_EQ(seen.fields[1].value, path);
}

TEST_F(DiagnosticEvents, SuccessfulOpenTellsOfTheOpeningAndTheAttachment) {
    SimulatedCard sim("tiles 1\n");
    {
        auto device = Device::open(test_node);
        ASSERT_TRUE(device);
    }
    ASSERT_EQ(subscriber_.events.size(), 2U);
    expect_event(subscriber_.events[0], "opening VEK device", diagnostics::Recorded::String,
                 test_node);
    expect_event(subscriber_.events[1], "VEK device attached", diagnostics::Recorded::Display,
                 test_node);
}

TEST_F(DiagnosticEvents, FailedOpenTellsOnlyOfTheOpening) {
    for (const std::string& path : {std::string("/nonexistent"), std::string("a\0b", 3)}) {
        subscriber_.events.clear();
        EXPECT_FALSE(Device::open(path));
        ASSERT_EQ(subscriber_.events.size(), 1U);
        expect_event(subscriber_.events[0], "opening VEK device", diagnostics::Recorded::String,
                     path);
    }
}

TEST(DiagnosticEventsWithoutSubscriber, OpenWritesNothing) {
    SimulatedCard sim("tiles 1\n");
    ::testing::internal::CaptureStdout();
    ::testing::internal::CaptureStderr();
    {
        auto device = Device::open(test_node);
        EXPECT_TRUE(device);
    }
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
}

}  // namespace
}  // namespace vek_driver
