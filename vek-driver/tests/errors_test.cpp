#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "vek_driver/driver_error.hpp"
#include "vek_package/package_error.hpp"

namespace vek_driver {
namespace {

std::string os_text(int code) {
    return std::string(std::strerror(code));
}

struct ErrorCase {
    const char* name;
    DriverError error;
    std::string message;
    std::string debug;
    const char* cause_message;  // null when the error has no cause
};

TEST(DriverError, RendersEveryVariantWithItsCause) {
    const ErrorCase cases[] = {
        {"invalid", DriverError::invalid("NUL in path"), "invalid device data: NUL in path",
         R"(Invalid("NUL in path"))", nullptr},
        {"timeout", DriverError::timeout("TDI instruction"), "device timeout: TDI instruction",
         R"(Timeout("TDI instruction"))", nullptr},
        {"io", DriverError::io("attach VEK", OsError(ENOTTY)),
         "attach VEK: " + os_text(ENOTTY) + " (os error 25)",
         "Io { operation: \"attach VEK\", source: Os { code: 25, kind: Uncategorized, message: \"" +
             os_text(ENOTTY) + "\" } }",
         nullptr},
        {"package", DriverError::package(vek_package::PackageError::invalid("bad \"x\"")),
         "package error: invalid package: bad \"x\"", R"(Package(Invalid("bad \"x\"")))",
         "invalid package: bad \"x\""},
        {"schema",
         DriverError::package(vek_package::PackageError::schema_enum(vek_package::NotInSchema(7))),
         "package error: unknown schema enum value: Enum value or union discriminant 7 was not "
         "present in the schema.",
         "Package(SchemaEnum(NotInSchema(7)))",
         "unknown schema enum value: Enum value or union discriminant 7 was not present in the "
         "schema."},
        {"elf", DriverError::elf(ElfError("bad magic")), "ELF error: bad magic",
         R"(Elf(ElfError("bad magic")))", "bad magic"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.error.message(), c.message);
        EXPECT_EQ(c.error.debug(), c.debug);
        const vek_error::Error* cause = c.error.cause();
        if (c.error.kind() == DriverError::Kind::Io) {
            ASSERT_NE(cause, nullptr);
            EXPECT_EQ(cause->message(), os_text(ENOTTY) + " (os error 25)");
            EXPECT_EQ(cause->cause(), nullptr);
        } else if (c.cause_message == nullptr) {
            EXPECT_EQ(cause, nullptr);
        } else {
            ASSERT_NE(cause, nullptr);
            EXPECT_EQ(cause->message(), c.cause_message);
        }
    }
}

TEST(DriverError, KindNamesTheVariantAndItsFieldsCanBeRead) {
    const auto error = DriverError::io("open VEK device", OsError(ENOENT));
    EXPECT_EQ(error.kind(), DriverError::Kind::Io);
    ASSERT_NE(error.get_if<DriverError::Io>(), nullptr);
    EXPECT_EQ(error.get_if<DriverError::Io>()->operation, "open VEK device");
    EXPECT_EQ(error.get_if<DriverError::Io>()->source.code(), ENOENT);
    EXPECT_EQ(error.get_if<DriverError::Invalid>(), nullptr);
    EXPECT_EQ(DriverError::timeout("x").kind(), DriverError::Kind::Timeout);
}

TEST(DriverError, CauseStaysWithTheErrorWhenItIsMoved) {
    auto original = DriverError::io("set VEK ID", OsError(EIO));
    const DriverError moved = std::move(original);
    ASSERT_NE(moved.cause(), nullptr);
    EXPECT_EQ(moved.cause()->message(), os_text(EIO) + " (os error 5)");
}

TEST(IoError, TakesTheCallingThreadsErrnoAtTheMomentItIsBuilt) {
    errno = EACCES;
    const DriverError error = io_error("open VEK device");
    errno = 0;
    EXPECT_EQ(error.message(), "open VEK device: " + os_text(EACCES) + " (os error 13)");
    EXPECT_EQ(error.debug(),
              "Io { operation: \"open VEK device\", source: Os { code: 13, kind: "
              "PermissionDenied, message: \"" +
                  os_text(EACCES) + "\" } }");
}

TEST(OsError, NamesTheKindOfCommonCodes) {
    const std::pair<int, const char*> cases[] = {
        {ENOENT, "NotFound"},      {EACCES, "PermissionDenied"}, {EPERM, "PermissionDenied"},
        {EISDIR, "IsADirectory"},  {EINVAL, "InvalidInput"},     {EPIPE, "BrokenPipe"},
        {ENOTTY, "Uncategorized"},
    };
    for (const auto& [code, kind] : cases) {
        EXPECT_EQ(OsError(code).kind_name(), kind) << code;
    }
}

}  // namespace
}  // namespace vek_driver
