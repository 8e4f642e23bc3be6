#include "crypto/SiteKeyFile.h"

#include "crypto/Base64.h"
#include "crypto/CryptoError.h"

#include <functional>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <optional>

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
        {"version", 4},
        {"version", 0},
        {"derivation", "scrypt"},
        {"wrapping", "AES-GCM"},
        {"salt", "not base64!"},
        {"salt", "AAAA"}, // too short
        {"iterations", 0},
        {"iterations", "600000"},
        {"slots", nlohmann::json::array()},
        {"slots", {{{"wrapped", "AAAA"}}}},
        {"slots", {{{"label", 3}, {"wrapped", good["slots"][0]["wrapped"]}}}},
        {"slots", {{{"wrapped", good["slots"][0]["wrapped"]}, {"passwordKey", "AAAA"}}}},
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

/// A site key file with the given passwords, each labelled as its password, and its content key.
struct Site {
    SiteKeyFile file;
    SiteKey content;

    explicit Site(const std::vector<std::u16string>& passwords) {
        EXPECT_FALSE(SiteKeyFile::create(passwords.front(), kRounds, "p0", file, content));
        for (std::size_t i = 1; i < passwords.size(); ++i) {
            std::string label(1, 'p');
            label += std::to_string(i);
            EXPECT_FALSE(file.addSlot(passwords[i], label, content));
        }
    }
    /// The content key the password opens the file with as written and read back; none when it opens no slot.
    std::optional<SiteKey::Key> opens(std::u16string_view password) const {
        SiteKeyFile read;
        EXPECT_FALSE(SiteKeyFile::read(file.write(), read));
        SiteKey opened;
        if (read.open(password, opened))
            return std::nullopt;
        return opened.key();
    }
};

TEST(SiteKeyFileSlots, AnAddedPasswordOpensTheSameContentKeyAndNamesAreUnique) {
    Site site({u"first", u"second"});
    EXPECT_EQ(site.opens(u"first"), site.content.key());
    EXPECT_EQ(site.opens(u"second"), site.content.key());
    EXPECT_EQ(site.file.addSlot(u"third", "p1", site.content), CryptoError::LabelTaken);
    EXPECT_EQ(site.file.addSlot(u"second", "other", site.content), CryptoError::PasswordTaken);
    EXPECT_EQ(site.file.slots().size(), 2U);
    for (const auto& slot : site.file.slots())
        EXPECT_TRUE(slot.passwordKey.has_value());
}

TEST(SiteKeyFileSlots, SlotsAreFoundByLabelOrNumber) {
    Site site({u"a", u"b", u"c"});
    ASSERT_FALSE(site.file.addSlot(u"d", "", site.content));
    const std::vector<std::pair<std::string, std::optional<std::size_t>>> cases = {
        {"p0", 0},
        {"p2", 2},
        {"#1", 0},
        {"#4", 3},
        {"#0", std::nullopt},
        {"#5", std::nullopt},
        {"", std::nullopt},
        {"P0", std::nullopt},
        {"#x", std::nullopt},
    };
    for (const auto& [name, expected] : cases) {
        std::size_t index = 99;
        const auto error = site.file.findSlot(name, index);
        EXPECT_EQ(!error, expected.has_value()) << name;
        if (expected) {
            EXPECT_EQ(index, *expected) << name;
        }
    }
    EXPECT_EQ(site.file.slotName(3), "#4");
    EXPECT_EQ(site.file.slotName(1), "p1");
}

TEST(SiteKeyFileSlots, RemovingLeavesTheOthersAndRefusesTheLast) {
    Site site({u"a", u"b"});
    std::size_t index = 0;
    ASSERT_FALSE(site.file.findSlot("p0", index));
    ASSERT_FALSE(site.file.removeSlot(index));
    EXPECT_FALSE(site.opens(u"a"));
    EXPECT_EQ(site.opens(u"b"), site.content.key());
    EXPECT_EQ(site.file.removeSlot(0), CryptoError::LastSlot);
    EXPECT_EQ(site.opens(u"b"), site.content.key());
}

TEST(SiteKeyFileSlots, RotationGivesEveryRemainingPasswordTheNewKeyOnly) {
    Site site({u"a", u"b", u"c"});
    ASSERT_FALSE(site.file.removeSlot(1));
    SiteKey rotated;
    std::vector<std::string> lacking;
    ASSERT_FALSE(site.file.rotate(site.content, rotated, lacking));
    EXPECT_NE(rotated.key(), site.content.key());
    EXPECT_EQ(rotated.salt(), site.content.salt());
    EXPECT_EQ(site.opens(u"a"), rotated.key());
    EXPECT_EQ(site.opens(u"c"), rotated.key());
    EXPECT_FALSE(site.opens(u"b"));
    // A second rotation works from what the first wrote.
    SiteKey again;
    ASSERT_FALSE(site.file.rotate(rotated, again, lacking));
    EXPECT_NE(again.key(), rotated.key());
    EXPECT_EQ(site.opens(u"c"), again.key());
}

TEST(SiteKeyFileSlots, RotationRefusesWithTheWrongContentKeyAndLeavesTheFileAsItWas) {
    Site site({u"a", u"b"});
    const std::string before = site.file.write();
    SiteKey wrong = SiteKey::withKey(SiteKey::Key{}, site.content.salt(), kRounds);
    SiteKey rotated;
    std::vector<std::string> lacking;
    EXPECT_EQ(site.file.rotate(wrong, rotated, lacking), CryptoError::KeyFileDamaged);
    EXPECT_EQ(site.file.write(), before);
}

