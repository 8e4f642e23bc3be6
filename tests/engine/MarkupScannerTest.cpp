#include "engine/MarkupScanner.h"

#include "engine/TextSearch.h"

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
        // A tag that never ends takes the rest with it, as the browser drops it at the end of the page.
        FindRow{"ScriptTagWithoutEnd", u"<script <a y", "<a ", false, kNotFound},
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

// The browser's reading of a page: the key is found where it is the page's own markup, which is always its last
// occurrence in these texts, or nowhere.
struct ReadingRow {
    const char* name;
    std::u16string text;
    std::string key;
    bool found;
};

void PrintTo(const ReadingRow& row, std::ostream* out) {
    *out << row.name;
}

class MarkupReadingTest : public ::testing::TestWithParam<ReadingRow> {};

TEST_P(MarkupReadingTest, FindsThePagesOwnMarkupOnly) {
    const auto& row = GetParam();
    const std::size_t expected = row.found ? rfindIgnoreCase(row.text, row.key, row.text.size()) : kNotFound;
    MarkupScanner scanner(row.text);
    EXPECT_EQ(scanner.find(row.key, 0), expected);
    EXPECT_EQ(MarkupScanner(row.text).rfind(row.key, row.text.size()), expected);
    const std::string bytes(row.text.begin(), row.text.end());
    EXPECT_EQ(ByteMarkupScanner(bytes).find(row.key, 0), expected) << "in bytes";
}

