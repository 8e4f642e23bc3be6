#include "charset/PageCharsets.h"

#include "charset/EncodingLabels.h"

#include <gtest/gtest.h>
#include <unicode/ucnv.h>

namespace quillora::charset {
namespace {

/// The text ICU makes of bytes in a set, with U+FFFD for what it cannot read.
std::u16string decodeWith(UConverter* converter, std::string_view bytes) {
    ucnv_resetToUnicode(converter);
    std::u16string text(bytes.size() * 2 + 8, u'\0');
    UChar* target = text.data();
    const char* source = bytes.data();
    UErrorCode status = U_ZERO_ERROR;
    ucnv_toUnicode(converter, &target, text.data() + text.size(), &source, bytes.data() + bytes.size(), nullptr, true,
                   &status);
    text.resize(static_cast<std::size_t>(target - text.data()));
    return text;
}

/// The ASCII characters markup keys are made of: the printable ones and the blanks. (Some sets give control bytes
/// other meanings, which escapes read through the converter carry and no key search meets.)
bool keyCharacter(unsigned c) {
    return (c >= 0x20 && c < 0x7F) || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

/// Tries what a key search in the bytes relies on: after any byte or two from 0x80 up, the byte of a key character
/// still stands for itself, and no run of such bytes (a shift sequence among them) stands for anything else.
bool asciiStandsForItself(const std::string& converterName) {
    UErrorCode status = U_ZERO_ERROR;
    UConverter* converter = ucnv_open(converterName.c_str(), &status);
    if (U_FAILURE(status))
        return false;
    ucnv_setToUCallBack(converter, UCNV_TO_U_CALLBACK_SUBSTITUTE, nullptr, nullptr, nullptr, &status);
    bool holds = decodeWith(converter, "\x1B$B<a href>\x1B(B") == u"\x1B$B<a href>\x1B(B";
    const unsigned char seconds[] = {0, 0x80, 0xA1, 0xB0, 0xC8, 0xE0, 0xFE, 0xFF};
    for (unsigned lead = 0x80; lead <= 0xFF && holds; ++lead) {
        for (const unsigned char second : seconds) {
            for (unsigned ascii = 0; ascii < 0x80 && holds; ++ascii) {
                if (!keyCharacter(ascii))
                    continue;
                std::string bytes(1, static_cast<char>(lead));
                if (second != 0)
                    bytes += static_cast<char>(second);
                bytes += static_cast<char>(ascii);
                const std::u16string text = decodeWith(converter, bytes);
                holds = !text.empty() && text.back() == ascii;
            }
        }
    }
    ucnv_close(converter);
    return holds;
}

class ReadsMarkupInBytes : public ::testing::TestWithParam<const char*> {};

TEST_P(ReadsMarkupInBytes, AgreesWithWhatTheConverterDoes) {
    const auto encoding = encodingForLabel(GetParam());
    if (!encoding)
        GTEST_SKIP() << "no converter for " << GetParam();
    ASSERT_EQ(encoding->kind, PageEncoding::Kind::Icu);
    EXPECT_EQ(readsMarkupInBytes(*encoding), asciiStandsForItself(encoding->icuName)) << encoding->icuName;
    EXPECT_EQ(byteCharsetFor(*encoding) != nullptr, readsMarkupInBytes(*encoding));
}

// One label for every set the labels lead to, besides UTF-8 and Windows-1252.
INSTANTIATE_TEST_SUITE_P(Sets, ReadsMarkupInBytes,
                         ::testing::Values("ibm866", "iso-8859-2", "iso-8859-3", "iso-8859-4", "iso-8859-5",
                                           "iso-8859-6", "iso-8859-7", "iso-8859-8", "iso-8859-10", "iso-8859-13",
                                           "iso-8859-14", "iso-8859-15", "iso-8859-16", "koi8-r", "koi8-u", "macintosh",
                                           "x-mac-cyrillic", "windows-874", "windows-1250", "windows-1251",
                                           "windows-1253", "windows-1254", "windows-1255", "windows-1256",
                                           "windows-1257", "windows-1258", "gbk", "gb18030", "big5", "euc-jp",
                                           "iso-2022-jp", "shift_jis", "euc-kr"));

TEST(ReadsMarkupInBytes, TheWebsOwnSetsAndUtf16) {
    EXPECT_TRUE(readsMarkupInBytes({PageEncoding::Kind::Utf8, {}, false}));
    EXPECT_TRUE(readsMarkupInBytes({PageEncoding::Kind::Windows1252, {}, false}));
    EXPECT_FALSE(readsMarkupInBytes({PageEncoding::Kind::Utf16LE, {}, true}));
    EXPECT_FALSE(readsMarkupInBytes({PageEncoding::Kind::Utf16BE, {}, true}));
}

struct EscapeRow {
    const char* name;
    const char* label;
    std::string span;
    std::string escapes;
};

class ByteCharsetEscapes : public ::testing::TestWithParam<EscapeRow> {};

TEST_P(ByteCharsetEscapes, EscapeTheCodeUnitsTheBytesStandFor) {
    const auto& row = GetParam();
    const auto charset = byteCharsetFor(*encodingForLabel(row.label));
    ASSERT_TRUE(charset);
    std::string out = "x";
    charset->appendEscapes(out, row.span);
    EXPECT_EQ(out, "x" + row.escapes);
}

INSTANTIATE_TEST_SUITE_P(
    Sets, ByteCharsetEscapes,
    ::testing::Values(EscapeRow{"Utf8", "utf-8", "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80", "%61%E9%u20AC%uD83D%uDE00"},
                      // One U+FFFD for each maximal invalid part, as the browser shows it.
                      EscapeRow{"InvalidUtf8", "utf-8", "\xFF\xE2\x82<\xC3", "%uFFFD%uFFFD%3C%uFFFD"},
                      EscapeRow{"Windows1252", "windows-1252", "\x80\x81\xE9\x9F", "%u20AC%81%E9%u0178"},
                      EscapeRow{"Koi8", "koi8-r", "\xC1z", "%u0430%7A"},
                      EscapeRow{"EucJp", "euc-jp", "\xC6\xFC\xCB\xDC<", "%u65E5%u672C%3C"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ByteCharsetEscapes, LongSpansAtEveryOffset) {
    // The many-at-a-time paths must hand over exactly at the characters they cannot take.
    const auto utf8 = byteCharsetFor({PageEncoding::Kind::Utf8, {}, false});
    const auto windows = byteCharsetFor({PageEncoding::Kind::Windows1252, {}, false});
    const auto latin9 = byteCharsetFor(*encodingForLabel("iso-8859-15"));
    for (std::size_t offset = 0; offset < 40; ++offset) {
        const std::string ascii(offset, 'a');
        const std::string tail(37, 'b');
        std::string escapedAscii;
        for (std::size_t i = 0; i < offset; ++i)
            escapedAscii += "%61";
        std::string escapedTail;
        for (std::size_t i = 0; i < tail.size(); ++i)
            escapedTail += "%62";
        std::string out;
        utf8->appendEscapes(out, ascii + "\xC3\xA9" + tail);
        EXPECT_EQ(out, escapedAscii + "%E9" + escapedTail) << offset;
        out.clear();
        windows->appendEscapes(out, ascii + "\x93\xE9" + tail);
        EXPECT_EQ(out, escapedAscii + "%u201C%E9" + escapedTail) << offset;
        // Through a converter: code units below 256 many at a time, the others one by one.
        out.clear();
        latin9->appendEscapes(out, ascii + "\xA4\xE9" + tail);
        EXPECT_EQ(out, escapedAscii + "%u20AC%E9" + escapedTail) << offset;
    }
}

TEST(DecodedCharset, CountsTheBytesOfTheSet) {
    EXPECT_EQ(DecodedCharset({PageEncoding::Kind::Utf16LE, {}, true}).writtenBytes(u"ab\u65E5"), 6u);
    EXPECT_EQ(DecodedCharset(*encodingForLabel("shift_jis")).writtenBytes(u"a\u65E5\u672C"), 5u);
    EXPECT_EQ(DecodedCharset({PageEncoding::Kind::Windows1252, {}, false}).writtenBytes(u"\uAC00"), 8u); // &#44032;
}

} // namespace
} // namespace quillora::charset
