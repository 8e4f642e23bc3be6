#include "unlock/PageTitle.h"

#include <gtest/gtest.h>

namespace quillora::unlock {
namespace {

using charset::PageEncoding;
using Kind = PageEncoding::Kind;

const PageEncoding kUtf8{Kind::Utf8, "", false};
const PageEncoding kWindows1252{Kind::Windows1252, "", false};
const PageEncoding kShiftJis{Kind::Icu, "ibm-943_P15A-2003", false};

struct FoundTitle {
    const char* name;
    std::u16string text;
    std::u16string title;
};

class PageTitle : public ::testing::TestWithParam<FoundTitle> {};

TEST_P(PageTitle, IsTheFirstTitleElementsContentAsWritten) {
    EXPECT_EQ(pageTitle(GetParam().text), GetParam().title);
}

INSTANTIATE_TEST_SUITE_P(
    Pages, PageTitle,
    ::testing::Values(FoundTitle{"Plain", u"<html><head><title>Price list</title>", u"Price list"},
                      FoundTitle{"CaseAndAttributes", u"<TITLE lang=en>A &amp; B</Title >", u"A &amp; B"},
                      FoundTitle{"LineBreaks", u"<title>\r\n  Two\n lines </title>", u"\r\n  Two\n lines "},
                      FoundTitle{"CommentedOutTitleIsPassed", u"<!-- <title>old</title> --><title>new</title>", u"new"},
                      FoundTitle{"OtherTagsStartingSoArePassed", u"<titles>no</titles><title>yes</title>", u"yes"},
                      FoundTitle{"EndTagNeedsItsName", u"<title>a</titlex>b</title>", u"a</titlex>b"},
                      FoundTitle{"FirstOfTwo", u"<title>one</title><title>two</title>", u"one"},
                      FoundTitle{"Empty", u"<title></title>", u""}, FoundTitle{"None", u"<html><body>x", u""},
                      FoundTitle{"NeverClosed", u"<title>runs on", u""},
                      FoundTitle{"UnclosedComment", u"<!-- <title>x</title>", u""}),
    [](const auto& info) { return info.param.name; });

TEST(PageTitleOfBytes, DecodesOnlyTheTitleInThePagesSet) {
    EXPECT_EQ(pageTitle("<title>Caf\xC3\xA9</title>", kUtf8), u"Caf\u00E9");
    EXPECT_EQ(pageTitle("<title>Caf\xE9 \x80</title>", kWindows1252), u"Caf\u00E9 \u20AC");
    // 表 ends in the byte of a backslash, ソ in the byte of "\\" too; neither ends anything.
    EXPECT_EQ(pageTitle("<title>\x95\x5C\x83\x5C</title>", kShiftJis), u"\u8868\u30BD");
    EXPECT_EQ(pageTitle(std::string("\xFF\xFE<\0t\0i\0t\0l\0e\0>\0\xE9\0<\0/\0t\0i\0t\0l\0e\0>\0", 32),
                        {Kind::Utf16LE, "", true}),
              u"\u00E9");
    const PageEncoding iso2022jp{Kind::Icu, "ISO_2022,locale=ja,version=0", false};
    // In ISO-2022-JP the bytes of "<title>" may be half of a character: the whole page is read.
    EXPECT_EQ(pageTitle("\x1B$B<title>>\x1B(B <title>\x1B$BF|\x1B(B</title>", iso2022jp), u"\u65E5");
    EXPECT_EQ(pageTitle("<p>no title", kUtf8), u"");
}

} // namespace
} // namespace quillora::unlock
