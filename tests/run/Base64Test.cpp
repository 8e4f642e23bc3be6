#include "run/Base64.h"

#include <gtest/gtest.h>

namespace quillora::run {
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

} // namespace
} // namespace quillora::run
