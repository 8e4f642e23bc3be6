#include "run/ProcessedFiles.h"

#include "RecordingReporter.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace quillora::run {
namespace {

using disk::FileStatus;
using disk::PosixFileSystem;

TEST(ProcessedFiles, TwoSpellingsOfOneFileCountOnce) {
    test::TempFolder temp;
    const std::string page = temp.write("site/b.htm", "b");
    temp.write("site/a/x", "");
    std::filesystem::create_symlink(page, temp / "link.htm");
    disk::PosixFileSystem fs;
    ProcessedFiles processed(fs);
    EXPECT_TRUE(processed.add(page));
    for (const std::string& spelling :
         {temp / "site/a/../b.htm", temp / "site//b.htm", temp / "./site/b.htm", temp / "link.htm"})
        EXPECT_FALSE(processed.add(spelling)) << spelling;
}

TEST(ProcessedFiles, ASecondNameOfTheSameFileIsAPageOfItsOwn) {
    // Replacing one name of a hard-linked page leaves the other serving the old file: both must be handled.
    test::TempFolder temp;
    const std::string page = temp.write("a.htm", "a");
    std::filesystem::create_hard_link(page, temp / "b.htm");
    std::filesystem::create_symlink(temp / "b.htm", temp / "link-to-b.htm");
    disk::PosixFileSystem fs;
    ProcessedFiles processed(fs);
    EXPECT_TRUE(processed.add(page));
    EXPECT_TRUE(processed.add(temp / "b.htm"));
    EXPECT_FALSE(processed.add(temp / "./b.htm"));
    EXPECT_FALSE(processed.add(temp / "link-to-b.htm"));
    EXPECT_FALSE(processed.add(temp / "a.htm"));
}

TEST(ProcessedFiles, DifferentFilesAndLetterCaseOnACaseSensitiveDiskCountApart) {
    test::TempFolder temp;
    disk::PosixFileSystem fs;
    ProcessedFiles processed(fs);
    EXPECT_TRUE(processed.add(temp.write("a.htm", "a")));
    EXPECT_TRUE(processed.add(temp.write("A.htm", "A")));
    EXPECT_FALSE(processed.add(temp / "A.htm"));
}

TEST(ProcessedFiles, AMissingFileIsKeyedOnItsResolvedPath) {
    test::TempFolder temp;
    temp.write("sub/x", "");
    disk::PosixFileSystem fs;
    ProcessedFiles processed(fs);
    EXPECT_TRUE(processed.add(temp / "gone.htm"));
    EXPECT_FALSE(processed.add(temp / "sub/../gone.htm"));
    EXPECT_TRUE(processed.add(temp / "other.htm"));
}

TEST(ProcessedFiles, AFileReplacedInThisRunStaysHandled) {
    test::TempFolder temp;
    const std::string page = temp.write("a.htm", "a");
    disk::PosixFileSystem fs;
    ProcessedFiles processed(fs);
    EXPECT_TRUE(processed.add(page));
    // Replaced by a new file under the same name, as a page written in place is.
    std::filesystem::rename(temp.write("new.tmp", "n"), page);
    disk::FileStatus status;
    ASSERT_FALSE(fs.status(page, status));
    processed.addWritten(status.identity, page);
    EXPECT_FALSE(processed.add(temp / "./a.htm"));
    processed.clear();
    EXPECT_TRUE(processed.add(page));
}

} // namespace
} // namespace quillora::run
