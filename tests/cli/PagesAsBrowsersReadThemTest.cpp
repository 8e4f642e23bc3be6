// Valid but unusual pages, end to end through the real quillora-cli: each is protected as a browser reads it. The
// protected page must read back as the original once its writer calls have run, with the header standing where
// a browser runs it (in markup, before every writer call) and every writer call standing where the original had
// markup, so that what it writes is read as the original was; what the mode hides must not stay readable.

#include "CliProcess.h"
#include "CliTestSupport.h"
#include "WriterCallDecoder.h"
#include "charset/TextConvert.h"
#include "engine/ContentEncoding.h"
#include "engine/MarkupScanner.h"

#include <algorithm>
#include <filesystem>
#include <gtest/gtest.h>
#include <optional>
#include <unistd.h>

namespace quillora::cli::test {
namespace {

namespace fs = std::filesystem;
using fuzz::OutputSegment;
using fuzz::WriterCallDecoder;

constexpr std::string_view kInPart =
    ": protected in part: links inside a template or an SVG or MathML drawing are left as they are\n";

/// Where the header must stand.
enum class Header {
    InMarkup,         // in the page's markup as a browser reads the protected page, before every writer call
    OutOfWriterCalls, // before every writer call and outside them (the page itself keeps a tag open)
};

struct Situation {
    const char* name;
    std::string page;
    const char* hide;
    std::vector<std::string> hidden = {}; // must not stay readable
    std::vector<std::string> kept = {};   // must stay as they are
    bool inPart = false;                  // reported as protected in part
    Header header = Header::InMarkup;
};

void PrintTo(const Situation& situation, std::ostream* out) {
    *out << situation.name;
}

/// The protected page without its header (and the head the placement may have made for it), and where the header
/// stood, such that the rest reads back as the original once its writer calls have run. Each way is tried: the
/// page may have had an empty head of its own.
std::optional<std::pair<std::u16string, std::size_t>> withoutHeader(const std::u16string& page,
                                                                    const std::u16string& original) {
    const std::u16string bootstrap(engine::Bootstrap());
    for (const std::u16string& wrapped :
         {u"<html><head>" + bootstrap + u"</head>", u"<head>" + bootstrap + u"</head>", bootstrap}) {
        const std::size_t at = page.find(wrapped);
        if (at == std::u16string::npos) {
            continue;
        }
        std::u16string rest = page.substr(0, at) + page.substr(at + wrapped.size());
        std::u16string shown;
        std::string error;
        if (WriterCallDecoder::runAll(rest, shown, error) && shown == original) {
            return std::make_pair(std::move(rest), at);
        }
    }
    return std::nullopt;
}

/// Every writer call stands where the original has markup, and what it writes ends where the original has markup
/// again: the browser then reads the written text as it read the original (not as a script's or a template's).
void expectWriterCallsInMarkup(const std::u16string& rest, const std::u16string& original, std::string_view hide) {
    std::vector<OutputSegment> segments;
    std::string error;
    ASSERT_TRUE(WriterCallDecoder::split(rest, segments, error)) << error;
    // Links inside noscript are hidden for the browsers that show them, those without scripts.
    const bool links = hide == "links" || hide == "email-links";
    engine::MarkupScanner scanner(original, links ? engine::MarkupScanner::Noscript::Markup
                                                  : engine::MarkupScanner::Noscript::Text);
    // In markup, or at a comment's start just after markup.
    const auto standsInMarkup = [&](std::size_t pos) {
        return pos == original.size() || scanner.isMarkup(pos) ||
               (original[pos] == u'<' && (pos == 0 || scanner.isMarkup(pos - 1)));
    };
    std::size_t at = 0;
    for (const OutputSegment& segment : segments) {
        if (segment.writerCall) {
            EXPECT_TRUE(standsInMarkup(at)) << "a writer call at " << at;
            EXPECT_TRUE(standsInMarkup(at + segment.text.size()))
                << "a writer call ends at " << at + segment.text.size();
        }
        at += segment.text.size();
    }
}

class PagesAsBrowsersReadThem : public testing::TestWithParam<Situation> {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "quillora-reading-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        m_root = pattern;
    }
    void TearDown() override {
        std::error_code error;
        fs::remove_all(m_root, error);
    }

