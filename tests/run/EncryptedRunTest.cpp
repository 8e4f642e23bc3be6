// Encrypted runs end to end through the run: every page becomes its unlock page (a frameset too), nothing of the
// page or the password stands in the written bytes, the originals are kept outside the picked folders, and the run's
// other rules hold as for any run.
#include "RecordingReporter.h"
#include "run/ErrorNumbers.h"
#include "run/KeyChangeRun.h"
#include "run/ProtectionRun.h"
#include "run/RestoreRun.h"
#include "unlock/UnlockPage.h"
#include "unlock/UnlockScript.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <sys/prctl.h>
#include <sys/resource.h>

namespace quillora::run {
namespace {

using disk::PosixFileSystem;
using test::readBytes;
using unlock::PageEncryptor;

std::string page(std::string_view title, std::string_view body) {
    return "<html><head><title>" + std::string(title) + "</title></head><body>" + std::string(body) + "</body></html>";
}

constexpr char16_t kPassword[] = u"it's \"quoted\" \\ and long enough";

class EncryptedRunTest : public ::testing::Test {
protected:
    EncryptedRunTest() {
        options.passwordProtect = true;
        options.encrypt = true;
        options.password = kPassword;
    }
    RunSummary run(const std::vector<SelectionEntry>& selection) {
        reporter = {};
        return ProtectionRun(options, reporter, disk).ProtectFiles(selection);
    }
    SelectionEntry folder(std::string_view relative) const { return {temp / relative, true}; }
    SelectionEntry file(std::string_view relative) const { return {temp / relative, false}; }

    /// The page an unlock page opens to with the password (empty when it does not open).
    static std::string opened(const std::string& unlockPage, std::u16string_view password = kPassword) {
        unlock::SealedPage sealed;
        crypto::SiteKey derived;
        crypto::SiteKey key;
        if (!PageEncryptor::readSealed(unlockPage, sealed) ||
            crypto::SiteKey::derive(password, sealed.salt, sealed.iterations, derived) ||
            !PageEncryptor::keyFor(derived, sealed, key))
            return {};
        std::string shown;
        std::string original;
        return PageEncryptor::openContent(key, sealed, shown, original) ? shown : std::string();
    }
    static crypto::SiteKey::Salt saltOf(const std::string& unlockPage) {
        unlock::SealedPage sealed;
        EXPECT_TRUE(PageEncryptor::readSealed(unlockPage, sealed, false));
        return sealed.salt;
    }