INSTANTIATE_TEST_SUITE_P(
    Browser, MarkupReadingTest,
    ::testing::Values(
        ReadingRow{"TitleHoldsATag", u"<title>a<body>b</title><body>", "<body", true},
        ReadingRow{"TitleWithoutEndTakesTheRest", u"<TITLE>a<body>b", "<body", false},
        ReadingRow{"XmpHoldsATag", u"<xmp><a x></xmp><a y>", "<a ", true},
        ReadingRow{"NoembedHoldsATag", u"<noembed><a x></noembed><a y>", "<a ", true},
        ReadingRow{"NoframesHoldsATag", u"<noframes><a x></noframes><a y>", "<a ", true},
        ReadingRow{"IframeHoldsATag", u"<iframe src=f><a x></iframe><a y>", "<a ", true},
        ReadingRow{"NoscriptHoldsATag", u"<noscript><a x></noscript><a y>", "<a ", true},
        ReadingRow{"PlaintextRunsToTheEnd", u"<plaintext></plaintext><a x>", "<a ", false},
        ReadingRow{"RawTextEndNeedsItsWholeName", u"<style></styles><a x></style\n><a y>", "<a ", true},
        ReadingRow{"ScriptEndNeedsItsWholeName", u"<script></scripts><a x></script/><a y>", "<a ", true},
        ReadingRow{"ScriptStringOpeningAnEscapeRunsOn", u"<script>s='<!--<script>';</script><a x>", "<a ", false},
        ReadingRow{"ScriptEscapeClosedByArrow", u"<script><!--<script></script>--></script><a x>", "<a ", true},
        ReadingRow{"ScriptEscapeWithoutScriptTag", u"<script><!-- </script><a x>", "<a ", true},
        ReadingRow{"ScriptEscapeEndedAtOnce", u"<script><!--><script></script><a x>", "<a ", true},
        ReadingRow{"DoubleEscapeEndedByItsEndTag", u"<script><!--<script x></script></script><a x>", "<a ", true},
        ReadingRow{"CommentEndedByBang", u"<!-- x --!><a x>", "<a ", true},
        ReadingRow{"BangJustAfterTheOpeningEndsNothing", u"<!--!><a x>-->", "<a ", false},
        ReadingRow{"ProcessingInstructionEndsAtItsFirstGreaterThan", u"<?php \"<a x>\" ?><a y>", "<a ", true},
        ReadingRow{"CdataOutsideADrawingIsABogusComment", u"<![CDATA[<a x>]]><a y>", "<a ", true},
        ReadingRow{"EndTagWithoutALetterIsABogusComment", u"</ <a x>><a y>", "<a ", true},
        ReadingRow{"TemplateContents", u"<template><a x></template><a y>", "<a ", true},
        ReadingRow{"NestedTemplates", u"<template><template></template><a x></template><a y>", "<a ", true},
        ReadingRow{"TemplateWithoutEnd", u"<template><a x>", "<a ", false},
        ReadingRow{"HeadTagInATemplate", u"<template><head></template><head>", "<head", true},
        ReadingRow{"DrawingLink", u"<svg><a x></a></svg><a y>", "<a ", true},
        ReadingRow{"MathLink", u"<math><a x></a></math><a y>", "<a ", true},
        ReadingRow{"HtmlInADrawingIsStillApart", u"<svg><foreignObject><a x></foreignObject></svg><a y>", "<a ", true},
        ReadingRow{"DrawingEndedByAnHtmlElement", u"<svg><a x><p><a y>", "<a ", true},
        ReadingRow{"DrawingEndedByTheBodyEnd", u"<svg><a x></body><a y>", "<a ", true},
        ReadingRow{"DrawingThatClosesItself", u"<svg/><a y>", "<a ", true},
        ReadingRow{"DrawingWithoutEnd", u"<svg><g><a x>", "<a ", false},
        ReadingRow{"StyleInADrawingIsMarkup", u"<svg><style><a x></svg><a y>", "<a ", true},
        ReadingRow{"CdataInADrawing", u"<svg><![CDATA[</svg>]]><a x></svg><a y>", "<a ", true},
        ReadingRow{"QuoteInAnUnquotedValue", u"<html data-x=a='b><a y>'", "<a ", true},
        ReadingRow{"EqualsSignStartingAnAttributeName", u"<p =\"x><a y>\">", "<a ", true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(MarkupScanner, TellsTheMarkupSetApartFromThePage) {
    const std::u16string text = u"<template><a x><!-- <a y> --></template><svg><a z></svg><a w>";
    MarkupScanner scanner(text);
    EXPECT_TRUE(scanner.isSetApart(text.find(u"<a x")));
    EXPECT_FALSE(scanner.isMarkup(text.find(u"<a x")));
    EXPECT_FALSE(scanner.isSetApart(text.find(u"<a y"))) << "a comment in a template is no markup at all";
    EXPECT_TRUE(scanner.isSetApart(text.find(u"<a z")));
    EXPECT_TRUE(scanner.isMarkup(text.find(u"<a w")));
    EXPECT_FALSE(scanner.isSetApart(text.find(u"<a w")));
}

struct ShownRow {
    const char* name;
    std::u16string text; // "@" marks what shows first; none: nothing shows
};

void PrintTo(const ShownRow& row, std::ostream* out) {
    *out << row.name;
}

class FirstShownTest : public ::testing::TestWithParam<ShownRow> {};

TEST_P(FirstShownTest, FindsWhatTheBrowserShowsInTheBody) {
    std::u16string text = GetParam().text;
    const std::size_t marked = text.find(u'@');
    if (marked != std::u16string::npos) {
        text.erase(marked, 1);
    }
    EXPECT_EQ(MarkupScanner(text).firstShown(0, text.size()), marked == std::u16string::npos ? kNotFound : marked);
    const std::string bytes(text.begin(), text.end());
    EXPECT_EQ(ByteMarkupScanner(bytes).firstShown(0, bytes.size()), marked == std::u16string::npos ? kNotFound : marked)
        << "in bytes";
}

INSTANTIATE_TEST_SUITE_P(
    Pages, FirstShownTest,
    ::testing::Values(
        ShownRow{"HeadMaterialOnly",
                 u"<!DOCTYPE html>\r\n<html><head><title>t</title><meta charset=x><link rel=s><base href=b>"
                 u"<script>s()</script><style>p{}</style><noscript><p>n</noscript><template><p>t</template>"
                 u"</head>\t\f <body></body></html>"},
        ShownRow{"Text", u"<head></head>\n @Text"}, ShownRow{"AnElementOfTheBody", u"<!-- c --><?x?> @<header>"},
        ShownRow{"ADrawing", u"@<svg></svg>"}, ShownRow{"EndTagsShowNothing", u"</p></div></>"},
        ShownRow{"ALoneLessThan", u" @< 3"}, ShownRow{"ATagThatNeverEnds", u" <p class=x"}),
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
    // A quote inside an unquoted value, or at the start of an attribute's name, opens nothing.
    EXPECT_EQ(MarkupScanner::tagEnd(u"<html data-x=a='b>c'>", 0), 17u);
    EXPECT_EQ(MarkupScanner::tagEnd(u"<head x= =\"a>b\">", 0), 12u);
    EXPECT_EQ(MarkupScanner::tagEnd(u"<p =\"a>b\">", 0), 6u);
}

} // namespace
} // namespace quillora::engine
