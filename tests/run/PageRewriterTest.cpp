#include "run/PageRewriter.h"

#include <gtest/gtest.h>

namespace quillora::run {
namespace {

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
    const std::string page = "<frameset><frame src=a.htm><FRAME SRC='b c.htm'></frameset>";
    const engine::FrameScan scan = rewriter.frames(page, PageRewriter::encodingOf(page));
    EXPECT_TRUE(scan.frameset && scan.complete);
    EXPECT_EQ(scan.addresses, (std::vector<std::u16string>{u"a.htm", u"b c.htm"}));
}

} // namespace
} // namespace quillora::run
