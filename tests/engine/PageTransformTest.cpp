#include "engine/PageTransform.h"

#include "EngineTestSupport.h"
#include "engine/ContentEncoding.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <vector>

namespace quillora::engine {
namespace {

using test::call;

const std::u16string kMeta = u"<META HTTP-EQUIV=\"imagetoolbar\" CONTENT=\"no\">";

std::u16string boot() {
    return std::u16string(Bootstrap());
}

/// The text with each "~" made a NUL character.
std::u16string withNuls(std::u16string text) {
    std::replace(text.begin(), text.end(), u'~', u'\0');
    return text;
}

ProtectionOptions optionsFor(EncryptionMode mode) {
    ProtectionOptions options;
    options.encryptionMode = mode;
    return options;
}

std::u16string protect(std::u16string text, const ProtectionOptions& options) {
    ProtectPage(text, options, BuildHeader(options),
                [](std::u16string_view) -> bool { throw std::logic_error("not a frameset"); });
    return text;
}

struct PageRow {
    const char* name;
    EncryptionMode mode;
    std::u16string page;
    std::u16string expected;
};

void PrintTo(const PageRow& row, std::ostream* out) {
    *out << row.name;
}

class ProtectPageTest : public ::testing::TestWithParam<PageRow> {};

TEST_P(ProtectPageTest, RewritesThePage) {
    const auto& row = GetParam();
    EXPECT_EQ(protect(row.page, optionsFor(row.mode)), row.expected);
}

constexpr auto kEmail = EncryptionMode::EmailLinks;
constexpr auto kLinks = EncryptionMode::AllLinks;
constexpr auto kBody = EncryptionMode::BodyOnly;
constexpr auto kPage = EncryptionMode::WholePage;

INSTANTIATE_TEST_SUITE_P(
    Body, ProtectPageTest,
    ::testing::Values(
        PageRow{"BodyOfAWholePage", kBody, u"<html><head><title>t</title></head><body bgcolor=white>Hi</body></html>",
                u"<html><head>" + boot() + u"<title>t</title></head><body bgcolor=white>" + call(u"Hi") +
                    u"</body></html>"},
        // Without a body tag the browser makes a body of what it shows: that is hidden up to "</html>".
        PageRow{"NoBody", kBody, u"<html><head></head><p>x</p></html>",
                u"<html><head>" + boot() + u"</head>" + call(u"<p>x</p>") + u"</html>"},
        PageRow{"NoHeadNoHtml", kBody, u"<body>x</body>",
                u"<html><head>" + boot() + u"</head><body>" + call(u"x") + u"</body>"},
        PageRow{"HtmlWithoutHead", kBody, u"<HTML lang=en><body>x</body></html>",
                u"<HTML lang=en><head>" + boot() + u"</head><body>" + call(u"x") + u"</body></html>"},
        PageRow{"EmptyBody", kBody, u"<head></head><body></body>",
                u"<head>" + boot() + u"</head><body>" + call(u"") + u"</body>"},
        PageRow{"TwoBodies", kBody, u"<body>a</body><BODY>b</BODY>",
                u"<html><head>" + boot() + u"</head><body>" + call(u"a") + u"</body><BODY>" + call(u"b") + u"</BODY>"},
        // The end tag may be left out: the body then runs to "</html>", or to the end, and is the page's last.
        PageRow{"BodyWithoutEnd", kBody, u"<head></head><body>a", u"<head>" + boot() + u"</head><body>" + call(u"a")},
        PageRow{"BodyWithoutEndStopsAtTheHtmlEnd", kBody, u"<head></head><body>a</html>\n",
                u"<head>" + boot() + u"</head><body>" + call(u"a") + u"</html>\n"},
        PageRow{"HtmlEndInAScriptDoesNotEndTheBody", kBody,
                u"<head></head><body>a<script>w('</html>')</script><!--</html>-->b</HTML >",
                u"<head>" + boot() + u"</head><body>" + call(u"a<script>w('</html>')</script><!--</html>-->b") +
                    u"</HTML >"},
        PageRow{"HtmlxDoesNotEndTheBody", kBody, u"<body>a</htmlx>b",
                u"<html><head>" + boot() + u"</head><body>" + call(u"a</htmlx>b")},
        PageRow{"NoBodyAfterAnOpenOne", kBody, u"<head></head><body>a</html><body>b</body>",
                u"<head>" + boot() + u"</head><body>" + call(u"a</html><body>b") + u"</body>"},
        // What follows the html end shows in the body too.
        PageRow{"NoBodyAfterTheHtmlEnd", kBody, u"<head></head><body>a</html><body>b",
                u"<head>" + boot() + u"</head><body>" + call(u"a") + u"</html><body>" + call(u"b")},
        PageRow{"ScriptsInTheBody", kBody,
                u"<head></head><body>a<script src=j.js></script>b<script >c()</script>d</body>",
                u"<head>" + boot() + u"</head><body>" + call(u"a") + u"<script src=j.js></script>" +
                    call(u"b<script >c()</script>") + call(u"d") + u"</body>"},
        PageRow{"DoctypeStaysFirst", kBody, u"\r\n<!DOCTYPE html>\n<body>x</body>",
                u"\r\n<!DOCTYPE html><html><head>" + boot() + u"</head>\n<body>" + call(u"x") + u"</body>"},
        PageRow{"DoctypeAfterACommentStaysFirst", kBody, u"<!-- c -->\n<!DOCTYPE html>\n<body>x</body>",
                u"<!-- c -->\n<!DOCTYPE html><html><head>" + boot() + u"</head>\n<body>" + call(u"x") + u"</body>"},
        PageRow{"NewHeadBehindADoctypeAfterAComment", kBody, u"<?xml version=\"1.0\"?><!DOCTYPE html><body>x</body>",
                u"<?xml version=\"1.0\"?><!DOCTYPE html><html><head>" + boot() + u"</head><body>" + call(u"x") +
                    u"</body>"},
        // A tag whose name only begins like head, body or html is another element.
        PageRow{"HeaderIsNotHead", kBody, u"<html><body><header>h</header>x</body></html>",
                u"<html><head>" + boot() + u"</head><body>" + call(u"<header>h</header>x") + u"</body></html>"},
        PageRow{"BodyBeforeTheHead", kBody, u"<body><head>x</head></body><head></head>",
                u"<body>" + call(u"<head>x</head>") + u"</body><head>" + boot() + u"</head>"},
        PageRow{"BodyxIsNotBody", kBody, u"<head></head><bodyx>a</bodyx>",
                u"<head>" + boot() + u"</head>" + call(u"<bodyx>a</bodyx>")},
        // Comments and the contents of script, style and textarea are not markup.
        PageRow{"HeadInComment", kBody, u"<!-- <head> --><html><body>x</body></html>",
                u"<!-- <head> --><html><head>" + boot() + u"</head><body>" + call(u"x") + u"</body></html>"},
        PageRow{"BodyEndInScriptString", kBody, u"<head></head><body><script>w('</body>')</script>x</body>",
                u"<head>" + boot() + u"</head><body>" + call(u"<script>w('</body>')</script>x") + u"</body>"},
        PageRow{"BodyEndInTextarea", kBody, u"<head></head><body><textarea></body></textarea></body>",
                u"<head>" + boot() + u"</head><body>" + call(u"<textarea></body></textarea>") + u"</body>"},
        // A quote left open in the html tag swallows what follows up to the next quote, as in a browser; the
        // text after the tag is body without a body tag.
        PageRow{"OpenQuoteInTheHtmlTag", kBody, u"<html lang=\"en><body><a href=\"x\">link</a></body></html>",
                u"<html lang=\"en><body><a href=\"x\"><head>" + boot() + u"</head>" + call(u"link</a></body>") +
                    u"</html>"},
        PageRow{"QuotedGreaterThanInBodyTag", kBody, u"<head></head><body onload=\"if(a>b)go()\">x</body>",
                u"<head>" + boot() + u"</head><body onload=\"if(a>b)go()\">" + call(u"x") + u"</body>"},
        // A quote inside an unquoted value opens nothing: the tag ends at its first ">", as in a browser.
        PageRow{"QuoteInAnUnquotedValueOfTheHtmlTag", kBody, u"<html data-x=a='b><body>x</body>'</html>",
                u"<html data-x=a='b><head>" + boot() + u"</head><body>" + call(u"x") + u"</body>" + call(u"'") +
                    u"</html>"}),
    [](const auto& info) { return std::string(info.param.name); });

// The text of title, xmp, plaintext, noembed, noframes, iframe and noscript is not markup; what the browser shows
// outside the body tags belongs to the body all the same.
INSTANTIATE_TEST_SUITE_P(
    BodyAsBrowsersReadIt, ProtectPageTest,
    ::testing::Values(
        PageRow{"TitleHoldingABodyTag", kBody, u"<html><head><title>a<body>b</title></head><body>x</body></html>",
                u"<html><head>" + boot() + u"<title>a<body>b</title></head><body>" + call(u"x") + u"</body></html>"},
        PageRow{"TitleHoldingAHeadTag", kBody, u"<html><title>x <head> y</title><body>z</body></html>",
                u"<html><head>" + boot() + u"</head><title>x <head> y</title><body>" + call(u"z") + u"</body></html>"},
        PageRow{"TitleWithoutEndTakesTheRest", kBody, u"<head><title>a<body>b</body>",
                u"<head>" + boot() + u"<title>a<body>b</body>"},
        PageRow{"XmpHoldingABodyTag", kBody, u"<html><body><xmp><body></xmp>x</body></html>",
                u"<html><head>" + boot() + u"</head><body>" + call(u"<xmp><body></xmp>x") + u"</body></html>"},
        PageRow{"XmpBeforeTheBody", kBody, u"<head></head><xmp><body>x</xmp>",
                u"<head>" + boot() + u"</head>" + call(u"<xmp><body>x</xmp>")},
        PageRow{"PlaintextRunsToTheEnd", kBody, u"<head></head><body>a<plaintext>b</body></html>",
                u"<head>" + boot() + u"</head><body>" + call(u"a<plaintext>b</body></html>")},
        PageRow{"NoframesHoldingABodyTag", kBody, u"<head><noframes><body>n</noframes></head><body>x</body>",
                u"<head>" + boot() + u"<noframes><body>n</noframes></head><body>" + call(u"x") + u"</body>"},
        PageRow{"TextAfterTheBodyEnd", kBody, u"<html><head></head><body>x</body>after</html>\n",
                u"<html><head>" + boot() + u"</head><body>" + call(u"x") + u"</body>" + call(u"after") + u"</html>\n"},
        PageRow{"HeadMaterialAfterTheBodyEndStays", kBody,
                u"<head></head><body>x</body>\n<!-- c --></html>\n<script src=s.js></script>",
                u"<head>" + boot() + u"</head><body>" + call(u"x") +
                    u"</body>\n<!-- c --></html>\n<script src=s.js></script>"},
        PageRow{"TextBetweenTwoBodies", kBody, u"<head></head><body>a</body>t<body>b</body>",
                u"<head>" + boot() + u"</head><body>" + call(u"a") + u"</body>" + call(u"t") + u"<body>" + call(u"b") +
                    u"</body>"},
        PageRow{"TextBeforeTheBodyTag", kBody, u"<html><head></head>\n Before <b>it</b>\n<body>x</body></html>",
                u"<html><head>" + boot() + u"</head>\n " + call(u"Before <b>it</b>\n") + u"<body>" + call(u"x") +
                    u"</body></html>"},
        PageRow{"TextBeforeTheHead", kBody, u"Before<html><head><title>t</title></head><body>x</body></html>",
                u"<html><head>" + boot() + u"</head>" + call(u"Before<html><head><title>t</title></head>") + u"<body>" +
                    call(u"x") + u"</body></html>"},
        // A tag that never ends takes the rest of the page with it, "</html>" included.
        PageRow{"TagThatNeverEndsTakesTheRest", kBody, u"<head></head>t<p title=\"a</html><b>x\" c",
                u"<head>" + boot() + u"</head>" + call(u"t<p title=\"a</html><b>x\" c")},
        PageRow{"NoTagsAtAll", kBody, u"Just text,\nno tags",
                u"<html><head>" + boot() + u"</head>" + call(u"Just text,\nno tags")},
        PageRow{"HeaderElementFirstWithoutHead", kBody, u"<header>top</header><body>x</body>",
                u"<html><head>" + boot() + u"</head>" + call(u"<header>top</header>") + u"<body>" + call(u"x") +
                    u"</body>"},
        // A writer call inside a template or a noscript would never run: their contents travel whole.
        PageRow{"ScriptInATemplateSplitsNoWriterCall", kBody,
                u"<head></head><body>a<template><script >t()</script></template>b</body>",
                u"<head>" + boot() + u"</head><body>" + call(u"a<template><script >t()</script></template>b") +
                    u"</body>"},
        PageRow{"ExternalScriptInNoscriptIsText", kBody,
                u"<head></head><body>a<noscript><script src=n.js></script></noscript>b</body>",
                u"<head>" + boot() + u"</head><body>" + call(u"a<noscript><script src=n.js></script></noscript>b") +
                    u"</body>"},
        PageRow{"IframeFallbackTravelsWithItsIframe", kBody,
                u"<head></head><body><iframe src=f><a href=y>y</a><script src=s.js></script></iframe>c</body>",
                u"<head>" + boot() + u"</head><body>" +
                    call(u"<iframe src=f><a href=y>y</a><script src=s.js></script></iframe>c") + u"</body>"},
        PageRow{"BodyEndInATemplateEndsNothing", kBody, u"<head></head><body>a<template></body></template>b</body>",
                u"<head>" + boot() + u"</head><body>" + call(u"a<template></body></template>b") + u"</body>"},
        PageRow{"CommentEndedByBangBeforeTheHtmlTag", kBody, u"<!-- a --!><html><body>x</body></html>",
                u"<!-- a --!><html><head>" + boot() + u"</head><body>" + call(u"x") + u"</body></html>"},
        // "<!--" and then "<script>" in a script's string make the next "</script>" part of the script's text.
        PageRow{"ScriptStringOpeningAnEscape", kBody,
                u"<head></head><body><script >s=\"<!--<script>x</script>\";</script>y</body>",
                u"<head>" + boot() + u"</head><body>" + call(u"<script >s=\"<!--<script>x</script>\";</script>") +
                    call(u"y") + u"</body>"}),
    [](const auto& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(
    WholePage, ProtectPageTest,
    ::testing::Values(
        PageRow{"HeadIsEncodedToo", kPage, u"<html><head><title>t</title></head><body>x</body></html>",
                u"<html><head>" + boot() + u"</head>" +
                    call(u"<html><head><title>t</title></head><body>x</body></html>")},
        PageRow{"DoctypeStaysFirst", kPage, u" <!doctype html><html><body>x</body></html>",
                u" <!doctype html><html><head>" + boot() + u"</head>" + call(u"<html><body>x</body></html>")},
        PageRow{"DoctypeAfterACommentStaysFirst", kPage, u"<!-- c --!>\n<!DOCTYPE html><p>x</p>",
                u"<!-- c --!>\n<!DOCTYPE html><html><head>" + boot() + u"</head>" + call(u"<p>x</p>")},
        // What a browser passes over before the DOCTYPE stays before it, or the page would show in quirks mode.
        PageRow{"CommentBeforeTheDoctypeStaysFirstToo", kPage,
                u"<!-- saved -->\f<!DOCTYPE html><html><body>x</body></html>",
                u"<!-- saved -->\f<!DOCTYPE html><html><head>" + boot() + u"</head>" +
                    call(u"<html><body>x</body></html>")},
        // An XML declaration is a comment to a browser: in front of the DOCTYPE it leaves the page in standards mode.
        PageRow{"XmlDeclarationStaysInFrontOfTheDoctype", kPage,
                u"<?xml version=\"1.0\" encoding=\"koi8-r\"?>\n<!DOCTYPE html><html><body>x</body></html>",
                u"<?xml version=\"1.0\" encoding=\"koi8-r\"?>\n<!DOCTYPE html><html><head>" + boot() + u"</head>" +
                    call(u"<html><body>x</body></html>")},
        PageRow{"XmlDeclarationWithoutDoctypeIsHidden", kPage, u"<?xml version=\"1.0\"?><p>x</p>",
                u"<html><head>" + boot() + u"</head>" + call(u"<?xml version=\"1.0\"?><p>x</p>")},
        PageRow{"ExternalScriptsStay", kPage, u"<html><script src=a.js></script></html>",
                u"<html><head>" + boot() + u"</head>" + call(u"<html>") + u"<script src=a.js></script>" +
                    call(u"</html>")},
        PageRow{"CharsetDeclarationStaysReadable", kPage,
                u"<!DOCTYPE html><html><head><META Charset=\"utf-8\"><title>t</title></head></html>",
                u"<!DOCTYPE html><html><head><META Charset=\"utf-8\">" + boot() + u"</head>" +
                    call(u"<html><head><META Charset=\"utf-8\"><title>t</title></head></html>")},
        PageRow{"ContentTypeDeclarationStaysReadable", kPage,
                u"<head><meta http-equiv=Content-Type content='text/html; charset=iso-8859-1'></head>",
                u"<html><head><meta http-equiv=Content-Type content='text/html; charset=iso-8859-1'>" + boot() +
                    u"</head>" +
                    call(u"<head><meta http-equiv=Content-Type content='text/html; charset=iso-8859-1'></head>")},
        PageRow{"OtherMetaTagsStayHidden", kPage, u"<head><meta name=author content=me></head>",
                u"<html><head>" + boot() + u"</head>" + call(u"<head><meta name=author content=me></head>")},
        PageRow{"EmptyPage", kPage, u"", u"<html><head>" + boot() + u"</head>" + call(u"")}),
    [](const auto& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(
    Links, ProtectPageTest,
    ::testing::Values(
        PageRow{"AllLinks", kLinks, u"<A HREF=x>X</A> <a href=y>Y</a> <a\nhref=z>Z</a>",
                u"<html><head>" + boot() + u"</head>" + call(u"<A HREF=x>X</A>") + u" " + call(u"<a href=y>Y</a>") +
                    u" <a\nhref=z>Z</a>"},
        PageRow{"LinkWithoutEnd", kLinks, u"<a href=y>Y</a><a href=z>Z",
                u"<html><head>" + boot() + u"</head>" + call(u"<a href=y>Y</a>") + u"<a href=z>Z"},
        PageRow{"LinkWrittenByAScript", kLinks, u"<script>document.write('<a href=x>x</a>')</script><a href=y>Y</a>",
                u"<html><head>" + boot() + u"</head><script>document.write('<a href=x>x</a>')</script>" +
                    call(u"<a href=y>Y</a>")},
        PageRow{"LinkInAnAttributeIsNotTaken", kLinks, u"<p onclick=\"w('<a href=x>')\">p</p><a href=y>Y</a>",
                u"<html><head>" + boot() + u"</head><p onclick=\"w('<a href=x>')\">p</p>" + call(u"<a href=y>Y</a>")},
        PageRow{"OnlyTheEmailLink", kEmail, u"<a href=x>X</a><a href=\"MAILTO:me@x\">me</a><a href=y>Y</a>",
                u"<html><head>" + boot() + u"</head><a href=x>X</a>" + call(u"<a href=\"MAILTO:me@x\">me</a>") +
                    u"<a href=y>Y</a>"},
        PageRow{"BareMailtoReachesBackOverClosedLinks", kEmail, u"<a href=x>X</a> <a href=y>Y</a> mailto:me",
                u"<html><head>" + boot() + u"</head>" + call(u"<a href=x>X</a>") + u" " + call(u"<a href=y>Y</a>") +
                    u" mailto:me"},
        PageRow{"MailtoWithoutLink", kEmail, u"mailto:a mailto:b <a href=x>X</a>",
                u"<html><head>" + boot() + u"</head>mailto:a mailto:b <a href=x>X</a>"},
        PageRow{"MailtoLinkWithoutEnd", kEmail, u"<a href=mailto:a>a",
                u"<html><head>" + boot() + u"</head><a href=mailto:a>a"},
        PageRow{"LinkInScriptIsNotTaken", kEmail, u"<script>w('<a href=mailto:x>')</script>mailto:",
                u"<html><head>" + boot() + u"</head><script>w('<a href=mailto:x>')</script>mailto:"},
        PageRow{"LinkBeforeTheHead", kLinks, u"<a href=x>X</a><head></head>",
                call(u"<a href=x>X</a>") + u"<head>" + boot() + u"</head>"},
        PageRow{"EmailLinkBeforeTheHead", kEmail, u"<a href=mailto:x>X</a><head></head>",
                call(u"<a href=mailto:x>X</a>") + u"<head>" + boot() + u"</head>"},
        // Links in a template, a drawing or a bogus comment are not the page's links.
        PageRow{"LinkInATemplateStays", kLinks, u"<head></head><template><a href=t>T</a></template><a href=x>X</a>",
                u"<head>" + boot() + u"</head><template><a href=t>T</a></template>" + call(u"<a href=x>X</a>")},
        PageRow{"LinkInADrawingStays", kLinks, u"<head></head><svg><a href=s>S</a></svg><a href=x>X</a>",
                u"<head>" + boot() + u"</head><svg><a href=s>S</a></svg>" + call(u"<a href=x>X</a>")},
        PageRow{"EmailLinkInADrawingStays", kEmail, u"<head></head><svg><a href=mailto:s>S</a></svg>",
                u"<head>" + boot() + u"</head><svg><a href=mailto:s>S</a></svg>"},
        // A link shown only without scripts is hidden too: a harvester reads no scripts.
        PageRow{"EmailLinkInANoscript", kEmail, u"<head></head><noscript><a href=mailto:n>N</a></noscript>",
                u"<head>" + boot() + u"</head><noscript>" + call(u"<a href=mailto:n>N</a>") + u"</noscript>"},
        PageRow{"LinkInABogusComment", kLinks, u"<head></head><?php \"<a href=p>P</a>\" ?><a href=x>X</a>",
                u"<head>" + boot() + u"</head><?php \"<a href=p>P</a>\" ?>" + call(u"<a href=x>X</a>")},
        PageRow{"LinkInCdataOutsideADrawing", kLinks, u"<head></head><![CDATA[<a href=c>C</a>]]><a href=x>X</a>",
                u"<head>" + boot() + u"</head><![CDATA[<a href=c>C</a>]]>" + call(u"<a href=x>X</a>")},
        // The header never lands inside a tag that a quote in an unquoted value seemed to keep open.
        PageRow{"QuoteInAnUnquotedValueOfTheHtmlTag", kEmail,
                u"<html data-x=a='b><body><a href=mailto:x>X</a>'</body></html>",
                u"<html data-x=a='b><head>" + boot() + u"</head><body>" + call(u"<a href=mailto:x>X</a>") +
                    u"'</body></html>"},
        PageRow{"QuoteInAnUnquotedValueOfTheHeadTag", kLinks,
                u"<html><a href=w>W</a><head data-x=a='b><title>t</title></head><body><a href=x>X</a>'</body>",
                u"<html>" + call(u"<a href=w>W</a>") + u"<head data-x=a='b>" + boot() +
                    u"<title>t</title></head><body>" + call(u"<a href=x>X</a>") + u"'</body>"},
        // A quote left open in the html tag pairs with the quote of the first writer call when the output is read:
        // the header goes in front of that writer call, not into it (found by fuzz_protect_page).
        PageRow{"HeaderStaysOutOfAWriterCallThatAnOpenQuoteReaches", kEmail,
                withNuls(u"<html href=\"mailto:~x~><a href=mailto:y>y</a>"),
                withNuls(u"<html href=\"mailto:~x~>") + u"<head>" + boot() + u"</head>" +
                    call(u"<a href=mailto:y>y</a>")},
        PageRow{"TwoEmailLinks", kEmail, u"<a href=mailto:a>a</a>-<a href=mailto:b>b</a>",
                u"<html><head>" + boot() + u"</head>" + call(u"<a href=mailto:a>a</a>") + u"-" +
                    call(u"<a href=mailto:b>b</a>")}),
    [](const auto& info) { return std::string(info.param.name); });

struct NotesRow {
    const char* name;
    EncryptionMode mode;
    std::u16string page;
    bool inPart;
};

void PrintTo(const NotesRow& row, std::ostream* out) {
    *out << row.name;
}

class PageNotesTest : public ::testing::TestWithParam<NotesRow> {};

TEST_P(PageNotesTest, TellsWhenLinksTheModeHidesStayAsTheyAre) {
    const auto& row = GetParam();
    const ProtectionOptions options = optionsFor(row.mode);
    const std::u16string header = BuildHeader(options);
    std::u16string out;
    const PageNotes notes =
        TransformPage(PageParts<char16_t>{row.page, header, u"", 0}, options, UnitText::instance(), out);
    EXPECT_EQ(notes.protectedInPart(), row.inPart);
    EXPECT_EQ(notes.linksLeftAsTheyAre, row.inPart);
}

INSTANTIATE_TEST_SUITE_P(
    Pages, PageNotesTest,
    ::testing::Values(
        NotesRow{"LinkInATemplate", kLinks, u"<template><a href=x>x</a></template>", true},
        NotesRow{"LinkInADrawing", kLinks, u"<p><svg><a href=x><text>x</text></a></svg>", true},
        NotesRow{"LinkInACommentInATemplate", kLinks, u"<template><!-- <a href=x>x</a> --></template>", false},
        NotesRow{"LinkInABogusComment", kLinks, u"<template></template><?php \"<a href=x>x</a>\" ?>", false},
        NotesRow{"PageLinksOnly", kLinks, u"<svg></svg><a href=x>x</a>", false},
        NotesRow{"EmailLinkInADrawing", kEmail, u"<svg><a href=\"mailto:x\">x</a></svg>", true},
        NotesRow{"OtherLinkInADrawing", kEmail, u"<svg><a href=x>x</a></svg><a href=mailto:y>y</a>", false},
        NotesRow{"BodyModeHidesTheDrawing", kBody, u"<body><svg><a href=x>x</a></svg></body>", false},
        NotesRow{"WholePageModeHidesTheTemplate", kPage, u"<template><a href=x>x</a></template>", false}),
    [](const auto& info) { return std::string(info.param.name); });

// Browsers look for the character-set declaration in the first 1024 bytes only (a unit is one byte here).
struct CharsetRow {
    const char* name;
    EncryptionMode mode;
    std::size_t noticeLength; // 0 for no notice
    std::u16string page;      // "@" marks where the header goes
};

class CharsetInReachTest : public ::testing::TestWithParam<CharsetRow> {};

TEST_P(CharsetInReachTest, HeaderLeavesTheDeclarationWhereBrowsersLook) {
    const auto& row = GetParam();
    ProtectionOptions options = optionsFor(row.mode);
    options.insertNotice = row.noticeLength != 0;
    options.noticeText = std::u16string(row.noticeLength > 10 ? row.noticeLength - 10 : 0, u'n');
    std::u16string page = row.page;
    std::u16string expected = row.page;
    page.erase(page.find(u'@'), 1);
    expected.replace(expected.find(u'@'), 1, boot());
    const std::size_t body = expected.find(u"<body>x</body>");
    if (body != std::u16string::npos && row.mode == kBody) {
        expected.replace(body, 14, u"<body>" + call(u"x") + u"</body>");
    }
    const std::size_t link = expected.find(u"<a href=x>X</a>");
    if (link != std::u16string::npos && row.mode == kLinks) {
        expected.replace(link, 15, call(u"<a href=x>X</a>"));
    }
    EXPECT_EQ(protect(page, options), NoticeComment(options) + expected);
}

// A title that makes the declaration after it end at byte `end` of the page.
std::u16string titleEndingAt(std::size_t end) {
    constexpr std::size_t kAround = 19 + 8 + 22; // "<html><head><title>", "</title>", "<meta charset=utf-8>"
    return std::u16string(end - kAround, u't');
}

std::u16string pageWithTitle(std::size_t metaEnd, std::u16string_view head = u"<html><head>@") {
    std::u16string page(head);
    return page + u"<title>" + titleEndingAt(metaEnd) + u"</title><meta charset=utf-8></head><body>x</body></html>";
}

INSTANTIATE_TEST_SUITE_P(Pages, CharsetInReachTest,
                         ::testing::Values(CharsetRow{"PushedOutByTheHeader", kBody, 0,
                                                      u"<html><head><title>" + titleEndingAt(1010) +
                                                          u"</title><meta charset=utf-8>@</head>"
                                                          u"<body>x</body></html>"},
                                           CharsetRow{"AlreadyOutOfReach", kBody, 0, pageWithTitle(1030)},
                                           CharsetRow{"StaysInReach", kBody, 0, pageWithTitle(1024 - boot().size())},
                                           CharsetRow{"PushedOutByNoticeAndHeader", kEmail, 30,
                                                      u"<html><head><title>" + titleEndingAt(1000 - boot().size()) +
                                                          u"</title><meta charset=utf-8>@</head><body>x</body></html>"},
                                           CharsetRow{"OutOfReachByTheNoticeAlone", kBody, 30, pageWithTitle(1000)},
                                           CharsetRow{"InANewHeadWithoutHeadTag", kBody, 0,
                                                      u"<html><title>" + titleEndingAt(1010) +
                                                          u"</title><meta charset=utf-8><head>@</head>"
                                                          u"<body>x</body></html>"},
                                           CharsetRow{"AWriterCallBeforeTheDeclarationNeedsTheHeaderFirst", kLinks, 0,
                                                      u"<html><head>@<a href=x>X</a><title>" + titleEndingAt(995) +
                                                          u"</title><meta charset=utf-8></head><body>x</body></html>"},
                                           CharsetRow{"DeclarationBeforeTheHead", kBody, 0,
                                                      u"<meta charset=utf-8><html><head>@<title>" +
                                                          std::u16string(990, u't') +
                                                          u"</title></head><body>x</body></html>"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ProtectPage, NoticeGoesOnTopOfEverything) {
    ProtectionOptions options;
    options.insertNotice = true;
    options.noticeText = u"Notice X";
    EXPECT_EQ(protect(u"<!DOCTYPE html><body>x</body>", options),
              u"<!-- Notice X-->\r\n<!DOCTYPE html><html><head>" + boot() + u"</head><body>" + call(u"x") + u"</body>");
}

TEST(ProtectPage, ImageToolbarMetaGoesInBeforeTheEncryption) {
    ProtectionOptions options;
    options.scripts[kScriptImageToolbar] = true;
    EXPECT_EQ(protect(u"<head></head><body>x</body>", options),
              u"<head>" + boot() + kMeta + u"</head><body>" + call(u"x") + u"</body>");
    options.encryptionMode = kPage;
    EXPECT_EQ(protect(u"<head></head>", options),
              u"<html><head>" + boot() + u"</head>" + call(u"<head>" + kMeta + u"</head>"));
}

TEST(ProtectPage, BehaviourBlockFollowsTheBootstrap) {
    ProtectionOptions options;
    options.scripts[kScriptDragDrop] = true;
    const std::u16string block = call(u"<SCRIPT LANGUAGE=JavaScript><!--\r\nfunction qv_ne(){return true}onerror=qv_ne;"
                                      u"function qv_ndd(){return false}document.ondragstart=qv_ndd;//--></SCRIPT>") +
                                 call(u"");
    EXPECT_EQ(protect(u"<head></head><body>x</body>", options),
              u"<head>" + boot() + block + u"</head><body>" + call(u"x") + u"</body>");
}

struct FrameRecorder {
    std::vector<std::u16string> calls;
    std::size_t failAt = SIZE_MAX;

    FramePageOperation operation() {
        return [this](std::u16string_view address) {
            calls.emplace_back(address);
            return calls.size() != failAt;
        };
    }
};

TEST(FollowFrames, ProtectsLocalFramePagesAndLeavesTheFramesetUnchanged) {
    const std::u16string page =
        u"<html><frameset cols=\"20%,*\"><frame name=m src=\"menu.htm\"><FRAME SRC=main.htm NAME=x>"
        u"<frame src='http://example.com/a.htm'></frameset></html>";
    FrameRecorder recorder;
    std::u16string text = page;
    ProtectPage(text, ProtectionOptions{}, BuildHeader(ProtectionOptions{}), recorder.operation());
    EXPECT_EQ(text, page);
    // Which addresses are followed is the caller's rule: every frame's address reaches it, remote ones too.
    EXPECT_EQ(recorder.calls, (std::vector<std::u16string>{u"menu.htm", u"main.htm", u"http://example.com/a.htm"}));
}

TEST(FollowFrames, AQuotedAddressKeepsItsBlanks) {
    FrameRecorder recorder;
    EXPECT_TRUE(FollowFrames(u"<frame src=\"my page.htm\">", recorder.operation()));
    EXPECT_EQ(recorder.calls, (std::vector<std::u16string>{u"my page.htm"}));
}

TEST(ScanFrames, AFrameWithoutAddressEndsTheListAfterTheFramesBeforeIt) {
    const FrameScan scan = ScanFrames(u"<frame src=a.htm><frame name=x><frame src=c.htm>");
    EXPECT_TRUE(scan.frameset);
    EXPECT_FALSE(scan.complete);
    EXPECT_EQ(scan.addresses, (std::vector<std::u16string>{u"a.htm"}));
}

TEST(FollowFrames, AFailedFramePageMakesThePageAnOrdinaryOne) {
    FrameRecorder recorder;
    recorder.failAt = 2;
    std::u16string text = u"<head></head><frame src=a.htm><frame src=b.htm><frame src=c.htm>";
    ProtectPage(text, ProtectionOptions{}, BuildHeader(ProtectionOptions{}), recorder.operation());
    EXPECT_EQ(recorder.calls.size(), 2u); // a.htm was handled before b.htm failed; c.htm is never reached
    EXPECT_EQ(text, u"<head>" + boot() + u"</head><frame src=a.htm><frame src=b.htm><frame src=c.htm>");
}

struct NotAFramesetRow {
    const char* name;
    std::u16string page;
    bool result;
    std::size_t calls = 0;
};

class FollowFramesResultTest : public ::testing::TestWithParam<NotAFramesetRow> {};

TEST_P(FollowFramesResultTest, TellsWhetherThePageIsAFrameset) {
    FrameRecorder recorder;
    EXPECT_EQ(FollowFrames(GetParam().page, recorder.operation()), GetParam().result);
    EXPECT_EQ(recorder.calls.size(), GetParam().calls);
}

INSTANTIATE_TEST_SUITE_P(
    Pages, FollowFramesResultTest,
    ::testing::Values(NotAFramesetRow{"NoFrame", u"<frameset></frameset><iframe src=a.htm>", false},
                      NotAFramesetRow{"SrcOnlyInALaterTag", u"<frame name=a><img src=b.png>", false},
                      NotAFramesetRow{"NoSrcAtAll", u"<frame name=a>", false},
                      NotAFramesetRow{"NoTagEnd", u"<frame src=a.htm", false},
                      NotAFramesetRow{"EmptyAddress", u"<frame src=\"\">", false},
                      NotAFramesetRow{"FrameInComment", u"<!-- <frame src=a.htm> -->", false},
                      NotAFramesetRow{"FrameInScript", u"<script>w('<frame src=a.htm>')</script>", false},
                      NotAFramesetRow{"OnlyRemoteFrames", u"<frame src=\"HTTP://example.com/\">", true, 1}),
    [](const auto& info) { return std::string(info.param.name); });

struct AttributeRow {
    std::u16string text;
    std::ptrdiff_t first;
    std::ptrdiff_t last;
    std::u16string value;
};

class ReadAttributeValueTest : public ::testing::TestWithParam<AttributeRow> {};

TEST_P(ReadAttributeValueTest, ReadsOneValue) {
    const auto& row = GetParam();
    EXPECT_EQ(ReadAttributeValue(row.first, row.last, row.text), row.value);
}

INSTANTIATE_TEST_SUITE_P(Values, ReadAttributeValueTest,
                         ::testing::Values(AttributeRow{u" \"my page.htm\" ", 0, 14, u"my page.htm"},
                                           AttributeRow{u"main.htm name=x", 0, 14, u"main.htm"},
                                           AttributeRow{u"'a\"b'", 0, 4, u"a"}, AttributeRow{u"x'y", 0, 2, u"x'y"},
                                           AttributeRow{u"abcdef", 1, 3, u"bcd"}, AttributeRow{u"abc", 2, 1, u""},
                                           AttributeRow{u"   ", 0, 2, u""}, AttributeRow{u"\" a \"", 0, 4, u"a"},
                                           AttributeRow{u"abc", 0, 99, u"abc"}));

} // namespace
} // namespace quillora::engine
