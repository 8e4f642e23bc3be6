#include "disk/PosixFileSystem.h"

#include "DiskTestSupport.h"
#include "disk/DiskError.h"
#include "disk/TemporaryNames.h"

#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quillora::disk {
namespace {

class PosixFileSystemTest : public ::testing::Test {
protected:
    test::TempFolder temp;
    PosixFileSystem fs;
};

TEST_F(PosixFileSystemTest, ReadsEveryByteWhateverTheSize) {
    for (const std::size_t size : {std::size_t{0}, std::size_t{1}, std::size_t{1000}, std::size_t{2000},
                                   std::size_t{65536}, std::size_t{300001}}) {
        std::string bytes(size, '\0');
        for (std::size_t i = 0; i < size; ++i)
            bytes[i] = static_cast<char>(i * 7 + 1);
        const std::string path = temp.write(std::to_string(size) + ".bin", bytes);
        std::string read = "leftover";
        EXPECT_FALSE(fs.readFile(path, read));
        EXPECT_EQ(read, bytes) << size;
    }
}

TEST_F(PosixFileSystemTest, ReadingAFolderOrAMissingFileFails) {
    std::string bytes;
    EXPECT_EQ(fs.readFile(temp.path(), bytes), std::errc::is_a_directory);
    EXPECT_EQ(fs.readFile(temp / "gone", bytes), std::errc::no_such_file_or_directory);
}

TEST_F(PosixFileSystemTest, ListsNamesSortedWithLinksFollowed) {
    temp.write("b.htm", "");
    temp.write("A.htm", "");
    temp.write("sub/x", "");
    std::filesystem::create_directory_symlink(temp / "sub", temp / "dirlink");
    std::filesystem::create_symlink(temp / "nowhere", temp / "dangling.htm");
    std::vector<FolderEntry> entries;
    ASSERT_FALSE(fs.listFolder(temp.path(), entries));
    std::vector<std::string> shown;
    for (const auto& entry : entries)
        shown.push_back(entry.name + (entry.isFolder ? "/" : ""));
    EXPECT_EQ(shown, (std::vector<std::string>{"A.htm", "b.htm", "dangling.htm", "dirlink/", "sub/"}));
    EXPECT_EQ(fs.listFolder(temp / "gone", entries), std::errc::no_such_file_or_directory);
}

TEST_F(PosixFileSystemTest, StatusTellsReadOnlyFilesAndLinks) {
    const std::string page = temp.write("a.htm", "a");
    std::filesystem::create_symlink(page, temp / "link.htm");
    FileStatus status;
    ASSERT_FALSE(fs.status(page, status));
    EXPECT_TRUE(status.writable);
    EXPECT_FALSE(status.isSymlink);
    std::filesystem::permissions(page, std::filesystem::perms(0444));
    ASSERT_FALSE(fs.status(temp / "link.htm", status));
    EXPECT_FALSE(status.writable);
    EXPECT_TRUE(status.isSymlink);
    EXPECT_EQ(status.mode, 0444u);
}

TEST_F(PosixFileSystemTest, TemporaryFilesAreHiddenAndNeverPages) {
    std::unique_ptr<OutputFile> file;
    std::string tempPath;
    ASSERT_FALSE(fs.createTempFile(temp.path(), "index.htm", std::nullopt, file, tempPath));
    const std::string name = std::filesystem::path(tempPath).filename().string();
    EXPECT_TRUE(name.starts_with(".index.htm"));
    EXPECT_FALSE(name.ends_with(".htm") || name.ends_with(".html"));
    EXPECT_TRUE(IsTemporaryName(name));
    EXPECT_FALSE(file->write("abc"));
    EXPECT_FALSE(file->finish(true));
    EXPECT_EQ(test::readBytes(tempPath), "abc");
}

TEST_F(PosixFileSystemTest, CopyReplacesTheDestinationWholeWithTheSourcesPermissionsAndTimes) {
    const std::string source = temp.write("a.png", "new content");
    std::filesystem::permissions(source, std::filesystem::perms(0640));
    const auto then = std::filesystem::file_time_type::clock::now() - std::chrono::hours(24 * 400);
    std::filesystem::last_write_time(source, then);
    const std::string copy = temp.write("b.png", "an older and longer file");
    EXPECT_FALSE(fs.copyFile(source, copy));
    EXPECT_EQ(test::readBytes(copy), "new content");
    EXPECT_EQ(test::permissionsOf(copy), 0640u);
    EXPECT_EQ(std::filesystem::last_write_time(copy), then);
    EXPECT_EQ(temp.files(), (std::vector<std::string>{"a.png", "b.png"}));
    test::writeBytes(copy, "changed"); // the copy shares nothing with its source
    EXPECT_EQ(test::readBytes(source), "new content");
}

TEST_F(PosixFileSystemTest, AFailedCopyLeavesTheDestinationAndNoTemporaryFile) {
    const std::string backup = temp.write("a.htm.bak", "old");
    EXPECT_EQ(fs.copyFile(temp / "gone.htm", backup), std::errc::no_such_file_or_directory);
    EXPECT_EQ(fs.copyFile(temp.path(), backup), std::errc::is_a_directory);
    EXPECT_EQ(fs.copyFile(temp / "a.htm.bak", temp / "no/such/folder/x"), std::errc::no_such_file_or_directory);
    EXPECT_EQ(test::readBytes(backup), "old");
    EXPECT_EQ(temp.files(), std::vector<std::string>{"a.htm.bak"});
}

TEST_F(PosixFileSystemTest, CanonicalPathsResolveLinksAndKeepAMissingTail) {
    temp.write("real/a.htm", "");
    std::filesystem::create_directory_symlink(temp / "real", temp / "link");
    const std::string real = std::filesystem::canonical(temp.path()).string();
    std::string canonical;
    ASSERT_FALSE(fs.canonicalPath(temp / "link/../real/./a.htm", canonical));
    EXPECT_EQ(canonical, real + "/real/a.htm");
    ASSERT_FALSE(fs.canonicalPath(temp / "link/missing/b.htm", canonical));
    EXPECT_EQ(canonical, real + "/real/missing/b.htm");
}

} // namespace
} // namespace quillora::disk

