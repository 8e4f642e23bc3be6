#include "disk/Paths.h"

#include <gtest/gtest.h>

namespace quillora::disk {
namespace {

TEST(getFilePathOnly, KeepsTheFolderWithItsSeparator) {
    EXPECT_EQ(getFilePathOnly("/site/sub/a.htm"), "/site/sub/");
    EXPECT_EQ(getFilePathOnly("/a.htm"), "/");
    EXPECT_EQ(getFilePathOnly("a.htm"), "");
    EXPECT_EQ(getFilePathOnly("/site/sub/"), "/site/sub/");
}

} // namespace
} // namespace quillora::disk
