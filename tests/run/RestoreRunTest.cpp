// The way back: pages protected in place get their originals again from the backups beside them.
#include "run/RestoreRun.h"

#include "RecordingReporter.h"
#include "disk/DiskError.h"
#include "run/ErrorNumbers.h"
#include "run/ProtectionRun.h"

#include <cerrno>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace quillora::run {
namespace {

namespace fs = std::filesystem;
using Step = test::FaultyFileSystem::Step;
using test::readBytes;

// Bytes a page may hold that a careless round trip would change: Windows-1252 letters, CR LF, a trailing blank.
const std::string kOriginalA = "<html><head><title>caf\xe9</title></head>\r\n<body>Na\xefve text </body></html>";
const std::string kOriginalB = "<html><body><p>b</p></body></html>\n";

class RestoreRunTest : public ::testing::Test {
protected:
    /// The site protected in place with backups, as the default run leaves it.
    void protectSite() {
        temp.write("site/a.htm", kOriginalA);
        temp.write("site/sub/b.html", kOriginalB);
        test::RecordingReporter protecting;
        ASSERT_EQ(ProtectionRun(options, protecting, disk).ProtectFiles({folder("site")}).written, 2u);
        ASSERT_TRUE(CarriesProtection(readBytes(temp / "site/a.htm")));
    }
    RunSummary restore(const std::vector<SelectionEntry>& selection) {
        reporter = {};
        return RestoreRun(reporter, disk).Restore(selection);
    }
    SelectionEntry folder(std::string_view relative) const { return {temp / relative, true}; }

