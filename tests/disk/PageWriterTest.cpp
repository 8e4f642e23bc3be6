#include "disk/PageWriter.h"

#include "DiskTestSupport.h"

#include <cerrno>
#include <filesystem>
#include <gtest/gtest.h>

namespace quillora::disk {
namespace {

using Step = test::FaultyFileSystem::Step;
using test::TempFolder;

class PageWriterTest : public ::testing::Test {
protected:
    std::error_code write(const std::string& path, std::string_view bytes) {
        FileIdentity identity;
        return PageWriter(fs).write(path, bytes, identity);
    }

    TempFolder temp;
    test::FaultyFileSystem fs;
};

TEST_F(PageWriterTest, WritesANewPageInItsSet) {
    EXPECT_FALSE(write(temp / "new.htm", "\xEF\xBB\xBF"
                                         "caf\xC3\xA9"));
    EXPECT_EQ(test::readBytes(temp / "new.htm"), "\xEF\xBB\xBF"
                                                 "caf\xC3\xA9");
    EXPECT_EQ(temp.files(), std::vector<std::string>{"new.htm"});
}

TEST_F(PageWriterTest, ReplacesAnOldPageWholeAndKeepsItsPermissionBits) {
    const std::string page = temp.write("page.htm", std::string(100000, 'x'));
    std::filesystem::permissions(page, std::filesystem::perms(0640));
    EXPECT_FALSE(write(page, "short"));
    EXPECT_EQ(test::readBytes(page), "short");
    EXPECT_EQ(test::permissionsOf(page), 0640u);
}

TEST_F(PageWriterTest, TellsTheIdentityOfTheFileWritten) {
    const std::string page = temp.write("page.htm", "old");
    FileIdentity identity;
    ASSERT_FALSE(PageWriter(fs).write(page, "new", identity));
    FileStatus status;
    ASSERT_FALSE(fs.status(page, status));
    EXPECT_EQ(identity, status.identity);
}

TEST_F(PageWriterTest, WritesThroughALinkToItsTarget) {
    const std::string target = temp.write("real/page.htm", "old");
    std::filesystem::create_symlink(target, temp / "link.htm");
    EXPECT_FALSE(write(temp / "link.htm", "new"));
    EXPECT_TRUE(std::filesystem::is_symlink(temp / "link.htm"));
    EXPECT_EQ(test::readBytes(target), "new");
    EXPECT_EQ(temp.files(), (std::vector<std::string>{"link.htm", "real/page.htm"}));
}

TEST_F(PageWriterTest, RefusesAReadOnlyPageEvenForRoot) {
    const std::string page = temp.write("page.htm", "old");
    std::filesystem::permissions(page, std::filesystem::perms(0444));
    EXPECT_EQ(write(page, "new"), std::errc::permission_denied);
    EXPECT_EQ(test::readBytes(page), "old");
}

TEST_F(PageWriterTest, RefusesAFolder) {
    std::filesystem::create_directory(temp / "dir.htm");
    EXPECT_EQ(write(temp / "dir.htm", "new"), std::errc::is_a_directory);
}

struct WriteFault {
    const char* name;
    Step step;
    int error;
    int nth;
};

class WriteFaults : public PageWriterTest, public ::testing::WithParamInterface<WriteFault> {};

TEST_P(WriteFaults, LeaveTheOldPageAndNoTemporaryFile) {
    const auto& c = GetParam();
    const std::string page = temp.write("page.htm", "the only copy");
    fs.failAt(c.step, c.error, c.nth);
    const std::string bytes(300000, 'y');
    const auto error = write(page, bytes);
    EXPECT_EQ(error.value(), c.error);
    EXPECT_EQ(test::readBytes(page), "the only copy");
    EXPECT_EQ(temp.files(), std::vector<std::string>{"page.htm"});
}

INSTANTIATE_TEST_SUITE_P(Steps, WriteFaults,
                         ::testing::Values(WriteFault{"TempCreateRefused", Step::CreateTemp, EACCES, 1},
                                           WriteFault{"DiskFullHalfWay", Step::Write, ENOSPC, 1},
                                           WriteFault{"PermissionsNotKept", Step::KeepAttributes, EPERM, 1},
                                           WriteFault{"FlushFails", Step::Finish, EIO, 1},
                                           WriteFault{"RenameFails", Step::Rename, EXDEV, 1}),
                         [](const auto& info) { return info.param.name; });

TEST_F(PageWriterTest, AFailedNewPageLeavesNothingBehind) {
    fs.failAt(Step::Write, ENOSPC, 1);
    EXPECT_EQ(write(temp / "new.htm", "text").value(), ENOSPC);
    EXPECT_TRUE(temp.files().empty());
}

TEST_F(PageWriterTest, AMissingFolderIsAFailure) {
    EXPECT_EQ(write(temp / "no/such/page.htm", "text"), std::errc::no_such_file_or_directory);
}

TEST_F(PageWriterTest, AnEmptyPageIsWrittenEmpty) {
    const std::string page = temp.write("page.htm", "old");
    EXPECT_FALSE(write(page, ""));
    EXPECT_EQ(test::readBytes(page), "");
}

} // namespace
} // namespace quillora::disk
