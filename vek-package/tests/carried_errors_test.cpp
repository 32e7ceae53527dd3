#include <gtest/gtest.h>

#include <string>

#include "vek_package/capnp_error.hpp"
#include "vek_package/io_error.hpp"
#include "vek_package/not_in_schema.hpp"
#include "vek_package/utf8_error.hpp"

namespace {

using vek_package::CapnpError;
using vek_package::CapnpErrorKind;
using vek_package::IoError;
using vek_package::IoErrorKind;
using vek_package::NotInSchema;
using vek_package::Utf8Error;

struct RenderCase {
    const vek_error::Error& error;
    std::string message;
    std::string debug;
};

TEST(CarriedErrors, RenderTheirMessageAndDebugFormAndHaveNoCause) {
    const CapnpError failed(CapnpErrorKind::Failed, "message too short");
    const CapnpError unimplemented(CapnpErrorKind::Unimplemented, "say \"no\"");
    const IoError eof(IoErrorKind::UnexpectedEof);
    const IoError denied(IoErrorKind::PermissionDenied);
    const IoError detailed(IoErrorKind::Other, "segment\ttable truncated");
    const Utf8Error invalid(3, 1);
    const Utf8Error invalid_three(0, 3);
    const Utf8Error incomplete(12, std::nullopt);
    const NotInSchema seven(7);
    const NotInSchema largest(65535);

    const RenderCase cases[] = {
        {failed, "failed: message too short",
         R"(CapnpError { kind: Failed, description: "message too short" })"},
        {unimplemented, "unimplemented: say \"no\"",
         R"(CapnpError { kind: Unimplemented, description: "say \"no\"" })"},
        {eof, "unexpected end of file", "IoError { kind: UnexpectedEof }"},
        {denied, "permission denied", "IoError { kind: PermissionDenied }"},
        {detailed, "segment\ttable truncated",
         R"(IoError { kind: Other, detail: "segment\ttable truncated" })"},
        {invalid, "invalid utf-8 sequence of 1 bytes from index 3",
         "Utf8Error { valid_up_to: 3, error_len: Some(1) }"},
        {invalid_three, "invalid utf-8 sequence of 3 bytes from index 0",
         "Utf8Error { valid_up_to: 0, error_len: Some(3) }"},
        {incomplete, "incomplete utf-8 byte sequence from index 12",
         "Utf8Error { valid_up_to: 12, error_len: None }"},
        {seven, "Enum value or union discriminant 7 was not present in the schema.",
         "NotInSchema(7)"},
        {largest, "Enum value or union discriminant 65535 was not present in the schema.",
         "NotInSchema(65535)"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.error.message(), c.message);
        EXPECT_EQ(c.error.debug(), c.debug);
        EXPECT_EQ(c.error.cause(), nullptr) << c.debug;
    }
}

}  // namespace