// A file of the first version has no wrapped password keys: each slot gets its own when its password is given.
TEST(SiteKeyFileSlots, AFileOfTheFirstVersionRotatesOnceEverySlotsPasswordWasGiven) {
    Site site({u"a", u"b"});
    nlohmann::json old = nlohmann::json::parse(site.file.write());
    old["version"] = 1;
    for (auto& slot : old["slots"])
        slot.erase("passwordKey");
    SiteKeyFile file;
    ASSERT_FALSE(SiteKeyFile::read(old.dump(), file));
    SiteKey rotated;
    std::vector<std::string> lacking;
    EXPECT_EQ(file.rotate(site.content, rotated, lacking), CryptoError::SlotWithoutPasswordKey);
    EXPECT_EQ(lacking, (std::vector<std::string>{"p0", "p1"}));

    SiteKey content;
    std::size_t index = 9;
    ASSERT_FALSE(file.openSlot(u"b", content, index));
    EXPECT_EQ(index, 1U);
    EXPECT_EQ(content.key(), site.content.key());
    EXPECT_EQ(file.rotate(content, rotated, lacking), CryptoError::SlotWithoutPasswordKey);
    EXPECT_EQ(lacking, (std::vector<std::string>{"p0"}));
    ASSERT_FALSE(file.openSlot(u"a", content, index));
    ASSERT_FALSE(file.rotate(content, rotated, lacking));
    EXPECT_EQ(nlohmann::json::parse(file.write())["version"], 2);
    EXPECT_EQ(file.openSlot(u"c", content, index), CryptoError::NoSlotOpens);
}

// A level is a key of its own: its password opens it and not the site, the site's key opens it through the file,
// and a rotation of the site's key keeps that way open.
TEST(SiteKeyFileLevels, ALevelOpensWithItsPasswordAndThroughTheSitesKeyOnly) {
    Site site({u"site password"});
    SiteKey staff;
    ASSERT_FALSE(site.file.addLevel("staff", u"staff password", "staff", site.content, staff));
    EXPECT_EQ(site.file.addLevel("staff", u"other", {}, site.content, staff), CryptoError::LevelTaken);
    EXPECT_NE(staff.key(), site.content.key());
    EXPECT_NE(staff.salt(), site.content.salt()) << "a browser keeps a level's key apart from the site's";

    SiteKeyFile read;
    ASSERT_FALSE(SiteKeyFile::read(site.file.write(), read));
    EXPECT_EQ(nlohmann::json::parse(site.file.write())["version"], SiteKeyFile::kLevelsVersion);
    ASSERT_NE(read.level("staff"), nullptr);
    EXPECT_EQ(read.level("members"), nullptr);
    SiteKey opened;
    ASSERT_FALSE(read.level("staff")->keys.open(u"staff password", opened));
    EXPECT_EQ(opened.key(), staff.key());
    EXPECT_EQ(read.open(u"staff password", opened), CryptoError::NoSlotOpens);
    EXPECT_EQ(read.level("staff")->keys.open(u"site password", opened), CryptoError::NoSlotOpens);
    ASSERT_FALSE(read.openLevel("staff", site.content, opened));
    EXPECT_EQ(opened.key(), staff.key());
    EXPECT_EQ(opened.salt(), staff.salt());
    EXPECT_EQ(read.openLevel("members", site.content, opened), CryptoError::NoSuchLevel);

    SiteKey rotated;
    std::vector<std::string> lacking;
    ASSERT_FALSE(read.rotate(site.content, rotated, lacking));
    EXPECT_EQ(read.openLevel("staff", site.content, opened), CryptoError::KeyFileDamaged);
    ASSERT_FALSE(read.openLevel("staff", rotated, opened));
    EXPECT_EQ(opened.key(), staff.key()) << "the level's pages keep their key";
}

TEST(SiteKeyFileLevels, RefusesDamagedOrDoubledLevels) {
    Site site({u"site password"});
    SiteKey staff;
    ASSERT_FALSE(site.file.addLevel("staff", u"staff password", {}, site.content, staff));
    const nlohmann::json good = nlohmann::json::parse(site.file.write());
    SiteKeyFile read;
    for (const auto& damage : std::vector<std::function<void(nlohmann::json&)>>{
             [](nlohmann::json& json) { json["levels"][0]["name"] = "two words"; },
             [](nlohmann::json& json) { json["levels"][0].erase("key"); },
             [](nlohmann::json& json) { json["levels"][0]["slots"] = nlohmann::json::array(); },
             [](nlohmann::json& json) { json["levels"].push_back(json["levels"][0]); },
             [](nlohmann::json& json) { json["levels"] = "staff"; },
         }) {
        nlohmann::json json = good;
        damage(json);
        EXPECT_EQ(SiteKeyFile::read(json.dump(), read), CryptoError::KeyFileDamaged) << json.dump();
    }
    EXPECT_FALSE(isLevelName(""));
    EXPECT_FALSE(isLevelName("a/b"));
    EXPECT_TRUE(isLevelName("members-2_b"));
}

} // namespace
} // namespace quillora::crypto