namespace quillora::disk {
namespace {

namespace fs = std::filesystem;

FileIdentity identityOf(const std::string& path) {
    struct stat st {};
    EXPECT_EQ(::lstat(path.c_str(), &st), 0) << path;
    return {static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
}

bool lockedElsewhere(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY);
    const bool locked = fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
    if (fd >= 0)
        ::close(fd);
    return locked;
}

TEST_F(PosixFileSystemTest, ATemporaryFileIsHeldFromItsStartAndNamedForItself) {
    const std::string partner = temp.write("index.htm", "the page it will replace");
    std::unique_ptr<OutputFile> file;
    std::string tempPath;
    ASSERT_FALSE(fs.createTempFile(temp.path(), "index.htm", identityOf(partner), file, tempPath));
    const std::string name = fs::path(tempPath).filename().string();
    EXPECT_TRUE(IsTemporaryNameOf(name, identityOf(tempPath).inode));
    EXPECT_TRUE(IsTemporaryNameOf(name, identityOf(partner).inode)) << "what it holds once swapped in";
    EXPECT_EQ(file->identity(), identityOf(tempPath));
    EXPECT_TRUE(lockedElsewhere(tempPath)) << "no other run takes it for a leftover";
    file.reset();
    EXPECT_FALSE(lockedElsewhere(tempPath));
}

TEST_F(PosixFileSystemTest, OnlyLeftoversThatProveThemselvesAndNobodyHoldsAreRemoved) {
    const std::string leftover = test::writeLeftover(temp.path(), "a.htm", "half a page");
    const std::string held = test::writeLeftover(temp.path(), "b.htm", "a run is writing this");
    const std::string lookalike = temp.write(".a.htm.~k1ll3d00k1ll3d00~", "a user's draft");
    const std::string dated = temp.write(".notes.~20240101~", "a user's notes");
    const std::string pointing = temp / TemporaryName("c.htm", 1, 1);
    fs::create_symlink(held, pointing);
    const int holder = ::open(held.c_str(), O_RDONLY);
    ASSERT_GE(holder, 0);
    ASSERT_EQ(::flock(holder, LOCK_EX), 0);

    EXPECT_EQ(fs.removeStaleTemporaries(temp.path()), 1u);
    ::close(holder);

    EXPECT_FALSE(fs::exists(leftover));
    for (const auto& kept : {held, lookalike, dated})
        EXPECT_TRUE(fs::exists(kept)) << kept;
    EXPECT_TRUE(fs::is_symlink(pointing)) << "a link is never taken for a file of the run's";
}

TEST_F(PosixFileSystemTest, ALinkThatLeadsNowhereIsStillTold) {
    fs::create_symlink(temp / "nowhere", temp / "a.htm.bak");
    FileStatus status;
    EXPECT_EQ(fs.status(temp / "a.htm.bak", status), std::errc::no_such_file_or_directory);
    EXPECT_TRUE(status.isSymlink);
}

TEST_F(PosixFileSystemTest, ALockHeldLongerThanTheWaitFailsAndAFreeOneIsTaken) {
    const std::string page = temp.write("a.htm", "page");
    const int holder = ::open(page.c_str(), O_RDONLY);
    ASSERT_GE(holder, 0);
    ASSERT_EQ(::flock(holder, LOCK_EX), 0);
    std::unique_ptr<LockedFile> file;
    EXPECT_EQ(fs.openLocked(page, std::chrono::milliseconds(0), file), std::errc::resource_unavailable_try_again);
    EXPECT_EQ(fs.openLocked(page, std::chrono::milliseconds(30), file), std::errc::resource_unavailable_try_again);
    ::close(holder);
    ASSERT_FALSE(fs.openLocked(page, std::chrono::milliseconds(30), file));
    EXPECT_TRUE(lockedElsewhere(page));
}

TEST_F(PosixFileSystemTest, AVeryLongPathWithAParentStepIsNotGuessedAt) {
    std::string path = temp.path();
    while (path.size() < PATH_MAX + 100)
        path += "/" + std::string(200, 'd');
    std::string canonical;
    EXPECT_EQ(fs.canonicalPath(path + "/../a.htm", canonical), std::errc::filename_too_long);
    EXPECT_FALSE(fs.canonicalPath(path + "/./a.htm", canonical));
    EXPECT_EQ(canonical, path + "/a.htm");
}

/// What happens at the name a file is to take, between the run's look and the placement.
struct Meanwhile {
    const char* name;
    bool somethingSeen; // the name held the old page when the run looked
    std::function<void(const std::string& to, const std::string& elsewhere)> act;
    bool replaced;
    const char* toHolds; // afterwards, without following a link: "new", "old", "saved", "link" or "" (nothing)
};

void PrintTo(const Meanwhile& row, std::ostream* out) {
    *out << row.name;
}

void saveOver(const std::string& to, std::string_view bytes) {
    const std::string written = to + ".saving";
    test::writeBytes(written, bytes);
    fs::rename(written, to);
}

class ReplaceChecked : public PosixFileSystemTest, public testing::WithParamInterface<Meanwhile> {};

TEST_P(ReplaceChecked, TakesTheNameOnlyWhileItHoldsWhatTheRunSaw) {
    const Meanwhile& row = GetParam();
    const std::string victim = temp.write("elsewhere/victim.txt", "victim");
    const std::string to = temp / "a.htm";
    std::optional<FileIdentity> seen;
    int held = -1; // as the run holds the page it read: its number is not given to a new file meanwhile
    if (row.somethingSeen) {
        temp.write("a.htm", "old");
        seen = identityOf(to);
        held = ::open(to.c_str(), O_RDONLY);
    }
    std::unique_ptr<OutputFile> file;
    std::string from;
    ASSERT_FALSE(fs.createTempFile(temp.path(), "a.htm", seen, file, from));
    ASSERT_FALSE(file->write("new"));
    row.act(to, victim);

    const std::error_code error = fs.replaceChecked(from, file->identity(), to, seen);
    file.reset();
    if (held >= 0)
        ::close(held);

    EXPECT_EQ(!error, row.replaced) << error.message();
    if (!row.replaced) {
        EXPECT_EQ(error, DiskError::ChangedDuringRun);
        EXPECT_EQ(test::readBytes(from), "new") << "the run's file stays under its temporary name";
    }
    const std::string holds = row.toHolds;
    if (holds == "link") {
        EXPECT_TRUE(fs::is_symlink(to));
    } else if (holds.empty()) {
        EXPECT_FALSE(fs::exists(fs::symlink_status(to)));
    } else {
        EXPECT_FALSE(fs::is_symlink(to));
        EXPECT_EQ(test::readBytes(to), holds);
    }
    EXPECT_EQ(test::readBytes(victim), "victim") << "nothing is written through a link";
    std::size_t names = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(temp.path()))
        ++names;
    // The folder "elsewhere", the name taken (if anything holds it), the run's file if it did not take it.
    EXPECT_EQ(names, 1u + (holds.empty() ? 0u : 1u) + (row.replaced ? 0u : 1u))
        << "the old page's name goes with a replacement; nothing else is left";
}

INSTANTIATE_TEST_SUITE_P(
    Names, ReplaceChecked,
    testing::Values(
        Meanwhile{"TheNameHoldsWhatWasSeen", true, [](auto&, auto&) {}, true, "new"},
        Meanwhile{"AnEditorSavedMeanwhile", true, [](const auto& to, auto&) { saveOver(to, "saved"); }, false, "saved"},
        Meanwhile{"ALinkWasPutThere", true,
                  [](const auto& to, const auto& victim) {
                      fs::remove(to);
                      fs::create_symlink(victim, to);
                  },
                  false, "link"},
        Meanwhile{"TheNameWasRemoved", true, [](const auto& to, auto&) { fs::remove(to); }, false, ""},
        Meanwhile{"NothingWasThereNorIs", false, [](auto&, auto&) {}, true, "new"},
        Meanwhile{"NothingWasThereButAFileIsNow", false, [](const auto& to, auto&) { saveOver(to, "saved"); }, false,
                  "saved"},
        Meanwhile{"NothingWasThereButALinkIsNow", false,
                  [](const auto& to, const auto& victim) { fs::create_symlink(victim, to); }, false, "link"}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace quillora::disk
