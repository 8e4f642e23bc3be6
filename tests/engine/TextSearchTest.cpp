#include "engine/TextSearch.h"

#include <gtest/gtest.h>
#include <random>

namespace quillora::engine {
namespace {

std::size_t naiveFind(std::u16string_view text, std::u16string_view key, std::size_t from) {
    for (std::size_t i = from; i + key.size() <= text.size(); ++i) {
        if (matchesAt(text, key, i)) {
            return i;
        }
    }
    return kNotFound;
}

// Short alphabets make matches, near misses and case differences frequent, across the vector block edges.
TEST(TextSearch, AgreesWithAPlainSearchOnRandomTexts) {
    const std::u16string alphabet = u"<a/AbB -!>sS\u0161\u013C";
    const std::u16string_view keys[] = {u"<a ", u"</a>", u"<b", u"<!--", u"-->", u"a", u"sb", u"\u0161<", u"<s"};
    std::mt19937 random(7);
    for (int round = 0; round < 3000; ++round) {
        std::u16string text(std::uniform_int_distribution<std::size_t>(0, 70)(random), u' ');
        for (auto& c : text) {
            c = alphabet[std::uniform_int_distribution<std::size_t>(0, alphabet.size() - 1)(random)];
        }
        for (const auto key : keys) {
            for (std::size_t from = 0; from <= text.size(); from += 5) {
                ASSERT_EQ(findIgnoreCase(text, key, from), naiveFind(text, key, from))
                    << "round " << round << " from " << from;
            }
            const std::size_t last = naiveFind(text, key, 0) == kNotFound ? kNotFound : [&] {
                std::size_t p = kNotFound;
                for (std::size_t q = naiveFind(text, key, 0); q != kNotFound; q = naiveFind(text, key, q + 1)) {
                    p = q;
                }
                return p;
            }();
            ASSERT_EQ(rfindIgnoreCase(text, key, text.size()), last) << "round " << round;
        }
        const std::size_t lt = text.find(u'<', 3);
        ASSERT_EQ(findChar(text, u'<', 3), lt == std::u16string::npos ? kNotFound : lt);
    }
}

// The same in bytes, where a byte from 0x80 up is part of some other character and never a letter.
TEST(TextSearch, AgreesWithAPlainSearchOnRandomBytes) {
    const std::string alphabet = "<a/AbB -!>sSyY\xC3\xA1\xE1";
    const std::string_view keys[] = {"<a ", "</a>", "<b", "<!--", "-->", "a", "sb", "</body>", "<s", "<script "};
    std::mt19937 random(11);
    for (int round = 0; round < 3000; ++round) {
        std::string text(std::uniform_int_distribution<std::size_t>(0, 90)(random), ' ');
        for (auto& c : text) {
            c = alphabet[std::uniform_int_distribution<std::size_t>(0, alphabet.size() - 1)(random)];
        }
        for (const auto key : keys) {
            for (std::size_t from = 0; from <= text.size(); from += 3) {
                std::size_t expected = kNotFound;
                for (std::size_t i = from; i + key.size() <= text.size() && expected == kNotFound; ++i) {
                    expected = matchesAt(text, key, i) ? i : kNotFound;
                }
                ASSERT_EQ(findIgnoreCase(std::string_view(text), key, from), expected)
                    << "round " << round << " from " << from << " key " << key;
            }
        }
    }
}

TEST(TextSearch, FoldsOnlyAsciiLetters) {
    EXPECT_EQ(findIgnoreCase(u"<BODY>", u"<body", 0), 0u);
    EXPECT_EQ(findIgnoreCase(u"<\u0422", u"<t", 0), kNotFound); // a Cyrillic letter is not folded
    EXPECT_EQ(findIgnoreCase(u"<\u00C1", u"<\u00E1", 0), kNotFound);
    EXPECT_EQ(findIgnoreCase(u"MAILTO:", u"mailto:", 0), 0u);
    EXPECT_EQ(findIgnoreCase(u"<@", u"<`", 0), kNotFound); // "@" | 0x20 is "`", but "@" is no letter
}

} // namespace
} // namespace quillora::engine
