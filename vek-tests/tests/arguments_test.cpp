#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <string_view>
#include <vector>

#include "arguments.hpp"

namespace {

using live_state::Arguments;
using live_state::ExitRequest;
using live_state::parse_arguments;
using namespace std::string_view_literals;

constexpr std::string_view kProgram = "/usr/bin/exchange_live_state";

// Parses the given arguments as if the tool had been started as kProgram.
auto parse(std::vector<std::string_view> arguments) {
    arguments.insert(arguments.begin(), kProgram);
    return parse_arguments(arguments);
}

std::string describe(const std::vector<std::string_view>& arguments) {
    std::string out;
    for (const auto argument : arguments) {
        out += " [";
        out += argument;
        out += "]";
    }
    return out;
}

std::string diagnostic(std::string_view program, std::string_view message) {
    return "error: " + std::string(message) + "\n\nUsage: " + std::string(program) +
           " [OPTIONS]\n\nFor more information, try '--help'.\n";
}

Arguments with_tiles(std::vector<std::uint16_t> tiles) {
    Arguments arguments;
    arguments.tile = std::move(tiles);
    return arguments;
}

Arguments with_device(std::string device) {
    Arguments arguments;
    arguments.device = std::move(device);
    return arguments;
}

Arguments with_switches(bool program_counter, bool workers) {
    Arguments arguments;
    arguments.program_counter = program_counter;
    arguments.workers = workers;
    return arguments;
}

struct AcceptedCase {
    std::vector<std::string_view> arguments;
    Arguments expected;
};

TEST(ParseArguments, AcceptedCommandLines) {
    Arguments everything = with_tiles({5});
    everything.device = "/dev/vek1";
    everything.program_counter = true;
    everything.workers = true;

    const AcceptedCase cases[] = {
        {{}, Arguments{"/dev/vek0", {}, false, false}},
        {{"--tile", "7", "--tile", "3", "--tile", "7"}, with_tiles({7, 3, 7})},
        {{"--tile=12"}, with_tiles({12})},
        {{"--tile", "0", "--tile=65535"}, with_tiles({0, 65535})},
        {{"--tile", "+5", "--tile=-0", "--tile", "00012"}, with_tiles({5, 0, 12})},
        {{"--device", "/dev/vek3"}, with_device("/dev/vek3")},
        {{"--device=/tmp/a=b"}, with_device("/tmp/a=b")},
        {{"--device="}, with_device("")},
        {{"--device", ""}, with_device("")},
        {{"--device", "-"}, with_device("-")},
        {{"--device", "/dev/v\xc3\xa9k"}, with_device("/dev/v\xc3\xa9k")},
        {{"--program-counter"}, with_switches(true, false)},
        {{"--workers", "--program-counter"}, with_switches(true, true)},
        {{"--program-counter", "--tile", "5", "--device", "/dev/vek1", "--workers"}, everything},
        {{"--"}, Arguments{}},
        {{"--tile", "5", "--"}, with_tiles({5})},
    };
    for (const auto& c : cases) {
        const auto parsed = parse(c.arguments);
        ASSERT_TRUE(parsed.has_value()) << describe(c.arguments) << "\n" << parsed.error().text;
        EXPECT_EQ(*parsed, c.expected) << describe(c.arguments);
    }
}

TEST(ParseArguments, DiagnosticNamesTheProblemAndPointsToHelp) {
    const auto parsed = parse({"--tile", "abc"});
    ASSERT_FALSE(parsed.has_value());
    EXPECT_EQ(parsed.error().kind, ExitRequest::Kind::UsageError);
    EXPECT_EQ(parsed.error().status(), 2);
    EXPECT_EQ(parsed.error().text,
              "error: invalid value 'abc' for '--tile <TILE>': invalid digit found in string\n"
              "\n"
              "Usage: exchange_live_state [OPTIONS]\n"
              "\n"
              "For more information, try '--help'.\n");
}

struct RejectedCase {
    std::vector<std::string_view> arguments;
    std::string_view message;
};

TEST(ParseArguments, RejectedCommandLines) {
    constexpr auto kInvalidUtf8 = "invalid UTF-8 was detected in one or more arguments"sv;
    const RejectedCase cases[] = {
        // Tile values: strict decimal, then the range.
        {{"--tile", "65536"},
         "invalid value '65536' for '--tile <TILE>': 65536 is not in 0..=65535"},
        {{"--tile", "070000"},
         "invalid value '070000' for '--tile <TILE>': 70000 is not in 0..=65535"},
        {{"--tile=-1"}, "invalid value '-1' for '--tile <TILE>': -1 is not in 0..=65535"},
        {{"--tile="},
         "invalid value '' for '--tile <TILE>': cannot parse integer from empty string"},
        {{"--tile", ""},
         "invalid value '' for '--tile <TILE>': cannot parse integer from empty string"},
        {{"--tile", "+"}, "invalid value '+' for '--tile <TILE>': invalid digit found in string"},
        {{"--tile", "-"}, "invalid value '-' for '--tile <TILE>': invalid digit found in string"},
        {{"--tile", "+-5"},
         "invalid value '+-5' for '--tile <TILE>': invalid digit found in string"},
        {{"--tile", "0x10"},
         "invalid value '0x10' for '--tile <TILE>': invalid digit found in string"},
        {{"--tile", " 5"}, "invalid value ' 5' for '--tile <TILE>': invalid digit found in string"},
        {{"--tile", "5 "}, "invalid value '5 ' for '--tile <TILE>': invalid digit found in string"},
        {{"--tile", "1e3"},
         "invalid value '1e3' for '--tile <TILE>': invalid digit found in string"},
        {{"--tile", "9223372036854775807"},
         "invalid value '9223372036854775807' for '--tile <TILE>': 9223372036854775807 is not in "
         "0..=65535"},
        {{"--tile", "9223372036854775808"},
         "invalid value '9223372036854775808' for '--tile <TILE>': number too large to fit in "
         "target type"},
        {{"--tile=-9223372036854775808"},
         "invalid value '-9223372036854775808' for '--tile <TILE>': -9223372036854775808 is not "
         "in 0..=65535"},
        {{"--tile=-9223372036854775809"},
         "invalid value '-9223372036854775809' for '--tile <TILE>': number too small to fit in "
         "target type"},
        // The scan goes left to right: whichever problem comes first is the reason.
        {{"--tile", "99999999999999999999x"},
         "invalid value '99999999999999999999x' for '--tile <TILE>': number too large to fit in "
         "target type"},
        {{"--tile", "x99999999999999999999"},
         "invalid value 'x99999999999999999999' for '--tile <TILE>': invalid digit found in "
         "string"},
        // Missing values: an argument that looks like an option is not taken as a value.
        {{"--tile"}, "a value is required for '--tile <TILE>' but none was supplied"},
        {{"--tile", "--workers"}, "a value is required for '--tile <TILE>' but none was supplied"},
        {{"--tile", "-5"}, "a value is required for '--tile <TILE>' but none was supplied"},
        {{"--device"}, "a value is required for '--device <DEVICE>' but none was supplied"},
        {{"--device", "--tile", "5"},
         "a value is required for '--device <DEVICE>' but none was supplied"},
        // Options that may occur once.
        {{"--device", "/dev/a", "--device", "/dev/b"},
         "the argument '--device <DEVICE>' cannot be used multiple times"},
        {{"--device=/dev/a", "--device=/dev/a"},
         "the argument '--device <DEVICE>' cannot be used multiple times"},
        {{"--workers", "--workers"}, "the argument '--workers' cannot be used multiple times"},
        {{"--program-counter", "--tile", "1", "--program-counter"},
         "the argument '--program-counter' cannot be used multiple times"},
        // Switches take no value.
        {{"--workers=true"},
         "unexpected value 'true' for '--workers' found; no more were expected"},
        {{"--program-counter="},
         "unexpected value '' for '--program-counter' found; no more were expected"},
        {{"--help=yes"}, "unexpected value 'yes' for '--help' found; no more were expected"},
        // Unknown options, short forms and positional arguments.
        {{"--version"}, "unexpected argument '--version' found"},
        {{"-V"}, "unexpected argument '-V' found"},
        {{"--dev", "/dev/vek0"}, "unexpected argument '--dev' found"},
        {{"--dev=/dev/vek0"}, "unexpected argument '--dev' found"},
        {{"--tile5"}, "unexpected argument '--tile5' found"},
        {{"--DEVICE", "/dev/vek0"}, "unexpected argument '--DEVICE' found"},
        {{"--=5"}, "unexpected argument '--=5' found"},
        {{"-t", "5"}, "unexpected argument '-t' found"},
        {{"-hV"}, "unexpected argument '-hV' found"},
        {{"5"}, "unexpected argument '5' found"},
        {{"-"}, "unexpected argument '-' found"},
        {{"--tile", "1", "2"}, "unexpected argument '2' found"},
        {{"--", "--tile", "5"}, "unexpected argument '--tile' found"},
        {{"--", "--help"}, "unexpected argument '--help' found"},
        // Arguments must be UTF-8, values included.
        {{"\xff"}, kInvalidUtf8},
        {{"--device", "/dev/vek\xc3"}, kInvalidUtf8},
        {{"--device=\xc0\xaf"}, kInvalidUtf8},
        {{"--device", "\xed\xa0\x80"}, kInvalidUtf8},
        {{"--device", "\xf4\x90\x80\x80"}, kInvalidUtf8},
        {{"--device", "\xe2\x82"}, kInvalidUtf8},
        // The first problem in argument order wins.
        {{"--tile", "x", "--help"},
         "invalid value 'x' for '--tile <TILE>': invalid digit found in string"},
        {{"--tile", "5", "--version", "--help"}, "unexpected argument '--version' found"},
        {{"--workers", "--workers", "--tile", "x"},
         "the argument '--workers' cannot be used multiple times"},
    };
    for (const auto& c : cases) {
        const auto parsed = parse(c.arguments);
        ASSERT_FALSE(parsed.has_value()) << describe(c.arguments);
        EXPECT_EQ(parsed.error().kind, ExitRequest::Kind::UsageError) << describe(c.arguments);
        EXPECT_EQ(parsed.error().text, diagnostic("exchange_live_state", c.message))
            << describe(c.arguments);
    }
}

constexpr std::string_view kHelpScreen =
    "Read live VEK7N exchange state without resetting the device\n"
    "\n"
    "Usage: exchange_live_state [OPTIONS]\n"
    "\n"
    "Options:\n"
    "      --device <DEVICE>  [default: /dev/vek0]\n"
    "      --tile <TILE>      Logical tiles to inspect. Defaults to every tile with nonzero "
    "exchange\n"
    "                         state or an exception, plus tiles 0 through 3\n"
    "      --program-counter  Also stop context zero briefly to recover its program counter\n"
    "      --workers          Read worker status and operand pointers instead of supervisor "
    "exchange\n"
    "                         registers\n"
    "  -h, --help             Print help\n";

TEST(ParseArguments, HelpRequestsGiveTheHelpScreenWithStatusZero) {
    const std::vector<std::string_view> requests[] = {
        {"--help"},
        {"-h"},
        {"--help", "--tile", "x"},
        {"--workers", "--tile", "3", "-h"},
        {"-h", "--version"},
        {"--help", "\xff"},
    };
    for (const auto& arguments : requests) {
        const auto parsed = parse(arguments);
        ASSERT_FALSE(parsed.has_value()) << describe(arguments);
        EXPECT_EQ(parsed.error().kind, ExitRequest::Kind::Help) << describe(arguments);
        EXPECT_EQ(parsed.error().status(), 0);
        EXPECT_EQ(parsed.error().text, kHelpScreen) << describe(arguments);
    }
}

TEST(ParseArguments, HelpScreenFitsInOneHundredColumns) {
    const std::string text = parse({"--help"}).error().text;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find('\n', start);
        EXPECT_LE(end - start, 100u) << text.substr(start, end - start);
        start = end + 1;
    }
}

