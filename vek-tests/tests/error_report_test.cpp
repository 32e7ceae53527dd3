#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "error_report.hpp"

namespace {

using live_state::render_error_report;

class FakeError final : public vek_error::Error {
  public:
    FakeError(std::string message, const vek_error::Error* cause)
        : message_(std::move(message)), cause_(cause) {}

    std::string message() const override { return message_; }
    std::string debug() const override { return "FakeError"; }
    const vek_error::Error* cause() const override { return cause_; }

  private:
    std::string message_;
    const vek_error::Error* cause_;
};

// An error chain built from messages, outermost first.
class Chain {
  public:
    explicit Chain(const std::vector<std::string>& messages) {
        const vek_error::Error* cause = nullptr;
        for (auto it = messages.rbegin(); it != messages.rend(); ++it) {
            links_.push_back(std::make_unique<FakeError>(*it, cause));
            cause = links_.back().get();
        }
    }
    const vek_error::Error& top() const { return *links_.back(); }

  private:
    std::vector<std::unique_ptr<FakeError>> links_;
};

struct ReportCase {
    std::vector<std::string> messages;
    std::string report;
};

TEST(ErrorReport, RendersTheChainOfCauses) {
    const ReportCase cases[] = {
        {{"open VEK device: No such file or directory (os error 2)"},
         "Error: open VEK device: No such file or directory (os error 2)\n"},
        {{"read tile 5 exchange state", "device timeout: TDI instruction"},
         "Error: read tile 5 exchange state\n"
         "\n"
         "Caused by:\n"
         "    device timeout: TDI instruction\n"},
        {{"read tile 700 PC", "package error: invalid package: x", "invalid package: x"},
         "Error: read tile 700 PC\n"
         "\n"
         "Caused by:\n"
         "    0: package error: invalid package: x\n"
         "    1: invalid package: x\n"},
        {{"top", "only cause\nsecond line\n\nfourth line"},
         "Error: top\n"
         "\n"
         "Caused by:\n"
         "    only cause\n"
         "    second line\n"
         "    \n"
         "    fourth line\n"},
        {{"top", "first\nwrapped", "second"},
         "Error: top\n"
         "\n"
         "Caused by:\n"
         "    0: first\n"
         "       wrapped\n"
         "    1: second\n"},
    };
    for (const auto& c : cases) {
        const Chain chain(c.messages);
        EXPECT_EQ(render_error_report(chain.top()), c.report);
    }
}

TEST(ErrorReport, NumbersRightAlignedPastNine) {
    std::vector<std::string> messages = {"top"};
    for (int i = 0; i < 11; ++i) {
        messages.push_back("cause " + std::to_string(i));
    }
    const Chain chain(messages);
    EXPECT_EQ(render_error_report(chain.top()),
              "Error: top\n"
              "\n"
              "Caused by:\n"
              "    0: cause 0\n"
              "    1: cause 1\n"
              "    2: cause 2\n"
              "    3: cause 3\n"
              "    4: cause 4\n"
              "    5: cause 5\n"
              "    6: cause 6\n"
              "    7: cause 7\n"
              "    8: cause 8\n"
              "    9: cause 9\n"
              "   10: cause 10\n");
}

}  // namespace
