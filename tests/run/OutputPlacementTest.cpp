#include "run/OutputPlacement.h"

#include "RecordingReporter.h"

#include <cerrno>
#include <filesystem>
#include <gtest/gtest.h>

namespace quillora::run {
namespace {

using engine::StorageMode;
using run::FileEntry;
using test::FaultyFileSystem;
using test::TempFolder;

class OutputPlacementTest : public ::testing::Test {
protected:
    void SetUp() override {
        temp.write("site/sub/a.htm", "source a");
        temp.write("site/a.htm", "source top");
        site = temp / "site";
        out = temp / "out";
    }

    std::string place(FileEntry& entry, StorageMode mode, const std::string& target = {}, bool backups = false) {
        options.storageMode = mode;
        options.targetFolder = target;
        options.makeBackups = backups;
        return OutputPlacement(options, fs).GetOutputPath(entry);
    }

    TempFolder temp;
    std::string site;
    std::string out;
    engine::ProtectionOptions options;
    FaultyFileSystem fs;
};

struct WorkedPath {
    const char* name;
    StorageMode mode;
    bool scanned;
    std::string output;    // below the temporary folder
    std::string newFolder; // below the temporary folder, or empty
    std::string newName;   // below the temporary folder when it starts with "@", else as is
};

class WorkedPaths : public OutputPlacementTest, public ::testing::WithParamInterface<WorkedPath> {};

TEST_P(WorkedPaths, GiveTheOutputAndTheEntryAfterwards) {
    const auto& c = GetParam();
    FileEntry entry = c.scanned ? FileEntry{"/sub/a.htm", site} : FileEntry{site + "/a.htm", ""};
    EXPECT_EQ(place(entry, c.mode, out), temp / c.output);
    EXPECT_EQ(entry.Folder, c.newFolder.empty() ? "" : temp / c.newFolder);
    EXPECT_EQ(entry.Name, c.newName.starts_with('@') ? temp / c.newName.substr(1) : c.newName);
    EXPECT_TRUE(std::filesystem::is_directory(std::filesystem::path(temp / c.output).parent_path()));
}

INSTANTIATE_TEST_SUITE_P(
    Modes, WorkedPaths,
    ::testing::Values(WorkedPath{"OverwriteScanned", StorageMode::Overwrite, true, "site/sub/a.htm", "site",
                                 "/sub/a.htm"},
                      WorkedPath{"CopyScanned", StorageMode::CopyToFolder, true, "out/sub/a.htm", "out", "/sub/a.htm"},
                      WorkedPath{"BesideScanned", StorageMode::CreateProtected, true, "site/sub/protected_a.htm",
                                 "site", "/sub/protected_a.htm"},
                      WorkedPath{"OverwritePicked", StorageMode::Overwrite, false, "site/a.htm", "", "@site/a.htm"},
                      WorkedPath{"CopyPicked", StorageMode::CopyToFolder, false, "out/a.htm", "", "@out/a.htm"},
                      WorkedPath{"BesidePicked", StorageMode::CreateProtected, false, "site/protected_a.htm", "",
                                 "@site/protected_a.htm"}),
    [](const auto& info) { return info.param.name; });

TEST_F(OutputPlacementTest, ATargetWithTrailingSeparatorKeepsTwoOfThree) {
    FileEntry entry{"/sub/a.htm", site};
    EXPECT_EQ(place(entry, StorageMode::CopyToFolder, out + "/"), out + "//sub/a.htm");
    EXPECT_EQ(entry.Folder, out + "/");
    FileEntry picked{site + "/a.htm", ""};
    EXPECT_EQ(place(picked, StorageMode::CopyToFolder, out + "/"), out + "/a.htm");
    EXPECT_EQ(picked.Name, out + "//a.htm") << "the entry keeps the path as joined";
}

TEST_F(OutputPlacementTest, BesideAPageAtTheTopOfAPickedRoot) {
    FileEntry entry{"a.htm", "/"};
    EXPECT_EQ(place(entry, StorageMode::CreateProtected), "/protected_a.htm");
    EXPECT_EQ(entry.Name, "/protected_a.htm");
}

TEST_F(OutputPlacementTest, OnlyAnOverwriteWithBackupsHasABackupBesideThePage) {
    for (const StorageMode mode : {StorageMode::Overwrite, StorageMode::CopyToFolder, StorageMode::CreateProtected}) {
        for (const bool backups : {false, true}) {
            options.storageMode = mode;
            options.makeBackups = backups;
            const std::string expected = mode == StorageMode::Overwrite && backups ? site + "/a.htm.bak" : "";
            EXPECT_EQ(OutputPlacement(options, fs).backupPathOf(site + "/a.htm"), expected);
        }
    }
}

TEST_F(OutputPlacementTest, TheOutputPathCanBeAskedForWithoutMakingAnything) {
    options.storageMode = StorageMode::CopyToFolder;
    options.targetFolder = out;
    const FileEntry entry{"/sub/a.htm", site};
    EXPECT_EQ(OutputPlacement(options, fs).outputPathOf(entry), out + "/sub/a.htm");
    EXPECT_EQ(entry.Folder, site);
    EXPECT_FALSE(std::filesystem::exists(out));
}

struct Collapse {
    std::string_view path;
    std::string_view collapsed;
};

class CollapseSeparators : public ::testing::TestWithParam<Collapse> {};

TEST_P(CollapseSeparators, TakesPairsFromLeftToRightOnce) {
    EXPECT_EQ(OutputPlacement::CollapseSeparators(GetParam().path), GetParam().collapsed);
}

INSTANTIATE_TEST_SUITE_P(Paths, CollapseSeparators,
                         ::testing::Values(Collapse{"/a//b", "/a/b"}, Collapse{"/a///b", "/a//b"},
                                           Collapse{"/a////b", "/a//b"}, Collapse{"/a/////b", "/a///b"},
                                           Collapse{"//a", "/a"}, Collapse{"/a/b/", "/a/b/"}, Collapse{"a//", "a/"},
                                           Collapse{"", ""}));

} // namespace
} // namespace quillora::run
