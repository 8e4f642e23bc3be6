#include "disk/Paths.h"

#include "charset/TextConvert.h"

#include <gtest/gtest.h>

namespace quillora::disk {
namespace {

TEST(getFilePathOnly, KeepsTheFolderWithItsSeparator) {
    EXPECT_EQ(getFilePathOnly("/site/sub/a.htm"), "/site/sub/");
    EXPECT_EQ(getFilePathOnly("/a.htm"), "/");
    EXPECT_EQ(getFilePathOnly("a.htm"), "");
    EXPECT_EQ(getFilePathOnly("/site/sub/"), "/site/sub/");
}

TEST(TextConvert, RoundTripsAndReplacesWhatIsNotText) {
    const std::u16string text = u"a\u00E9\u20AC\U0001F600";
    EXPECT_EQ(charset::toUtf8(text), "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80");
    EXPECT_EQ(charset::fromUtf8(charset::toUtf8(text)), text);
    EXPECT_EQ(charset::toUtf8(std::u16string(1, char16_t(0xD800))), "\xEF\xBF\xBD");
    EXPECT_EQ(charset::fromUtf8("a\xFF"
                                "b\xC3"),
              u"a\uFFFDb\uFFFD");
    EXPECT_EQ(charset::fromUtf8("\xED\xA0\x80"), u"\uFFFD\uFFFD\uFFFD"); // an encoded surrogate is not text
}

} // namespace
} // namespace quillora::disk
