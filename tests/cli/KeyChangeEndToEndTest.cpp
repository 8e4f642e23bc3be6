// A site's passwords and key changed through the real quillora-cli: which passwords open the published pages
// afterwards, what the program says, and what it refuses before anything is written.

#include "CliProcess.h"
#include "CliTestSupport.h"
#include "crypto/PageCipher.h"
#include "unlock/UnlockPage.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace quillora::cli::test {
namespace {

namespace fs = std::filesystem;

const std::string kFirst = "correct horse battery staple";
const std::string kSecond = "purple monkey dishwasher lamp";
const std::vector<std::string> kPages = {"site/a.htm", "site/sub/b.htm"};

unlock::SealedPage sealedOf(const std::string& page) {
    unlock::SealedPage sealed;
    EXPECT_TRUE(unlock::PageEncryptor::readSealed(page, sealed));
    return sealed;
}

/// The content key an unlock page's slots give the password, as the browser comes by it; none when they give none.
std::optional<crypto::SiteKey> keyOf(const std::string& page, const std::string& password) {
    const unlock::SealedPage sealed = sealedOf(page);
    crypto::SiteKey derived;
    crypto::SiteKey key;
    std::u16string text(password.begin(), password.end());
    if (crypto::SiteKey::derive(text, sealed.salt, sealed.iterations, derived) ||
        !unlock::PageEncryptor::keyFor(derived, sealed, key))
        return std::nullopt;
    return key;
}

class KeyChangeEndToEnd : public testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "quillora-keys-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        m_root = pattern;
        writeFile(m_root / "first.txt", kFirst + "\n");
        writeFile(m_root / "second.txt", kSecond + "\n");
        writeFile(m_root / "weak.txt", "abc\n");
        for (const char* name : {"first.txt", "second.txt", "weak.txt"})
            fs::permissions(m_root / name, fs::perms(0600));
        writeFile(m_root / kPages[0], "<html><head><title>A</title></head><body>alpha words</body></html>");
        writeFile(m_root / kPages[1], "<html><head><title>B</title></head><body>beta words</body></html>");
    }
    void TearDown() override {
        std::error_code error;
        fs::remove_all(m_root, error);
    }
    CliOutcome run(const std::vector<std::string>& arguments) const {
        CliOutcome outcome = CliProcess::run(arguments, seconds(60), m_root.string());
        EXPECT_FALSE(outcome.timedOut);
        return outcome;
    }
    void encrypt() const { ASSERT_EQ(run({"-q", "--encrypt", "--password-file", "first.txt", "site"}).exitCode, 0); }
    std::string path(std::string_view relative) const { return (m_root / relative).string(); }
    std::vector<std::string> pages() const {
        std::vector<std::string> bytes;
        bytes.reserve(kPages.size());
        for (const auto& name : kPages)
            bytes.push_back(contentOf(m_root / name));
        return bytes;
    }
    /// Whether the password opens every page; a password that opens some pages only fails the test.
    bool opensAll(const std::string& password) const {
        std::size_t opening = 0;
        for (const auto& page : pages())
            opening += keyOf(page, password) ? 1 : 0;
        EXPECT_TRUE(opening == 0 || opening == kPages.size()) << opening;
        return opening == kPages.size();
    }
    std::string writtenPaths() const { return path(kPages[0]) + "\n" + path(kPages[1]) + "\n"; }

    fs::path m_root;
};