    test::TempFolder temp;
    engine::ProtectionOptions options;
    test::RecordingReporter reporter;
    disk::PosixFileSystem disk;
};

TEST_F(EncryptedRunTest, EveryPageBecomesAnUnlockPageWithNothingOfThePageOrThePassword) {
    temp.write("site/a.htm", page("First title", "Confidential paragraph"));
    temp.write("site/sub/b.htm", page("Second title", "Another plugh"));
    options.insertNotice = true;
    options.noticeText = u"(c) Example";
    const auto summary = run({folder("site")});
    EXPECT_EQ(summary.written, 2u);
    EXPECT_TRUE(summary.allDone());
    for (const char* name : {"site/a.htm", "site/sub/b.htm"}) {
        const std::string written = readBytes(temp / name);
        EXPECT_TRUE(PageEncryptor::isUnlockPage(written)) << name;
        EXPECT_TRUE(written.starts_with("<!-- (c) Example-->")) << "the notice is meant to be read in the source";
        for (const char* hidden : {"Confidential", "plugh", "quoted", "long enough", "qv_d00"})
            EXPECT_EQ(written.find(hidden), std::string::npos) << name << ": " << hidden;
        EXPECT_TRUE(CarriesProtection(written));
        EXPECT_FALSE(std::filesystem::exists(temp / name + ".bak")) << "no original stays in the published folder";
    }
    EXPECT_EQ(readBytes(temp / "site.originals/a.htm"), page("First title", "Confidential paragraph"));
    EXPECT_EQ(readBytes(temp / "site.originals/sub/b.htm"), page("Second title", "Another plugh"));
    EXPECT_EQ(reporter.originalsFolders, std::vector<std::string>{temp / "site.originals"}) << "named once";
    EXPECT_NE(readBytes(temp / "site/a.htm").find("<title>First title</title>"), std::string::npos)
        << "the unlock page keeps the original's title";
}

TEST_F(EncryptedRunTest, LinksInADrawingAreEncryptedWithTheRestOfThePage) {
    temp.write("site/a.htm", page("Map", "<svg><a href=\"mailto:map@example.com\"><text>Map</text></a></svg>"));
    options.encryptionMode = engine::EncryptionMode::EmailLinks;
    const auto summary = run({folder("site")});
    EXPECT_EQ(summary.written, 1u);
    EXPECT_EQ(summary.protectedInPart, 0u);
    EXPECT_TRUE(summary.allDone());
    EXPECT_EQ(readBytes(temp / "site/a.htm").find("map@example.com"), std::string::npos);
}

TEST_F(EncryptedRunTest, AFramesetIsEncryptedAsItIsAndItsFramePagesAreEncryptedToo) {
    const std::string frameset = "<html><head><title>Frames</title></head><frameset cols=\"20%,*\"><frame "
                                 "src=\"menu.htm\"><frame src=\"main.htm\"><noframes>Noframes words</noframes>"
                                 "</frameset></html>";
    const std::string article = page("Article", "Article words <frame src=\"https://example.com/\">");
    temp.write("site/index.htm", frameset);
    temp.write("site/menu.htm", page("Menu", "Menu words"));
    temp.write("site/main.htm", page("Main", "Main words"));
    temp.write("site/article.htm", article);
    options.storageMode = engine::StorageMode::CopyToFolder;
    options.targetFolder = temp / "out";
    const auto summary = run({folder("site")});
    EXPECT_EQ(summary.written, 4u);
    for (const char* name : {"out/index.htm", "out/menu.htm", "out/main.htm", "out/article.htm"}) {
        const std::string written = readBytes(temp / name);
        EXPECT_TRUE(PageEncryptor::isUnlockPage(written)) << name;
        EXPECT_EQ(written.find("words"), std::string::npos) << name;
    }
    EXPECT_EQ(opened(readBytes(temp / "out/index.htm")), frameset) << "the frameset itself, once unlocked";
    EXPECT_NE(readBytes(temp / "out/index.htm").find("<title>Frames</title>"), std::string::npos);
    EXPECT_EQ(saltOf(readBytes(temp / "out/index.htm")), saltOf(readBytes(temp / "out/menu.htm")))
        << "one key: one unlock opens the frames";
    EXPECT_FALSE(opened(readBytes(temp / "out/article.htm")).empty());
}

TEST_F(EncryptedRunTest, AnEncryptedPageIsNotEncryptedAgainAndRestoresToItsOriginal) {
    const std::string original = page("T", "Only copy");
    temp.write("site/a.htm", original);
    run({folder("site")});
    const std::string once = readBytes(temp / "site/a.htm");
    const auto again = run({folder("site")});
    EXPECT_EQ(again.alreadyProtected, 1u);
    EXPECT_EQ(readBytes(temp / "site/a.htm"), once);
    test::RecordingReporter restoring;
    EXPECT_EQ(RestoreRun(restoring, disk).Restore({folder("site")}).written, 1u);
    EXPECT_EQ(readBytes(temp / "site/a.htm"), original);
    EXPECT_FALSE(std::filesystem::exists(temp / "site/a.htm.bak"));
}

TEST_F(EncryptedRunTest, AnEncryptedRunWithoutAPasswordIsRefusedBeforeAnythingIsRead) {
    temp.write("site/a.htm", page("T", "x"));
    options.password = u"   ";
    EXPECT_EQ(run({folder("site")}).outcome, RunSummary::Outcome::Refused);
    ASSERT_EQ(reporter.refusals.size(), 1u);
    EXPECT_EQ(reporter.refusals[0].reason, RunRefusal::Reason::PasswordMissing);
    EXPECT_EQ(readBytes(temp / "site/a.htm"), page("T", "x"));
}

TEST_F(EncryptedRunTest, TheOriginalsAreKeptBesideTheOutermostPickedFolderAndComeBackFromThere) {
    temp.write("site/a.htm", page("A", "a words"));
    temp.write("site/sub/b.htm", page("B", "b words"));
    temp.write("lone/c.htm", page("C", "c words"));
    // The page inside a picked folder keeps its path below that folder; a page on its own, beside its folder.
    run({folder("site"), file("site/sub/b.htm"), file("lone/c.htm")});
    const std::string script = unlock::sharedScriptName();
    EXPECT_EQ(temp.files(),
              (std::vector<std::string>{"lone.originals/c.htm", "lone/c.htm", "lone/" + script, "site.originals/a.htm",
                                        "site.originals/sub/b.htm", "site.quillora-key", "site/a.htm", "site/" + script,
                                        "site/sub/b.htm"}))
        << "the unlock pages of each site share one script";
    EXPECT_EQ(reporter.originalsFolders, (std::vector<std::string>{temp / "site.originals", temp / "lone.originals"}));

    test::RecordingReporter restoring;
    EXPECT_EQ(RestoreRun(restoring, disk).Restore({folder("site"), file("lone/c.htm")}).written, 3u);
    EXPECT_EQ(readBytes(temp / "site/sub/b.htm"), page("B", "b words"));
    EXPECT_EQ(readBytes(temp / "lone/c.htm"), page("C", "c words"));
    EXPECT_EQ(temp.files(),
              (std::vector<std::string>{"lone/c.htm", "site.quillora-key", "site/a.htm", "site/sub/b.htm"}))
        << "the emptied folders of originals go too, and the shared scripts; the site's key stays";
}

// A kept original is a file this program put there: a link put in its place (to have any file moved over the page)
// is never followed, wherever it leads.
TEST_F(EncryptedRunTest, ALinkInAKeptOriginalsPlaceIsNeverMovedOverThePage) {
    temp.write("site/a.htm", page("A", "Alpha words"));
    temp.write("site/b.htm", page("B", "Beta words"));
    ASSERT_EQ(run({folder("site")}).written, 2u);
    temp.write("notes.txt", "notes");
    const std::string sealed = readBytes(temp / "site/a.htm");
    for (const std::string& target : {temp / "notes.txt", temp / "nowhere"}) {
        std::filesystem::remove(temp / "site.originals/a.htm");
        std::filesystem::create_symlink(target, temp / "site.originals/a.htm");
        test::RecordingReporter restoring;

        const auto summary = RestoreRun(restoring, disk).Restore({folder("site")});

        EXPECT_EQ(summary.givenUp, 1u) << target;
        ASSERT_EQ(restoring.problems.size(), 1u) << target;
        EXPECT_EQ(restoring.problems[0].problem.error, make_error_code(RunError::BackupIsALink)) << target;
        EXPECT_EQ(restoring.problems[0].problem.path, temp / "site.originals/a.htm");
        EXPECT_EQ(readBytes(temp / "site/a.htm"), sealed) << target;
        EXPECT_TRUE(std::filesystem::is_symlink(temp / "site.originals/a.htm")) << target;
    }
    EXPECT_EQ(readBytes(temp / "notes.txt"), "notes");
    EXPECT_EQ(readBytes(temp / "site/b.htm"), page("B", "Beta words")) << "the other page came back";
}

TEST_F(EncryptedRunTest, ABackupFolderKeepsTheOriginalsUnderTheirAbsolutePaths) {
    temp.write("site/a.htm", page("A", "a words"));
    options.backupFolder = temp / "kept";
    run({folder("site")});
    const std::string kept = temp / "kept" + temp / "site/a.htm";
    EXPECT_EQ(readBytes(kept), page("A", "a words"));
    EXPECT_EQ(reporter.originalsFolders, std::vector<std::string>{temp / "kept"});
    EXPECT_FALSE(std::filesystem::exists(temp / "site.originals"));

    test::RecordingReporter restoring;
    EXPECT_EQ(RestoreRun(restoring, disk).Restore({folder("site")}).written, 0u) << "not found without the folder";
    EXPECT_EQ(RestoreRun(restoring, disk, temp / "kept").Restore({folder("site")}).written, 1u);
    EXPECT_EQ(readBytes(temp / "site/a.htm"), page("A", "a words"));
    EXPECT_TRUE(std::filesystem::is_directory(temp / "kept")) << "the folder the user chose stays";
    EXPECT_TRUE(std::filesystem::is_empty(temp / "kept"));
}

TEST_F(EncryptedRunTest, APlaceForTheOriginalsInWhatIsPublishedIsRefusedBeforeAnythingIsWritten) {
    struct Place {
        const char* name;
        std::string backupFolder;
        RunRefusal::Reason reason;
        std::string path;
    };
    temp.write("site/a.htm", page("A", "a words"));
    temp.write("note.txt", "a file");
    temp.write("other/b.htm", page("B", "b words"));
    const Place places[] = {
        {"InsideThePickedFolder", temp / "site/originals", RunRefusal::Reason::BackupFolderInside,
         temp / "site/originals"},
        {"ThePickedFolderItself", temp / "site", RunRefusal::Reason::BackupFolderInside, temp / "site"},
        {"AFile", temp / "note.txt", RunRefusal::Reason::BackupFolderNotAFolder, temp / "note.txt"},
        {"BelowAFile", temp / "note.txt/kept", RunRefusal::Reason::BackupFolderNotAFolder, temp / "note.txt/kept"},
    };
    for (const auto& place : places) {
        SCOPED_TRACE(place.name);
        options.backupFolder = place.backupFolder;
        EXPECT_EQ(run({folder("site"), folder("other")}).outcome, RunSummary::Outcome::Refused);
        ASSERT_EQ(reporter.refusals.size(), 1u);
        EXPECT_EQ(reporter.refusals[0].reason, place.reason);
        EXPECT_EQ(reporter.refusals[0].path, place.path);
        EXPECT_EQ(temp.files(), (std::vector<std::string>{"note.txt", "other/b.htm", "site/a.htm"}));
    }
    options.backupFolder.clear();
    temp.write("site.originals", "a file where the originals would go");
    EXPECT_EQ(run({folder("site")}).outcome, RunSummary::Outcome::Refused);
    ASSERT_EQ(reporter.refusals.size(), 1u);
    EXPECT_EQ(reporter.refusals[0].reason, RunRefusal::Reason::BackupFolderNotAFolder);
}

TEST_F(EncryptedRunTest, APageHiddenEarlierIsEncryptedFromItsOriginalOrAsItStands) {
    const std::string originalA = page("A", "a words");
    const std::string originalB = page("B", "b words");
    temp.write("site/a.htm", originalA);
    temp.write("site/b.htm", originalB);
    engine::ProtectionOptions hide; // an earlier run: a hidden with its backup, b hidden without one
    ASSERT_EQ(ProtectionRun(hide, reporter, disk).ProtectFiles({file("site/a.htm")}).written, 1u);
    hide.makeBackups = false;
    ASSERT_EQ(ProtectionRun(hide, reporter, disk).ProtectFiles({file("site/b.htm")}).written, 1u);
    const std::string hiddenB = readBytes(temp / "site/b.htm");

    options.encryptionMode = engine::EncryptionMode::WholePage;
    options.hideWhenEncrypting = true;
    const auto summary = run({folder("site")});
    EXPECT_EQ(summary.written, 2u);
    EXPECT_EQ(summary.alreadyProtected, 0u);
    EXPECT_EQ(temp.files(),
              (std::vector<std::string>{"site.originals/a.htm", "site.originals/b.htm", "site.quillora-key",
                                        "site/a.htm", "site/b.htm", "site/" + unlock::sharedScriptName()}))
        << "the earlier backup went where this run keeps originals";
    EXPECT_EQ(readBytes(temp / "site.originals/a.htm"), originalA);
    EXPECT_EQ(readBytes(temp / "site.originals/b.htm"), hiddenB);
    const std::string openedA = opened(readBytes(temp / "site/a.htm"));
    EXPECT_EQ(openedA.find("<title>"), std::string::npos) << "the original hidden whole, as this run chose";
    EXPECT_EQ(opened(readBytes(temp / "site/b.htm")), hiddenB) << "the hidden page, as it stands";

    test::RecordingReporter restoring;
    EXPECT_EQ(RestoreRun(restoring, disk).Restore({folder("site")}).written, 2u);
    EXPECT_EQ(readBytes(temp / "site/a.htm"), originalA);
    EXPECT_EQ(readBytes(temp / "site/b.htm"), hiddenB);
}

TEST_F(EncryptedRunTest, AnUnlockPageOfAnotherPasswordIsLeftAsItIsAndReported) {
    temp.write("site/a.htm", page("A", "a words"));
    run({folder("site")});
    const std::string first = readBytes(temp / "site/a.htm");

    options.password = u"a different password, also long enough";
    EXPECT_EQ(run({folder("site")}).outcome, RunSummary::Outcome::Refused) << "not a password of the site's key";
    options.keyFile = temp / "another.quillora-key"; // another site's key, made afresh
    const auto summary = run({folder("site")});
    EXPECT_EQ(summary.written, 0u);
    EXPECT_EQ(summary.alreadyProtected, 0u);
    EXPECT_EQ(summary.skipped, 1u);
    EXPECT_FALSE(summary.allDone());
    ASSERT_EQ(reporter.problems.size(), 1u);
    EXPECT_TRUE(reporter.problems[0].skipped);
    EXPECT_EQ(reporter.problems[0].problem.error, RunError::OtherKey);
    EXPECT_EQ(readBytes(temp / "site/a.htm"), first);
    EXPECT_EQ(readBytes(temp / "site.originals/a.htm"), page("A", "a words"));
}

TEST_F(EncryptedRunTest, ARunAgainOverAnEncryptedSiteSealsItsNewPagesWithTheSameKey) {
    temp.write("site/a.htm", page("A", "a words"));
    run({folder("site")});
    const std::string first = readBytes(temp / "site/a.htm");
    temp.write("site/new.htm", page("New", "new words"));
    const auto summary = run({folder("site")});
    EXPECT_EQ(summary.written, 1u);
    EXPECT_EQ(summary.alreadyProtected, 1u);
    EXPECT_TRUE(summary.allDone());
    EXPECT_EQ(readBytes(temp / "site/a.htm"), first);
    EXPECT_EQ(saltOf(readBytes(temp / "site/new.htm")), saltOf(first)) << "one unlock still opens the whole site";
    EXPECT_EQ(opened(readBytes(temp / "site.originals/new.htm")), "") << "an original, not an unlock page";
    EXPECT_FALSE(opened(readBytes(temp / "site/new.htm")).empty());
}

/// The content key of the key file at path that the password opens.
std::optional<crypto::SiteKey> contentKeyOf(const std::string& path, std::u16string_view password = kPassword) {
    crypto::SiteKeyFile file;
    crypto::SiteKey content;
    if (crypto::SiteKeyFile::read(readBytes(path), file) || file.open(password, content))
        return std::nullopt;
    return content;
}

bool sealedWith(const crypto::SiteKey& key, const std::string& unlockPage) {
    unlock::SealedPage sealed;
    return PageEncryptor::readSealed(unlockPage, sealed) && PageEncryptor::opens(key, sealed);
}

TEST_F(EncryptedRunTest, TheFirstRunMakesTheSiteKeyFileAndLaterRunsSealWithItsContentKey) {
    for (const bool copy : {false, true}) {
        SCOPED_TRACE(copy ? "copy" : "in place");
        const std::string site = copy ? "copied" : "site";
        const std::string keyPath = temp / (site + ".quillora-key");
        temp.write(site + "/a.htm", page("A", "a words"));
        options.storageMode = copy ? engine::StorageMode::CopyToFolder : engine::StorageMode::Overwrite;
        options.targetFolder = temp / "out";
        run({folder(site)});
        ASSERT_EQ(reporter.keyFiles.size(), 1u);
        EXPECT_EQ(reporter.keyFiles[0], std::make_pair(keyPath, KeyFileOrigin::Made));
        const auto content = contentKeyOf(keyPath);
        ASSERT_TRUE(content);
        const std::string published = copy ? "out" : site;
        EXPECT_TRUE(sealedWith(*content, readBytes(temp / (published + "/a.htm"))));
        const std::string keyText = readBytes(keyPath);

        temp.write(site + "/b.htm", page("B", "b words"));
        const auto summary = run({folder(site)});
        EXPECT_EQ(summary.written, copy ? 2u : 1u);
        ASSERT_EQ(reporter.keyFiles.size(), 1u);
        EXPECT_EQ(reporter.keyFiles[0], std::make_pair(keyPath, KeyFileOrigin::Read));
        EXPECT_EQ(readBytes(keyPath), keyText) << "read, not written again";
        for (const char* name : {"/a.htm", "/b.htm"})
            EXPECT_TRUE(sealedWith(*content, readBytes(temp / (published + name)))) << "visitors stay unlocked";
        EXPECT_FALSE(contentKeyOf(keyPath, u"another password, long enough"));
        for (const auto& entry : std::filesystem::recursive_directory_iterator(temp / published))
            EXPECT_NE(entry.path().extension(), ".quillora-key") << "never in what is published";
    }
}

TEST_F(EncryptedRunTest, AMissingKeyFileIsMadeAgainFromTheUnlockPagesThePasswordOpens) {
    temp.write("site/a.htm", page("A", "a words"));
    run({folder("site")});
    const auto content = contentKeyOf(temp / "site.quillora-key");
    ASSERT_TRUE(content);
    std::filesystem::remove(temp / "site.quillora-key");
    temp.write("site/b.htm", page("B", "b words"));
    const auto summary = run({folder("site")});
    EXPECT_EQ(summary.written, 1u);
    ASSERT_EQ(reporter.keyFiles.size(), 1u);
    EXPECT_EQ(reporter.keyFiles[0].second, KeyFileOrigin::Remade);
    const auto remade = contentKeyOf(temp / "site.quillora-key");
    ASSERT_TRUE(remade);
    EXPECT_EQ(remade->key(), content->key());
    EXPECT_TRUE(sealedWith(*content, readBytes(temp / "site/b.htm")));
}

TEST_F(EncryptedRunTest, TheUnlockPageSpeaksTheOriginalsLanguageInEveryModeOfHiding) {
    const std::string original =
        "<html lang=\"es\" dir=\"ltr\"><head><title>Hola</title></head><body>texto</body></html>";
    for (const auto mode : {engine::EncryptionMode::None, engine::EncryptionMode::WholePage}) {
        SCOPED_TRACE(static_cast<int>(mode));
        temp.write("site/a.htm", original);
        options.encryptionMode = mode;
        options.makeBackups = false;
        ASSERT_EQ(run({file("site/a.htm")}).written, 1u);
        const std::string unlock = readBytes(temp / "site/a.htm");
        EXPECT_EQ(unlock.rfind("<html lang=\"es\" dir=\"ltr\"><head>", 0), 0u) << unlock.substr(0, 100);
        EXPECT_NE(unlock.find("Introduzca la contrase&#241;a"), std::string::npos);
        EXPECT_FALSE(opened(unlock).empty());
    }
}

TEST_F(EncryptedRunTest, AKeyFileThatCannotServeRefusesTheRunBeforeAnyPageIsWritten) {
    struct Case {
        const char* name;
        std::string keyFile; // relative to temp
        const char* keyText; // written there first; null: none
        engine::StorageMode mode;
        RunRefusal::Reason reason;
    };
    const Case cases[] = {
        {"InsideThePickedFolder", "site/k.quillora-key", nullptr, engine::StorageMode::Overwrite,
         RunRefusal::Reason::KeyFileInside},
        {"InsideTheCopyTarget", "out/k.quillora-key", nullptr, engine::StorageMode::CopyToFolder,
         RunRefusal::Reason::KeyFileInside},
        {"NotAKeyFile", "k.quillora-key", "{\"format\":\"something\"}", engine::StorageMode::CopyToFolder,
         RunRefusal::Reason::KeyFileUnreadable},
        {"InAFolderThatIsNotThere", "missing/k.quillora-key", nullptr, engine::StorageMode::CopyToFolder,
         RunRefusal::Reason::KeyFileUnwritable},
    };
    temp.write("site/a.htm", page("A", "a words"));
    options.targetFolder = temp / "out";
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.keyText != nullptr)
            temp.write(c.keyFile, c.keyText);
        options.keyFile = temp / c.keyFile;
        options.storageMode = c.mode;
        const auto summary = run({folder("site")});
        EXPECT_EQ(summary.outcome, RunSummary::Outcome::Refused);
        ASSERT_EQ(reporter.refusals.size(), 1u);
        EXPECT_EQ(reporter.refusals[0].reason, c.reason);
        EXPECT_EQ(readBytes(temp / "site/a.htm"), page("A", "a words"));
        EXPECT_FALSE(std::filesystem::exists(temp / "out/a.htm"));
    }
    // The site's own key with another password.
    options.keyFile.clear();
    run({folder("site")});
    const std::string first = readBytes(temp / "site.quillora-key");
    options.password = u"another password, long enough";
    temp.write("site/b.htm", page("B", "b words"));
    EXPECT_EQ(run({folder("site")}).outcome, RunSummary::Outcome::Refused);
    ASSERT_EQ(reporter.refusals.size(), 1u);
    EXPECT_EQ(reporter.refusals[0].reason, RunRefusal::Reason::KeyFileWrongPassword);
    EXPECT_EQ(readBytes(temp / "site/b.htm"), page("B", "b words"));
    EXPECT_EQ(readBytes(temp / "site.quillora-key"), first);
}

