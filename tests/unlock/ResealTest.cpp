#include "unlock/Reseal.h"

#include "crypto/Base64.h"
#include "crypto/SiteKeyFile.h"
#include "unlock/UnlockPage.h"

#include <gtest/gtest.h>

namespace quillora::unlock {
namespace {

using charset::PageEncoding;
using crypto::PageCipher;
using crypto::SiteKey;
using crypto::SiteKeyFile;
using Kind = PageEncoding::Kind;
using Outcome = Reseal::Outcome;

constexpr int kRounds = 10;
const std::string kPage = "<!DOCTYPE html>\n<html><head><title>Plans</title></head><body><p>Almonds.</p></body></html>";

/// The page's bytes as ASCII characters: a UTF-16 page's code units, each as one character ("?" beyond ASCII).
std::string narrow(const std::string& bytes, std::size_t& unit, std::size_t& start) {
    const bool little = bytes.starts_with("\xFF\xFE");
    if (!little && !bytes.starts_with("\xFE\xFF")) {
        unit = 1;
        start = 0;
        return bytes;
    }
    unit = 2;
    start = 2;
    std::string text;
    for (std::size_t at = 2; at + 1 < bytes.size(); at += 2) {
        const char low = bytes[little ? at : at + 1];
        text += bytes[little ? at + 1 : at] == '\0' && static_cast<unsigned char>(low) < 0x80 ? low : '?';
    }
    return text;
}

/// The page's bytes without its data's slots, sealed page and nonce: what a re-sealing must leave as it was.
std::string withoutSealedData(const std::string& bytes) {
    std::size_t unit = 1;
    std::size_t start = 0;
    const std::string text = narrow(bytes, unit, start);
    const auto slots = text.find(",\"slots\":[");
    const auto slotsEnd = text.find(']', slots);
    const auto page = text.find(",\"page\":\"");
    const auto nonceEnd = text.find('"', text.find(",\"iv\":\"") + 7);
    EXPECT_NE(slots, std::string::npos);
    EXPECT_NE(page, std::string::npos);
    const auto slice = [&](std::size_t from, std::size_t to) {
        return bytes.substr(start + from * unit, (to - from) * unit);
    };
    return slice(0, slots) + "|" + slice(slotsEnd, page) + "|" + bytes.substr(start + nonceEnd * unit);
}

class ResealTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(SiteKeyFile::create(u"old", kRounds, "a", file, content));
        EncryptionSettings settings;
        settings.iterations = kRounds;
        ASSERT_FALSE(PageEncryptor::create(settings, content, file.wrappedKeys(), encryptor));
        // The site as a rotation leaves it: another password added, and a new content key.
        SiteKeyFile next = file;
        ASSERT_FALSE(next.addSlot(u"new", "b", content));
        std::vector<std::string> lacking;
        ASSERT_FALSE(next.rotate(content, target.content, lacking));
        target.slots = next.wrappedKeys();
    }

    std::string unlockPage(const PageEncoding& encoding, std::u16string_view notice = {}) const {
        std::string page = kPage;
        if (encoding.isUtf16()) {
            page.clear();
            for (const char c : kPage) {
                page += encoding.kind == Kind::Utf16BE ? '\0' : c;
                page += encoding.kind == Kind::Utf16BE ? c : '\0';
            }
            page.insert(0, encoding.kind == Kind::Utf16BE ? "\xFE\xFF" : "\xFF\xFE");
        }
        std::string unlock;
        EXPECT_FALSE(encryptor->encrypt(page, encoding, u"Pl\u00E4ns", notice, unlock));
        return unlock;
    }

    std::string resealed(const std::string& page, const SiteKey& oldKey, Outcome expected = Outcome::Resealed) const {
        std::string out;
        std::error_code error;
        EXPECT_EQ(Reseal::reseal(page, oldKey, target, out, error), expected);
        EXPECT_FALSE(error);
        return out;
    }

    static SealedPage sealedOf(const std::string& page) {
        SealedPage sealed;
        EXPECT_TRUE(PageEncryptor::readSealed(page, sealed));
        return sealed;
    }

    SiteKeyFile file;
    SiteKey content;
    std::unique_ptr<PageEncryptor> encryptor;
    ResealTarget target;
};

