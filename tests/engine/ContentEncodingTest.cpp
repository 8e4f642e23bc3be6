#include "engine/ContentEncoding.h"

#include "EngineTestSupport.h"

#include <gtest/gtest.h>

namespace quillora::engine {
namespace {

using test::call;

TEST(EncodeToWriterCall, WritesTheLayoutByteForByte) {
    EXPECT_EQ(EncodeToWriterCall(u"AB"),
              u"<SCRIPT LANGUAGE='JavaScript'><!--\r\nqv_d00(unescape(\"%41%42\"));//--></SCRIPT>");
    EXPECT_EQ(EncodeToWriterCall(u""), u"<SCRIPT LANGUAGE='JavaScript'><!--\r\nqv_d00(unescape(\"\"));//--></SCRIPT>");
}

struct EscapeRow {
    std::u16string text;
    std::u16string escaped;
};

class EscapeTest : public ::testing::TestWithParam<EscapeRow> {};

TEST_P(EscapeTest, EscapesEveryCharacterByItsCode) {
    const auto& row = GetParam();
    EXPECT_EQ(EncodeToWriterCall(row.text),
              u"<SCRIPT LANGUAGE='JavaScript'><!--\r\nqv_d00(unescape(\"" + row.escaped + u"\"));//--></SCRIPT>");
    EXPECT_EQ(EscapedLength(row.text), row.escaped.size());
}

INSTANTIATE_TEST_SUITE_P(Codes, EscapeTest,
                         ::testing::Values(EscapeRow{u"\r\n", u"%0D%0A"}, EscapeRow{std::u16string(1, u'\0'), u"%00"},
                                           EscapeRow{u"%", u"%25"}, EscapeRow{u"\"", u"%22"}, EscapeRow{u"\t", u"%09"},
                                           EscapeRow{u"az09", u"%61%7A%30%39"}, EscapeRow{u"\u00E9", u"%E9"},
                                           EscapeRow{u"\u00FF", u"%FF"}, EscapeRow{u"\u0100", u"%u0100"},
                                           EscapeRow{u"\u0FFF", u"%u0FFF"}, EscapeRow{u"\u1000", u"%u1000"},
                                           EscapeRow{u"\u20AC", u"%u20AC"}, EscapeRow{u"\uFFFF", u"%uFFFF"},
                                           EscapeRow{u"\U0001F600", u"%uD83D%uDE00"}));

TEST(EncodeToWriterCall, LongTextsShowNoPieceBoundaries) {
    std::u16string text;
    for (int i = 0; i < 9000; ++i) {
        text += static_cast<char16_t>(i % 7 == 0 ? 0x4E00 + i : (i % 5 == 0 ? 0xE0 + i % 20 : u'a' + i % 26));
    }
    for (const std::size_t length : {std::size_t{1234}, std::size_t{4096}, std::size_t{4097}, text.size()}) {
        const std::u16string_view part = std::u16string_view(text).substr(0, length);
        EXPECT_EQ(EncodeToWriterCall(part), call(part)) << length;
    }
}

TEST(Bootstrap, DefinesTheWriterInAnEscapedEval) {
    const std::u16string script = u"qv_ok=true;function qv_d00(s){if(!qv_ok)return;document.write(s)}";
    ASSERT_EQ(script.size(), 65u);
    EXPECT_EQ(Bootstrap(), u"<SCRIPT LANGUAGE=JavaScript><!--\r\neval(unescape('" + test::referenceEscape(script) +
                               u"'));//--></SCRIPT><NOSCRIPT>To display this page you need a browser with "
                               u"JavaScript support.</NOSCRIPT>");
    EXPECT_NE(Bootstrap().find(u"%71%76%5F%6F%6B%3D%74%72%75%65%3B"), std::u16string_view::npos);
}

struct ScriptsRow {
    const char* name;
    std::u16string text;
    std::u16string encoded;
};

class EncodeWithScriptsTest : public ::testing::TestWithParam<ScriptsRow> {};

TEST_P(EncodeWithScriptsTest, KeepsExternalScriptsInPlace) {
    EXPECT_EQ(EncodeWithScripts(GetParam().text), GetParam().encoded);
}

INSTANTIATE_TEST_SUITE_P(
    Elements, EncodeWithScriptsTest,
    ::testing::Values(
        ScriptsRow{"NoScript", u"<p>x</p>", call(u"<p>x</p>")}, ScriptsRow{"Empty", u"", call(u"")},
        ScriptsRow{"External", u"a<SCRIPT src=x.js></SCRIPT>b",
                   call(u"a") + u"<SCRIPT src=x.js></SCRIPT>" + call(u"b")},
        ScriptsRow{"Inline", u"a<script type=t>f()</script>", call(u"a<script type=t>f()</script>") + call(u"")},
        ScriptsRow{"TwoInline", u"<script >1</script>x<script >2</script>y",
                   call(u"<script >1</script>") + call(u"x<script >2</script>") + call(u"y")},
        ScriptsRow{"NoBlankAfterName", u"<script>f()</script><script\nsrc=a></script>",
                   call(u"<script>f()</script><script\nsrc=a></script>")},
        ScriptsRow{"BlanksAroundEquals", u"<script src = a.js></script>",
                   call(u"<script src = a.js></script>") + call(u"")},
        ScriptsRow{"SrcAfterQuotedGreaterThan", u"<script data-x=\"a>b\" src=y.js></script>z",
                   call(u"") + u"<script data-x=\"a>b\" src=y.js></script>" + call(u"z")},
        ScriptsRow{"CloseInsideItsStartTag", u"<script data-x='</script>' src=a.js></script>b",
                   call(u"") + u"<script data-x='</script>' src=a.js></script>" + call(u"b")},
        ScriptsRow{"InComment", u"<!-- <script src=x.js></script> -->", call(u"<!-- <script src=x.js></script> -->")},
        ScriptsRow{"WrittenByScript", u"<script >document.write('<script src=a.js></scr'+'ipt>')</script>",
                   call(u"<script >document.write('<script src=a.js></scr'+'ipt>')</script>") + call(u"")},
        // "<!--" and then "<script>" in a script's text make the next "</script>" part of it.
        ScriptsRow{"ExternalHoldingAnEscapedScript", u"a<script src=x><!--<script></script>--></script>b",
                   call(u"a") + u"<script src=x><!--<script></script>--></script>" + call(u"b")},
        ScriptsRow{"InlineHoldingAnEscapedScript", u"<script >w('<!--<script></script>')</script>--></script>b",
                   call(u"<script >w('<!--<script></script>')</script>") + call(u"--></script>b")},
        // The end tag may hold blanks or more before its ">"; what follows it is no longer the script's.
        ScriptsRow{"EndTagWithABlank", u"a<script src=x.js></script >b</script>",
                   call(u"a") + u"<script src=x.js></script >" + call(u"b</script>")},
        ScriptsRow{"InlineEndTagWithAttributes", u"<script >f()</SCRIPT x=1>b",
                   call(u"<script >f()</SCRIPT x=1>") + call(u"b")},
        ScriptsRow{"InATemplate", u"<template><script src=t.js></script></template>",
                   call(u"<template><script src=t.js></script></template>")},
        ScriptsRow{"NoTagEnd", u"a<script src=x", call(u"a<script src=x")},
        ScriptsRow{"ExternalWithoutClose", u"a<script src=x>b", call(u"a<script src=x>b")},
        ScriptsRow{"InlineWithoutClose", u"a<script >b", call(u"a<script >b")}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace quillora::engine