TEST_F(EncryptedRunTest, ChoicesThatWouldLeaveThePagesReadableAreRefused) {
    struct Choice {
        const char* name;
        engine::StorageMode mode;
        std::u16string password;
        bool allowWeak;
        std::optional<RunRefusal::Reason> refusal;
    };
    const Choice choices[] = {
        {"BesideTheOriginals", engine::StorageMode::CreateProtected, kPassword, false,
         RunRefusal::Reason::EncryptedBeside},
        {"OneLetter", engine::StorageMode::Overwrite, u"a", false, RunRefusal::Reason::PasswordTooWeak},
        {"ACommonPassword", engine::StorageMode::Overwrite, u"Password1", false, RunRefusal::Reason::PasswordTooWeak},
        {"OneLetterInsisted", engine::StorageMode::CopyToFolder, u"a", true, std::nullopt},
        {"ThreeWords", engine::StorageMode::CopyToFolder, u"blue-cactus-river", false, std::nullopt},
    };
    temp.write("site/a.htm", page("A", "a words"));
    options.targetFolder = temp / "out";
    for (const auto& choice : choices) {
        SCOPED_TRACE(choice.name);
        options.storageMode = choice.mode;
        options.password = choice.password;
        options.allowWeakPassword = choice.allowWeak;
        options.keyFile = temp / (std::string(choice.name) + ".quillora-key"); // each password its own site key
        const auto summary = run({folder("site")});
        if (choice.refusal) {
            EXPECT_EQ(summary.outcome, RunSummary::Outcome::Refused);
            ASSERT_EQ(reporter.refusals.size(), 1u);
            EXPECT_EQ(reporter.refusals[0].reason, *choice.refusal);
            EXPECT_EQ(temp.files(), std::vector<std::string>{"site/a.htm"});
        } else {
            EXPECT_EQ(summary.written, 1u);
            std::filesystem::remove_all(temp / "out");
        }
    }
    options.storageMode = engine::StorageMode::Overwrite;
    options.password = u"a";
    run({folder("site")});
    EXPECT_EQ(reporter.refusals[0].path, "2") << "the estimate in bits, for the message";
}