TEST_F(ResealTest, EveryByteButTheSealedDataStaysInEachForm) {
    const std::vector<std::pair<PageEncoding, std::u16string>> forms = {
        {{Kind::Utf8, "", false}, u""},
        {{Kind::Utf8, "", true}, u"\u00A9 2026 \u4E16"},
        {{Kind::Windows1252, "", false}, u"\u00A9 Caf\u00E9"},
        {{Kind::Icu, "ibm-943_P15A-2003", false}, u"\u4E16\u754C"},
        {{Kind::Utf16LE, "", true}, u"\u00A9 \u4E16 \"q\""},
        {{Kind::Utf16BE, "", true}, u"\u00A9"},
    };
    for (const auto& [encoding, notice] : forms) {
        const std::string before = unlockPage(encoding, notice);
        const std::string after = resealed(before, content);
        EXPECT_EQ(withoutSealedData(after), withoutSealedData(before)) << encoding.icuName;
        EXPECT_TRUE(PageEncryptor::isUnlockPage(after));
        const SealedPage sealed = sealedOf(after);
        EXPECT_EQ(sealed.slots, target.slots);
        EXPECT_TRUE(PageEncryptor::opens(target.content, sealed));
        EXPECT_FALSE(PageEncryptor::opens(content, sealed));
        const SealedPage old = sealedOf(before);
        EXPECT_NE(sealed.nonce, old.nonce);
        // The page opened is the page that was sealed.
        std::string opened;
        std::string was;
        ASSERT_FALSE(PageCipher(target.content.key()).open(sealed.sealed, sealed.nonce, {}, opened));
        ASSERT_FALSE(PageCipher(content.key()).open(old.sealed, old.nonce, {}, was));
        EXPECT_EQ(opened, was);
    }
}

TEST_F(ResealTest, UnderTheSameContentKeyOnlyTheSlotsChange) {
    target.content = content;
    const std::string before = unlockPage({Kind::Utf16LE, "", true}, u"\u00E9");
    const std::string after = resealed(before, content);
    const SealedPage old = sealedOf(before);
    const SealedPage sealed = sealedOf(after);
    EXPECT_EQ(sealed.sealed, old.sealed);
    EXPECT_EQ(sealed.nonce, old.nonce);
    EXPECT_EQ(sealed.slots, target.slots);
    EXPECT_EQ(withoutSealedData(after), withoutSealedData(before));
}

TEST_F(ResealTest, LeavesWhatTheKeyDoesNotOpenOrWhatIsNoUnlockPage) {
    const std::string page = unlockPage({Kind::Utf8, "", false});
    resealed(page, target.content, Outcome::OtherKey);
    resealed(kPage, content, Outcome::NotUnlockPage);
    std::string damaged = page;
    damaged.erase(damaged.find(",\"iv\":\""), 8);
    resealed(damaged, content, Outcome::Damaged);
    std::string truncated = page.substr(0, page.find(",\"page\":\"") + 20);
    resealed(truncated, content, Outcome::Damaged);
}

// A page bound to its path in the site is sealed again with the same binding, and opens to what it held.
TEST_F(ResealTest, KeepsThePagesAssociatedData) {
    std::string page;
    ASSERT_FALSE(encryptor->encrypt(kPage, {Kind::Utf8, "", false}, u"Plans", {}, page, {},
                                    {std::nullopt, "docs/caf\xC3\xA9.html", {}}));
    const std::string after = resealed(page, content);
    EXPECT_NE(after.find(",\"path\":\"docs/caf%C3%A9.html\",\"format\":2,\"page\":\""), std::string::npos);
    SealedPage sealed = sealedOf(after);
    std::string shown;
    std::string original;
    EXPECT_TRUE(PageEncryptor::openContent(target.content, sealed, shown, original));
    EXPECT_EQ(shown, kPage);
    sealed.path = "docs/other.html";
    EXPECT_FALSE(PageEncryptor::openContent(target.content, sealed, shown, original)) << "still bound to its path";
}

// Pages written before the site key file carry no slots and are sealed with the password's own key.
TEST_F(ResealTest, APageWithoutSlotsGetsThemWithItsNewKey) {
    const std::string page = unlockPage({Kind::Windows1252, "", false});
    const auto slots = page.find(",\"slots\":[");
    const std::string old = page.substr(0, slots) + page.substr(page.find(']', slots) + 1);
    ASSERT_TRUE(sealedOf(old).slots.empty());
    const std::string after = resealed(old, content);
    const SealedPage sealed = sealedOf(after);
    EXPECT_EQ(sealed.slots, target.slots);
    EXPECT_TRUE(PageEncryptor::opens(target.content, sealed));
    SiteKey derived;
    ASSERT_FALSE(SiteKey::derive(u"new", content.salt(), kRounds, derived));
    SiteKey key;
    EXPECT_TRUE(PageEncryptor::keyFor(derived, sealed, key));
}

} // namespace
} // namespace quillora::unlock