struct ProgramNameCase {
    std::vector<std::string_view> arguments;
    std::string_view shown;
};

TEST(ParseArguments, UsageLineNamesTheProgramByItsFileName) {
    const ProgramNameCase cases[] = {
        {{"/usr/local/bin/exchange_live_state", "5"}, "exchange_live_state"},
        {{"./els", "5"}, "els"},
        {{"els", "5"}, "els"},
        {{"tools/els/", "5"}, "els"},
        {{"caf\xc3\xa9", "5"}, "caf\xc3\xa9"},
        {{"", "5"}, "vek-tests"},
        {{"/", "5"}, "vek-tests"},
        {{"bin/..", "5"}, "vek-tests"},
        {{"/usr/bin/els\xff", "5"}, "vek-tests"},
    };
    for (const auto& c : cases) {
        const auto parsed = parse_arguments(c.arguments);
        ASSERT_FALSE(parsed.has_value()) << describe(c.arguments);
        EXPECT_EQ(parsed.error().text, diagnostic(c.shown, "unexpected argument '5' found"))
            << describe(c.arguments);
    }

    const std::vector<std::string_view> help = {"/opt/vek/els", "--help"};
    EXPECT_NE(parse_arguments(help).error().text.find("\nUsage: els [OPTIONS]\n"),
              std::string::npos);
}

