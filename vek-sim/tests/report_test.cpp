// The one-line renderings of log records that the runner prints.

#include <gtest/gtest.h>

#include <cerrno>

#include "vek_sim/report.hpp"

namespace vek_sim {
namespace {

DriverCallRecord call(DriverCall which, std::initializer_list<std::uint64_t> args,
                      std::int64_t result, int error) {
    DriverCallRecord record{};
    record.call = which;
    std::size_t i = 0;
    for (const std::uint64_t arg : args) {
        record.args[i++] = arg;
    }
    record.result = result;
    record.error = error;
    return record;
}

struct CallCase {
    DriverCallRecord record;
    const char* text;
};

class DescribeCall : public ::testing::TestWithParam<CallCase> {};

TEST_P(DescribeCall, ShowsArgumentsAndOutcome) {
    EXPECT_EQ(describe_call(GetParam().record, "/dev/vek0"), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Table, DescribeCall,
    ::testing::Values(
        CallCase{call(DriverCall::open, {0x80002, 0, static_cast<std::uint64_t>(-100)}, 3, 0),
                 "open(\"/dev/vek0\", 0x80002, 0) = 3"},
        CallCase{call(DriverCall::open, {0x80002}, -1, EACCES),
                 "open(\"/dev/vek0\", 0x80002, 0) = -1 EACCES (Permission denied)"},
        CallCase{call(DriverCall::ioctl, {3, 0xC008ED0A, 0}, 1, 0),
                 "ioctl(3, 0xc008ed0a, 0x0) = 1"},
        CallCase{call(DriverCall::ioctl, {3, 0xC008ED0E, 0}, 2, EIO),
                 "ioctl(3, 0xc008ed0e, 0x0) = 2 EIO (Input/output error)"},
        CallCase{call(DriverCall::mmap, {0, 0x80000, 3, 1, 3, 0}, 0x7f0000000000, 0),
                 "mmap(NULL, 0x80000, 0x3, 0x1, 3, 0x0) = 0x7f0000000000"},
        CallCase{call(DriverCall::mmap, {0, 0x80000, 3, 1, 3, 0}, -1, ENODEV),
                 "mmap(NULL, 0x80000, 0x3, 0x1, 3, 0x0) = -1 ENODEV (No such device)"},
        CallCase{call(DriverCall::munmap, {0x7f0000000000, 0x80000}, 0, 0),
                 "munmap(0x7f0000000000, 0x80000) = 0"},
        CallCase{call(DriverCall::close, {3}, -1, EIO), "close(3) = -1 EIO (Input/output error)"}));

TEST(DescribeAccess, NamesTheTileAndRegister) {
    EXPECT_EQ(describe_access(AccessRecord{0, 0x32080, 5, 130, 0, 0}),
              "read  0x032080 tile 130 TDI_STATUS = 0x00000005");
    EXPECT_EQ(describe_access(
                  AccessRecord{0, 0x3208C, 0x43008070, 130, 3, access_write | access_violation}),
              "write 0x03208c tile 130 TDI_INSTRUCTION = 0x43008070  VIOLATION: context running");
    EXPECT_EQ(describe_access(AccessRecord{0, 0x32088, 1, 130, 2, access_write}),
              "write 0x032088 tile 130 register 2 = 0x00000001");
    EXPECT_EQ(describe_access(AccessRecord{0, 0x100, 7, no_tile, 0, 0}),
              "read  0x000100 = 0x00000007");
}

}  // namespace
}  // namespace vek_sim
