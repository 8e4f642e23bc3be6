#include "run/OutputPlacement.h"

#include "RunTestSupport.h"
#include "run/RunMessages.h"

#include <cerrno>
#include <filesystem>
#include <gtest/gtest.h>

namespace quillora::run {
namespace {

using engine::FileEntry;
using engine::StorageMode;
using test::FaultyFileSystem;
using test::RecordingReporter;
using test::ShownMessage;
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
        return OutputPlacement(options, fs, reporter).GetOutputPath(entry);
    }

    TempFolder temp;
    std::string site;
    std::string out;
    engine::ProtectionOptions options;
    FaultyFileSystem fs;
    RecordingReporter reporter;
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
    EXPECT_TRUE(reporter.messages.empty());
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

TEST_F(OutputPlacementTest, BackupKeepsTheSourceAsItWasAndReplacesAnOldBackup) {
    temp.write("site/sub/a.htm.bak", "an older backup that is longer than the page");
    FileEntry entry{"/sub/a.htm", site};
    EXPECT_EQ(place(entry, StorageMode::Overwrite, {}, true), site + "/sub/a.htm");
    EXPECT_EQ(test::readBytes(site + "/sub/a.htm.bak"), "source a");
    EXPECT_EQ(test::readBytes(site + "/sub/a.htm"), "source a");
}

TEST_F(OutputPlacementTest, NoBackupWhenNotChosenOrNotOverwriting) {
    for (const StorageMode mode : {StorageMode::Overwrite, StorageMode::CopyToFolder, StorageMode::CreateProtected}) {
        FileEntry entry{"/sub/a.htm", site};
        place(entry, mode, out, mode != StorageMode::Overwrite);
    }
    EXPECT_FALSE(std::filesystem::exists(site + "/sub/a.htm.bak"));
}

struct BackupFault {
    const char* name;
    FaultyFileSystem::Step step;
    int error;
    bool placed;
    std::string message; // empty: no message
    MessageIcon icon = MessageIcon::None;
    MessageTitle title = MessageTitle::ApplicationTitle;
};

class BackupFaults : public OutputPlacementTest, public ::testing::WithParamInterface<BackupFault> {};

TEST_P(BackupFaults, AreReportedOrPassedOverByTheirNumber) {
    const auto& c = GetParam();
    temp.write("site/sub/a.htm.bak", "old");
    fs.failAt(c.step, c.error, 0, ".bak");
    FileEntry entry{"/sub/a.htm", site};
    EXPECT_EQ(place(entry, StorageMode::Overwrite, {}, true), c.placed ? site + "/sub/a.htm" : "");
    if (c.message.empty())
        EXPECT_TRUE(reporter.messages.empty());
    else
        EXPECT_EQ(reporter.messages, (std::vector<ShownMessage>{{c.message, c.icon, c.title}}));
    EXPECT_EQ(test::readBytes(site + "/sub/a.htm.bak"), "old") << "a failed backup keeps the one before";
}

INSTANTIATE_TEST_SUITE_P(Steps, BackupFaults,
                         ::testing::Values(BackupFault{"CopyMissing", FaultyFileSystem::Step::Copy, ENOENT, true, ""},
                                           BackupFault{"CopyInvalid", FaultyFileSystem::Step::Copy, EINVAL, true, ""},
                                           BackupFault{"CopyRefused", FaultyFileSystem::Step::Copy, EACCES, false,
                                                       "Unable to Access File, Your file(s) may be read-only."},
                                           BackupFault{"CopyReadOnlyDisk", FaultyFileSystem::Step::Copy, EROFS, false,
                                                       "Unable to Access File, Your file(s) may be read-only."},
                                           BackupFault{"CopyDiskFull", FaultyFileSystem::Step::Copy, ENOSPC, false,
                                                       "Unknown Error 28\r\nNo space left on device",
                                                       MessageIcon::Exclamation, MessageTitle::MainCaption},
                                           BackupFault{"CopyIoError", FaultyFileSystem::Step::Copy, EIO, false,
                                                       "Unknown Error 5\r\nInput/output error",
                                                       MessageIcon::Exclamation, MessageTitle::MainCaption},
                                           BackupFault{"StatusIoError", FaultyFileSystem::Step::Status, EIO, false,
                                                       "Unknown Error 5\r\nInput/output error",
                                                       MessageIcon::Exclamation, MessageTitle::MainCaption}),
                         [](const auto& info) { return info.param.name; });

TEST_F(OutputPlacementTest, AReadOnlyBackupIsNotReplaced) {
    const std::string backup = temp.write("site/sub/a.htm.bak", "old");
    std::filesystem::permissions(backup, std::filesystem::perms::owner_read);
    FileEntry entry{"/sub/a.htm", site};
    EXPECT_EQ(place(entry, StorageMode::Overwrite, {}, true), "");
    EXPECT_EQ(reporter.messages, (std::vector<ShownMessage>{{std::string(messages::kBackupReadOnly), MessageIcon::None,
                                                             MessageTitle::ApplicationTitle}}));
    EXPECT_EQ(test::readBytes(backup), "old");
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
