// Copy mode takes the site's other files along (images, style sheets, scripts, hidden files), so that the copy can be
// published: each arrives as it is, a file the run cannot copy is named, and nothing is written over a picked source.
#include "RecordingReporter.h"
#include "run/ErrorNumbers.h"
#include "run/ProtectionRun.h"

#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace quillora::run {
namespace {

namespace fs = std::filesystem;
using Step = test::FaultyFileSystem::Step;
using test::readBytes;

const std::string kPage = "<html><head><title>t</title></head><body>hidden</body></html>";

struct stat statOf(const std::string& path) {
    struct stat st {};
    ::stat(path.c_str(), &st);
    return st;
}

std::int64_t modifiedNs(const std::string& path) {
    const struct stat st = statOf(path);
    return static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
}

void setModified(const std::string& path, std::int64_t seconds, long nanoseconds) {
    const struct timespec times[2] = {{seconds, nanoseconds}, {seconds, nanoseconds}};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
}

class CopyOtherFilesTest : public ::testing::Test {
protected:
    CopyOtherFilesTest() {
        options.storageMode = engine::StorageMode::CopyToFolder;
        options.targetFolder = temp / "out";
    }
    RunSummary run(const std::vector<SelectionEntry>& selection) {
        reporter = {};
        return ProtectionRun(options, reporter, disk).ProtectFiles(selection);
    }
    SelectionEntry folder(std::string_view relative) const { return {temp / relative, true}; }

    test::TempFolder temp;
    engine::ProtectionOptions options;
    test::RecordingReporter reporter;
    test::FaultyFileSystem disk;
};

TEST_F(CopyOtherFilesTest, OtherFilesArriveByteForByteWithTheirModesAndTimes) {
    struct Other {
        const char* name;
        std::string bytes;
        unsigned mode;
    };
    const Other others[] = {
        {"img/logo.png", std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16), 0644},
        {"style.css", "body { color: red }", 0600},
        {"js/app.js", "document.title = 'x';", 0755},
        {".htaccess", "Options -Indexes\n", 0640},
        {"empty.txt", "", 0444},
    };
    temp.write("site/index.htm", kPage);
    for (const auto& other : others) {
        const std::string path = temp.write(std::string("site/") + other.name, other.bytes);
        ASSERT_EQ(::chmod(path.c_str(), other.mode), 0);
        setModified(path, 1000000000, 123456789);
    }

    const auto summary = run({folder("site")});

    EXPECT_EQ(summary.written, 1u);
    EXPECT_EQ(summary.otherFilesCopied, std::size(others));
    EXPECT_EQ(summary.otherFilesFailed, 0u);
    EXPECT_TRUE(summary.allDone());
    EXPECT_EQ(reporter.outputs, std::vector<std::string>{temp / "out/index.htm"}) << "the results list holds pages";
    for (const auto& other : others) {
        const std::string source = temp / (std::string("site/") + other.name);
        const std::string copy = temp / (std::string("out/") + other.name);
        EXPECT_EQ(readBytes(copy), other.bytes) << other.name;
        EXPECT_EQ(test::permissionsOf(copy), other.mode) << other.name;
        EXPECT_EQ(modifiedNs(copy), modifiedNs(source)) << other.name;
        EXPECT_NE(statOf(copy).st_ino, statOf(source).st_ino) << other.name << " is a copy, not a second name";
    }
}

// A name ending in "~" is an editor's leftover, whether a run made it or it merely looks like one: it stays behind
// either way, and only a run's own is ever removed (never here: copy mode only reads the source).
TEST_F(CopyOtherFilesTest, BackupsOfPagesAndTheRunsTemporaryFilesStayBehind) {
    struct Name {
        const char* name;
        bool copied;
    };
    // Any backup or editor leftover holds an earlier text of its file: none is published.
    const Name names[] = {
        {"a.htm.bak", false},         {"sub/b.html.bak", false},
        {".c.htm.~abcd1234~", false}, {".logo.png.~0a1b2c3d~", false},
        {".notes.~20240101~", false}, {".c.htm.~abcd1234abcd1234~", false},
        {"notes.bak", false},         {"UPPER.HTM", true},
        {"a.htm.bak.txt", true},      {".hidden/inside.txt", true},
        {".~abcd1234~", false},
    };
    temp.write("site/a.htm", kPage);
    for (const auto& entry : names)
        temp.write(std::string("site/") + entry.name, entry.name);
    const std::string leftovers[] = {test::writeLeftover(temp / "site", "c.htm", "half a page"),
                                     test::writeLeftover(temp / "site", "logo.png", "half a logo")};

    const auto summary = run({folder("site")});

    EXPECT_EQ(summary.otherFilesFailed, 0u);
    std::size_t copied = 0;
    for (const auto& entry : names) {
        EXPECT_EQ(fs::exists(temp / (std::string("out/") + entry.name)), entry.copied) << entry.name;
        copied += entry.copied ? 1 : 0;
    }
    for (const auto& leftover : leftovers) {
        EXPECT_FALSE(fs::exists(temp / "out" / fs::path(leftover).filename())) << leftover;
        EXPECT_TRUE(fs::exists(leftover)) << "a folder copy mode only reads is never cleaned";
    }
    EXPECT_EQ(summary.otherFilesCopied, copied);
}

