#include "run/ProcessedFiles.h"

#include "RunTestSupport.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace quillora::run {
namespace {

TEST(ProcessedFiles, TwoSpellingsOfOneFileCountOnce) {
    test::TempFolder temp;
    const std::string page = temp.write("site/b.htm", "b");
    temp.write("site/a/x", "");
    std::filesystem::create_symlink(page, temp / "link.htm");
    std::filesystem::create_hard_link(page, temp / "hard.htm");
    PosixFileSystem fs;
    ProcessedFiles processed(fs);
    EXPECT_TRUE(processed.add(page));
    for (const std::string& spelling :
         {temp / "site/a/../b.htm", temp / "site//b.htm", temp / "./site/b.htm", temp / "link.htm", temp / "hard.htm"})
        EXPECT_FALSE(processed.add(spelling)) << spelling;
}

TEST(ProcessedFiles, DifferentFilesAndLetterCaseOnACaseSensitiveDiskCountApart) {
    test::TempFolder temp;
    PosixFileSystem fs;
    ProcessedFiles processed(fs);
    EXPECT_TRUE(processed.add(temp.write("a.htm", "a")));
    EXPECT_TRUE(processed.add(temp.write("A.htm", "A")));
    EXPECT_FALSE(processed.add(temp / "A.htm"));
}

TEST(ProcessedFiles, AMissingFileIsKeyedOnItsResolvedPath) {
    test::TempFolder temp;
    temp.write("sub/x", "");
    PosixFileSystem fs;
    ProcessedFiles processed(fs);
    EXPECT_TRUE(processed.add(temp / "gone.htm"));
    EXPECT_FALSE(processed.add(temp / "sub/../gone.htm"));
    EXPECT_TRUE(processed.add(temp / "other.htm"));
}

TEST(ProcessedFiles, AFileReplacedInThisRunStaysHandled) {
    test::TempFolder temp;
    const std::string page = temp.write("a.htm", "a");
    PosixFileSystem fs;
    ProcessedFiles processed(fs);
    EXPECT_TRUE(processed.add(page));
    // Replaced by a new file under the same name, as a page written in place is.
    std::filesystem::rename(temp.write("new.tmp", "n"), page);
    FileStatus status;
    ASSERT_FALSE(fs.status(page, status));
    processed.addWritten(status.identity);
    EXPECT_FALSE(processed.add(temp / "./a.htm"));
    processed.clear();
    EXPECT_TRUE(processed.add(page));
}

} // namespace
} // namespace quillora::run
