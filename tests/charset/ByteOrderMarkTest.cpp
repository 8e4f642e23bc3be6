#include "charset/ByteOrderMark.h"

#include <gtest/gtest.h>

namespace quillora::charset {
namespace {

using Kind = PageEncoding::Kind;

TEST(ByteOrderMark, ByteOrderMarksDecideTheSet) {
    const auto utf8 = ByteOrderMark::find("\xEF\xBB\xBFx");
    const auto le = ByteOrderMark::find(std::string_view("\xFF\xFEx\0", 4));
    const auto be = ByteOrderMark::find(std::string_view("\xFE\xFF\0x", 4));
    ASSERT_TRUE(utf8 && le && be);
    EXPECT_EQ(utf8->kind, Kind::Utf8);
    EXPECT_EQ(le->kind, Kind::Utf16LE);
    EXPECT_EQ(be->kind, Kind::Utf16BE);
    EXPECT_TRUE(utf8->byteOrderMark && le->byteOrderMark && be->byteOrderMark);
    EXPECT_EQ(ByteOrderMark::of(*utf8).size(), 3u);
    EXPECT_EQ(ByteOrderMark::of(*le).size(), 2u);
    EXPECT_FALSE(ByteOrderMark::find("\xEF\xBB"));
    EXPECT_FALSE(ByteOrderMark::find("<html>"));
}

TEST(ByteOrderMark, IsWrittenBackAndPassedOverOnlyForAPageThatHadOne) {
    for (const std::string_view bytes :
         {std::string_view("\xEF\xBB\xBF<p>"), std::string_view("\xFF\xFE<\0"), std::string_view("\xFE\xFF\0<")}) {
        const auto found = ByteOrderMark::find(bytes);
        ASSERT_TRUE(found);
        EXPECT_TRUE(bytes.starts_with(ByteOrderMark::of(*found)));
        EXPECT_EQ(std::string(ByteOrderMark::of(*found)) + std::string(ByteOrderMark::skip(bytes, *found)), bytes);
        PageEncoding unmarked = *found;
        unmarked.byteOrderMark = false;
        EXPECT_EQ(ByteOrderMark::of(unmarked), "");
        EXPECT_EQ(ByteOrderMark::skip(bytes, unmarked), bytes) << "a page without a mark keeps all its bytes";
        EXPECT_EQ(ByteOrderMark::ofKind(found->kind), ByteOrderMark::of(*found));
    }
    EXPECT_EQ(ByteOrderMark::skip("\xEF\xBB", PageEncoding{Kind::Utf8, {}, true}), "") << "shorter than its mark";
    EXPECT_EQ(ByteOrderMark::ofKind(Kind::Windows1252), "");
    EXPECT_EQ(ByteOrderMark::of(PageEncoding{Kind::Icu, "ibm-943_P15A-2003", true}), "");
}

} // namespace
} // namespace quillora::charset
