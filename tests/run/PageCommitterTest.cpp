// Whole runs in which another program acts at the very moment the run brings a page to the disk: an editor saving the
// page (a new file renamed over it, which no lock stops), or a link put where the page's backup goes. What the other
// program put there always stays; the page is reported, and the run goes on with the others.
#include "RecordingReporter.h"
#include "disk/DiskError.h"
#include "run/ErrorNumbers.h"
#include "run/ProtectionRun.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <set>
#include <sys/stat.h>

namespace quillora::run {
namespace {

namespace fs = std::filesystem;
using Step = test::FaultyFileSystem::Step;
using test::readBytes;

constexpr std::string_view kBootstrapStart = "<SCRIPT LANGUAGE=JavaScript><!--";
const std::vector<std::string> kPages = {"a.htm", "b.htm", "c.htm", "sub/d.htm"};
const std::string kSaved = "<html><head><title>b</title></head><body>What the user just saved</body></html>";

std::string original(const std::string& page) {
    return "<html><head><title>" + page + "</title></head><body>The page " + page + "</body></html>";
}

/// How an editor saves: the new text into a file of its own, renamed over the page.
void saveAsAnEditorDoes(const std::string& page, std::string_view text) {
    const std::string written = page + ".saving";
    test::writeBytes(written, text);
    fs::rename(written, page);
}

enum class Backups { OwnFile, Copied, None };

struct SaveMoment {
    const char* name;
    Step step;            // the save comes at the first call of this step that names pathPart
    const char* pathPart; // below the site
    int nth;              // which matching call
    bool backupPlaced;    // the page's backup was in its place before the save was seen
    Backups backups;
};

void PrintTo(const SaveMoment& row, std::ostream* out) {
    *out << row.name;
}

class PageCommitterTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (const auto& page : kPages)
            temp.write("site/" + page, original(page));
    }
    RunSummary run() {
        reporter = {};
        return ProtectionRun(options, reporter, disk).ProtectFiles({{temp / "site", true}});
    }
    /// Every file name left below the folder but the ones given.
    std::set<std::string> othersThan(std::set<std::string> expected) const {
        std::set<std::string> others;
        for (const auto& name : temp.files()) {
            if (expected.count(name) == 0)
                others.insert(name);
        }
        return others;
    }

    test::TempFolder temp;
    engine::ProtectionOptions options;
    test::RecordingReporter reporter;
    test::FaultyFileSystem disk;
};

class PageCommitterSavedDuringTheRun : public PageCommitterTest, public ::testing::WithParamInterface<SaveMoment> {};

