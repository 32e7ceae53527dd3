#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "vek_package/package_error.hpp"

namespace {

using vek_package::CapnpError;
using vek_package::CapnpErrorKind;
using vek_package::IoError;
using vek_package::IoErrorKind;
using vek_package::NotInSchema;
using vek_package::PackageError;
using vek_package::Utf8Error;

struct VariantCase {
    PackageError error;
    PackageError::Kind kind;
    std::string message;
    std::string debug;
    std::optional<std::string> cause_message;
};

std::vector<VariantCase> variant_cases() {
    return {
        {PackageError::capnp(CapnpError(CapnpErrorKind::Failed, "bad pointer")),
         PackageError::Kind::Capnp, "Cap'n Proto error: failed: bad pointer",
         R"(Capnp(CapnpError { kind: Failed, description: "bad pointer" }))",
         "failed: bad pointer"},
        {PackageError::io(IoError(IoErrorKind::UnexpectedEof)), PackageError::Kind::Io,
         "I/O error: unexpected end of file", "Io(IoError { kind: UnexpectedEof })",
         "unexpected end of file"},
        {PackageError::utf8(Utf8Error(5, 2)), PackageError::Kind::Utf8,
         "invalid UTF-8 text: invalid utf-8 sequence of 2 bytes from index 5",
         "Utf8(Utf8Error { valid_up_to: 5, error_len: Some(2) })",
         "invalid utf-8 sequence of 2 bytes from index 5"},
        {PackageError::schema_enum(NotInSchema(7)), PackageError::Kind::SchemaEnum,
         "unknown schema enum value: Enum value or union discriminant 7 was not present in the "
         "schema.",
         "SchemaEnum(NotInSchema(7))",
         "Enum value or union discriminant 7 was not present in the schema."},
        {PackageError::invalid("missing \"main\" entry\n"), PackageError::Kind::Invalid,
         "invalid package: missing \"main\" entry\n", R"(Invalid("missing \"main\" entry\n"))",
         std::nullopt},
    };
}

TEST(PackageError, EachVariantRendersItsMessageDebugFormAndCause) {
    for (const auto& c : variant_cases()) {
        EXPECT_EQ(c.error.kind(), c.kind) << c.debug;
        EXPECT_EQ(c.error.message(), c.message);
        EXPECT_EQ(c.error.debug(), c.debug);
        const vek_error::Error* cause = c.error.cause();
        if (c.cause_message.has_value()) {
            ASSERT_NE(cause, nullptr) << c.debug;
            EXPECT_EQ(cause->message(), *c.cause_message);
            EXPECT_EQ(cause->cause(), nullptr) << c.debug;
        } else {
            EXPECT_EQ(cause, nullptr) << c.debug;
        }
    }
}

TEST(PackageError, CauseBelongsToTheValueItIsAskedOf) {
    std::optional<PackageError> original = PackageError::io(IoError(IoErrorKind::NotFound));
    const PackageError copy = *original;
    PackageError moved = std::move(*original);
    original.reset();

    ASSERT_NE(copy.cause(), nullptr);
    EXPECT_EQ(copy.cause(), &std::get<PackageError::Io>(copy.variant()).error);
    EXPECT_EQ(copy.cause()->message(), "entity not found");
    ASSERT_NE(moved.cause(), nullptr);
    EXPECT_EQ(moved.cause()->message(), "entity not found");
}

TEST(PackageError, EqualityComparesVariantAndContents) {
    EXPECT_EQ(PackageError::invalid("a"), PackageError::invalid("a"));
    EXPECT_NE(PackageError::invalid("a"), PackageError::invalid("b"));
    EXPECT_NE(PackageError::schema_enum(NotInSchema(1)), PackageError::schema_enum(NotInSchema(2)));
    EXPECT_NE(PackageError::io(IoError(IoErrorKind::Other)),
              PackageError::io(IoError(IoErrorKind::Other, "detail")));
}

}  // namespace
