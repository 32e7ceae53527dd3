// The built tool's command line: help and every kind of command-line error, with the card never
// touched.

#include <gtest/gtest.h>

#include "tool_run.hpp"

namespace live_state {
namespace {

using testing::run_tool;

constexpr const char* card = "tiles 4\ndefault supervisor state 1\n";

std::string diagnostic(const std::string& message) {
    return "error: " + message +
           "\n\nUsage: exchange_live_state [OPTIONS]\n\nFor more information, try '--help'.\n";
}

TEST(CommandLine, HelpGoesToStandardOutputWithStatusZero) {
    for (const char* help : {"--help", "-h"}) {
        const auto run = run_tool(card, {"--workers", help, "--bogus"});
        EXPECT_EQ(run.status, 0) << help;
        EXPECT_EQ(run.err, "");
        EXPECT_EQ(run.out,
                  "Read live VEK7N exchange state without resetting the device\n"
                  "\n"
                  "Usage: exchange_live_state [OPTIONS]\n"
                  "\n"
                  "Options:\n"
                  "      --device <DEVICE>  [default: /dev/vek0]\n"
                  "      --tile <TILE>      Logical tiles to inspect. Defaults to every tile with "
                  "nonzero exchange\n"
                  "                         state or an exception, plus tiles 0 through 3\n"
                  "      --program-counter  Also stop context zero briefly to recover its program "
                  "counter\n"
                  "      --workers          Read worker status and operand pointers instead of "
                  "supervisor exchange\n"
                  "                         registers\n"
                  "  -h, --help             Print help\n");
        ASSERT_TRUE(run.card);
        EXPECT_TRUE(run.card->driver_calls().empty());
    }
}

struct Rejected {
    std::vector<std::string> arguments;
    std::string message;
};

TEST(CommandLine, ErrorsGoToStandardErrorWithStatusTwoBeforeTheDeviceIsOpened) {
    const Rejected cases[] = {
        {{"--version"}, "unexpected argument '--version' found"},
        {{"-V"}, "unexpected argument '-V' found"},
        {{"5"}, "unexpected argument '5' found"},
        {{"--dev", "/dev/vek0"}, "unexpected argument '--dev' found"},
        {{"--tile"}, "a value is required for '--tile <TILE>' but none was supplied"},
        {{"--device"}, "a value is required for '--device <DEVICE>' but none was supplied"},
        {{"--tile", "abc"},
         "invalid value 'abc' for '--tile <TILE>': invalid digit found in string"},
        {{"--tile=65536"}, "invalid value '65536' for '--tile <TILE>': 65536 is not in 0..=65535"},
        {{"--tile", "070000"},
         "invalid value '070000' for '--tile <TILE>': 70000 is not in 0..=65535"},
        {{"--tile="},
         "invalid value '' for '--tile <TILE>': cannot parse integer from empty string"},
        {{"--tile=99999999999999999999"},
         "invalid value '99999999999999999999' for '--tile <TILE>': number too large to fit in "
         "target type"},
        {{"--device", "a", "--device", "b"},
         "the argument '--device <DEVICE>' cannot be used multiple times"},
        {{"--workers", "--workers"}, "the argument '--workers' cannot be used multiple times"},
        {{"--program-counter", "--program-counter"},
         "the argument '--program-counter' cannot be used multiple times"},
        {{"--workers=true"},
         "unexpected value 'true' for '--workers' found; no more were expected"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message);
        const auto run = run_tool(card, c.arguments);
        EXPECT_EQ(run.status, 2);
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(run.err, diagnostic(c.message));
        ASSERT_TRUE(run.card);
        EXPECT_TRUE(run.card->driver_calls().empty()) << "the device was touched";
    }
}

TEST(CommandLine, AcceptedFormsReachTheDevice) {
    const std::vector<std::string> accepted[] = {
        {"--tile", "0", "--tile=65535"},
        {"--tile=+2"},
        {"--workers", "--program-counter", "--tile", "1"},
        {"--device", "/dev/vek0"},
    };
    for (const auto& arguments : accepted) {
        const auto run = run_tool(card, arguments);
        EXPECT_EQ(run.status, 0) << run.err;
        ASSERT_TRUE(run.card);
        EXPECT_FALSE(run.card->driver_calls().empty());
    }
}

}  // namespace
}  // namespace live_state
