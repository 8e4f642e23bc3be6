#include "run/FileHelpers.h"

#include "RecordingReporter.h"

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <gtest/gtest.h>

namespace quillora::run {
namespace {

using disk::PosixFileSystem;
using test::FaultyFileSystem;
using test::TempFolder;

TEST(MakeFolders, CreatesEveryFolderButNotTheFile) {
    TempFolder temp;
    disk::PosixFileSystem fs;
    MakeFolders(fs, temp / "out/sub/deeper/a.htm");
    EXPECT_TRUE(std::filesystem::is_directory(temp / "out/sub/deeper"));
    EXPECT_FALSE(std::filesystem::exists(temp / "out/sub/deeper/a.htm"));
}

int separatorsIn(const std::string& path) {
    return static_cast<int>(std::count(path.begin(), path.end(), '/'));
}

TEST(MakeFolders, PassesOverRefusedFolders) {
    TempFolder temp;
    FaultyFileSystem fs;
    fs.failAt(FaultyFileSystem::Step::CreateFolder, EACCES, 1, "/a/");
    MakeFolders(fs, temp / "a/b/c.htm");
    // Every folder along the path was asked for; the one after the refused folder failed for lack of a parent.
    EXPECT_EQ(fs.callsOf(FaultyFileSystem::Step::CreateFolder), separatorsIn(temp / "a/b/c.htm"));
    EXPECT_FALSE(std::filesystem::exists(temp / "a"));
}

TEST(MakeFolders, StopsAtAnyOtherFailure) {
    TempFolder temp;
    FaultyFileSystem fs;
    fs.failAt(FaultyFileSystem::Step::CreateFolder, EIO, 0, "/x/");
    MakeFolders(fs, temp / "x/y/z.htm");
    EXPECT_EQ(fs.callsOf(FaultyFileSystem::Step::CreateFolder), separatorsIn(temp / "x/"));
    EXPECT_FALSE(std::filesystem::exists(temp / "x"));
}

TEST(MakeFolders, ExistingFoldersAreNoFailure) {
    TempFolder temp;
    disk::PosixFileSystem fs;
    MakeFolders(fs, temp / "a/b/c.htm");
    temp.write("a/b/keep.htm", "k");
    MakeFolders(fs, temp / "a/b/c.htm");
    EXPECT_EQ(temp.files(), std::vector<std::string>{"a/b/keep.htm"});
}

TEST(MakeFolders, KnownFoldersAreNotAskedForAgain) {
    TempFolder temp;
    FaultyFileSystem fs;
    std::unordered_set<std::string> known;
    MakeFolders(fs, temp / "out/a.htm", &known);
    const int first = fs.callsOf(FaultyFileSystem::Step::CreateFolder);
    MakeFolders(fs, temp / "out/b.htm", &known);
    EXPECT_EQ(fs.callsOf(FaultyFileSystem::Step::CreateFolder), first);
    MakeFolders(fs, temp / "out/sub/c.htm", &known);
    EXPECT_EQ(fs.callsOf(FaultyFileSystem::Step::CreateFolder), first + 1);
    EXPECT_TRUE(std::filesystem::is_directory(temp / "out/sub"));
}

TEST(MakeFolders, APathWithoutSeparatorCreatesNothing) {
    FaultyFileSystem fs;
    MakeFolders(fs, "a.htm");
    EXPECT_EQ(fs.callsOf(FaultyFileSystem::Step::CreateFolder), 0);
}

TEST(IsPageFileName, TakesOnlyExactHtmAndHtmlEndings) {
    for (const char* name : {"a.htm", "c.html", ".htm", "x.y.htm"})
        EXPECT_TRUE(IsPageFileName(name)) << name;
    for (const char* name : {"D.HTM", "b.Html", "x.htm.bak", "x.shtml", "b.txt", "htm", "a.htmx"})
        EXPECT_FALSE(IsPageFileName(name)) << name;
}

TEST(MaxOf, ReturnsTheLargerAndTheSecondOnATie) {
    EXPECT_EQ(MaxOf(3, 2), 3);
    EXPECT_EQ(MaxOf(2, 3), 3);
    EXPECT_EQ(MaxOf(-5, -5), -5);
    EXPECT_EQ(MaxOf(INT32_MIN, INT32_MAX), INT32_MAX);
}

TEST(IsNothing, TellsAnEmptyReference) {
    int value = 0;
    EXPECT_TRUE(IsNothing<int>(nullptr));
    EXPECT_FALSE(IsNothing(&value));
}

} // namespace
} // namespace quillora::run
