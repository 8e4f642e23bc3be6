#include "charset/TextConvert.h"

#include <gtest/gtest.h>

namespace quillora::charset {
namespace {

TEST(TextConvert, RoundTripsAndReplacesWhatIsNotText) {
    const std::u16string text = u"a\u00E9\u20AC\U0001F600";
    EXPECT_EQ(toUtf8(text), "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80");
    EXPECT_EQ(fromUtf8(toUtf8(text)), text);
    EXPECT_EQ(toUtf8(std::u16string(1, char16_t(0xD800))), "\xEF\xBF\xBD");
    EXPECT_EQ(fromUtf8("a\xFF"
                       "b\xC3"),
              u"a\uFFFDb\uFFFD");
    EXPECT_EQ(fromUtf8("\xED\xA0\x80"), u"\uFFFD\uFFFD\uFFFD"); // an encoded surrogate is not text
}

// Bytes that are not UTF-8 read as a browser reads them: one U+FFFD for each maximal part of a sequence that
// could have begun a valid one, so a text typed on the command line shows in the page as the same text would.
struct InvalidCase {
    const char* name;
    std::string_view bytes;
    std::u16string_view text;
};

class InvalidUtf8 : public ::testing::TestWithParam<InvalidCase> {};

TEST_P(InvalidUtf8, BecomesWhatABrowserShows) {
    EXPECT_EQ(fromUtf8(GetParam().bytes), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(Sequences, InvalidUtf8,
                         ::testing::Values(InvalidCase{"TruncatedThreeBytes", "a\xE2\x82", u"a\uFFFD"},
                                           InvalidCase{"TruncatedFourBytesBeforeAscii", "\xF0\x90\x80z", u"\uFFFDz"},
                                           InvalidCase{"LeadWithoutTrail", "\xE2\x82\xE2\x82\xAC", u"\uFFFD\u20AC"},
                                           InvalidCase{"Overlong", "\xC0\xAF", u"\uFFFD\uFFFD"},
                                           InvalidCase{"OverlongThreeBytes", "\xE0\x80\xAF", u"\uFFFD\uFFFD\uFFFD"},
                                           InvalidCase{"AboveUnicode", "\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"},
                                           InvalidCase{"LoneContinuation", "\x80", u"\uFFFD"}),
                         [](const auto& info) { return info.param.name; });

} // namespace
} // namespace quillora::charset
