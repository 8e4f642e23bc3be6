#include "run/RunMessages.h"

#include "run/ErrorNumbers.h"

#include <cerrno>
#include <gtest/gtest.h>

namespace quillora::run {
namespace {

TEST(RunMessages, TextsAreExact) {
    EXPECT_EQ(messages::filesProtected(1), "The following 1 files have been protected");
    EXPECT_EQ(messages::filesProtected(12345), "The following 12345 files have been protected");
    EXPECT_EQ(messages::unableToAccessFile("/site/a.htm"),
              "Unable to Access File: /site/a.htm.\r\nThe file may be read-only.");
    EXPECT_EQ(messages::unknownError({ENOSPC, std::generic_category()}), "Unknown Error 28\r\nNo space left on device");
}

TEST(ErrorNumbers, MapTheSystemsErrorsToTheClassicNumbers) {
    const auto number = [](int error) { return classifyError({error, std::generic_category()}); };
    EXPECT_EQ(classifyError({}), ErrorNumber::None);
    EXPECT_EQ(number(ENOENT), ErrorNumber::FileNotFound);
    EXPECT_EQ(number(EACCES), ErrorNumber::PathFileAccess);
    EXPECT_EQ(number(EPERM), ErrorNumber::PathFileAccess);
    EXPECT_EQ(number(EROFS), ErrorNumber::PathFileAccess);
    EXPECT_EQ(number(EINVAL), ErrorNumber::InvalidArgument);
    EXPECT_EQ(number(ENOSPC), ErrorNumber::Other);
    EXPECT_EQ(number(EIO), ErrorNumber::Other);
    EXPECT_EQ(number(ENOTDIR), ErrorNumber::Other);
    EXPECT_EQ(classifyError(std::make_error_code(std::io_errc::stream)), ErrorNumber::Other);
}

} // namespace
} // namespace quillora::run
