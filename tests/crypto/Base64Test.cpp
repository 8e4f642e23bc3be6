#include "crypto/Base64.h"

#include <gtest/gtest.h>

namespace quillora::crypto {
namespace {

struct Base64Vector {
    std::string_view bytes;
    std::string_view text;
};

class Base64 : public ::testing::TestWithParam<Base64Vector> {};

TEST_P(Base64, EncodesAsRfc4648) {
    EXPECT_EQ(toBase64(GetParam().bytes), GetParam().text);
    EXPECT_EQ(Base64Writer::encodedLength(GetParam().bytes.size()), GetParam().text.size());
}

TEST_P(Base64, DecodesAsRfc4648) {
    std::string bytes = "left over";
    ASSERT_TRUE(fromBase64(GetParam().text, bytes));
    EXPECT_EQ(bytes, GetParam().bytes);
}

TEST(FromBase64, RefusesWhatIsNotBase64AsWritten) {
    std::string bytes;
    for (const char* text : {"Zg=", "Zg", "Zm9", "Zm=v", "Z===", "Zh==", "Zm9=", "Zm9v!A==", "Zm 9v", "Zm9v\n"})
        EXPECT_FALSE(fromBase64(text, bytes)) << text;
}

INSTANTIATE_TEST_SUITE_P(Rfc4648, Base64,
                         ::testing::Values(Base64Vector{"", ""}, Base64Vector{"f", "Zg=="}, Base64Vector{"fo", "Zm8="},
                                           Base64Vector{"foo", "Zm9v"}, Base64Vector{"foob", "Zm9vYg=="},
                                           Base64Vector{"fooba", "Zm9vYmE="}, Base64Vector{"foobar", "Zm9vYmFy"},
                                           Base64Vector{std::string_view("\xFB\xFF\x00\x3E", 4), "+/8APg=="}));

TEST(Base64Writer, PiecesOfAnyLengthMakeTheTextOfTheWhole) {
    std::string bytes;
    for (int i = 0; i < 256; ++i)
        bytes += static_cast<char>(i);
    const std::string whole = toBase64(bytes);
    for (const std::size_t piece : {1, 2, 4, 5, 7, 100}) {
        std::string text;
        Base64Writer writer(text);
        for (std::size_t at = 0; at < bytes.size(); at += piece)
            writer.append(std::string_view(bytes).substr(at, piece));
        writer.finish();
        EXPECT_EQ(text, whole) << piece;
    }
}

// The bytes of every length up to a few groups past a fast path's block, at every offset: each must encode as
// the plain group-by-group way (the reference here) does.
TEST(Base64Writer, LongRunsMatchThePlainEncoding) {
    static const std::string kAlphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string bytes;
    for (unsigned i = 0; i < 700; ++i)
        bytes += static_cast<char>((i * 167 + 13) ^ (i >> 3));
    for (std::size_t length = 0; length <= 100; ++length) {
        for (std::size_t offset = 0; offset < 4; ++offset) {
            const std::string_view piece = std::string_view(bytes).substr(offset, length);
            std::string expected;
            for (std::size_t i = 0; i < piece.size(); i += 3) {
                unsigned value = 0;
                for (std::size_t k = 0; k < 3; ++k)
                    value = (value << 8) | (i + k < piece.size() ? static_cast<unsigned char>(piece[i + k]) : 0u);
                const std::size_t characters = std::min<std::size_t>(4, (piece.size() - i) * 8 / 6 + 1);
                for (std::size_t k = 0; k < 4; ++k)
                    expected += k < characters ? kAlphabet[(value >> (18 - 6 * k)) & 63] : '=';
            }
            EXPECT_EQ(toBase64(piece), expected) << length << " bytes at " << offset;
        }
    }
    EXPECT_EQ(toBase64(bytes).size(), Base64Writer::encodedLength(bytes.size()));
}

} // namespace
} // namespace quillora::crypto