TEST(ParseArguments, AnEmptyArgumentListGivesTheDefaults) {
    EXPECT_EQ(parse_arguments({}), Arguments{});
}

// Runs the process-level parse on a copy of the arguments, with the given descriptor sent to
// the captured standard error and the other standard stream discarded, so that the captured text
// shows which stream the parser wrote to.
void parse_process_arguments(std::vector<std::string> arguments, int shown_descriptor) {
    const int null = open("/dev/null", O_WRONLY);
    if (shown_descriptor == STDOUT_FILENO) {
        dup2(STDERR_FILENO, STDOUT_FILENO);
        dup2(null, STDERR_FILENO);
    } else {
        dup2(null, STDOUT_FILENO);
    }
    std::vector<char*> argv;
    for (auto& argument : arguments) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);
    (void)Arguments::parse(static_cast<int>(arguments.size()), argv.data());
    std::exit(99);  // parse returned, which it must not do for these command lines
}

TEST(ArgumentsParseDeathTest, HelpGoesToStandardOutputWithStatusZero) {
    EXPECT_EXIT(parse_process_arguments({"/opt/els", "--help"}, STDOUT_FILENO),
                testing::ExitedWithCode(0), "Usage: els \\[OPTIONS\\]");
    EXPECT_EXIT(parse_process_arguments({"/opt/els", "--help"}, STDERR_FILENO),
                testing::ExitedWithCode(0), "^$");
}

TEST(ArgumentsParseDeathTest, DiagnosticGoesToStandardErrorWithStatusTwo) {
    EXPECT_EXIT(parse_process_arguments({"/opt/els", "5"}, STDERR_FILENO),
                testing::ExitedWithCode(2), "^error: unexpected argument '5' found\n");
    EXPECT_EXIT(parse_process_arguments({"/opt/els", "5"}, STDOUT_FILENO),
                testing::ExitedWithCode(2), "^$");
}

TEST(ArgumentsParse, ReturnsTheArgumentsOfAnAcceptedCommandLine) {
    std::string program = "els";
    std::string option = "--tile=9";
    char* argv[] = {program.data(), option.data(), nullptr};
    EXPECT_EQ(Arguments::parse(2, argv), with_tiles({9}));
}

}  // namespace