TEST_F(KeyChangeEndToEnd, AddingRemovingAndRekeyingChangeWhichPasswordsOpenEveryPage) {
    encrypt();
    const CliOutcome added = run({"--add-password", "--new-password-file", "second.txt", "--label", "editors",
                                  "--password-file", "first.txt", "site"});
    ASSERT_EQ(added.exitCode, 0) << added.err;
    EXPECT_EQ(added.out, writtenPaths());
    EXPECT_EQ(added.err, "quillora-cli: Scanning for files, please wait...\n"
                         "quillora-cli: 2 unlock pages now carry the site's passwords.\n"
                         "quillora-cli: The site key file " +
                             path("site.quillora-key") + " holds the passwords: #1, editors\n");
    EXPECT_TRUE(opensAll(kFirst));
    EXPECT_TRUE(opensAll(kSecond));
    const crypto::SiteKey before = *keyOf(pages()[0], kFirst);

    const CliOutcome removed = run({"--remove-password", "#1", "--password-file", "second.txt", "site"});
    ASSERT_EQ(removed.exitCode, 0) << removed.err;
    EXPECT_EQ(removed.err, "quillora-cli: Scanning for files, please wait...\n"
                           "quillora-cli: The site has a new content key: 2 unlock pages were sealed again with it, "
                           "and the key of the pages before no longer opens them. The password \"#1\" was removed and "
                           "opens no page of the site any more.\n"
                           "quillora-cli: The site key file " +
                               path("site.quillora-key") + " holds the passwords: editors\n");
    EXPECT_FALSE(opensAll(kFirst));
    EXPECT_TRUE(opensAll(kSecond));
    for (const auto& page : pages())
        EXPECT_FALSE(unlock::PageEncryptor::opens(before, sealedOf(page))) << "the old content key";
    // An encrypted run of the site takes the remaining password only.
    EXPECT_EQ(run({"-q", "--encrypt", "--password-file", "first.txt", "site"}).exitCode, 2);
    EXPECT_EQ(run({"-q", "--encrypt", "--password-file", "second.txt", "site"}).exitCode, 0);

    const crypto::SiteKey rotated = *keyOf(pages()[0], kSecond);
    const CliOutcome rekeyed = run({"-q", "--rekey", "--password-file", "second.txt", "site"});
    ASSERT_EQ(rekeyed.exitCode, 0) << rekeyed.err;
    EXPECT_EQ(rekeyed.out, writtenPaths());
    EXPECT_EQ(rekeyed.err, "");
    EXPECT_TRUE(opensAll(kSecond));
    EXPECT_NE(keyOf(pages()[1], kSecond)->key(), rotated.key());
    EXPECT_FALSE(fs::exists(m_root / "site.quillora-key.new"));
}

TEST_F(KeyChangeEndToEnd, RemovingWithoutANewKeySaysWhatTheRemovedPasswordStillReads) {
    encrypt();
    ASSERT_EQ(run({"-q", "--add-password", "--new-password-file", "second.txt", "--label", "editors", "--password-file",
                   "first.txt", "site"})
                  .exitCode,
              0);
    const crypto::SiteKey before = *keyOf(pages()[0], kSecond);
    const CliOutcome removed =
        run({"-q", "--remove-password", "editors", "--no-rotate", "--password-file", "first.txt", "site"});
    ASSERT_EQ(removed.exitCode, 0) << removed.err;
    EXPECT_EQ(removed.err, "quillora-cli: Pages keep the content key: whoever unlocked with the removed password "
                           "before can still read them with the key their browser kept or they copied; rotate with "
                           "--rekey later\n");
    EXPECT_FALSE(opensAll(kSecond));
    EXPECT_TRUE(opensAll(kFirst));
    EXPECT_EQ(keyOf(pages()[1], kFirst)->key(), before.key());
}

