#include "charset/PageDecoder.h"

#include "CharsetSamples.h"
#include "charset/EncodingLabels.h"

#include <gtest/gtest.h>

namespace quillora::charset {
namespace {

using Kind = PageEncoding::Kind;

struct DecodeCase {
    const char* name;
    std::string bytes;
    std::u16string text;
    Kind kind;
    std::string converter = {};
    bool byteOrderMark = false;
};

class DecodePage : public ::testing::TestWithParam<DecodeCase> {};

TEST_P(DecodePage, ReadsThePageAsABrowserWould) {
    const auto& c = GetParam();
    const DecodedPage page = PageDecoder::decode(c.bytes);
    EXPECT_EQ(page.text, c.text);
    EXPECT_EQ(page.encoding.kind, c.kind);
    EXPECT_EQ(page.encoding.icuName, c.converter);
    EXPECT_EQ(page.encoding.byteOrderMark, c.byteOrderMark);
    EXPECT_EQ(PageDecoder::encodingOf(c.bytes), page.encoding) << "without decoding";
}

const std::string kEucKrMeta = "<meta charset=euc-kr>";
const std::string kLongHead = "<html><head><!-- " + std::string(1100, 'x') + " -->";
const std::u16string kLongHeadText = u"<html><head><!-- " + std::u16string(1100, u'x') + u" -->";
const std::string kSjisMeta = "<meta http-equiv=Content-Type content='text/html; charset=Shift_JIS'>";

INSTANTIATE_TEST_SUITE_P(
    Pages, DecodePage,
    ::testing::Values(
        DecodeCase{"Ascii", "<p>plain</p>", u"<p>plain</p>", Kind::Windows1252},
        DecodeCase{"ValidUtf8", "<p>caf\xC3\xA9</p>", u"<p>caf\u00E9</p>", Kind::Utf8},
        DecodeCase{"FourByteUtf8", "\xF0\x9F\x98\x80!", u"\U0001F600!", Kind::Utf8},
        DecodeCase{"InvalidUtf8IsWindows1252", "caf\xE9 \x80", u"caf\u00E9 \u20AC", Kind::Windows1252},
        DecodeCase{"OverlongIsNotUtf8", "\xC0\xAF\xC3\xA9", u"\u00C0\u00AF\u00C3\u00A9", Kind::Windows1252},
        DecodeCase{"EncodedSurrogateIsNotUtf8", "\xED\xA0\x80", u"\u00ED\u00A0\u20AC", Kind::Windows1252},
        DecodeCase{"TruncatedUtf8AtEnd", "ab\xE2\x82", u"ab\u00E2\u201A", Kind::Windows1252},
        DecodeCase{"EucKr", kEucKrMeta + "\xBE\xC8\xB3\xE7", u"<meta charset=euc-kr>\uC548\uB155", Kind::Icu,
                   "windows-949-2000"},
        DecodeCase{"ShiftJis", kSjisMeta + "\x93\xFA\x96\x7B",
                   u"<meta http-equiv=Content-Type content='text/html; charset=Shift_JIS'>\u65E5\u672C", Kind::Icu,
                   "ibm-943_P15A-2003"},
        DecodeCase{"Iso2022Jp", "<meta charset=iso-2022-jp>\x1B$BF|K\\\x1B(B",
                   u"<meta charset=iso-2022-jp>\u65E5\u672C", Kind::Icu, "ISO_2022,locale=ja,version=0"},
        DecodeCase{"DeclaredLatin1BeatsUtf8Bytes", "<meta charset=iso-8859-1>\xC3\xA9",
                   u"<meta charset=iso-8859-1>\u00C3\u00A9", Kind::Windows1252},
        DecodeCase{"DeclaredUtf8OnAsciiStaysUtf8", "<meta charset=utf-8>x", u"<meta charset=utf-8>x", Kind::Utf8},
        DecodeCase{"DeclaredUtf16MeansUtf8", "<meta charset=utf-16>\xC3\xA9", u"<meta charset=utf-16>\u00E9",
                   Kind::Utf8},
        // A page that says it is UTF-8 is read so, as a browser reads it: one U+FFFD for each maximal invalid part.
        DecodeCase{"DeclaredUtf8WithAStrayByte", "<meta charset=utf-8>caf\xE9", u"<meta charset=utf-8>caf\uFFFD",
                   Kind::Utf8},
        DecodeCase{"DeclaredUtf8WithInvalidSequences",
                   "<meta charset=UTF-8>\xC3\xA9\xE2\x82z\xC0\xAF\xED\xA0\x80\xF4\x90\x80\x80!\xF0\x9F\x98",
                   u"<meta charset=UTF-8>\u00E9\uFFFDz\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD!\uFFFD",
                   Kind::Utf8},
        DecodeCase{"ContentTypeDeclaredUtf8", "<meta http-equiv=content-type content='text/html; charset=utf8'>\x80",
                   u"<meta http-equiv=content-type content='text/html; charset=utf8'>\uFFFD", Kind::Utf8},
        DecodeCase{"InvalidEucKrIsIgnored", kEucKrMeta + "\xA1 ", u"<meta charset=euc-kr>\u00A1 ", Kind::Windows1252},
        DecodeCase{"UnknownLabelIsIgnored", "<meta charset=klingon>\xC3\xA9", u"<meta charset=klingon>\u00E9",
                   Kind::Utf8},
        DecodeCase{"Utf8ByteOrderMark", "\xEF\xBB\xBF<p>\xC3\xA9", u"<p>\u00E9", Kind::Utf8, "", true},
        DecodeCase{"Utf8MarkBeatsDeclaration", "\xEF\xBB\xBF<meta charset=euc-kr>\xC3\xA9",
                   u"<meta charset=euc-kr>\u00E9", Kind::Utf8, "", true},
        DecodeCase{"Utf8MarkWithInvalidBytes",
                   "\xEF\xBB\xBF"
                   "a\xFF\xE2\x82z",
                   u"a\uFFFD\uFFFDz", Kind::Utf8, "", true},
        DecodeCase{"Utf16LittleEndian", std::string("\xFF\xFE<\0p\0\xE9\0\x48\xAC", 10), u"<p\u00E9\uAC48",
                   Kind::Utf16LE, "", true},
        DecodeCase{"Utf16BigEndian", std::string("\xFE\xFF\0<\0p\xAC\x48", 8), u"<p\uAC48", Kind::Utf16BE, "", true},
        DecodeCase{"Utf16OddLastByte", std::string("\xFF\xFEx\0y", 5), u"x\uFFFD", Kind::Utf16LE, "", true},
        DecodeCase{"Empty", "", u"", Kind::Windows1252},
        DecodeCase{"CommentedOutDeclarationIsNone", "<!-- <meta charset=utf-8> -->caf\xE9",
                   u"<!-- <meta charset=utf-8> -->caf\u00E9", Kind::Windows1252},
        DecodeCase{"DeclarationInTheTitleIsNone", "<title><meta charset=utf-8></title>caf\xE9",
                   u"<title><meta charset=utf-8></title>caf\u00E9", Kind::Windows1252},
        DecodeCase{"DescriptionIsNoDeclaration", "<meta name=description content='charset=utf-8'>caf\xE9",
                   u"<meta name=description content='charset=utf-8'>caf\u00E9", Kind::Windows1252},
        DecodeCase{"LateDeclarationInTheHead", kLongHead + "<meta charset=koi8-r>\xF0\xD2",
                   kLongHeadText + u"<meta charset=koi8-r>\u041F\u0440", Kind::Icu, "KOI8-R"},
        DecodeCase{"XmlDeclaration", "<?xml version='1.0' encoding='koi8-r'?>\xF0\xD2",
                   u"<?xml version='1.0' encoding='koi8-r'?>\u041F\u0440", Kind::Icu, "KOI8-R"},
        DecodeCase{"Utf16XmlDeclarationWithoutMark", std::string("<\0?\0x\0m\0l\0?\0>\0\x3F\x04", 16), u"<?xml?>\u043F",
                   Kind::Utf16LE}),
    [](const auto& info) { return info.param.name; });

struct GuessCase {
    const char* name;
    std::u16string_view text;
    const char* written; // the set the page is in
    const char* readIn;  // the web name of the set it is read in
};

class UndeclaredPage : public ::testing::TestWithParam<GuessCase> {};

TEST_P(UndeclaredPage, IsReadInTheSetABrowserGuesses) {
    const auto& c = GetParam();
    const std::string bytes = test::undeclaredPage(c.text, c.written);
    const DecodedPage page = PageDecoder::decode(bytes);
    EXPECT_EQ(labelForEncoding(page.encoding), c.readIn);
    EXPECT_NE(page.text.find(c.text), std::u16string::npos);
}

INSTANTIATE_TEST_SUITE_P(Pages, UndeclaredPage,
                         ::testing::Values(GuessCase{"Cyrillic", test::kRussian, "windows-1251", "windows-1251"},
                                           GuessCase{"Koi8", test::kRussian, "koi8-r", "koi8-u"},
                                           GuessCase{"CentralEuropean", test::kPolish, "iso-8859-2", "iso-8859-2"},
                                           GuessCase{"ShiftJis", test::kJapanese, "shift_jis", "shift_jis"},
                                           GuessCase{"Western", test::kGerman, "windows-1252", "windows-1252"},
                                           GuessCase{"Utf8", test::kRussian, "utf-8", "utf-8"}),
                         [](const auto& info) { return info.param.name; });

// A declaration the bytes do not fit is not replaced by a guess: the page is read as before, in Windows-1252.
TEST(DecodePage, APageWithADeclarationIsNotGuessedFor) {
    const std::string bytes = "<meta charset=euc-kr>" + test::encodeIn(test::kRussian, "windows-1251") + "\xA1 ";
    EXPECT_EQ(PageDecoder::encodingOf(bytes).kind, Kind::Windows1252);
}

TEST(DecodePage, LongAsciiRunsAroundOneMultiByteCharacter) {
    // The word-at-a-time path must hand over to the sequence decoder at any offset.
    for (std::size_t offset = 0; offset < 20; ++offset) {
        const std::string bytes = std::string(offset, 'a') + "\xE2\x82\xAC" + std::string(17, 'b');
        const DecodedPage page = PageDecoder::decode(bytes);
        EXPECT_EQ(page.text, std::u16string(offset, u'a') + u"\u20AC" + std::u16string(17, u'b')) << offset;
        EXPECT_EQ(page.encoding.kind, Kind::Utf8);
    }
}

TEST(DecodePage, Windows1252AtEveryOffset) {
    for (std::size_t offset = 0; offset < 20; ++offset) {
        const std::string bytes = std::string(offset, 'a') + "\x93\xFF" + std::string(9, 'b');
        const DecodedPage page = PageDecoder::decode(bytes);
        EXPECT_EQ(page.text, std::u16string(offset, u'a') + u"\u201C\u00FF" + std::u16string(9, u'b')) << offset;
    }
}

} // namespace
} // namespace quillora::charset