    test::TempFolder temp;
    engine::ProtectionOptions options;
    test::RecordingReporter reporter;
    test::FaultyFileSystem disk;
};

TEST_F(RestoreRunTest, EachProtectedPageGetsItsOriginalBackAndItsBackupIsGone) {
    ASSERT_EQ(::chmod(temp.write("site/a.htm", "").c_str(), 0640), 0);
    protectSite();
    temp.write("site/new.htm", "<p>never protected</p>");
    temp.write("site/notes.txt", "n");

    const auto summary = restore({folder("site")});

    EXPECT_EQ(summary.outcome, RunSummary::Outcome::Ran);
    EXPECT_EQ(summary.found, 3u);
    EXPECT_EQ(summary.written, 2u);
    EXPECT_TRUE(summary.allDone());
    EXPECT_EQ(reporter.outputs, (std::vector<std::string>{temp / "site/a.htm", temp / "site/sub/b.html"}));
    EXPECT_EQ(readBytes(temp / "site/a.htm"), kOriginalA);
    EXPECT_EQ(readBytes(temp / "site/sub/b.html"), kOriginalB);
    EXPECT_EQ(test::permissionsOf(temp / "site/a.htm"), 0640u);
    EXPECT_EQ(temp.files(),
              (std::vector<std::string>{"site/a.htm", "site/new.htm", "site/notes.txt", "site/sub/b.html"}));
    EXPECT_EQ(messages::restoreFinished(summary), "The following 2 files have been restored");
}

TEST_F(RestoreRunTest, PagesThatAreNotProtectedAreLeftAsTheyAreWithTheirBackups) {
    temp.write("site/a.htm", kOriginalA);
    temp.write("site/a.htm.bak", "an older version, kept by hand");

    const auto summary = restore({folder("site")});

    EXPECT_EQ(summary.written, 0u);
    EXPECT_TRUE(summary.allDone());
    EXPECT_TRUE(reporter.problems.empty());
    EXPECT_EQ(readBytes(temp / "site/a.htm"), kOriginalA);
    EXPECT_EQ(readBytes(temp / "site/a.htm.bak"), "an older version, kept by hand");
    EXPECT_EQ(messages::restoreFinished(summary), messages::kNothingToRestore);
    EXPECT_EQ(messages::restoreFinished(restore({folder("site/none")})), messages::kNothingToRestore);
}

/// Puts a symbolic link where the page's backup is, to target.
void plantLink(const std::string& page, const std::string& target) {
    fs::remove(page + ".bak");
    fs::create_symlink(target, page + ".bak");
}

/// A path in the folder that holds the site of a page directly in it.
std::string besideTheSite(const std::string& page, const std::string& name) {
    return (fs::path(page).parent_path().parent_path() / name).string();
}

/// A file's bytes, or what stands at the path instead.
std::string whatIsAt(const std::string& path) {
    if (fs::is_directory(path))
        return "(a folder)";
    return fs::exists(path) ? readBytes(path) : "(nothing)";
}

struct LeftAlone {
    const char* name;
    std::function<void(RestoreRunTest&, test::FaultyFileSystem&, const std::string& page)> prepare;
    std::error_code error;
    PageProblem::Step step;
    bool backupNamed; // the problem names the backup rather than the page
};

void PrintTo(const LeftAlone& row, std::ostream* out) {
    *out << row.name;
}

class RestoreLeftAloneTest : public RestoreRunTest, public ::testing::WithParamInterface<LeftAlone> {};

TEST_P(RestoreLeftAloneTest, AProtectedPageIsReportedAndLeftAsItWas) {
    protectSite();
    const std::string page = temp / "site/a.htm";
    GetParam().prepare(*this, disk, page);
    const std::string protectedBytes = readBytes(page);
    const std::string backupBefore = whatIsAt(page + ".bak");

    const auto summary = restore({folder("site")});

    EXPECT_EQ(summary.written, 1u) << "the other page is restored";
    EXPECT_EQ(summary.givenUp, 1u);
    EXPECT_FALSE(summary.allDone());
    ASSERT_EQ(reporter.problems.size(), 1u);
    const auto& problem = reporter.problems[0];
    EXPECT_EQ(problem.page.fullPath(), page);
    EXPECT_EQ(problem.problem.error, GetParam().error);
    EXPECT_EQ(problem.problem.step, GetParam().step);
    EXPECT_EQ(problem.problem.path, GetParam().backupNamed ? page + ".bak" : page);
    EXPECT_EQ(readBytes(page), protectedBytes);
    EXPECT_EQ(whatIsAt(page + ".bak"), backupBefore);
    EXPECT_EQ(readBytes(temp / "site/sub/b.html"), kOriginalB);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RestoreLeftAloneTest,
    ::testing::Values(
        LeftAlone{"WithoutABackup", [](auto&, auto&, const std::string& page) { fs::remove(page + ".bak"); },
                  RunError::NoBackup, PageProblem::Step::Backup, true},
        LeftAlone{"WhoseBackupIsItselfProtected",
                  [](auto&, auto&, const std::string& page) { test::writeBytes(page + ".bak", readBytes(page)); },
                  RunError::BackupIsProtected, PageProblem::Step::Backup, true},
        LeftAlone{"WhoseBackupIsAFolder",
                  [](auto&, auto&, const std::string& page) {
                      fs::remove(page + ".bak");
                      fs::create_directory(page + ".bak");
                  },
                  std::make_error_code(std::errc::is_a_directory), PageProblem::Step::Backup, true},
        // Another program holds the backup locked: said as such, not as the system's bare error number.
        LeftAlone{"WhoseBackupAnotherProgramHoldsLocked",
                  [](auto&, test::FaultyFileSystem& disk, const std::string& page) {
                      disk.failAt(Step::OpenLocked, EAGAIN, 0, page + ".bak");
                  },
                  RunError::LockedTooLong, PageProblem::Step::Backup, true},
        LeftAlone{"WhenTheRenameFails",
                  [](auto&, test::FaultyFileSystem& disk, const std::string& page) {
                      disk.failAt(Step::Rename, EACCES, 0, page);
                  },
                  std::make_error_code(std::errc::permission_denied), PageProblem::Step::Write, false},
        // A link in the backup's place (put there to have any file moved over the page) is never followed.
        LeftAlone{"WhoseBackupIsALinkToAFile",
                  [](auto&, auto&, const std::string& page) {
                      const std::string notes = besideTheSite(page, "notes.txt");
                      test::writeBytes(notes, "notes");
                      plantLink(page, notes);
                  },
                  RunError::BackupIsALink, PageProblem::Step::Backup, true},
        LeftAlone{"WhoseBackupIsALinkToAFolder",
                  [](auto&, auto&, const std::string& page) { plantLink(page, besideTheSite(page, "")); },
                  RunError::BackupIsALink, PageProblem::Step::Backup, true},
        LeftAlone{"WhoseBackupIsALinkLeadingNowhere",
                  [](auto&, auto&, const std::string& page) { plantLink(page, besideTheSite(page, "nowhere")); },
                  RunError::BackupIsALink, PageProblem::Step::Backup, true}),
    [](const auto& info) { return std::string(info.param.name); });

// A link put in the backup's place after the restore looked at it, just as the backup is to take the page's place.
TEST_F(RestoreRunTest, ALinkPutInTheBackupsPlaceMeanwhileIsNeverMovedOverThePage) {
    protectSite();
    const std::string page = temp / "site/a.htm";
    const std::string notes = temp.write("notes.txt", "notes");
    const std::string protectedBytes = readBytes(page);
    disk.actAt(
        Step::Replace, [&] { plantLink(page, notes); }, 1, page);

    const auto summary = restore({folder("site")});

    EXPECT_EQ(summary.written, 1u);
    ASSERT_EQ(reporter.problems.size(), 1u);
    EXPECT_EQ(reporter.problems[0].problem.error, disk::DiskError::ChangedDuringRun);
    EXPECT_FALSE(fs::is_symlink(page));
    EXPECT_EQ(readBytes(page), protectedBytes);
    EXPECT_TRUE(fs::is_symlink(page + ".bak"));
    EXPECT_EQ(readBytes(notes), "notes");
    EXPECT_EQ(readBytes(temp / "site/sub/b.html"), kOriginalB);
}

TEST_F(RestoreRunTest, APageThatIsALinkGetsItsOriginalBackWhereTheLinkLeads) {
    temp.write("real/r.htm", kOriginalB);
    fs::create_directories(temp / "site");
    fs::create_symlink("../real/r.htm", temp / "site/link.htm");
    test::RecordingReporter protecting;
    ASSERT_EQ(ProtectionRun(options, protecting, disk).ProtectFiles({{temp / "site/link.htm", false}}).written, 1u);
    ASSERT_TRUE(CarriesProtection(readBytes(temp / "real/r.htm")));

    const auto summary = restore({folder("site")});

    EXPECT_EQ(summary.written, 1u);
    EXPECT_TRUE(summary.allDone());
    EXPECT_EQ(readBytes(temp / "real/r.htm"), kOriginalB);
    EXPECT_TRUE(fs::is_symlink(temp / "site/link.htm")) << "the link itself stays a link";
    EXPECT_EQ(fs::read_symlink(temp / "site/link.htm"), "../real/r.htm");
    EXPECT_FALSE(fs::exists(temp / "site/link.htm.bak"));
}

TEST_F(RestoreRunTest, PagesPickedOneByOneAreRestoredAsTheyAreNamed) {
    protectSite();

    const auto summary = restore({{temp / "site/sub/b.html", false}});

    EXPECT_EQ(summary.written, 1u);
    EXPECT_EQ(reporter.outputs, std::vector<std::string>{temp / "site/sub/b.html"});
    EXPECT_EQ(readBytes(temp / "site/sub/b.html"), kOriginalB);
    EXPECT_TRUE(CarriesProtection(readBytes(temp / "site/a.htm"))) << "a page not picked stays protected";
}

} // namespace
} // namespace quillora::run
