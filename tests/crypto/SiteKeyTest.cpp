#include "crypto/SiteKey.h"

#include "crypto/CryptoError.h"

#include <gtest/gtest.h>
#include <vector>

namespace quillora::crypto {
namespace {

std::string hex(std::span<const unsigned char> bytes) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string text;
    for (const unsigned char b : bytes) {
        text += kDigits[b >> 4];
        text += kDigits[b & 15];
    }
    return text;
}

struct Pbkdf2Vector {
    const char* password;
    const char* salt;
    int iterations;
    std::size_t length;
    const char* derived;
};

class Pbkdf2KnownAnswer : public ::testing::TestWithParam<Pbkdf2Vector> {};

TEST_P(Pbkdf2KnownAnswer, MatchesThePublishedKey) {
    const auto& vector = GetParam();
    std::vector<unsigned char> derived(vector.length);
    ASSERT_FALSE(SiteKey::pbkdf2(vector.password, vector.salt, vector.iterations, derived));
    EXPECT_EQ(hex(derived), vector.derived);
}

// RFC 7914, section 11, and the widely published 4096-iteration vector of PBKDF2-HMAC-SHA256.
INSTANTIATE_TEST_SUITE_P(
    Rfc7914, Pbkdf2KnownAnswer,
    ::testing::Values(Pbkdf2Vector{"passwd", "salt", 1, 64,
                                   "55ac046e56e3089fec1691c22544b605f94185216dde0465e68b9d57c20dacbc"
                                   "49ca9cccf179b645991664b39d77ef317c71b845b1e30bd509112041d3a19783"},
                      Pbkdf2Vector{"Password", "NaCl", 80000, 64,
                                   "4ddcd8f60b98be21830cee5ef22701f9641a4418d04c0414aeff08876b34ab56"
                                   "a1d425a1225833549adb841b51c9b3176a272bdebba1d078478f62b397f33c8d"},
                      Pbkdf2Vector{"password", "salt", 4096, 32,
                                   "c5e478d59288c841aa530db6845c4c8d962893a001ce4e11a4963873aa98134a"}));

struct Normalisation {
    const char* name;
    std::u16string password;
    std::string bytes; // what the key is derived from
};

class PasswordBytes : public ::testing::TestWithParam<Normalisation> {};

TEST_P(PasswordBytes, AreTheNfcFormInUtf8) {
    std::string bytes;
    ASSERT_FALSE(SiteKey::passwordBytes(GetParam().password, bytes));
    EXPECT_EQ(bytes, GetParam().bytes);
}

INSTANTIATE_TEST_SUITE_P(Forms, PasswordBytes,
                         ::testing::Values(Normalisation{"Ascii", u"s3cret 'q' \"x\" \\", "s3cret 'q' \"x\" \\"},
                                           Normalisation{"ComposedStays", u"caf\u00E9", "caf\xC3\xA9"},
                                           Normalisation{"CombiningAccentComposes", u"cafe\u0301", "caf\xC3\xA9"},
                                           Normalisation{"AngstromSignBecomesLetter", u"\u212B", "\xC3\x85"},
                                           Normalisation{"HangulJamoCompose", u"\u1100\u1161", "\xEA\xB0\x80"},
                                           Normalisation{"CompatibilityFormsStay", u"\uFB01", "\xEF\xAC\x81"},
                                           Normalisation{"OutsideTheBmp", u"\U0001F511", "\xF0\x9F\x94\x91"},
                                           Normalisation{"LoneSurrogateAsTextEncoderMakesIt",
                                                         std::u16string(1, u'\xD800'), "\xEF\xBF\xBD"}),
                         [](const auto& info) { return info.param.name; });

constexpr int kFewIterations = 1000;

TEST(SiteKey, DecomposedAndComposedPasswordsGiveOneKey) {
    SiteKey composed;
    ASSERT_FALSE(SiteKey::create(u"Caf\u00E9 \u00C5", kFewIterations, composed));
    SiteKey decomposed;
    ASSERT_FALSE(SiteKey::derive(u"Cafe\u0301 A\u030A", composed.salt(), kFewIterations, decomposed));
    EXPECT_EQ(decomposed.key(), composed.key());

    std::array<unsigned char, SiteKey::kKeyBytes> direct{};
    const std::string_view salt(reinterpret_cast<const char*>(composed.salt().data()), composed.salt().size());
    ASSERT_FALSE(SiteKey::pbkdf2("Caf\xC3\xA9 \xC3\x85", salt, kFewIterations, direct));
    EXPECT_EQ(direct, composed.key());
    EXPECT_EQ(composed.iterations(), kFewIterations);
}

TEST(SiteKey, EveryRunDrawsItsOwnSalt) {
    SiteKey first;
    SiteKey second;
    ASSERT_FALSE(SiteKey::create(u"same", kFewIterations, first));
    ASSERT_FALSE(SiteKey::create(u"same", kFewIterations, second));
    EXPECT_NE(first.salt(), second.salt());
    EXPECT_NE(first.key(), second.key());
    EXPECT_NE(first.salt(), SiteKey::Salt{});
}

TEST(SiteKey, TheDefaultCountIsTheOneThePagesCarry) {
    SiteKey key;
    ASSERT_FALSE(SiteKey::create(u"x", SiteKey::kIterations, key));
    EXPECT_EQ(key.iterations(), 600000);
}

TEST(SiteKey, RefusesIterationCountsBelowOne) {
    SiteKey key;
    EXPECT_EQ(SiteKey::create(u"x", 0, key), CryptoError::BadParameter);
    EXPECT_EQ(SiteKey::create(u"x", -5, key), CryptoError::BadParameter);
    EXPECT_EQ(key.iterations(), 0) << "left as it was";
}

} // namespace
} // namespace quillora::crypto
