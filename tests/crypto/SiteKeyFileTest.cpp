#include "crypto/SiteKeyFile.h"

#include "crypto/Base64.h"
#include "crypto/CryptoError.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

namespace quillora::crypto {
namespace {

constexpr int kRounds = 10; // the format, not the cost, is under test

template <std::size_t N> std::array<unsigned char, N> fromHex(std::string_view hex) {
    std::array<unsigned char, N> bytes{};
    for (std::size_t i = 0; i < N; ++i)
        bytes[i] = static_cast<unsigned char>(std::stoi(std::string(hex.substr(2 * i, 2)), nullptr, 16));
    return bytes;
}

// RFC 3394, 4.6: 256 bits of key data wrapped with a 256-bit key.
TEST(KeyWrap, MatchesThePublishedAnswerBothWays) {
    const auto kek = fromHex<32>("000102030405060708090A0B0C0D0E0F101112131415161718191A1B1C1D1E1F");
    const auto key = fromHex<32>("00112233445566778899AABBCCDDEEFF000102030405060708090A0B0C0D0E0F");
    const auto expected =
        fromHex<40>("28C9F404C4B810F4CBCCB35CFB87F8263F5786E2D80ED326CBC7F0E71A99F43BFB988B9B7A02DD21");
    KeyWrap::Wrapped wrapped{};
    ASSERT_FALSE(KeyWrap::wrap(kek, key, wrapped));
    EXPECT_EQ(wrapped, expected);
    SiteKey::Key unwrapped{};
    ASSERT_FALSE(KeyWrap::unwrap(kek, expected, unwrapped));
    EXPECT_EQ(unwrapped, key);
}

TEST(KeyWrap, RefusesAnotherWrappingKeyAndChangedBytes) {
    const auto kek = fromHex<32>("000102030405060708090A0B0C0D0E0F101112131415161718191A1B1C1D1E1F");
    const auto key = fromHex<32>("00112233445566778899AABBCCDDEEFF000102030405060708090A0B0C0D0E0F");
    KeyWrap::Wrapped wrapped{};
    ASSERT_FALSE(KeyWrap::wrap(kek, key, wrapped));
    SiteKey::Key out{};
    auto other = kek;
    other[31] ^= 1;
    EXPECT_EQ(KeyWrap::unwrap(other, wrapped, out), CryptoError::AuthenticationFailed);
    auto changed = wrapped;
    changed[20] ^= 0x80;
    EXPECT_EQ(KeyWrap::unwrap(kek, changed, out), CryptoError::AuthenticationFailed);
}

TEST(SiteKeyFile, WrittenAndReadBackOpensWithItsPasswordOnly) {
    SiteKeyFile file;
    SiteKey content;
    ASSERT_FALSE(SiteKeyFile::create(u"correct horse", kRounds, "editors", file, content));
    const std::string text = file.write();
    // Nothing in the file is the content key, nor the password's key.
    const std::string_view raw(reinterpret_cast<const char*>(content.key().data()), content.key().size());
    EXPECT_EQ(text.find(toBase64(raw)), std::string::npos);
    EXPECT_EQ(text.find("correct horse"), std::string::npos);

    SiteKeyFile read;
    ASSERT_FALSE(SiteKeyFile::read(text, read));
    EXPECT_EQ(read.salt(), file.salt());
    EXPECT_EQ(read.iterations(), kRounds);
    ASSERT_EQ(read.slots().size(), 1U);
    EXPECT_EQ(read.slots()[0].label, "editors");
    SiteKey opened;
    ASSERT_FALSE(read.open(u"correct horse", opened));
    EXPECT_EQ(opened.key(), content.key());
    EXPECT_EQ(opened.salt(), content.salt());
    EXPECT_EQ(read.open(u"correct horsE", opened), CryptoError::NoSlotOpens);
}

TEST(SiteKeyFile, EachCreationDrawsItsOwnSaltAndContentKey) {
    SiteKeyFile first;
    SiteKeyFile second;
    SiteKey firstKey;
    SiteKey secondKey;
    ASSERT_FALSE(SiteKeyFile::create(u"pw", kRounds, {}, first, firstKey));
    ASSERT_FALSE(SiteKeyFile::create(u"pw", kRounds, {}, second, secondKey));
    EXPECT_NE(first.salt(), second.salt());
    EXPECT_NE(firstKey.key(), secondKey.key());
}

TEST(SiteKeyFile, OneDerivationTriesEverySlot) {
    SiteKeyFile file;
    SiteKey content;
    ASSERT_FALSE(SiteKeyFile::create(u"first", kRounds, {}, file, content));
    // A second password's slot, as adding a password makes it: its key wraps the same content key.
    SiteKey second;
    ASSERT_FALSE(SiteKey::derive(u"second", file.salt(), kRounds, second));
    KeyWrap::Wrapped wrapped{};
    ASSERT_FALSE(KeyWrap::wrap(second.key(), content.key(), wrapped));
    auto slots = file.wrappedKeys();
    slots.insert(slots.begin(), wrapped);
    const SiteKeyFile both = SiteKeyFile::ofSlots(file.salt(), kRounds, slots);
    for (const auto* password : {u"first", u"second"}) {
        SiteKey opened;
        ASSERT_FALSE(both.open(password, opened));
        EXPECT_EQ(opened.key(), content.key());
    }
    SiteKey none;
    EXPECT_EQ(both.open(u"third", none), CryptoError::NoSlotOpens);
}

TEST(SiteKeyFile, RefusesWhatIsNotAKeyFileOfThisVersion) {
    SiteKeyFile file;
    SiteKey content;
    ASSERT_FALSE(SiteKeyFile::create(u"pw", kRounds, "x", file, content));
    const nlohmann::json good = nlohmann::json::parse(file.write());
    const std::vector<std::pair<const char*, nlohmann::json>> changes = {
        {"format", "something-else"},
        {"version", 2},
        {"derivation", "scrypt"},
        {"wrapping", "AES-GCM"},
        {"salt", "not base64!"},
        {"salt", "AAAA"}, // too short
        {"iterations", 0},
        {"iterations", "600000"},
        {"slots", nlohmann::json::array()},
        {"slots", {{{"wrapped", "AAAA"}}}},
        {"slots", {{{"label", 3}, {"wrapped", good["slots"][0]["wrapped"]}}}},
    };
    for (const auto& [field, value] : changes) {
        nlohmann::json changed = good;
        changed[field] = value;
        SiteKeyFile read;
        EXPECT_EQ(SiteKeyFile::read(changed.dump(), read), CryptoError::KeyFileDamaged) << field << " " << value;
    }
    SiteKeyFile read;
    for (const std::string_view text : {"", "{", "[]", "null", "{\"format\":\"quillora-site-key\"}"})
        EXPECT_EQ(SiteKeyFile::read(text, read), CryptoError::KeyFileDamaged) << text;
}

} // namespace
} // namespace quillora::crypto
