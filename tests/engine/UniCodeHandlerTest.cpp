#include "engine/UniCodeHandler.h"

#include <gtest/gtest.h>

namespace quillora::engine {
namespace {

TEST(UniCodeHandler, RoundTripIsTheIdentityForEveryCodeUnit) {
    for (unsigned code = 0; code <= 0xFFFF; ++code) {
        const auto bytes = CodeToUtf8Bytes(static_cast<std::uint16_t>(code));
        ASSERT_EQ(bytes.size(), code < 0x80 ? 1u : code < 0x800 ? 2u : 3u) << code;
        ASSERT_EQ(Utf8BytesToCode(bytes), code) << code;
    }
}

TEST(UniCodeHandler, EncodesThePlainWay) {
    EXPECT_EQ(CodeToUtf8Bytes(0xE9), (std::vector<std::uint8_t>{0xC3, 0xA9}));
    EXPECT_EQ(CodeToUtf8Bytes(0x20AC), (std::vector<std::uint8_t>{0xE2, 0x82, 0xAC}));
    // A surrogate is one more 16-bit value, three bytes like any other.
    EXPECT_EQ(CodeToUtf8Bytes(0xD83D), (std::vector<std::uint8_t>{0xED, 0xA0, 0xBD}));
    EXPECT_EQ(StringToUtf8Bytes(u"A\u00E9"), (std::vector<std::uint8_t>{0x41, 0xC3, 0xA9}));
}

TEST(UniCodeHandler, CharCodeIsUppercaseHexWithoutLeadingZeros) {
    EXPECT_EQ(GetCharCode(0), u"0");
    EXPECT_EQ(GetCharCode(9), u"9");
    EXPECT_EQ(GetCharCode(u'A'), u"41");
    EXPECT_EQ(GetCharCode(0xFF), u"FF");
    EXPECT_EQ(GetCharCode(0x100), u"100");
    EXPECT_EQ(GetCharCode(0xFFFF), u"FFFF");
}

} // namespace
} // namespace quillora::engine
