#include "run/FolderScan.h"

#include "RecordingReporter.h"

#include <cerrno>
#include <filesystem>
#include <gtest/gtest.h>

namespace quillora::run {
namespace {

using disk::FileSystem;
using disk::PosixFileSystem;
using test::FaultyFileSystem;
using test::TempFolder;

/// The entries of a list as "Folder|Name", in list order.
std::vector<std::string> entriesOf(const FileList& list) {
    std::vector<std::string> entries;
    for (std::int32_t i = 1; i <= list.FileCount; ++i)
        entries.push_back(list.slots[static_cast<std::size_t>(i)].Folder + "|" +
                          list.slots[static_cast<std::size_t>(i)].Name);
    return entries;
}

class FolderScanTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* name : {"a.htm", "b.txt", "c.html", "D.HTM", "x.htm.bak", "x.shtml", ".htm", "sub/e.htm",
                                 "sub/deeper/f.html", "zz/g.htm"})
            temp.write(name, "<p>x</p>");
    }

    std::vector<std::string> scan(const std::string& folder, disk::FileSystem& fs) {
        FileList list;
        std::string base;
        FolderScan(fs).ScanFolder(folder, list, base);
        EXPECT_EQ(base, folder);
        return entriesOf(list);
    }

    TempFolder temp;
    disk::PosixFileSystem real;
};

TEST_F(FolderScanTest, ListsOwnPagesFirstThenSubfoldersDepthFirst) {
    const std::string& t = temp.path();
    EXPECT_EQ(scan(t, real), (std::vector<std::string>{t + "|/.htm", t + "|/a.htm", t + "|/c.html", t + "|/sub/e.htm",
                                                       t + "|/sub/deeper/f.html", t + "|/zz/g.htm"}));
}

TEST_F(FolderScanTest, AFolderWithTrailingSeparatorGivesNamesWithoutLeadingOne) {
    const std::string folder = temp.path() + "/sub/";
    EXPECT_EQ(scan(folder, real), (std::vector<std::string>{folder + "|e.htm", folder + "|deeper/f.html"}));
}

TEST_F(FolderScanTest, FolderAndNameGiveTheFileBackWhateverTheSpelling) {
    for (const std::string& folder : {temp.path() + "//sub//", temp.path() + "/zz/../sub", temp.path() + "/./sub"}) {
        FileList list;
        std::string base;
        FolderScan(real).ScanFolder(folder, list, base);
        ASSERT_EQ(list.FileCount, 2) << folder;
        for (std::int32_t i = 1; i <= list.FileCount; ++i) {
            const auto& entry = list.slots[static_cast<std::size_t>(i)];
            EXPECT_EQ(entry.Folder, folder);
            EXPECT_TRUE(std::filesystem::is_regular_file(entry.fullPath())) << entry.fullPath();
        }
    }
}

TEST_F(FolderScanTest, AMissingFolderAddsNothing) {
    EXPECT_TRUE(scan(temp / "gone", real).empty());
}

TEST_F(FolderScanTest, AnUnlistableSubfolderIsSkippedWithItsSubfoldersButNotItsSiblings) {
    FaultyFileSystem fs;
    fs.failAt(FaultyFileSystem::Step::ListFolder, EACCES, 0, "/sub");
    const std::string& t = temp.path();
    EXPECT_EQ(scan(t, fs), (std::vector<std::string>{t + "|/.htm", t + "|/a.htm", t + "|/c.html", t + "|/zz/g.htm"}));
}

TEST_F(FolderScanTest, AFolderThatVanishesDuringTheScanIsSkipped) {
    FaultyFileSystem fs;
    fs.failAt(FaultyFileSystem::Step::Status, ENOENT, 0, "/zz");
    const auto entries = scan(temp.path(), fs);
    EXPECT_EQ(entries.size(), 5u);
    EXPECT_EQ(entries.back(), temp.path() + "|/sub/deeper/f.html");
}

TEST_F(FolderScanTest, ALinkBackToAParentFolderEndsTheScan) {
    std::filesystem::create_directory_symlink(temp.path(), temp / "sub/loop");
    std::filesystem::create_directory_symlink(temp / "sub", temp / "sub/deeper/up");
    const auto entries = scan(temp.path(), real);
    EXPECT_EQ(entries.size(), 6u);
}

TEST_F(FolderScanTest, ALinkedFolderOutsideIsScannedOnce) {
    TempFolder other;
    other.write("o.htm", "o");
    std::filesystem::create_directory_symlink(other.path(), temp / "l1");
    std::filesystem::create_directory_symlink(other.path(), temp / "l2");
    const auto entries = scan(temp.path(), real);
    EXPECT_EQ(std::count(entries.begin(), entries.end(), temp.path() + "|/l1/o.htm"), 1);
    EXPECT_EQ(std::count(entries.begin(), entries.end(), temp.path() + "|/l2/o.htm"), 0);
}

// A copy's target inside the picked folder holds no source of the run, but its pages are named, not forgotten.
TEST_F(FolderScanTest, AnExcludedFolderIsNotScannedButItsPagesAreListedApart) {
    temp.write("sub/other.png", "png");
    disk::FileStatus sub;
    ASSERT_FALSE(real.status(temp / "sub", sub));
    std::vector<FileEntry> leftOut;
    std::vector<FileEntry> others;
    FolderScan scan(real);
    scan.exclude(sub.identity, &leftOut);
    scan.collectOthers(&others);
    FileList list;
    std::string base;
    scan.ScanFolder(temp.path(), list, base);
    const std::string& t = temp.path();
    EXPECT_EQ(entriesOf(list),
              (std::vector<std::string>{t + "|/.htm", t + "|/a.htm", t + "|/c.html", t + "|/zz/g.htm"}));
    std::vector<std::string> apart;
    for (const auto& page : leftOut)
        apart.push_back(page.Folder + "|" + page.Name);
    EXPECT_EQ(apart, (std::vector<std::string>{t + "|/sub/e.htm", t + "|/sub/deeper/f.html"}));
    for (const auto& other : others)
        EXPECT_FALSE(other.Name.starts_with("/sub/")) << other.Name;
}

TEST_F(FolderScanTest, AddHtmlFilesTakesOnlyTheFolderItself) {
    FileList list;
    const std::string base = temp.path();
    FolderScan(real).AddHtmlFiles(temp / "sub", list, base);
    EXPECT_EQ(entriesOf(list), std::vector<std::string>{base + "|/sub/e.htm"});
}

TEST(JoinPath, PutsOneSeparatorBetween) {
    EXPECT_EQ(JoinPath("/a", "b"), "/a/b");
    EXPECT_EQ(JoinPath("/a/", "b"), "/a/b");
    EXPECT_EQ(JoinPath("/", "b"), "/b");
}

} // namespace
} // namespace quillora::run
