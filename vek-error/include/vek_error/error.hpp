#pragma once

#include <string>
#include <string_view>

namespace vek_error {

// One link of an error chain: every error type of the project implements this, so that the
// tool's report can walk from the outermost error down to the innermost cause.
class Error {
public:
    virtual ~Error() = default;

    // The one-line message shown to users.
    [[nodiscard]] virtual std::string message() const = 0;
    // A structural rendering for diagnostics, for example Invalid("NUL in path").
    [[nodiscard]] virtual std::string debug() const = 0;
    // The underlying error, or null when there is none. It lives as long as this error.
    [[nodiscard]] virtual const Error* cause() const = 0;

protected:
    Error() = default;
    Error(const Error&) = default;
    Error(Error&&) = default;
    Error& operator=(const Error&) = default;
    Error& operator=(Error&&) = default;
};

// Renders text as a double-quoted literal with escapes, as debug forms show owned texts:
// backslash, quote, tab, newline, carriage return and NUL get backslash escapes, other control
// characters become \u{..}.
[[nodiscard]] std::string quoted(std::string_view text);

}  // namespace vek_error
