// Changes of a site's passwords and key through the run, over sites an encrypted run wrote: which passwords open
// which pages afterwards, what stays as it was, and what an interrupted change leaves.
#include "run/KeyChangeRun.h"

#include "RecordingReporter.h"
#include "crypto/CryptoError.h"
#include "run/ProtectionRun.h"
#include "unlock/UnlockPage.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

namespace quillora::run {
namespace {

using test::readBytes;
using unlock::PageEncryptor;
using Outcome = KeyChangeSummary::Outcome;

const std::u16string kFirst = u"first password of the site";
const std::u16string kSecond = u"second password of the site";
const std::u16string kThird = u"third password of the site";
const std::vector<std::string> kPages = {"site/a.htm", "site/sub/b.htm"};

std::string page(std::string_view body) {
    return "<html><head><title>t</title></head><body>" + std::string(body) + "</body></html>";
}

unlock::SealedPage sealedOf(const std::string& unlockPage) {
    unlock::SealedPage sealed;
    EXPECT_TRUE(PageEncryptor::readSealed(unlockPage, sealed));
    return sealed;
}

/// The page an unlock page opens to with the password, as a browser opens it (empty when it does not open).
std::string opened(const std::string& unlockPage, std::u16string_view password) {
    const unlock::SealedPage sealed = sealedOf(unlockPage);
    crypto::SiteKey derived;
    crypto::SiteKey key;
    if (crypto::SiteKey::derive(password, sealed.salt, sealed.iterations, derived) ||
        !PageEncryptor::keyFor(derived, sealed, key))
        return {};
    std::string shown;
    std::string original;
    return PageEncryptor::openContent(key, sealed, shown, original) ? shown : std::string();
}

KeyChange adding(std::u16string password, std::u16string added, std::string label) {
    KeyChange change;
    change.password = std::move(password);
    change.addPassword = std::move(added);
    change.addLabel = std::move(label);
    return change;
}

KeyChange removing(std::u16string password, std::string slot, bool rotate) {
    KeyChange change;
    change.password = std::move(password);
    change.removeSlot = std::move(slot);
    change.rotate = rotate;
    return change;
}

KeyChange rekeying(std::u16string password) {
    KeyChange change;
    change.password = std::move(password);
    change.rotate = true;
    return change;
}

class KeyChangeRunTest : public ::testing::Test {
protected:
    void SetUp() override {
        temp.write(kPages[0], page("Alpha"));
        temp.write(kPages[1], page("Beta"));
        encrypt(kFirst, {folder("site")});
    }

    void encrypt(std::u16string_view password, const std::vector<SelectionEntry>& selection, std::string keyFile = {},
                 std::string level = {}) {
        engine::ProtectionOptions options;
        options.keyLevel = std::move(level);
        options.passwordProtect = true;
        options.encrypt = true;
        options.password = password;
        options.makeBackups = false;
        options.keyFile = std::move(keyFile);
        test::RecordingReporter encrypting;
        ASSERT_TRUE(ProtectionRun(options, encrypting, disk).ProtectFiles(selection).allDone());
    }

    KeyChangeSummary change(KeyChange request, disk::FileSystem* fileSystem = nullptr) {
        reporter = {};
        return KeyChangeRun(reporter, fileSystem != nullptr ? *fileSystem : disk).change({folder("site")}, request);
    }

    SelectionEntry folder(std::string_view relative) const { return {temp / relative, true}; }
    std::string keyFile() const { return temp / "site.quillora-key"; }
    std::vector<std::string> pages() const {
        std::vector<std::string> bytes;
        bytes.reserve(kPages.size());
        for (const auto& name : kPages)
            bytes.push_back(readBytes(temp / name));
        return bytes;
    }
    /// Whether the password opens every page (true), none (false); a mix fails the test.
    bool opensAll(std::u16string_view password) const {
        std::size_t opening = 0;
        for (const auto& bytes : pages())
            opening += opened(bytes, password).empty() ? 0 : 1;
        EXPECT_TRUE(opening == 0 || opening == kPages.size()) << opening << " of " << kPages.size();
        return opening == kPages.size();
    }
    void addSecond() { ASSERT_EQ(change(adding(kFirst, kSecond, "editors")).outcome, Outcome::Done); }