    fs::path m_root;
};

TEST_P(PagesAsBrowsersReadThem, AreProtectedAsTheBrowserShowsThem) {
    const Situation& s = GetParam();
    const fs::path file = m_root / "page.htm";
    writeFile(file, s.page);
    const CliOutcome outcome = CliProcess::run({"--hide", s.hide, "--no-backup", file.string()}, seconds(10));
    ASSERT_FALSE(outcome.timedOut);
    EXPECT_EQ(outcome.exitCode, s.inPart ? 1 : 0) << outcome.err;
    EXPECT_EQ(outcome.out, file.string() + "\n");
    EXPECT_EQ(outcome.err.find(kInPart) != std::string::npos, s.inPart) << outcome.err;
    if (s.inPart) {
        EXPECT_NE(outcome.err.find("quillora-cli: " + file.string() + std::string(kInPart)), std::string::npos)
            << outcome.err;
    }

    const std::string bytes = contentOf(file);
    const std::u16string page = charset::fromUtf8(bytes);
    std::string original = s.page;
    std::erase(original, '\0'); // the run reads a page without its NUL characters
    const std::u16string originalUnits = charset::fromUtf8(original);
    const auto unwrapped = withoutHeader(page, originalUnits);
    ASSERT_TRUE(unwrapped.has_value()) << "the page, without its header, reads back as it was";
    const auto& [rest, headerAt] = *unwrapped;
    const std::size_t firstCall = page.find(WriterCallDecoder::kCallStart);
    EXPECT_TRUE(firstCall == std::u16string::npos || headerAt < firstCall) << "the header comes first";
    std::vector<OutputSegment> segments;
    std::string error;
    EXPECT_TRUE(WriterCallDecoder::split(page, segments, error)) << "the header is outside the writer calls";
    if (s.header == Header::InMarkup) {
        EXPECT_TRUE(engine::MarkupScanner(page).isMarkup(page.find(engine::Bootstrap())))
            << "the header is in markup, not in a tag, a title or a script";
        expectWriterCallsInMarkup(rest, originalUnits, s.hide);
    }
    for (const std::string& word : s.hidden) {
        EXPECT_EQ(bytes.find(word), std::string::npos) << word << " stays readable";
    }
    for (const std::string& text : s.kept) {
        EXPECT_NE(bytes.find(text), std::string::npos) << text << " is not as it was";
    }
}

std::string bodyPage(std::string_view body) {
    return "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>Sample</title></head>\n<body>" +
           std::string(body) + "</body>\n</html>\n";
}

// clang-format off
const Situation kSituations[] = {
    // Raw text is not markup.
    {"TitleHoldingABodyTag", "<html><head><title>Soup <body> of the day</title></head><body><p>Lentil soup</p></body></html>",
     "body", {"Lentil"}, {"<title>Soup <body> of the day</title>"}},
    {"TitleHoldingAHeadTag", "<html><title>All <head> counts</title><body><p>Bread and butter</p></body></html>",
     "body", {"Bread"}, {"<title>All <head> counts</title>"}},
    {"XmpHoldingABodyTag", "<html><head><title>T</title></head><xmp>Write <body> first</xmp><p>Done so</p></html>",
     "body", {"Write", "Done"}},
    {"PlaintextHoldingABodyTag", "<html><head></head><plaintext>Then <body> as text</plaintext>", "body",
     {"Then", "text"}},
    {"NoembedHoldingABodyTag", "<html><head></head><noembed>No <body> plugin</noembed><p>Plain page</p></html>",
     "body", {"plugin", "Plain"}},
    {"NoframesHoldingABodyTag",
     "<html><head><noframes>Use <body> frames</noframes></head><body><p>Framed words</p></body></html>",
     "body", {"Framed"}, {"<noframes>Use <body> frames</noframes>"}},
    // Links that are not the page's links.
    {"LinkInATemplate",
     "<html><head></head><body><template id=\"member\"><a href=\"team.htm\">Team</a></template>"
     "<a href=\"home.htm\">Home</a></body></html>",
     "links", {"home.htm"}, {"<template id=\"member\"><a href=\"team.htm\">Team</a></template>"}, true},
    {"LinkInADrawing",
     "<html><head></head><body><svg width=\"20\" height=\"20\"><a href=\"map.htm\"><circle r=\"9\"/></a></svg>"
     "<a href=\"home.htm\">Home</a></body></html>",
     "links", {"home.htm"}, {"<svg width=\"20\" height=\"20\"><a href=\"map.htm\"><circle r=\"9\"/></a></svg>"}, true},
    {"EmailLinkInADrawing",
     "<html><head></head><body><svg><a href=\"mailto:map@example.com\"><text>Map</text></a></svg></body></html>",
     "email-links", {}, {"mailto:map@example.com"}, true},
    {"LinksInBogusComments",
     "<html><head></head><body><?php echo \"<a href='mailto:php@example.com'>\"; ?><![CDATA[<a href=\"cdata.htm\">]]>"
     "<a href=\"mailto:me@example.com\">me</a></body></html>",
     "email-links", {"me@example.com"}, {"<?php echo \"<a href='mailto:php@example.com'>", "<![CDATA[<a href=\"cdata.htm\">"}},
    // A link inside noscript shows only without scripts, as to a harvester: it is hidden all the same.
    {"EmailLinkInANoscript",
     "<html><head></head><body><noscript><a href=\"mailto:js@example.com\">mail</a></noscript></body></html>",
     "email-links", {"js@example.com"}},
    // Comments as browsers end them.
    {"CommentEndedByBangBeforeTheHtmlTag",
     "<!-- generated --!><html><head></head><body><p>Hidden words</p></body></html>", "body", {"Hidden"}},
    {"ScriptStringOpeningAnEscape",
     bodyPage("<script type=\"text/javascript\"><!--\ndocument.write(\"<script src='late.js'></script>\");\n//--></script>"
              "<p>After it</p>"),
     "body", {"late.js", "After"}},
    // The header never lands inside a tag.
    {"QuoteInTheHtmlTagHidingLinks",
     "<html data-x=a='b><body><p>It's <a href=\"x.htm\">here</a></p></body></html>", "links", {"x.htm"}},
    {"QuoteInTheHtmlTagHidingEmailLinks",
     "<html data-x=a='b><body><p>It's <a href=\"mailto:me@example.com\">me</a></p></body></html>",
     "email-links", {"me@example.com"}},
    {"QuoteInTheHtmlTagHidingTheBody",
     "<html data-x=a='b><body><p>It's the body</p></body></html>", "body", {"body</p>"}},
    {"QuoteInTheHeadTag",
     "<html><head data-x=a='b><title>T</title></head><body><p>It's <a href=\"x.htm\">here</a></p></body></html>",
     "links", {"x.htm"}},
    // <header> is not <head>.
    {"HeaderElementFirst", "<header><h1>Site name</h1></header><body><p>Body text</p></body>", "body",
     {"Site", "Body"}},
    // Body mode hides what the browser shows as the body.
    {"TextAfterTheBodyEnd", bodyPage("<p>In the body</p>") + "<p>Footer words</p>\n", "body", {"Footer", "body</p>"}},
    {"TextBeforeAnyTag", "Opening words\n<html><head><title>T</title></head><body><p>In it</p></body></html>", "body",
     {"Opening", "In it"}},
    {"NoTagsAtAll", "Only plain words on this page.\n", "body", {"plain"}},
    {"ContentAfterATemplate", bodyPage("<template><script src=\"t.js\"></script></template><p>After the template</p>"),
     "body", {"After"}},
    {"ContentAfterANoscript", bodyPage("<noscript><script src=\"n.js\"></script></noscript><p>After noscript</p>"),
     "body", {"After", "n.js"}},
    {"IframeFallback", bodyPage("<iframe src=\"f.htm\"><p>Fallback words</p><script src=\"s.js\"></script></iframe><p>Next</p>"),
     "body", {"Fallback", "Next"}},
    // A quote left open in the html tag past a link (found by fuzz_protect_page): the header stays out of the
    // writer call that the quote seems to reach.
    {"OpenQuoteInTheHtmlTagPastALink", std::string("<html href=\"mailto:\0x\0><a href=mailto:y>y</a>", 45),
     "email-links", {"mailto:y"}, {}, false, Header::OutOfWriterCalls},
};
// clang-format on

INSTANTIATE_TEST_SUITE_P(Pages, PagesAsBrowsersReadThem, testing::ValuesIn(kSituations),
                         [](const testing::TestParamInfo<Situation>& info) { return info.param.name; });

} // namespace
} // namespace quillora::cli::test
