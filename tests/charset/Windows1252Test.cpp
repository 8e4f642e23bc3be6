#include "charset/Windows1252.h"

#include <gtest/gtest.h>

namespace quillora::charset {
namespace {

TEST(Windows1252, EveryByteRoundTrips) {
    for (unsigned byte = 0; byte < 256; ++byte) {
        const char16_t unit = Windows1252::decode(static_cast<unsigned char>(byte));
        const auto back = Windows1252::encode(unit);
        ASSERT_TRUE(back) << byte;
        EXPECT_EQ(*back, byte);
    }
}

TEST(Windows1252, MapsTheHighControlsLikeBrowsers) {
    EXPECT_EQ(Windows1252::decode(0x80), u'\u20AC');
    EXPECT_EQ(Windows1252::decode(0x92), u'\u2019');
    EXPECT_EQ(Windows1252::decode(0x9F), u'\u0178');
    EXPECT_EQ(Windows1252::decode(0x81), u'\u0081'); // undefined: the code unit of the same value
    EXPECT_EQ(Windows1252::decode(0xE9), u'\u00E9');
}

TEST(Windows1252, RefusesWhatItCannotHold) {
    EXPECT_FALSE(Windows1252::encode(u'\u0080'));
    EXPECT_FALSE(Windows1252::encode(u'\u0100'));
    EXPECT_FALSE(Windows1252::encode(u'\uAC00'));
    EXPECT_FALSE(Windows1252::encode(u'\xD83D'));
}

} // namespace
} // namespace quillora::charset
