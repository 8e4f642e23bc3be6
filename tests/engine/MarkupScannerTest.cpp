#include "engine/MarkupScanner.h"

#include <gtest/gtest.h>

namespace quillora::engine {
namespace {

struct FindRow {
    const char* name;
    std::u16string text;
    std::string key;
    bool wholeName;
    std::size_t expected;
};

class MarkupFindTest : public ::testing::TestWithParam<FindRow> {};

TEST_P(MarkupFindTest, FindsOnlyMarkup) {
    const auto& row = GetParam();
    MarkupScanner scanner(row.text);
    EXPECT_EQ(scanner.find(row.key, 0, row.wholeName), row.expected);
    // The same markup read in the bytes of a set that writes ASCII as itself.
    const std::string bytes(row.text.begin(), row.text.end());
    ByteMarkupScanner byteScanner(bytes);
    EXPECT_EQ(byteScanner.find(row.key, 0, row.wholeName), row.expected) << "in bytes";
}

INSTANTIATE_TEST_SUITE_P(
    Keys, MarkupFindTest,
    ::testing::Values(
        FindRow{"Plain", u"x<A href=1>", "<a ", false, 1},
        FindRow{"InComment", u"<!-- <a x> --><a y>", "<a ", false, 14},
        FindRow{"UnclosedComment", u"<!-- <a x>", "<a ", false, kNotFound},
        FindRow{"EmptyComment", u"<!--><a y>", "<a ", false, 5},
        FindRow{"ShortComment", u"<!---><a y>", "<a ", false, 6},
        FindRow{"InScript", u"<script>w('<a x>')</script><a y>", "<a ", false, 27},
        FindRow{"InStyle", u"<STYLE type=t>a:after{content:'</body>'}</style></body>", "</body>", false, 48},
        FindRow{"InTextarea", u"<textarea><head></textarea><head>", "<head", true, 27},
        FindRow{"ScriptWithoutEnd", u"<script>w('<a x>')", "<a ", false, kNotFound},
        FindRow{"ScriptTagWithoutEnd", u"<script <a y", "<a ", false, 8},
        FindRow{"NotARawTextTag", u"<scripts><a x>", "<a ", false, 9},
        FindRow{"QuotedGreaterThanInScriptTag", u"<script a=\"x>y\"><a x></script><a y>", "<a ", false, 30},
        FindRow{"InAttributeValue", u"<div onclick=\"w('<a href=x>')\"><a y>", "<a ", false, 31},
        FindRow{"InEndTag", u"</p <a x><a y>", "<a ", false, 9},
        FindRow{"InUnclosedQuote", u"<p title=\"<a x><a y>", "<a ", false, 15},
        FindRow{"WholeNameRefusesLongerNames", u"<header><head>", "<head", true, 8},
        FindRow{"WholeNameTakesSlashAndBlanks", u"<htmlx><html\f>", "<html", true, 7},
        FindRow{"WholeNameNeedsANextCharacter", u"<body", "<body", true, kNotFound},
        FindRow{"FrameKeyNeedsItsBlank", u"<frameset><FRAME src=a>", "<frame ", false, 10}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(MarkupScanner, FindsBackwardsOverCommentsAndScripts) {
    const std::u16string text = u"<a 1><!-- <a 2> --><script><a 3></script>mailto:";
    MarkupScanner scanner(text);
    EXPECT_EQ(scanner.rfind("<a ", text.size()), 0u);
    EXPECT_EQ(scanner.rfind("<a ", text.size(), 1), kNotFound);
    EXPECT_FALSE(scanner.isMarkup(10));
    EXPECT_TRUE(scanner.isMarkup(19));
    EXPECT_FALSE(scanner.isMarkup(27));
}

TEST(MarkupScanner, TagEndPassesOverQuotedValues) {
    EXPECT_EQ(MarkupScanner::tagEnd(u"<body onload=\"if(a>b)go()\">x", 0), 26u);
    EXPECT_EQ(MarkupScanner::tagEnd(u"<body onload = 'a>b'>x", 0), 20u);
    EXPECT_EQ(MarkupScanner::tagEnd(u"<body title=a>b>", 0), 13u);
    // A quote that does not follow "=" opens nothing.
    EXPECT_EQ(MarkupScanner::tagEnd(u"<body \"a>b\">", 0), 8u);
    // A quote never closed: the first ">" ends the tag.
    EXPECT_EQ(MarkupScanner::tagEnd(u"<body a=\"x>y", 0), 10u);
    EXPECT_EQ(MarkupScanner::tagEnd(u"<body a=b", 0), kNotFound);
}

} // namespace
} // namespace quillora::engine
