// Whole runs over real folders in the situations that used to lose an original or skip a page without a word:
// runs that overlap, leftovers of a killed run, names that are not pages, frame chains of any depth, second
// names of one file, paths longer than the system takes at once, names too long for the file system.
#include "RecordingReporter.h"
#include "disk/DiskError.h"
#include "run/ProtectionRun.h"

#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace quillora::run {
namespace {

using disk::PosixFileSystem;

namespace fs = std::filesystem;
using engine::StorageMode;
using test::readBytes;

constexpr std::string_view kBootstrapStart = "<SCRIPT LANGUAGE=JavaScript><!--";

std::string page(std::string_view text) {
    return "<html><head><title>" + std::string(text) + "</title></head><body>" + std::string(text) + "</body></html>";
}

std::size_t bootstraps(std::string_view text) {
    std::size_t count = 0;
    for (auto at = text.find(kBootstrapStart); at != std::string_view::npos; at = text.find(kBootstrapStart, at + 1))
        ++count;
    return count;
}

class OriginalsTest : public ::testing::Test {
protected:
    RunSummary run(const std::vector<SelectionEntry>& selection) {
        reporter = {};
        return ProtectionRun(options, reporter, disk).ProtectFiles(selection);
    }
    SelectionEntry folder(std::string_view relative) const { return {temp / relative, true}; }
    SelectionEntry file(std::string_view relative) const { return {temp / relative, false}; }