TEST_P(PageCommitterSavedDuringTheRun, ThePageIsLeftAsTheUserSavedItAndReported) {
    const SaveMoment& row = GetParam();
    const std::string page = temp / "site/b.htm";
    options.makeBackups = row.backups != Backups::None;
    if (row.backups == Backups::Copied)
        fs::create_hard_link(page, temp / "b-elsewhere.htm"); // a second name: the backup is a copy
    disk.actAt(
        row.step, [&] { saveAsAnEditorDoes(page, kSaved); }, row.nth, temp / ("site/" + std::string(row.pathPart)));

    const RunSummary summary = run();

    ASSERT_EQ(disk.strikes(), 1) << "the save came";
    EXPECT_EQ(readBytes(page), kSaved) << "the user's save is never replaced";
    EXPECT_EQ(summary.written, kPages.size() - 1);
    EXPECT_EQ(summary.givenUp, 1u);
    ASSERT_EQ(reporter.problems.size(), 1u);
    EXPECT_EQ(reporter.problems[0].page.fullPath(), page);
    EXPECT_EQ(reporter.problems[0].problem.error, disk::DiskError::ChangedDuringRun);
    EXPECT_EQ(reporter.messages()[0].text, page + ": changed during the run; left as it is");
    std::set<std::string> expected;
    for (const auto& other : kPages) {
        expected.insert("site/" + other);
        if (other == "b.htm")
            continue;
        EXPECT_NE(readBytes(temp / ("site/" + other)).find(kBootstrapStart), std::string::npos) << other;
        if (options.makeBackups) {
            expected.insert("site/" + other + ".bak");
            EXPECT_EQ(readBytes(temp / ("site/" + other + ".bak")), original(other)) << other;
        }
    }
    if (row.backupPlaced) {
        expected.insert("site/b.htm.bak");
        EXPECT_EQ(readBytes(page + ".bak"), original("b.htm")) << "a backup in place holds the text that was read";
    }
    if (row.backups == Backups::Copied) {
        expected.insert("b-elsewhere.htm");
        EXPECT_EQ(readBytes(temp / "b-elsewhere.htm"), original("b.htm"));
    }
    EXPECT_EQ(othersThan(expected), std::set<std::string>{}) << "no temporary file is left";
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Moments, PageCommitterSavedDuringTheRun, ::testing::Values(
    // Seen before the backup takes its name: nothing of the page's is touched.
    SaveMoment{"AfterItWasRead", Step::Status, "b.htm", 2, false, Backups::OwnFile},
    SaveMoment{"WhileTheGroupIsFlushed", Step::Sync, "", 1, false, Backups::OwnFile},
    SaveMoment{"WhileTheGroupIsFlushedWithACopiedBackup", Step::Sync, "", 1, false, Backups::Copied},
    SaveMoment{"WhileTheGroupIsFlushedWithoutBackups", Step::Sync, "", 1, false, Backups::None},
    // Seen only as the page takes its name: the names are swapped back at once.
    SaveMoment{"AsTheBackupTakesItsName", Step::Replace, "b.htm.bak", 1, true, Backups::OwnFile},
    SaveMoment{"AsThePageTakesItsName", Step::Replace, "b.htm", 2, true, Backups::OwnFile},
    SaveMoment{"AsThePageTakesItsNameWithACopiedBackup", Step::Replace, "b.htm", 2, true, Backups::Copied},
    SaveMoment{"AsThePageTakesItsNameWithoutBackups", Step::Replace, "b.htm", 1, false, Backups::None}),
    [](const auto& info) { return std::string(info.param.name); });
// clang-format on

// A link put where the backup goes after the run decided on it: the backup does not take the link's place, and
// nothing is written where the link leads.
TEST_F(PageCommitterTest, ALinkPutWhereTheBackupGoesMeanwhileIsNeitherFollowedNorReplaced) {
    for (const bool copied : {false, true}) {
        SCOPED_TRACE(copied ? "a copied backup" : "the page's own file as its backup");
        const std::string page = temp / "site/b.htm";
        temp.write("site/b.htm", original("b.htm"));
        fs::remove(page + ".bak");
        fs::remove(temp / "b-elsewhere.htm");
        if (copied)
            fs::create_hard_link(page, temp / "b-elsewhere.htm");
        const std::string victim = temp.write("victim.txt", "victim");
        test::FaultyFileSystem planting;
        planting.actAt(
            Step::Sync, [&] { fs::create_symlink("../victim.txt", page + ".bak"); }, 1, temp.path());
        reporter = {};
        ProtectionRun(options, reporter, planting).ProtectFiles({{page, false}});

        EXPECT_EQ(readBytes(victim), "victim");
        EXPECT_TRUE(fs::is_symlink(page + ".bak"));
        EXPECT_EQ(readBytes(page), original("b.htm"));
        ASSERT_EQ(reporter.problems.size(), 1u);
        EXPECT_EQ(reporter.problems[0].problem.error, disk::DiskError::ChangedDuringRun);
        EXPECT_EQ(reporter.problems[0].problem.path, page + ".bak");
        EXPECT_EQ(othersThan({"site/a.htm", "site/b.htm", "site/b.htm.bak", "site/c.htm", "site/sub/d.htm",
                              "victim.txt", copied ? "b-elsewhere.htm" : "victim.txt"}),
                  std::set<std::string>{});
    }
}

} // namespace
} // namespace quillora::run
