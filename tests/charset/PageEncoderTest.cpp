#include "charset/PageEncoder.h"

#include "charset/PageDecoder.h"

#include <gtest/gtest.h>

namespace quillora::charset {
namespace {

using Kind = PageEncoding::Kind;

PageEncoding encodingOf(Kind kind, std::string converter = {}, bool byteOrderMark = false) {
    return {kind, std::move(converter), byteOrderMark};
}

std::string encodeAll(PageEncoder& encoder, const PageEncoding& encoding, std::u16string_view text,
                      std::size_t piece = PageEncoder::kPieceUnits) {
    EXPECT_FALSE(encoder.start(encoding));
    std::string bytes(encoder.byteOrderMark());
    do {
        const std::size_t length = std::min(piece, text.size());
        std::string_view out;
        EXPECT_FALSE(encoder.encode(text.substr(0, length), length == text.size(), out));
        bytes.append(out);
        text.remove_prefix(length);
    } while (!text.empty());
    return bytes;
}

std::string encodeAll(const PageEncoding& encoding, std::u16string_view text,
                      std::size_t piece = PageEncoder::kPieceUnits) {
    PageEncoder encoder;
    return encodeAll(encoder, encoding, text, piece);
}

class RoundTrip : public ::testing::TestWithParam<std::string> {};

TEST_P(RoundTrip, WritesThePageBackByteForByte) {
    const DecodedPage page = PageDecoder::decode(GetParam());
    EXPECT_EQ(encodeAll(page.encoding, page.text), GetParam());
    EXPECT_EQ(encodeAll(page.encoding, page.text, 3), GetParam()) << "in small pieces";
}

INSTANTIATE_TEST_SUITE_P(
    Pages, RoundTrip,
    ::testing::Values("<p>plain</p>", "caf\xE9 \x80\x81\x8D\x8F\x90\x9D\xFF", "<p>caf\xC3\xA9 \xF0\x9F\x98\x80</p>",
                      "\xEF\xBB\xBF<p>\xE2\x82\xAC</p>", std::string("\xFF\xFE<\0\x3D\xD8\x00\xDE", 8),
                      std::string("\xFE\xFF\0<\xAC\x48", 6), "<meta charset=euc-kr>\xBE\xC8\xB3\xE7",
                      "<meta charset=shift_jis>\x93\xFA\x96\x7B", "<meta charset=gbk>\xD6\xD0\xCE\xC4",
                      "<meta charset=windows-1251>\xCF\xF0\xE8\xE2\xE5\xF2",
                      "<meta charset=iso-2022-jp>\x1B$BF|K\\\x1B(B!"));

struct Unencodable {
    const char* name;
    PageEncoding encoding;
    std::u16string text;
    std::string bytes;
};

class CharacterReference : public ::testing::TestWithParam<Unencodable> {};

TEST_P(CharacterReference, StandsForWhatTheSetCannotHold) {
    EXPECT_EQ(encodeAll(GetParam().encoding, GetParam().text), GetParam().bytes);
}

INSTANTIATE_TEST_SUITE_P(
    Sets, CharacterReference,
    ::testing::Values(Unencodable{"Hangul1252", encodingOf(Kind::Windows1252), u"a\uD55Cb", "a&#54620;b"},
                      Unencodable{"Emoji1252", encodingOf(Kind::Windows1252), u"\U0001F600", "&#128512;"},
                      Unencodable{"C1Control1252", encodingOf(Kind::Windows1252), u"\u0080", "&#128;"},
                      Unencodable{"LoneHigh1252", encodingOf(Kind::Windows1252), u"x\xD83D", "x&#65533;"},
                      Unencodable{"LoneLow1252", encodingOf(Kind::Windows1252), u"\xDE00y", "&#65533;y"},
                      Unencodable{"LoneHighUtf8", encodingOf(Kind::Utf8), u"\xD83Dz", "\xEF\xBF\xBDz"},
                      Unencodable{"EmojiEucKr", encodingOf(Kind::Icu, "windows-949-2000"), u"\uC548\U0001F600",
                                  "\xBE\xC8&#128512;"},
                      Unencodable{"EuroKoi8", encodingOf(Kind::Icu, "KOI8-R"), u"\u20AC", "&#8364;"}),
    [](const auto& info) { return info.param.name; });

TEST(PageEncoder, JoinsASurrogatePairSplitBetweenPieces) {
    const std::u16string text = u"a\U0001F600b";
    EXPECT_EQ(encodeAll(encodingOf(Kind::Utf8), text, 2), "a\xF0\x9F\x98\x80"
                                                          "b");
    EXPECT_EQ(encodeAll(encodingOf(Kind::Windows1252), text, 2), "a&#128512;b");
    EXPECT_EQ(encodeAll(encodingOf(Kind::Icu, "gb18030"), text, 2), "a\x94\x39\xFC\x36"
                                                                    "b");
}

TEST(PageEncoder, EncodesTextLongerThanOnePiece) {
    std::u16string text(PageEncoder::kPieceUnits * 2 + 5, u'%');
    text[PageEncoder::kPieceUnits] = u'\u00E9';
    const std::string bytes = encodeAll(encodingOf(Kind::Utf8), text);
    EXPECT_EQ(bytes.size(), text.size() + 1);
    EXPECT_EQ(bytes.substr(PageEncoder::kPieceUnits, 2), "\xC3\xA9");
}

TEST(PageEncoder, TakesOtherCharactersAtEveryOffsetOfARun) {
    // The many-at-a-time path must hand over exactly at the first character it cannot copy.
    for (std::size_t offset = 0; offset < 40; ++offset) {
        const std::u16string text = std::u16string(offset, u'a') + u"\u00E9\u20AC" + std::u16string(33, u'b');
        const std::string tail(33, 'b');
        EXPECT_EQ(encodeAll(encodingOf(Kind::Utf8), text), std::string(offset, 'a') + "\xC3\xA9\xE2\x82\xAC" + tail);
        EXPECT_EQ(encodeAll(encodingOf(Kind::Windows1252), text), std::string(offset, 'a') + "\xE9\x80" + tail);
    }
}

TEST(PageEncoder, OneEncoderServesPagesInTurn) {
    PageEncoder encoder;
    EXPECT_EQ(encodeAll(encoder, encodingOf(Kind::Icu, "windows-949-2000"), u"\uC548"), "\xBE\xC8");
    EXPECT_EQ(encodeAll(encoder, encodingOf(Kind::Utf16LE, "", true), u"A"), std::string("\xFF\xFE"
                                                                                         "A\0",
                                                                                         4));
    EXPECT_EQ(encodeAll(encoder, encodingOf(Kind::Icu, "windows-949-2000"), u"\uB155"), "\xB3\xE7");
    EXPECT_EQ(encodeAll(encoder, encodingOf(Kind::Windows1252), u"\u20AC"), "\x80");
}

TEST(EncodeWhole, TakesTheTextAPieceAtATimeAfterWhatOutHolds) {
    PageEncoder encoder;
    std::u16string text(PageEncoder::kPieceUnits - 1, u'a');
    text += u"\U0001F35E\u20AC\u4E16"; // a pair split where one piece ends and the next begins
    std::string bytes = "\xEF\xBB\xBF";
    ASSERT_FALSE(encoder.encodeWhole(encodingOf(Kind::Utf8, "", true), text, bytes));
    EXPECT_EQ(bytes, "\xEF\xBB\xBF" + std::string(PageEncoder::kPieceUnits - 1, 'a') +
                         "\xF0\x9F\x8D\x9E\xE2\x82\xAC\xE4\xB8\x96");
    bytes.clear();
    ASSERT_FALSE(encoder.encodeWhole(encodingOf(Kind::Windows1252), u"\u20AC\u4E16", bytes));
    EXPECT_EQ(bytes, "\x80&#19990;");
    bytes.clear();
    ASSERT_FALSE(encoder.encodeWhole(encodingOf(Kind::Icu, "ISO_2022,locale=ja,version=0"), u"\u65E5", bytes));
    EXPECT_EQ(bytes, "\x1B$BF|\x1B(B") << "the last piece brings the set back to ASCII";
}

} // namespace
} // namespace quillora::charset
