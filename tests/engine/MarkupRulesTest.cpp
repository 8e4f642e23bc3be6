#include "engine/MarkupRules.h"

#include <gtest/gtest.h>

namespace quillora::engine {
namespace {

// "@" marks the expected end; the rule reads the text without it.
struct EndRow {
    const char* name;
    std::u16string text;
};

void PrintTo(const EndRow& row, std::ostream* out) {
    *out << row.name;
}

std::pair<std::u16string, std::size_t> unmarked(std::u16string text) {
    const std::size_t at = text.find(u'@');
    text.erase(at, 1);
    return {text, at};
}

class ScriptDataEndTest : public ::testing::TestWithParam<EndRow> {};

TEST_P(ScriptDataEndTest, EndsWhereTheBrowserEndsTheScript) {
    const auto [text, end] = unmarked(GetParam().text);
    EXPECT_EQ(scriptDataEnd(std::u16string_view(text), 0), end);
    const std::string bytes(text.begin(), text.end());
    EXPECT_EQ(scriptDataEnd(std::string_view(bytes), 0), end) << "in bytes";
}

INSTANTIATE_TEST_SUITE_P(
    Scripts, ScriptDataEndTest,
    ::testing::Values(EndRow{"Plain", u"f('<b>')@</SCRIPT>"}, EndRow{"EndTagWithBlank", u"f()@</script >"},
                      EndRow{"LongerNameIsText", u"a</scripts>b@</script>"}, EndRow{"NoEnd", u"f()</script@"},
                      EndRow{"OldStyleHiding", u"<!-- f() //-->@</script>"},
                      EndRow{"EscapedEndTagStillEnds", u"<!-- f()@</script>-->"},
                      EndRow{"WrittenScriptInsideTheEscape", u"<!-- w('<script src=a.js></script>') -->@</script>"},
                      EndRow{"WrittenScriptWithoutArrowRunsOn", u"s='<!--<script>'; </script>x@"},
                      EndRow{"ArrowRightAfterTheOpening", u"<!--><script>@</script></script>"},
                      EndRow{"ArrowInsideTheDoubleEscape", u"<!--<script>-->@</script>"}),
    [](const auto& info) { return std::string(info.param.name); });

class CommentEndTest : public ::testing::TestWithParam<EndRow> {};

TEST_P(CommentEndTest, EndsWhereTheBrowserEndsTheComment) {
    const auto [text, end] = unmarked(GetParam().text);
    EXPECT_EQ(commentEnd(std::u16string_view(text), 0), end);
}

INSTANTIATE_TEST_SUITE_P(Comments, CommentEndTest,
                         ::testing::Values(EndRow{"Arrow", u"<!-- a -->@b-->"}, EndRow{"Bang", u"<!-- a --!>@b-->"},
                                           EndRow{"Empty", u"<!-->@a-->"}, EndRow{"EmptyWithDash", u"<!--->@a"},
                                           EndRow{"BangRightAfterTheOpening", u"<!--!>a-->@"},
                                           EndRow{"DashBangIsNoEnd", u"<!---!>a-->@"},
                                           EndRow{"Unclosed", u"<!-- a --!@"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(MarkupRules, RawTextEndsAtItsOwnEndTag) {
    const std::u16string text = u"a</titles></TITLE\tb";
    EXPECT_EQ(rawTextEnd(std::u16string_view(text), 0, "title"), 10u);
    EXPECT_EQ(rawTextEnd(std::u16string_view(u"a</title"), 0, "title"), 8u) << "at the end it is text";
}

TEST(MarkupRules, ATagClosesItselfOnlyWithASlashOutsideValues) {
    EXPECT_TRUE(readTag(std::u16string_view(u"<svg/>"), 0).selfClosing);
    EXPECT_TRUE(readTag(std::u16string_view(u"<svg a=\"b\"/>"), 0).selfClosing);
    EXPECT_FALSE(readTag(std::u16string_view(u"<svg a=b/>"), 0).selfClosing);
    EXPECT_FALSE(readTag(std::u16string_view(u"<svg / >"), 0).selfClosing);
}

TEST(MarkupRules, RolesOfElementNames) {
    EXPECT_EQ(elementRoles("script"), kScriptData | kHeadMaterial);
    EXPECT_EQ(elementRoles("title"), kEscapableText | kHeadMaterial | kSvgHtmlPoint);
    EXPECT_EQ(elementRoles("xmp"), kRawText);
    EXPECT_EQ(elementRoles("header"), 0u);
    EXPECT_EQ(elementRoles("head"), kBreakout | kHeadMaterial);
    EXPECT_EQ(TagName::at(std::u16string_view(u"<FOREIGNOBJECT x>"), 1).view(), "foreignobject");
    EXPECT_EQ(TagName::at(std::u16string_view(u"<averyveryverylongname>"), 1).view(), "");
}

} // namespace
} // namespace quillora::engine
