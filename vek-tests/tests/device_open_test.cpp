// Failures of opening the card, as the built tool reports them.

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>

#include "tool_run.hpp"

namespace live_state {
namespace {

using testing::run_tool;

std::string os_text(int code) {
    return std::string(std::strerror(code)) + " (os error " + std::to_string(code) + ")";
}

std::string report(const std::string& operation, int code) {
    return "Error: " + operation + ": " + os_text(code) + "\n\nCaused by:\n    " + os_text(code) +
           "\n";
}

TEST(DeviceOpenReport, NodeThatDoesNotExist) {
    const auto run = run_tool("tiles 4\n", {"--device", "/nonexistent/vek0"});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, report("open VEK device", ENOENT));
}

TEST(DeviceOpenReport, EmptyPath) {
    const auto run = run_tool("tiles 4\n", {"--device", ""});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, report("open VEK device", ENOENT));
}

TEST(DeviceOpenReport, EveryFailingStepOfTheOpen) {
    const std::pair<const char*, std::string> cases[] = {
        {"fault open EACCES", report("open VEK device", EACCES)},
        {"fault mmap ENOMEM", report("map configuration BAR", ENOMEM)},
        {"fault mmap ENODEV\nfault close EIO", report("map configuration BAR", ENODEV)},
        {"fault attach ENOTTY", report("attach VEK", ENOTTY)},
        {"fault set-id EPERM", report("set VEK ID", EPERM)},
        {"fault attach result 1 errno EIO", report("attach VEK", EIO)},
    };
    for (const auto& [fault, expected] : cases) {
        SCOPED_TRACE(fault);
        const auto run = run_tool(std::string("tiles 4\n") + fault + "\n", {});
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(run.err, expected);
        ASSERT_TRUE(run.card);
        EXPECT_TRUE(run.card->accesses().empty());
    }
}

}  // namespace
}  // namespace live_state