TEST_F(KeyChangeEndToEnd, WhatCannotBeDoneIsRefusedBeforeAnythingIsWritten) {
    encrypt();
    ASSERT_EQ(run({"-q", "--add-password", "--new-password-file", "second.txt", "--label", "editors", "--password-file",
                   "first.txt", "site"})
                  .exitCode,
              0);
    const auto before = pages();
    const std::string keyFile = contentOf(m_root / "site.quillora-key");
    const std::string site = " (site key file " + path("site.quillora-key") + "; nothing was changed)";
    const std::vector<std::pair<std::vector<std::string>, std::string>> refusals = {
        {{"--no-rotate", "--password-file", "first.txt"}, "--no-rotate requires --remove-password"},
        {{"--rekey", "--remove-password", "editors", "--no-rotate", "--password-file", "first.txt"},
         "--no-rotate keeps the content key that --rekey changes: give one of them"},
        {{"--label", "x", "--rekey", "--password-file", "first.txt"},
         "--label names a new password: give it with --add-password, --share-link or --add-level"},
        {{"--level", "staff", "--password-file", "first.txt"},
         "--level requires --encrypt or a change of the site's key"},
        {{"--add-level", "two words", "--new-password-file", "second.txt", "--password-file", "first.txt"},
         "--add-level: write letters, digits, \"-\" and \"_\", as in members"},
        {{"--new-password-file", "second.txt", "--rekey", "--password-file", "first.txt"},
         "--new-password-file requires --add-password or --add-level"},
        {{"--rekey", "--level", "staff", "--password-file", "first.txt"},
         "The site has no access level \"staff\" (it has none)" + site},
        {{"--add-password", "--password-file", "first.txt"},
         "--add-password needs the new password: give --new-password-file or QUILLORA_NEW_PASSWORD"},
        {{"--add-password", "--new-password-file", "second.txt", "--label", "#2", "--password-file", "first.txt"},
         "--label: must not begin with # (#N names the N-th password)"},
        {{"--rekey"},
         "A change of the site's key needs one of the site's passwords: give --password, "
         "--password-file or QUILLORA_PASSWORD"},
        {{"--rekey", "--encrypt", "--password-file", "first.txt"},
         "--encrypt does not go with --add-password, --remove-password or --rekey, which change the site's passwords "
         "and key in its key file and its unlock pages where they are"},
        {{"--rekey", "--copy-to", "out", "--password-file", "first.txt"},
         "--copy-to does not go with --add-password, --remove-password or --rekey, which change the site's "
         "passwords and key in its key file and its unlock pages where they are"},
        {{"--add-password", "--new-password-file", "weak.txt", "--password-file", "first.txt"},
         "The password is too weak to encrypt with: about 2 bits, and at least 40 are needed. A longer password of "
         "several unrelated words is stronger."},
        {{"--add-password", "--new-password-file", "first.txt", "--password-file", "second.txt"},
         "The new password is one of the site's passwords already" + site},
        {{"--remove-password", "staff", "--password-file", "first.txt"},
         "No password of the site is labelled \"staff\"; its passwords are: #1, editors" + site},
        {{"--rekey", "--password-file", "weak.txt"},
         "The password is not one of the passwords of the site key file " + path("site.quillora-key") +
             "; please give one of them, or choose another key file"},
        {{"--rekey", "--password-file", "first.txt", "--key-file", "gone.key"},
         "There is no site key file at " + path("gone.key") +
             "; passwords are added and removed, and the key changed, in the key file of a site that was encrypted: "
             "please choose it"},
    };
    for (auto [arguments, message] : refusals) {
        arguments.push_back("site");
        const CliOutcome refused = run(arguments);
        EXPECT_EQ(refused.exitCode, 2) << message;
        EXPECT_EQ(refused.err.substr(0, refused.err.find('\n')), "quillora-cli: " + message);
        EXPECT_EQ(refused.out, "");
    }
    EXPECT_EQ(pages(), before);
    EXPECT_EQ(contentOf(m_root / "site.quillora-key"), keyFile);
    EXPECT_FALSE(fs::exists(m_root / "out"));
}

} // namespace
} // namespace quillora::cli::test

namespace quillora::cli::test {
namespace {

TEST_F(KeyChangeEndToEnd, AShareLinkCarriesAPasswordOfItsOwnThatItsLabelRevokes) {
    encrypt();
    const CliOutcome shared = run(
        {"--share-link", "https://example.org/a.htm", "--label", "for Ann", "--password-file", "first.txt", "site"});
    ASSERT_EQ(shared.exitCode, 0) << shared.err;
    const std::string link = shared.out.substr(shared.out.rfind('\n', shared.out.size() - 2) + 1);
    const std::string start = "https://example.org/a.htm#quillora-key=";
    ASSERT_TRUE(link.starts_with(start)) << link;
    const std::string secret = link.substr(start.size(), link.size() - start.size() - 1);
    EXPECT_EQ(secret.size(), 22u) << "128 random bits";
    EXPECT_EQ(secret.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_"),
              std::string::npos)
        << "it stands in an address as it is";
    EXPECT_NE(shared.err.find("Anyone holding this link can read the site's pages, until its password is removed "
                              "(--remove-password \"for Ann\"):"),
              std::string::npos)
        << shared.err;
    EXPECT_TRUE(opensAll(secret));
    EXPECT_TRUE(opensAll(kFirst));

    const CliOutcome again = run({"--share-link", "https://example.org/a.htm", "--password-file", "first.txt", "site"});
    ASSERT_EQ(again.exitCode, 0) << again.err;
    EXPECT_EQ(again.out.find(secret), std::string::npos) << "every link has a password of its own";

    ASSERT_EQ(run({"-q", "--remove-password", "for Ann", "--password-file", "first.txt", "site"}).exitCode, 0);
    EXPECT_FALSE(opensAll(secret)) << "revoked with its slot";
    EXPECT_TRUE(opensAll(kFirst));

    const CliOutcome fragment =
        run({"--share-link", "https://example.org/a.htm#top", "--password-file", "first.txt", "site"});
    EXPECT_EQ(fragment.exitCode, 2);
    EXPECT_NE(fragment.err.find("give the page's address without a #"), std::string::npos) << fragment.err;
    const CliOutcome label = run({"--label", "x", "--encrypt", "--password-file", "first.txt", "site"});
    EXPECT_EQ(label.exitCode, 2);
    EXPECT_NE(label.err.find("--label names a new password"), std::string::npos) << label.err;
}

} // namespace
} // namespace quillora::cli::test