TEST_F(EncryptedRunTest, ThePasswordIsWipedOnceTheKeyIsDerivedAndCoreDumpsAreOff) {
    temp.write("site/a.htm", page("A", "a words"));
    std::u16string frontEndCopy(kPassword);
    ASSERT_EQ(::prctl(PR_GET_DUMPABLE, 0, 0, 0, 0), 1) << "a process of its own, dumpable until the run";
    ProtectionRun protection(options, reporter, disk);
    protection.forgetPassword(frontEndCopy);
    EXPECT_EQ(protection.ProtectFiles({folder("site")}).written, 1u);
    EXPECT_TRUE(frontEndCopy.empty());
    EXPECT_EQ(::prctl(PR_GET_DUMPABLE, 0, 0, 0, 0), 0);
    rlimit core{};
    ASSERT_EQ(::getrlimit(RLIMIT_CORE, &core), 0);
    EXPECT_EQ(core.rlim_cur, 0u);
    EXPECT_FALSE(opened(readBytes(temp / "site/a.htm")).empty()) << "sealed with the password all the same";
}

TEST_F(EncryptedRunTest, ANeutralTitleStandsInPlaceOfEachPagesOwn) {
    temp.write("site/a.htm", page("Secret plans", "a words"));
    options.replaceTitle = true;
    options.unlockTitle = u"Tom & Jerry <3";
    run({folder("site")});
    const std::string written = readBytes(temp / "site/a.htm");
    EXPECT_NE(written.find("<title>Tom &amp; Jerry &lt;3</title>"), std::string::npos);
    EXPECT_EQ(written.find("Secret"), std::string::npos);
    EXPECT_NE(opened(written).find("<title>Secret plans</title>"), std::string::npos) << "the page keeps its own";
    ASSERT_EQ(reporter.readable.size(), 1u);
    EXPECT_FALSE(reporter.readable[0].ownTitles);
}

