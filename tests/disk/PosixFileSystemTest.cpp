#include "disk/PosixFileSystem.h"

#include "DiskTestSupport.h"

#include <filesystem>
#include <gtest/gtest.h>

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
    ASSERT_FALSE(fs.createTempFile(temp.path(), "index.htm", file, tempPath));
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