    test::TempFolder temp;
    engine::ProtectionOptions options;
    test::RecordingReporter reporter;
    disk::PosixFileSystem disk;
};

TEST_F(OriginalsTest, TwoRunsAtOnceProtectEveryPageOnceAndKeepEveryOriginal) {
    constexpr int kPages = 300;
    for (int i = 0; i < kPages; ++i)
        temp.write("site/p" + std::to_string(i) + ".htm", page("page " + std::to_string(i)));
    RunSummary first;
    RunSummary second;
    test::RecordingReporter firstLog;
    test::RecordingReporter secondLog;
    std::thread one([&] { first = ProtectionRun(options, firstLog, disk).ProtectFiles({folder("site")}); });
    std::thread two([&] { second = ProtectionRun(options, secondLog, disk).ProtectFiles({folder("site")}); });
    one.join();
    two.join();
    EXPECT_EQ(first.written + second.written, static_cast<std::size_t>(kPages));
    EXPECT_EQ(first.alreadyProtected + second.alreadyProtected, static_cast<std::size_t>(kPages));
    EXPECT_TRUE(first.allDone() && second.allDone());
    for (int i = 0; i < kPages; ++i) {
        const std::string name = temp / ("site/p" + std::to_string(i) + ".htm");
        EXPECT_EQ(bootstraps(readBytes(name)), 1u) << name;
        EXPECT_EQ(readBytes(name + ".bak"), page("page " + std::to_string(i))) << name;
    }
    EXPECT_EQ(temp.files().size(), 2u * kPages) << "no temporary file left";
}

TEST_F(OriginalsTest, ALeftoverOfAKilledRunGoesWhenTheNextRunWritesIntoItsFolder) {
    temp.write("site/a.htm", page("a"));
    const std::string leftover = test::writeLeftover(temp / "site", "a.htm", "half a page");
    const std::string someoneElse = test::writeLeftover(temp / "site", "b.htm", "another run is writing this");
    const std::string notOurs = temp.write("site/.a.htm.~notours~", "kept");
    // Names of the run's shape that were not made for the file they hold: a user's, however alike.
    const std::string lookalikes[] = {temp.write("site/.notes.~20240101~", "a user's notes"),
                                      temp.write("site/.a.htm.~k1ll3d00k1ll3d00~", "a user's draft")};
    const int held = ::open(someoneElse.c_str(), O_RDONLY);
    ASSERT_GE(held, 0);
    ASSERT_EQ(::flock(held, LOCK_EX), 0);
    options.makeBackups = false;
    run({folder("site")});
    ::close(held);
    EXPECT_FALSE(fs::exists(leftover));
    EXPECT_TRUE(fs::exists(someoneElse)) << "a file another run holds stays";
    EXPECT_TRUE(fs::exists(notOurs)) << "only names of the run's own pattern";
    for (const auto& lookalike : lookalikes)
        EXPECT_TRUE(fs::exists(lookalike)) << lookalike;
    EXPECT_EQ(bootstraps(readBytes(temp / "site/a.htm")), 1u);
}

TEST_F(OriginalsTest, NamesThatAreNotRegularFilesAreSkippedWithAWordAndNeverRead) {
    temp.write("site/a.htm", page("a"));
    ASSERT_EQ(::mkfifo((temp / "site/pipe.htm").c_str(), 0644), 0);
    fs::create_symlink("/dev/zero", temp / "site/zero.htm");
    fs::create_symlink("/dev/null", temp / "site/null.html");
    options.makeBackups = false;
    const auto summary = run({folder("site")}); // a pipe opened for reading would wait here for good
    EXPECT_EQ(summary.written, 1u);
    EXPECT_EQ(summary.skipped, 3u);
    EXPECT_FALSE(summary.allDone());
    ASSERT_EQ(reporter.problems.size(), 3u);
    for (const auto& problem : reporter.problems) {
        EXPECT_TRUE(problem.skipped);
        EXPECT_EQ(problem.problem.error, disk::DiskError::NotARegularFile);
    }
    EXPECT_EQ(messages::pageProblem(reporter.problems[0].problem).text,
              temp / "site/null.html" + " is not a regular file (a pipe, a device or a socket); it was left alone");
    EXPECT_TRUE(fs::is_fifo(temp / "site/pipe.htm"));
    EXPECT_TRUE(fs::is_symlink(temp / "site/zero.htm"));
}

TEST_F(OriginalsTest, AChainOf20000FramesetsIsProtectedWithoutExhaustingTheStack) {
    constexpr int kChain = 20000;
    for (int i = 0; i < kChain - 1; ++i)
        temp.write("site/f" + std::to_string(i) + ".htm",
                   "<frameset><frame src=\"f" + std::to_string(i + 1) + ".htm\"></frameset>");
    temp.write("site/f" + std::to_string(kChain - 1) + ".htm", page("the end"));
    options.storageMode = StorageMode::CreateProtected;
    const auto summary = run({file("site/f0.htm")});
    EXPECT_EQ(summary.written, static_cast<std::size_t>(kChain));
    EXPECT_EQ(summary.found, static_cast<std::size_t>(kChain));
    EXPECT_TRUE(summary.allDone());
    ASSERT_EQ(reporter.outputs.size(), static_cast<std::size_t>(kChain));
    EXPECT_EQ(reporter.outputs.front(), temp / ("site/protected_f" + std::to_string(kChain - 1) + ".htm"))
        << "the innermost page comes first";
    EXPECT_EQ(reporter.outputs.back(), temp / "site/protected_f0.htm");
    EXPECT_EQ(readBytes(temp / "site/protected_f0.htm"), "<frameset><frame src=\"f1.htm\"></frameset>");
    EXPECT_EQ(bootstraps(readBytes(temp / ("site/protected_f" + std::to_string(kChain - 1) + ".htm"))), 1u);
}

TEST_F(OriginalsTest, EveryNameOfAHardLinkedPageEndsUpServingAProtectedPage) {
    const std::string first = temp.write("site/a.htm", page("shared"));
    fs::create_hard_link(first, temp / "site/b.htm");
    const auto summary = run({folder("site")});
    EXPECT_EQ(summary.written, 2u);
    EXPECT_TRUE(summary.allDone());
    for (const char* name : {"site/a.htm", "site/b.htm"}) {
        EXPECT_EQ(bootstraps(readBytes(temp / name)), 1u) << name;
        EXPECT_EQ(readBytes(temp / name + ".bak"), page("shared")) << name;
    }
}

TEST_F(OriginalsTest, APageBelowAPathLongerThanTheSystemTakesIsProtected) {
    // Made a folder at a time, each step within the limit, as the run itself reaches it.
    std::string relative = "site";
    fs::create_directories(temp / relative);
    const std::string name(200, 'd');
    int at = ::open((temp / relative).c_str(), O_RDONLY | O_DIRECTORY);
    ASSERT_GE(at, 0);
    while (relative.size() < 5000) {
        ASSERT_EQ(::mkdirat(at, name.c_str(), 0755), 0);
        const int next = ::openat(at, name.c_str(), O_RDONLY | O_DIRECTORY);
        ::close(at);
        at = next;
        relative += "/" + name;
    }
    const std::string content = page("deep");
    const int out = ::openat(at, "deep.htm", O_WRONLY | O_CREAT, 0644);
    ASSERT_EQ(::write(out, content.data(), content.size()), static_cast<ssize_t>(content.size()));
    ::close(out);
    ::close(at);
    const std::string deepPage = temp / (relative + "/deep.htm");
    ASSERT_GT(deepPage.size(), static_cast<std::size_t>(PATH_MAX));

    const auto summary = run({folder("site")});
    EXPECT_EQ(summary.written, 1u);
    EXPECT_TRUE(summary.allDone());
    ASSERT_EQ(reporter.outputs, std::vector<std::string>{deepPage});
    std::string bytes;
    ASSERT_FALSE(disk.readFile(deepPage, bytes));
    EXPECT_EQ(bootstraps(bytes), 1u);
    ASSERT_FALSE(disk.readFile(deepPage + ".bak", bytes));
    EXPECT_EQ(bytes, content);
}

TEST_F(OriginalsTest, ANameTooLongForItsBackupIsReportedByNameAndKept) {
    const std::string name = std::string(251, 'n') + ".htm"; // 255 bytes: the longest name there is
    const std::string longPage = temp.write("site/" + name, page("long"));
    temp.write("site/short.htm", page("short"));
    const auto summary = run({folder("site")});
    EXPECT_EQ(summary.written, 1u);
    EXPECT_EQ(summary.givenUp, 1u);
    ASSERT_EQ(reporter.problems.size(), 1u);
    EXPECT_EQ(reporter.problems[0].page.fullPath(), longPage);
    EXPECT_EQ(reporter.problems[0].problem.error, std::errc::filename_too_long);
    EXPECT_EQ(readBytes(longPage), page("long"));

    options.makeBackups = false; // without a backup the page itself can be replaced
    EXPECT_EQ(run({file("site/" + name)}).written, 1u);
    EXPECT_EQ(bootstraps(readBytes(longPage)), 1u);
}

TEST_F(OriginalsTest, ACopyTargetInsideThePickedFolderIsLeftOutOfItsScan) {
    temp.write("site/a.htm", page("a"));
    options.storageMode = StorageMode::CopyToFolder;
    options.targetFolder = temp / "site/out";
    EXPECT_EQ(run({folder("site")}).written, 1u);
    const auto again = run({folder("site")});
    EXPECT_EQ(again.written, 1u);
    EXPECT_EQ(again.found, 1u) << "the first run's output is not a page of the second";
    EXPECT_FALSE(fs::exists(temp / "site/out/out"));
}

TEST_F(OriginalsTest, ACopyThatWouldWriteOverAPickedPageIsRefusedBeforeAnythingIsWritten) {
    temp.write("site/a.htm", page("a"));
    temp.write("site/sub/a.htm", page("sub a"));
    options.storageMode = StorageMode::CopyToFolder;

    options.targetFolder = temp / "site";
    EXPECT_EQ(run({folder("site")}).outcome, RunSummary::Outcome::Refused);
    ASSERT_EQ(reporter.refusals.size(), 1u);
    EXPECT_EQ(reporter.refusals[0].reason, RunRefusal::Reason::TargetIsAPickedFolder);

    options.targetFolder = temp / "site"; // sub/a.htm would land on the picked a.htm
    EXPECT_EQ(run({folder("site/sub"), file("site/a.htm")}).outcome, RunSummary::Outcome::Refused);
    ASSERT_EQ(reporter.refusals.size(), 1u);
    EXPECT_EQ(reporter.refusals[0].reason, RunRefusal::Reason::OutputIsAPickedPage);
    EXPECT_EQ(reporter.refusals[0].path, temp / "site/sub/a.htm");
    EXPECT_EQ(reporter.refusals[0].other, temp / "site/a.htm");
    EXPECT_EQ(readBytes(temp / "site/a.htm"), page("a"));
    EXPECT_EQ(readBytes(temp / "site/sub/a.htm"), page("sub a"));
    EXPECT_EQ(temp.files().size(), 2u);
}

TEST_F(OriginalsTest, EachPageIsReadOnceAndItsBackupMadeFromThoseBytes) {
    for (const char* name : {"site/a.htm", "site/b.htm", "site/sub/c.htm"})
        temp.write(name, page(name));
    test::FaultyFileSystem counting;
    ProtectionRun(options, reporter, counting).ProtectFiles({folder("site")});
    EXPECT_EQ(counting.callsOf(test::FaultyFileSystem::Step::ReadFile), 3);
    EXPECT_EQ(counting.callsOf(test::FaultyFileSystem::Step::Copy), 0);
    for (const char* name : {"site/a.htm", "site/b.htm", "site/sub/c.htm"})
        EXPECT_EQ(readBytes(temp / name + ".bak"), page(name));
}

ino_t inodeOf(const std::string& path) {
    struct stat st {};
    EXPECT_EQ(::stat(path.c_str(), &st), 0) << path;
    return st.st_ino;
}

// A page with one name gets its own file as its backup: nothing copied, the original's owner, mode and times kept.
// A page whose file has another name outside the run keeps that file for that name, and gets a copy.
TEST_F(OriginalsTest, ABackupIsThePagesOwnFileUnlessThatFileHasOtherNames) {
    const std::string single = temp.write("site/single.htm", page("single"));
    const std::string shared = temp.write("site/shared.htm", page("shared"));
    const std::string elsewhere = temp / "elsewhere.htm";
    fs::create_hard_link(shared, elsewhere);
    const ino_t singleBefore = inodeOf(single);
    const ino_t sharedBefore = inodeOf(shared);
    const auto summary = run({folder("site")});
    EXPECT_EQ(summary.written, 2u);
    EXPECT_EQ(inodeOf(single + ".bak"), singleBefore);
    EXPECT_NE(inodeOf(single), singleBefore);
    EXPECT_EQ(readBytes(single + ".bak"), page("single"));
    EXPECT_NE(inodeOf(shared + ".bak"), sharedBefore);
    EXPECT_EQ(inodeOf(elsewhere), sharedBefore);
    EXPECT_EQ(readBytes(shared + ".bak"), page("shared"));
    EXPECT_EQ(readBytes(elsewhere), page("shared"));
    EXPECT_EQ(fs::hard_link_count(single + ".bak"), 1u);
}

// A file system without hard links (or one that refuses a link) gets a copy of the bytes that were read.
TEST_F(OriginalsTest, WhereNoLinkCanBeMadeTheBackupIsACopyOfTheBytesRead) {
    const std::string a = temp.write("site/a.htm", page("a"));
    const ino_t before = inodeOf(a);
    test::FaultyFileSystem noLinks;
    noLinks.failAt(test::FaultyFileSystem::Step::Link, EPERM);
    const auto summary = ProtectionRun(options, reporter, noLinks).ProtectFiles({folder("site")});
    EXPECT_EQ(summary.written, 1u);
    EXPECT_TRUE(summary.allDone());
    EXPECT_EQ(noLinks.strikes(), 1);
    EXPECT_EQ(readBytes(a + ".bak"), page("a"));
    EXPECT_NE(inodeOf(a + ".bak"), before);
    EXPECT_EQ(bootstraps(readBytes(a)), 1u);
    for (const auto& entry : fs::directory_iterator(temp / "site"))
        EXPECT_TRUE(entry.path().filename() == "a.htm" || entry.path().filename() == "a.htm.bak") << entry.path();
}

TEST_F(OriginalsTest, ABackupKeepsTheOwnerGroupAndModeOfItsPage) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "only root can give a page to another user";
    const std::string mine = temp.write("site/private.htm", page("private"));
    ASSERT_EQ(::chown(mine.c_str(), 65534, 65534), 0);
    ASSERT_EQ(::chmod(mine.c_str(), 0600), 0);
    run({folder("site")});
    struct stat backup {};
    ASSERT_EQ(::stat((mine + ".bak").c_str(), &backup), 0);
    EXPECT_EQ(backup.st_uid, 65534u);
    EXPECT_EQ(backup.st_gid, 65534u);
    EXPECT_EQ(backup.st_mode & 07777, 0600u);
    struct stat written {};
    ASSERT_EQ(::stat(mine.c_str(), &written), 0);
    EXPECT_EQ(written.st_uid, 65534u);
    EXPECT_EQ(written.st_mode & 07777, 0600u);
}

TEST_F(OriginalsTest, AFolderThatCannotBeListedIsReportedNotSkippedSilently) {
    temp.write("site/a.htm", page("a"));
    test::FaultyFileSystem failing;
    failing.failAt(test::FaultyFileSystem::Step::ListFolder, EACCES, 0, "/locked");
    temp.write("site/locked/b.htm", page("b"));
    options.makeBackups = false;
    const auto summary = ProtectionRun(options, reporter, failing).ProtectFiles({folder("site")});
    EXPECT_EQ(summary.written, 1u);
    EXPECT_EQ(summary.skipped, 1u);
    EXPECT_EQ(reporter.skippedFolders, std::vector<std::string>{temp / "site/locked"});
}

} // namespace
} // namespace quillora::run
