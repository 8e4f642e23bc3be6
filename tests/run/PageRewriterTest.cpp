#include "run/PageRewriter.h"

#include "engine/ContentEncoding.h"

#include <gtest/gtest.h>

namespace quillora::run {
namespace {

using charset::PageEncoding;
using engine::EncryptionMode;

std::string bootstrap() {
    const std::u16string_view text = engine::Bootstrap();
    return std::string(text.begin(), text.end());
}

/// A writer call around escapes as they are written.
std::string call(std::string_view escapes) {
    return "<SCRIPT LANGUAGE='JavaScript'><!--\r\nqv_d00(unescape(\"" + std::string(escapes) + "\"));//--></SCRIPT>";
}

engine::ProtectionOptions optionsFor(EncryptionMode mode) {
    engine::ProtectionOptions options;
    options.encryptionMode = mode;
    return options;
}

std::string rewritten(const std::string& page, const engine::ProtectionOptions& options) {
    PageRewriter rewriter(options, engine::BuildHeader(options));
    std::string out;
    EXPECT_FALSE(rewriter.rewrite(page, PageRewriter::encodingOf(page), out));
    return out;
}

struct RewriteRow {
    const char* name;
    std::string page;
    std::string expectedStart; // the protected page begins like this (mark, then the page's own start)
};

class PageRewriterTest : public ::testing::TestWithParam<RewriteRow> {};

TEST_P(PageRewriterTest, WritesThePageBackInItsOwnSetAndRecognisesItAfterwards) {
    const auto& row = GetParam();
    const engine::ProtectionOptions options;
    PageRewriter rewriter(options, engine::BuildHeader(options));
    const PageEncoding encoding = PageRewriter::encodingOf(row.page);
    EXPECT_FALSE(PageRewriter::isProtected(row.page, encoding));
    std::string out;
    ASSERT_FALSE(rewriter.rewrite(row.page, encoding, out));
    EXPECT_EQ(out.substr(0, row.expectedStart.size()), row.expectedStart);
    EXPECT_EQ(PageRewriter::encodingOf(out), encoding);
    EXPECT_TRUE(PageRewriter::isProtected(out, encoding));
}

INSTANTIATE_TEST_SUITE_P(
    Sets, PageRewriterTest,
    ::testing::Values(RewriteRow{"Utf8WithMark", "\xEF\xBB\xBF<html><head></head><body>caf\xC3\xA9</body></html>",
                                 "\xEF\xBB\xBF<html><head><SCRIPT"},
                      RewriteRow{"Windows1252", "<html><head></head><body>caf\xE9</body></html>",
                                 "<html><head><SCRIPT"},
                      RewriteRow{"Utf16LittleEndian", std::string("\xFF\xFE<\0b\0>\0x\0<\0/\0b\0>\0", 18),
                                 std::string("\xFF\xFE<\0h\0t\0m\0l\0>\0", 14)}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(PageRewriter, FindsTheFramesOfAFrameset) {
    const engine::ProtectionOptions options;
    const PageRewriter rewriter(options, engine::BuildHeader(options));
    const std::string page = "<frameset><frame src=a.htm><FRAME SRC='b c\xC3\xA9.htm'></frameset>";
    const engine::FrameScan scan = rewriter.frames(page, PageRewriter::encodingOf(page));
    EXPECT_TRUE(scan.frameset && scan.complete);
    EXPECT_EQ(scan.addresses, (std::vector<std::u16string>{u"a.htm", u"b c\u00E9.htm"}));
}

// A page that says it is UTF-8 is read as UTF-8 with invalid bytes in it: what stays readable keeps its bytes,
// what is encoded carries what the browser shows for them.
TEST(PageRewriter, InvalidUtf8DeclaredAsUtf8KeepsItsReadableBytes) {
    const std::string head = "<html><head><meta charset=utf-8><title>caf\xE9</title></head>";
    EXPECT_EQ(rewritten(head + "<body>x\xFF\xC3\xA9\xE2\x82</body></html>", optionsFor(EncryptionMode::BodyOnly)),
              "<html><head>" + bootstrap() + "<meta charset=utf-8><title>caf\xE9</title></head><body>" +
                  call("%78%uFFFD%E9%uFFFD") + "</body></html>");
    EXPECT_EQ(rewritten("<meta charset=utf-8>\xFF<a href=x>\xE9</a>\xFE", optionsFor(EncryptionMode::AllLinks)),
              "<html><head>" + bootstrap() + "</head><meta charset=utf-8>\xFF" +
                  call("%3C%61%20%68%72%65%66%3D%78%3E%uFFFD%3C%2F%61%3E") + "\xFE");
}

TEST(PageRewriter, NoticeIsWrittenInThePagesSet) {
    engine::ProtectionOptions options;
    options.insertNotice = true;
    options.noticeText = u"\u00A9 \u65E5";
    EXPECT_EQ(rewritten("<body>\xE9</body>", options).substr(0, 21), "<!-- \xA9 &#26085;-->\r\n<");
    EXPECT_EQ(rewritten("<body>\xC3\xA9</body>", options).substr(0, 16), "<!-- \xC2\xA9 \xE6\x97\xA5-->\r\n");
}

TEST(PageRewriter, ZeroBytesAreRemovedBeforeTheMarkupIsRead) {
    const std::string page("<head></head><bo\0dy>a\0b</body>", 30);
    EXPECT_EQ(rewritten(page, optionsFor(EncryptionMode::BodyOnly)),
              "<head>" + bootstrap() + "</head><body>" + call("%61%62") + "</body>");
}

// The declaration is within reach in the bytes of the file, which a title in a set of several bytes a character
// makes longer than its code units.
TEST(PageRewriter, HeaderFollowsADeclarationItWouldPushPastTheFirst1024Bytes) {
    std::string title;
    for (int i = 0; i < 400; ++i)
        title += "\xC3\xA9";
    const std::string start = "<html><head><title>" + title + "</title><meta charset=utf-8>";
    const std::string out = rewritten(start + "</head><body>x</body></html>", optionsFor(EncryptionMode::BodyOnly));
    EXPECT_EQ(out.substr(0, start.size() + bootstrap().size()), start + bootstrap());
}

struct SetRow {
    const char* name;
    std::string page; // valid in its set
};

class BothPaths : public ::testing::TestWithParam<SetRow> {};

// The page read in its bytes gives what the page decoded into code units gives, in every mode.
TEST_P(BothPaths, GiveTheSameBytes) {
    for (int mode = 0; mode < 4; ++mode) {
        engine::ProtectionOptions options = optionsFor(static_cast<EncryptionMode>(mode));
        options.insertNotice = true;
        options.noticeText = u"\u00E9 \u0430 \u65E5 \U0001F600";
        options.scripts[engine::kScriptDragDrop] = true;
        options.scripts[engine::kScriptImageToolbar] = mode % 2 == 0;
        PageRewriter rewriter(options, engine::BuildHeader(options));
        const PageEncoding encoding = PageRewriter::encodingOf(GetParam().page);
        std::string bytes;
        std::string decoded;
        ASSERT_FALSE(rewriter.rewrite(GetParam().page, encoding, bytes));
        ASSERT_FALSE(rewriter.rewriteDecoded(GetParam().page, encoding, decoded));
        EXPECT_EQ(bytes, decoded) << "mode " << mode;
    }
}

const std::string kLinks = "<a href=\"mailto:x@y\">m</a> <a href=x>l</a><script src=a.js></script><script>w()</script>";

INSTANTIATE_TEST_SUITE_P(
    Sets, BothPaths,
    ::testing::Values(
        SetRow{"Windows1252",
               "<!DOCTYPE html><html><head><title>\x80\xE9</title></head><body>\x93" + kLinks + "\x9F</body></html>"},
        SetRow{"Utf8", "\xEF\xBB\xBF<html><head><meta charset=utf-8></head><body>\xC3\xA9\xF0\x9F\x98\x80" + kLinks +
                           "</body></html>"},
        SetRow{"Koi8",
               "<html><head><meta charset=koi8-r><title>\xC1\xC2</title></head><body>\xD7" + kLinks + "</html>"},
        SetRow{"EucJp", "<html><head><meta charset=euc-jp></head><body>\xC6\xFC\xCB\xDC" + kLinks + "</body></html>"},
        SetRow{"Greek", "<meta charset=iso-8859-7><head></head><body>\xE1\xE2 \xA4" + kLinks + "</body>"},
        SetRow{"LateDeclaration", "<html><head><title>" + std::string(900, '\xE9') +
                                      "</title><meta charset=windows-1252></head><body>x</body></html>"}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace quillora::run