TEST_F(EncryptedRunTest, InPlaceTheFilesThatMayHoldThePagesTextAreNamed) {
    temp.write("site/a.htm", page("A", "a words"));
    for (const char* name : {"site/a.htm~", "site/.git/HEAD", "site/search_index.json", "site/notes.md",
                             "site/INDEX.HTM", "site/logo.png", "site/sub/b.htm.bak"})
        temp.write(name, "a words");
    run({folder("site")});
    EXPECT_EQ(reporter.pageText, (std::vector<std::string>{temp / "site/INDEX.HTM", temp / "site/a.htm~",
                                                           temp / "site/notes.md", temp / "site/search_index.json",
                                                           temp / "site/.git", temp / "site/sub/b.htm.bak"}));
    EXPECT_FALSE(reporter.pageTextCopied);
    ASSERT_EQ(reporter.readable.size(), 1u);
    EXPECT_TRUE(reporter.readable[0].ownTitles);
    EXPECT_FALSE(reporter.readable[0].copied);
}

// Levels in one run: each page under its rule's level opens with that level's passwords alone, and a run without
// the level in its key file writes nothing.
TEST_F(EncryptedRunTest, EachRulesLevelSealsItsPagesForTheLevelsPasswordsOnly) {
    temp.write("site/a.htm", page("A", "a words"));
    temp.write("site/members/m.htm", page("M", "m words"));
    temp.write("site/staff/s.htm", page("S", "s words"));
    options.storageMode = engine::StorageMode::CopyToFolder;
    options.targetFolder = temp / "out";
    const auto runWithLevels = [&] {
        RuleSet rules(options);
        rules.setRoot(temp / "site");
        for (const char* level : {"members", "staff"}) {
            PathPatternList paths;
            std::string error;
            EXPECT_TRUE(paths.add(std::string(level) + "/", error)) << error;
            PageRule rule;
            rule.options = options;
            rule.options.keyLevel = level;
            rules.addRule(std::move(paths), std::move(rule));
        }
        reporter = {};
        return ProtectionRun(std::move(rules), reporter, disk).ProtectFiles({folder("site")});
    };
    EXPECT_EQ(runWithLevels().outcome, RunSummary::Outcome::Refused);
    ASSERT_EQ(reporter.refusals.size(), 1u);
    EXPECT_EQ(reporter.refusals[0].reason, RunRefusal::Reason::NoSuchLevel);
    EXPECT_EQ(reporter.refusals[0].other, "members");
    EXPECT_FALSE(std::filesystem::exists(temp / "site.quillora-key")) << "no key file without the levels";
    EXPECT_FALSE(std::filesystem::exists(temp / "out"));

    for (const auto& [level, password] : {std::pair{"members", u"members' password, long enough"},
                                          std::pair{"staff", u"the staff's password, long enough"}}) {
        KeyChange change;
        change.password = kPassword;
        change.level = level;
        change.addLevel = true;
        change.addPassword = password;
        test::RecordingReporter changing;
        ASSERT_EQ(KeyChangeRun(changing, disk).change({folder("site")}, change).outcome,
                  KeyChangeSummary::Outcome::Done);
    }
    ASSERT_TRUE(runWithLevels().allDone()) << reporter.refusalText();
    const std::string a = readBytes(temp / "out/a.htm");
    const std::string m = readBytes(temp / "out/members/m.htm");
    const std::string s = readBytes(temp / "out/staff/s.htm");
    EXPECT_NE(opened(a).find("a words"), std::string::npos);
    EXPECT_TRUE(opened(m).empty());
    EXPECT_TRUE(opened(s).empty());
    EXPECT_NE(opened(m, u"members' password, long enough").find("m words"), std::string::npos);
    EXPECT_TRUE(opened(s, u"members' password, long enough").empty());
    EXPECT_NE(opened(s, u"the staff's password, long enough").find("s words"), std::string::npos);
    EXPECT_TRUE(opened(a, u"the staff's password, long enough").empty());
    EXPECT_NE(saltOf(m), saltOf(s));
    // Each level's page names the site's own salt, beside which a browser keeps the level's key.
    unlock::SealedPage sealed;
    ASSERT_TRUE(PageEncryptor::readSealed(m, sealed));
    EXPECT_EQ(sealed.site, saltOf(a));
    ASSERT_TRUE(PageEncryptor::readSealed(a, sealed));
    EXPECT_FALSE(sealed.site.has_value());
}

} // namespace
} // namespace quillora::run
