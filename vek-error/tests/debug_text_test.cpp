#include <gtest/gtest.h>

#include "vek_error/error.hpp"

namespace {

struct QuoteCase {
    std::string_view text;
    std::string_view expected;
};

TEST(Quoted, EscapesTheCharactersThatDebugFormsEscape) {
    using namespace std::string_view_literals;
    const QuoteCase cases[] = {
        {"NUL in path"sv, R"("NUL in path")"sv},
        {""sv, R"("")"sv},
        {"say \"hi\""sv, R"("say \"hi\"")"sv},
        {"back\\slash"sv, R"("back\\slash")"sv},
        {"line\nbreak\ttab\rret"sv, R"("line\nbreak\ttab\rret")"sv},
        {"nul\0in"sv, R"("nul\0in")"sv},
        {"bell\x07"sv, R"("bell\u{7}")"sv},
        {"caf\xc3\xa9"sv, "\"caf\xc3\xa9\""sv},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(vek_error::quoted(c.text), c.expected) << c.expected;
    }
}

}  // namespace