TEST_F(CopyOtherFilesTest, PagesOnlyCopiesNothingElse) {
    temp.write("site/a.htm", kPage);
    temp.write("site/logo.png", "png");
    options.copyOtherFiles = false;

    const auto summary = run({folder("site")});

    EXPECT_EQ(summary.written, 1u);
    EXPECT_EQ(summary.otherFilesCopied, 0u);
    EXPECT_FALSE(fs::exists(temp / "out/logo.png"));
}

TEST_F(CopyOtherFilesTest, ALinkToAFileIsCopiedAsTheFile) {
    temp.write("elsewhere/shared.css", "p { margin: 0 }");
    temp.write("site/a.htm", kPage);
    fs::create_symlink("../elsewhere/shared.css", temp / "site/linked.css");

    const auto summary = run({folder("site")});

    EXPECT_EQ(summary.otherFilesCopied, 1u);
    EXPECT_FALSE(fs::is_symlink(temp / "out/linked.css"));
    EXPECT_TRUE(fs::is_regular_file(temp / "out/linked.css"));
    EXPECT_EQ(readBytes(temp / "out/linked.css"), "p { margin: 0 }");
}

TEST_F(CopyOtherFilesTest, FilesThatCannotBeReadAreNamedAndTheRestIsCopied) {
    temp.write("site/a.htm", kPage);
    temp.write("site/style.css", "kept");
    const std::string secret = temp.write("site/secret.png", "unreadable");
    fs::create_symlink("nowhere.png", temp / "site/gone.png");
    // What the disk answers a user who may not read the file (root may read it, so the test plays the disk).
    disk.failAt(Step::OpenLocked, EACCES, 0, "site/secret.png");
    disk.failAt(Step::Copy, EACCES, 0, "out/secret.png");

    const auto summary = run({folder("site")});

    EXPECT_EQ(summary.written, 1u);
    EXPECT_EQ(summary.otherFilesCopied, 1u);
    EXPECT_EQ(summary.otherFilesFailed, 2u);
    EXPECT_FALSE(summary.allDone());
    ASSERT_EQ(reporter.otherFailures.size(), 2u);
    const auto& [gonePath, gone] = reporter.otherFailures[0];
    EXPECT_EQ(gonePath, temp / "site/gone.png");
    EXPECT_EQ(gone.step, PageProblem::Step::Read);
    EXPECT_EQ(gone.error, std::errc::no_such_file_or_directory);
    EXPECT_EQ(gone.path, temp / "site/gone.png") << "the dangling link is named, not its copy";
    const auto& [secretPath, unreadable] = reporter.otherFailures[1];
    EXPECT_EQ(secretPath, secret);
    EXPECT_EQ(messages::pageProblem(unreadable).text, messages::unableToAccessFile(secret))
        << "the file that cannot be read is named, not the copy that was never made";
    EXPECT_EQ(readBytes(temp / "out/style.css"), "kept");
    EXPECT_FALSE(fs::exists(temp / "out/gone.png"));
    EXPECT_FALSE(fs::exists(temp / "out/secret.png"));
    EXPECT_EQ(temp.files(), (std::vector<std::string>{"out/a.htm", "out/style.css", "site/a.htm", "site/gone.png",
                                                      "site/secret.png", "site/style.css"}))
        << "no temporary file left";
}

TEST_F(CopyOtherFilesTest, ATargetInsideThePickedTreeIsNeverCopiedIntoItself) {
    temp.write("site/a.htm", kPage);
    temp.write("site/logo.png", "png");
    options.targetFolder = temp / "site/out";

    EXPECT_EQ(run({folder("site")}).otherFilesCopied, 1u);
    const auto again = run({folder("site")});

    EXPECT_EQ(again.otherFilesCopied, 1u) << "the first copy is not a part of the site";
    EXPECT_TRUE(again.allDone());
    EXPECT_EQ(readBytes(temp / "site/out/logo.png"), "png");
    EXPECT_FALSE(fs::exists(temp / "site/out/out"));
}

TEST_F(CopyOtherFilesTest, AnOtherFileIsNeverCopiedOverAPickedSource) {
    // other/sub/x.png would land on site/sub/x.png, a file of a picked folder.
    temp.write("site/sub/x.png", "picked");
    temp.write("other/index.htm", kPage);
    temp.write("other/sub/x.png", "the other one");
    options.targetFolder = temp / "site";

    const auto summary = run({folder("site/sub"), folder("other")});

    EXPECT_EQ(summary.outcome, RunSummary::Outcome::Ran);
    EXPECT_EQ(summary.otherFilesFailed, 1u);
    ASSERT_EQ(reporter.otherFailures.size(), 1u);
    EXPECT_EQ(reporter.otherFailures[0].first, temp / "other/sub/x.png");
    EXPECT_EQ(reporter.otherFailures[0].second.error, RunError::OutputIsAPickedPage);
    EXPECT_EQ(reporter.otherFailures[0].second.path, temp / "site/sub/x.png");
    EXPECT_EQ(readBytes(temp / "site/sub/x.png"), "picked");
    EXPECT_EQ(readBytes(temp / "site/x.png"), "picked") << "site/sub's own file, copied into the target";
}

} // namespace
} // namespace quillora::run