    test::TempFolder temp;
    disk::PosixFileSystem disk;
    test::RecordingReporter reporter;
};

TEST_F(KeyChangeRunTest, AnAddedPasswordOpensEveryPageBesideTheFirstUnderTheSameKey) {
    const auto before = pages();
    const auto summary = change(adding(kFirst, kSecond, "editors"));
    EXPECT_EQ(summary.outcome, Outcome::Done);
    EXPECT_EQ(summary.resealed, kPages.size());
    EXPECT_FALSE(summary.rotated);
    EXPECT_EQ(summary.slots, (std::vector<std::string>{"#1", "editors"}));
    EXPECT_EQ(reporter.written.size(), kPages.size());
    EXPECT_TRUE(opensAll(kFirst));
    EXPECT_TRUE(opensAll(kSecond));
    EXPECT_FALSE(opensAll(kThird));
    // Only the slots changed: each page is sealed as it was.
    for (std::size_t i = 0; i < kPages.size(); ++i)
        EXPECT_EQ(sealedOf(pages()[i]).sealed, sealedOf(before[i]).sealed);
    EXPECT_NE(opened(pages()[0], kSecond).find("<body>Alpha</body>"), std::string::npos) << "the page's own text";
    EXPECT_EQ(opened(pages()[0], kSecond), opened(before[0], kFirst));
    EXPECT_FALSE(std::filesystem::exists(keyFile() + ".new"));
}

TEST_F(KeyChangeRunTest, RemovingAPasswordGivesTheSiteANewKeyThatTheRemovedOneNeverOpens) {
    addSecond();
    const std::string oldPage = pages()[0];
    const auto summary = change(removing(kSecond, "#1", true));
    EXPECT_EQ(summary.outcome, Outcome::Done);
    EXPECT_TRUE(summary.rotated);
    EXPECT_EQ(summary.removedSlot, "#1");
    EXPECT_EQ(summary.slots, (std::vector<std::string>{"editors"}));
    EXPECT_FALSE(opensAll(kFirst));
    EXPECT_TRUE(opensAll(kSecond));
    // The content key the removed password unwrapped before opens none of the pages now.
    crypto::SiteKey oldKey;
    const auto oldSealed = sealedOf(oldPage);
    crypto::SiteKey derived;
    ASSERT_FALSE(crypto::SiteKey::derive(kFirst, oldSealed.salt, oldSealed.iterations, derived));
    ASSERT_TRUE(PageEncryptor::keyFor(derived, oldSealed, oldKey));
    for (const auto& bytes : pages())
        EXPECT_FALSE(PageEncryptor::opens(oldKey, sealedOf(bytes)));
    // The key file agrees: a later encrypted run refuses the removed password and seals with the new key.
    crypto::SiteKeyFile file;
    ASSERT_FALSE(crypto::SiteKeyFile::read(readBytes(keyFile()), file));
    crypto::SiteKey content;
    EXPECT_EQ(file.open(kFirst, content), crypto::CryptoError::NoSlotOpens);
    ASSERT_FALSE(file.open(kSecond, content));
    EXPECT_TRUE(PageEncryptor::opens(content, sealedOf(pages()[1])));
}

TEST_F(KeyChangeRunTest, RemovingWithoutRotationKeepsTheContentKeyButNotTheSlot) {
    addSecond();
    const auto before = pages();
    const auto summary = change(removing(kFirst, "editors", false));
    EXPECT_EQ(summary.outcome, Outcome::Done);
    EXPECT_FALSE(summary.rotated);
    EXPECT_TRUE(opensAll(kFirst));
    EXPECT_FALSE(opensAll(kSecond));
    for (std::size_t i = 0; i < kPages.size(); ++i)
        EXPECT_EQ(sealedOf(pages()[i]).sealed, sealedOf(before[i]).sealed);
}

TEST_F(KeyChangeRunTest, RekeyingSealsEveryPageAgainForEveryPassword) {
    addSecond();
    const auto before = pages();
    const auto summary = change(rekeying(kSecond));
    EXPECT_EQ(summary.outcome, Outcome::Done);
    EXPECT_TRUE(summary.rotated);
    EXPECT_TRUE(opensAll(kFirst));
    EXPECT_TRUE(opensAll(kSecond));
    for (std::size_t i = 0; i < kPages.size(); ++i) {
        EXPECT_NE(sealedOf(pages()[i]).sealed, sealedOf(before[i]).sealed);
        EXPECT_EQ(opened(pages()[i], kFirst), opened(before[i], kFirst));
    }
}

// Adding the new password and removing the old one in one change, run with the old one, changes the password.
TEST_F(KeyChangeRunTest, APasswordIsChangedByAddingTheNewAndRemovingTheOldInOneGo) {
    KeyChange swap = adding(kFirst, kSecond, "new");
    swap.removeSlot = "#1";
    swap.rotate = true;
    const auto summary = change(swap);
    EXPECT_EQ(summary.outcome, Outcome::Done);
    EXPECT_EQ(summary.slots, (std::vector<std::string>{"new"}));
    EXPECT_FALSE(opensAll(kFirst));
    EXPECT_TRUE(opensAll(kSecond));
}

TEST_F(KeyChangeRunTest, PagesOfAnotherKeyAreReportedAndLeftAsTheyAre) {
    temp.write("site/other/c.htm", page("Gamma"));
    encrypt(kThird, {{temp / "site/other/c.htm", false}}, temp / "other.quillora-key");
    const std::string other = readBytes(temp / "site/other/c.htm");
    const auto summary = change(rekeying(kFirst));
    EXPECT_EQ(summary.outcome, Outcome::Done);
    EXPECT_EQ(summary.otherKey, 1u);
    EXPECT_EQ(reporter.otherKeyPages, (std::vector<std::string>{temp / "site/other/c.htm"}));
    EXPECT_EQ(readBytes(temp / "site/other/c.htm"), other);
    EXPECT_TRUE(opensAll(kFirst));
}

TEST_F(KeyChangeRunTest, RefusalsChangeNothing) {
    addSecond();
    const auto before = pages();
    const std::string keyBefore = readBytes(keyFile());
    KeyChange elsewhere = adding(kFirst, kThird, "x");
    elsewhere.keyFile = temp / "missing.quillora-key";
    const std::vector<std::pair<KeyChange, RunRefusal::Reason>> cases = {
        {rekeying(kThird), RunRefusal::Reason::KeyFileWrongPassword},
        {adding(kFirst, kThird, "editors"), RunRefusal::Reason::KeyChangeRefused}, // the label is taken
        {adding(kFirst, kSecond, "other"), RunRefusal::Reason::KeyChangeRefused},  // the password is the site's
        {elsewhere, RunRefusal::Reason::KeyFileMissing},
        {adding(kFirst, u"abc", "weak"), RunRefusal::Reason::PasswordTooWeak},
        {removing(kFirst, "nobody", true), RunRefusal::Reason::KeyChangeRefused},
    };
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const auto summary = change(cases[i].first);
        EXPECT_EQ(summary.outcome, Outcome::Refused) << i;
        ASSERT_EQ(reporter.refusals.size(), 1u) << i;
        EXPECT_EQ(reporter.refusals[0].reason, cases[i].second) << i;
        EXPECT_EQ(pages(), before) << i;
        EXPECT_EQ(readBytes(keyFile()), keyBefore) << i;
    }
}

// Without the wrapped password keys of a key file of the first version, a new key could not reach every password.
TEST_F(KeyChangeRunTest, AKeyFileOfTheFirstVersionRotatesOnlyOnceEachPasswordWasGiven) {
    addSecond();
    nlohmann::json old = nlohmann::json::parse(readBytes(keyFile()));
    old["version"] = 1;
    for (auto& slot : old["slots"])
        slot.erase("passwordKey");
    test::writeBytes(keyFile(), old.dump());
    const auto before = pages();
    auto summary = change(rekeying(kFirst));
    ASSERT_EQ(summary.outcome, Outcome::Refused);
    EXPECT_NE(reporter.refusals[0].other.find(": editors"), std::string::npos) << reporter.refusals[0].other;
    EXPECT_EQ(pages(), before);
    // The second password given once, the change goes through for both.
    summary = change(rekeying(kSecond));
    EXPECT_EQ(summary.outcome, Outcome::Done);
    EXPECT_TRUE(opensAll(kFirst));
    EXPECT_TRUE(opensAll(kSecond));
}

TEST_F(KeyChangeRunTest, AChangeThatCannotWriteEveryPageKeepsTheOldKeyFileAndIsFinishedLater) {
    addSecond();
    const std::string keyBefore = readBytes(keyFile());
    test::FaultyFileSystem faulty;
    faulty.failAt(test::FaultyFileSystem::Step::Rename, EACCES, 0, "sub/");
    faulty.failAt(test::FaultyFileSystem::Step::CreateTemp, EACCES, 0, "sub/");
    auto summary = change(removing(kSecond, "#1", true), &faulty);
    EXPECT_EQ(summary.outcome, Outcome::Incomplete);
    EXPECT_EQ(summary.failed, 1u);
    EXPECT_EQ(readBytes(keyFile()), keyBefore);
    EXPECT_TRUE(std::filesystem::exists(keyFile() + ".new"));
    // Meanwhile each page opens with the passwords it carries: the second everywhere.
    EXPECT_TRUE(opensAll(kSecond));
    EXPECT_TRUE(opened(pages()[0], kFirst).empty());

    // The next change finishes the interrupted one first, with the new key, then does its own.
    summary = change(adding(kSecond, kThird, "staff"));
    EXPECT_EQ(summary.outcome, Outcome::Done);
    EXPECT_TRUE(summary.finishedEarlier);
    EXPECT_FALSE(std::filesystem::exists(keyFile() + ".new"));
    EXPECT_FALSE(opensAll(kFirst));
    EXPECT_TRUE(opensAll(kSecond));
    EXPECT_TRUE(opensAll(kThird));
    crypto::SiteKeyFile file;
    ASSERT_FALSE(crypto::SiteKeyFile::read(readBytes(keyFile()), file));
    crypto::SiteKey content;
    ASSERT_FALSE(file.open(kThird, content));
    for (const auto& bytes : pages())
        EXPECT_TRUE(PageEncryptor::opens(content, sealedOf(bytes)));
}

// A level's pages open with the level's passwords only; its changes reach its pages and leave the site's as they are.
TEST_F(KeyChangeRunTest, ALevelsPagesOpenWithItsPasswordsAndChangeWithItAlone) {
    KeyChange making = adding(kFirst, kSecond, "staff");
    making.level = "staff";
    making.addLevel = true;
    auto summary = change(making);
    ASSERT_EQ(summary.outcome, Outcome::Done) << reporter.refusalText();
    EXPECT_TRUE(summary.levelAdded);
    EXPECT_EQ(summary.resealed, 0U);
    EXPECT_EQ(change(making).outcome, Outcome::Refused) << "made once";

    temp.write("site/staff/c.htm", page("Gamma"));
    encrypt(kFirst, {folder("site/staff")}, keyFile(), "staff");
    const std::string staffPage = readBytes(temp / "site/staff/c.htm");
    EXPECT_NE(opened(staffPage, kSecond).find("Gamma"), std::string::npos);
    EXPECT_TRUE(opened(staffPage, kFirst).empty()) << "the site's password is not the level's";
    EXPECT_TRUE(opensAll(kFirst));
    EXPECT_FALSE(opensAll(kSecond));

    const auto sitePages = pages();
    KeyChange rotating = rekeying(kFirst);
    rotating.level = "staff";
    summary = change(rotating);
    ASSERT_EQ(summary.outcome, Outcome::Done) << reporter.refusalText();
    EXPECT_TRUE(summary.rotated);
    EXPECT_EQ(summary.resealed, 1U);
    EXPECT_EQ(summary.otherKey, 0U);
    EXPECT_EQ(pages(), sitePages) << "the site's own pages stay as they were";
    const std::string rotated = readBytes(temp / "site/staff/c.htm");
    EXPECT_NE(sealedOf(rotated).sealed, sealedOf(staffPage).sealed);
    EXPECT_NE(opened(rotated, kSecond).find("Gamma"), std::string::npos);

    // The site's rotation keeps the level's pages as they are, and its key reachable for the next run.
    summary = change(rekeying(kFirst));
    ASSERT_EQ(summary.outcome, Outcome::Done) << reporter.refusalText();
    EXPECT_EQ(summary.resealed, kPages.size());
    EXPECT_EQ(readBytes(temp / "site/staff/c.htm"), rotated);
    temp.write("site/staff/d.htm", page("Delta"));
    encrypt(kFirst, {folder("site/staff")}, keyFile(), "staff");
    EXPECT_NE(opened(readBytes(temp / "site/staff/d.htm"), kSecond).find("Delta"), std::string::npos);

    KeyChange unknown = rekeying(kFirst);
    unknown.level = "members";
    EXPECT_EQ(change(unknown).outcome, Outcome::Refused);
    EXPECT_NE(reporter.refusalText().find("The site has no access level \"members\" (its levels: staff)"),
              std::string::npos)
        << reporter.refusalText();
}

} // namespace
} // namespace quillora::run
