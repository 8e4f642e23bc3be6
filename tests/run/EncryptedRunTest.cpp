// Encrypted runs end to end through the run: every page becomes its unlock page, nothing of the page or the
// password stands in the written bytes, framesets stay as they are, and the run's other rules hold as for any run.
#include "RecordingReporter.h"
#include "run/ProtectionRun.h"
#include "run/RestoreRun.h"
#include "unlock/UnlockPage.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace quillora::run {
namespace {

using disk::PosixFileSystem;
using test::readBytes;
using unlock::PageEncryptor;

std::string page(std::string_view title, std::string_view body) {
    return "<html><head><title>" + std::string(title) + "</title></head><body>" + std::string(body) + "</body></html>";
}

class EncryptedRunTest : public ::testing::Test {
protected:
    EncryptedRunTest() {
        options.passwordProtect = true;
        options.encrypt = true;
        options.password = u"it's \"quoted\" \\ and long enough";
    }
    RunSummary run(const std::vector<SelectionEntry>& selection) {
        reporter = {};
        return ProtectionRun(options, reporter, disk).ProtectFiles(selection);
    }
    SelectionEntry folder(std::string_view relative) const { return {temp / relative, true}; }

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
        EXPECT_FALSE(CarriesProtection(readBytes(temp / name + ".bak"))) << "the backup holds the original";
    }
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

TEST_F(EncryptedRunTest, AFramesetStaysAsItIsAndItsFramePagesAreEncrypted) {
    const std::string frameset = "<html><frameset><frame src=\"menu.htm\"></frameset></html>";
    temp.write("site/index.htm", frameset);
    temp.write("site/menu.htm", page("Menu", "Menu words"));
    options.storageMode = engine::StorageMode::CreateProtected;
    run({folder("site")});
    EXPECT_EQ(readBytes(temp / "site/protected_index.htm"), frameset);
    EXPECT_TRUE(PageEncryptor::isUnlockPage(readBytes(temp / "site/protected_menu.htm")));
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

} // namespace
} // namespace quillora::run
