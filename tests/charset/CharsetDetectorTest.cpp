#include "charset/CharsetDetector.h"

#include "CharsetSamples.h"
#include "charset/EncodingLabels.h"

#include <gtest/gtest.h>
#include <string>

namespace quillora::charset {
namespace {

using namespace test;

struct GuessRow {
    const char* name;
    std::u16string_view text;
    const char* written; // the label the page is written in
    const char* guessed; // the web name of the set guessed; empty for none
};

class CharsetGuess : public ::testing::TestWithParam<GuessRow> {};

TEST_P(CharsetGuess, IsTheSetBrowsersGuess) {
    const auto& row = GetParam();
    const auto guess = CharsetDetector::guess(undeclaredPage(row.text, row.written));
    EXPECT_EQ(guess ? std::string(labelForEncoding(*guess)) : std::string(), row.guessed);
}

INSTANTIATE_TEST_SUITE_P(Languages, CharsetGuess,
                         ::testing::Values(GuessRow{"RussianWindows1251", kRussian, "windows-1251", "windows-1251"},
                                           GuessRow{"RussianKoi8R", kRussian, "koi8-r", "koi8-u"},
                                           GuessRow{"UkrainianKoi8U", kUkrainian, "koi8-u", "koi8-u"},
                                           GuessRow{"RussianIso8859_5", kRussian, "iso-8859-5", "iso-8859-5"},
                                           GuessRow{"PolishWindows1250", kPolish, "windows-1250", "windows-1250"},
                                           GuessRow{"PolishIso8859_2", kPolish, "iso-8859-2", "iso-8859-2"},
                                           GuessRow{"CzechWindows1250", kCzech, "windows-1250", "windows-1250"},
                                           GuessRow{"CzechIso8859_2", kCzech, "iso-8859-2", "iso-8859-2"},
                                           GuessRow{"JapaneseShiftJis", kJapanese, "shift_jis", "shift_jis"},
                                           GuessRow{"JapaneseEucJp", kJapanese, "euc-jp", "euc-jp"},
                                           GuessRow{"KoreanEucKr", kKorean, "euc-kr", "euc-kr"},
                                           GuessRow{"ChineseGbk", kChinese, "gbk", "gbk"},
                                           GuessRow{"GreekIso8859_7", kGreek, "iso-8859-7", "iso-8859-7"},
                                           GuessRow{"HebrewWindows1255", kHebrew, "windows-1255", "windows-1255"},
                                           GuessRow{"TurkishIso8859_9", kTurkish, "iso-8859-9", "windows-1254"},
                                           // Windows-1252 is what a browser takes without a guess: nothing to say.
                                           GuessRow{"German", kGerman, "windows-1252", ""},
                                           GuessRow{"English", kEnglish, "windows-1252", ""},
                                           // The detector takes this for Turkish by a hair; browsers read Windows-1252.
                                           GuessRow{"Icelandic", kIcelandic, "windows-1252", ""},
                                           GuessRow{"Utf8", kRussian, "utf-8", ""}),
                         [](const auto& info) { return info.param.name; });

TEST(CharsetGuess, FewBytesBeyondAsciiSayTooLittle) {
    // One letter: the detector would call it KOI8-R.
    EXPECT_FALSE(CharsetDetector::guess("<html><body><p>\xE9</p></body></html>"));
    EXPECT_FALSE(CharsetDetector::guess(std::string(5000, 'a') + "\xCF\xF0\xE8\xE2\xE5\xF2"));
    EXPECT_FALSE(CharsetDetector::guess("<p>plain ASCII</p>"));
    EXPECT_FALSE(CharsetDetector::guess(""));
}

TEST(CharsetGuess, TextFarIntoThePageIsLookedAt) {
    const std::string page = undeclaredPage(kRussian, "windows-1251");
    const auto guess = CharsetDetector::guess("<script>" + std::string(200000, ' ') + "</script>" + page);
    ASSERT_TRUE(guess);
    EXPECT_EQ(labelForEncoding(*guess), "windows-1251");
}

TEST(CharsetGuess, BytesTheGuessedSetCannotReadLeaveThePageUnguessed) {
    // Shift_JIS text with a lead byte that no trail byte follows.
    EXPECT_FALSE(CharsetDetector::guess(undeclaredPage(kJapanese, "shift_jis") + "\x81 "));
}

} // namespace
} // namespace quillora::charset
