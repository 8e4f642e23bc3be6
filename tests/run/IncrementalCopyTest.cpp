#include "run/IncrementalCopy.h"

#include "RecordingReporter.h"
#include "crypto/Digest.h"
#include "run/ProtectionRun.h"

#include <cerrno>
#include <filesystem>
#include <gtest/gtest.h>
#include <stop_token>
#include <sys/stat.h>

namespace quillora::run {
namespace {

namespace fs = std::filesystem;
using engine::EncryptionMode;
using engine::StorageMode;
using Action = PageRecord::Action;
using Step = test::FaultyFileSystem::Step;
using test::readBytes;

std::string page(std::string_view word) {
    return "<html><head><title>t</title></head><body><p>" + std::string(word) + "</p></body></html>";
}

/// The modification time of a file, in nanoseconds.
std::int64_t modifiedNs(const std::string& path) {
    struct stat st {};
    EXPECT_EQ(::stat(path.c_str(), &st), 0) << path;
    return static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
}

/// Gives a file another modification time, as a generator that writes every file again does.
void touch(const std::string& path, int secondsLater) {
    const auto time = fs::last_write_time(path) + std::chrono::seconds(secondsLater);
    fs::last_write_time(path, time);
}

class IncrementalCopyTest : public ::testing::Test {
protected:
    IncrementalCopyTest() {
        temp.write("site/a.html", page("alpha"));
        temp.write("site/b.html", page("beta"));
        temp.write("site/sub/c.html", page("gamma"));
        temp.write("site/style.css", "body{}");
        options.storageMode = StorageMode::CopyToFolder;
        options.targetFolder = temp / "out";
    }

    RuleSet rules() const {
        RuleSet made(options);
        made.setRoot(temp / "site");
        if (!excluded.empty()) {
            PathPatternList list;
            std::string error;
            list.add(excluded, error);
            made.setExcluded(std::move(list));
        }
        return made;
    }
    RunSummary run(bool dryRun = false, std::stop_token stop = {}) {
        reporter = {};
        ProtectionRun protection(rules(), reporter, disk);
        protection.setIncremental(true);
        protection.setDryRun(dryRun);
        return protection.ProtectFiles({{temp / "site", true}}, std::move(stop));
    }
    /// The outputs' modification times, to tell what a run wrote again.
    std::map<std::string, std::int64_t> outputTimes() const {
        std::map<std::string, std::int64_t> times;
        for (const auto& name : temp.files()) {
            if (name.starts_with("out/"))
                times[name] = modifiedNs(temp / name);
        }
        return times;
    }
    std::vector<std::string> outputs() const {
        std::vector<std::string> names;
        for (const auto& name : temp.files()) {
            if (name.starts_with("out/") && name != "out/.quillora-manifest")
                names.push_back(name.substr(4));
        }
        return names;
    }

    test::TempFolder temp;
    engine::ProtectionOptions options;
    std::string excluded;
    test::RecordingReporter reporter;
    test::FaultyFileSystem disk;
};

TEST_F(IncrementalCopyTest, ASecondRunWritesNothing) {
    ASSERT_EQ(run().written, 3u);
    const auto before = outputTimes();
    const int opened = disk.callsOf(Step::OpenLocked);
    const auto summary = run();
    EXPECT_TRUE(summary.allDone());
    EXPECT_EQ(summary.written, 0u);
    EXPECT_EQ(summary.otherFilesCopied, 0u);
    EXPECT_EQ(summary.unchanged, 4u);
    EXPECT_EQ(outputTimes(), before) << "the manifest too: nothing to note";
    EXPECT_EQ(disk.callsOf(Step::OpenLocked), opened) << "no page was opened";
}

TEST_F(IncrementalCopyTest, OnlyAChangedPageIsWrittenAgain) {
    run();
    const auto before = outputTimes();
    temp.write("site/b.html", page("beta, changed"));
    const auto summary = run();
    EXPECT_EQ(summary.written, 1u);
    EXPECT_EQ(summary.unchanged, 3u);
    ASSERT_EQ(reporter.outputs, (std::vector<std::string>{temp / "out/b.html"}));
    auto after = outputTimes();
    EXPECT_NE(after["out/b.html"], before.at("out/b.html"));
    after.erase("out/b.html");
    after.erase("out/.quillora-manifest");
    auto expected = before;
    expected.erase("out/b.html");
    expected.erase("out/.quillora-manifest");
    EXPECT_EQ(after, expected);
    EXPECT_EQ(readBytes(temp / "out/b.html").find("beta"), std::string::npos) << "protected, as any page";
}

TEST_F(IncrementalCopyTest, APageWrittenAgainWithTheSameBytesIsUnchanged) {
    run();
    temp.write("site/a.html", page("alpha"));
    touch(temp / "site/a.html", 5);
    const auto summary = run();
    EXPECT_EQ(summary.written, 0u);
    EXPECT_EQ(summary.unchanged, 4u);
    // Its new time is noted: the next run does not read it again.
    reporter = {};
    disk.failAt(Step::ReadFile, EIO, 0, "site/a.html");
    EXPECT_EQ(run().unchanged, 4u);
    EXPECT_EQ(disk.strikes(), 0);
}

TEST_F(IncrementalCopyTest, ADeletedSourceTakesItsOutputAndItsEmptyFolderAlong) {
    run();
    fs::remove(temp / "site/sub/c.html");
    const auto summary = run();
    EXPECT_EQ(summary.removed, 1u);
    EXPECT_EQ(reporter.recorded(Action::Removed),
              (std::vector<std::string>{temp / "site/sub/c.html" + " -> " + temp / "out/sub/c.html"}));
    EXPECT_EQ(outputs(), (std::vector<std::string>{"a.html", "b.html", "style.css"}));
    EXPECT_FALSE(fs::exists(temp / "out/sub"));
}

// A stopped run leaves what it did not reach, and what it would have removed, to the next run.
TEST_F(IncrementalCopyTest, AStoppedRunRemovesNothingAndTheNextOneFinishes) {
    run();
    temp.write("site/b.html", page("beta, changed"));
    temp.write("site/new.html", page("delta"));
    fs::remove(temp / "site/sub/c.html");
    const auto before = outputTimes();
    std::stop_source stop;
    stop.request_stop();
    const auto stopped = run(false, stop.get_token());
    EXPECT_TRUE(stopped.stopped);
    EXPECT_FALSE(stopped.allDone());
    EXPECT_EQ(stopped.written, 0u);
    EXPECT_EQ(stopped.removed, 0u);
    EXPECT_EQ(stopped.notReached, 2u) << "the changed page and the new one";
    EXPECT_EQ(stopped.unchanged, 2u) << "a.html and the style sheet";
    auto after = outputTimes();
    after.erase("out/.quillora-manifest");
    auto expected = before;
    expected.erase("out/.quillora-manifest");
    EXPECT_EQ(after, expected) << "nothing written, nothing removed";

    const auto finished = run();
    EXPECT_TRUE(finished.allDone());
    EXPECT_EQ(finished.written, 2u);
    EXPECT_EQ(finished.removed, 1u);
    EXPECT_EQ(outputs(), (std::vector<std::string>{"a.html", "b.html", "new.html", "style.css"}));
    EXPECT_EQ(readBytes(temp / "out/new.html").find("delta"), std::string::npos) << "protected, as any page";
    EXPECT_EQ(run().written, 0u) << "nothing stale is left for a third run";
}

TEST_F(IncrementalCopyTest, NothingIsRemovedThatNoRunWrote) {
    run();
    temp.write("out/mine.html", "the user's own");
    temp.write("out/sub/notes.txt", "kept");
    temp.write("out/b.html", "edited in the target");
    fs::remove(temp / "site/b.html");
    fs::remove(temp / "site/sub/c.html");
    const auto summary = run();
    EXPECT_EQ(summary.removed, 1u) << "only sub/c.html, as the last run left it";
    EXPECT_EQ(readBytes(temp / "out/mine.html"), "the user's own");
    EXPECT_EQ(readBytes(temp / "out/b.html"), "edited in the target");
    EXPECT_EQ(readBytes(temp / "out/sub/notes.txt"), "kept");
    EXPECT_FALSE(fs::exists(temp / "out/sub/c.html"));
}

TEST_F(IncrementalCopyTest, AnOutputChangedInTheTargetIsWrittenAgain) {
    run();
    temp.write("out/a.html", "spoilt");
    const auto summary = run();
    EXPECT_EQ(summary.written, 1u);
    EXPECT_NE(readBytes(temp / "out/a.html"), "spoilt");
    fs::remove(temp / "out/style.css");
    EXPECT_EQ(run().otherFilesCopied, 1u) << "nothing missing";
    EXPECT_EQ(readBytes(temp / "out/style.css"), "body{}");
}

TEST_F(IncrementalCopyTest, ARuleChangeWritesItsPagesAgain) {
    run();
    options.encryptionMode = EncryptionMode::WholePage;
    EXPECT_EQ(run().written, 3u);
    options.insertNotice = true;
    EXPECT_EQ(run().written, 3u) << "the notice is part of what a page gets";
    EXPECT_EQ(run().written, 0u);
    options.scripts[engine::kScriptShortcuts] = true;
    EXPECT_EQ(run().written, 3u) << "a new script";
    options.scripts[engine::kScriptCopyAttribution] = true;
    EXPECT_EQ(run().written, 3u);
    options.copyAttribution = u"Read at";
    EXPECT_EQ(run().written, 3u) << "the attribution is part of the page";
    EXPECT_EQ(run().written, 0u);
}

TEST_F(IncrementalCopyTest, APathLeftOutLaterLeavesTheCopy) {
    run();
    excluded = "sub/";
    const auto summary = run();
    EXPECT_EQ(summary.removed, 1u);
    EXPECT_FALSE(fs::exists(temp / "out/sub/c.html"));
}

TEST_F(IncrementalCopyTest, APageThatFailsKeepsItsLastOutputAndIsDoneNextTime) {
    run();
    const std::string old = readBytes(temp / "out/a.html");
    temp.write("site/a.html", page("alpha, changed"));
    disk.failAt(Step::Rename, EIO, 0, "out/a.html");
    const auto failed = run();
    EXPECT_EQ(failed.givenUp, 1u);
    EXPECT_EQ(readBytes(temp / "out/a.html"), old) << "not removed: its source is there";
    test::FaultyFileSystem healthy;
    reporter = {};
    ProtectionRun again(rules(), reporter, healthy);
    again.setIncremental(true);
    const auto summary = again.ProtectFiles({{temp / "site", true}});
    EXPECT_EQ(summary.written, 1u);
    EXPECT_NE(readBytes(temp / "out/a.html"), old);
}

TEST_F(IncrementalCopyTest, ADryRunTellsWhatWouldChangeAndWritesNothing) {
    run();
    temp.write("site/a.html", page("alpha, changed"));
    fs::remove(temp / "site/b.html");
    const auto manifest = readBytes(temp / "out/.quillora-manifest");
    const auto before = outputTimes();
    run(true);
    EXPECT_EQ(outputTimes(), before);
    EXPECT_EQ(readBytes(temp / "out/.quillora-manifest"), manifest);
    EXPECT_EQ(reporter.recorded(Action::Protected).size(), 1u);
    EXPECT_EQ(reporter.recorded(Action::Unchanged).size(), 2u) << "sub/c.html and style.css";
    EXPECT_EQ(reporter.recorded(Action::Removed),
              (std::vector<std::string>{temp / "site/b.html" + " -> " + temp / "out/b.html"}));
}

// A run killed after it noted what it was about to write: whatever of that it wrote is its own, whatever stood
// there before it is not.
TEST_F(IncrementalCopyTest, AKilledRunsOutputsAreCleanedUpAndNothingElse) {
    run();
    temp.write("site/new.html", page("new"));
    temp.write("out/other.html", "written by somebody else before the run");
    temp.write("site/other.html", page("other"));
    {
        const RuleSet made = rules();
        IncrementalCopy killed(disk, made, options.targetFolder);
        killed.load();
        ASSERT_FALSE(killed.beginWriting(
            {{temp / "site/new.html", temp / "out/new.html"}, {temp / "site/other.html", temp / "out/other.html"}}));
        temp.write("out/new.html", "half of a run's output"); // then the run is killed
    }
    fs::remove(temp / "site/new.html");
    fs::remove(temp / "site/other.html");
    const auto summary = run();
    EXPECT_FALSE(fs::exists(temp / "out/new.html"));
    EXPECT_EQ(readBytes(temp / "out/other.html"), "written by somebody else before the run");
    EXPECT_EQ(summary.removed, 1u);
    EXPECT_EQ(outputs(), (std::vector<std::string>{"a.html", "b.html", "other.html", "style.css", "sub/c.html"}));
}

TEST_F(IncrementalCopyTest, AnEncryptedCopyKeepsItsSaltWhileThePasswordStays) {
    options.passwordProtect = true;
    options.encrypt = true;
    options.password = u"open sesame";
    options.allowWeakPassword = true; // the salt is what is looked at here
    run();
    const auto saltLine = [&] {
        const std::string manifest = readBytes(temp / "out/.quillora-manifest");
        return manifest.substr(0, manifest.find('\n', manifest.find("salt")));
    };
    const std::string first = saltLine();
    ASSERT_NE(first.find("salt\t"), std::string::npos);
    temp.write("site/a.html", page("alpha, changed"));
    EXPECT_EQ(run().written, 1u) << "the others open with the same key";
    EXPECT_EQ(saltLine(), first);
    const std::string unlockPage = readBytes(temp / "out/b.html");
    options.password = u"another";
    options.keyFile = temp / "another.quillora-key"; // the site's own key file opens with the first password only
    EXPECT_EQ(run().written, 3u) << "a new key: every page anew";
    EXPECT_NE(saltLine(), first);
    EXPECT_NE(readBytes(temp / "out/b.html"), unlockPage);
}

TEST_F(IncrementalCopyTest, AChangedUnlockTemplateWritesEveryEncryptedPageAgain) {
    options.passwordProtect = true;
    options.encrypt = true;
    options.password = u"open sesame";
    options.allowWeakPassword = true;
    options.unlockTemplate = temp / "unlock.html";
    temp.write("unlock.html", "<title>{{title}}</title><h1>Members</h1>{{form}}");
    ASSERT_EQ(run().written, 3u);
    EXPECT_EQ(run().written, 0u);
    temp.write("unlock.html", "<title>{{title}}</title><h1>Staff</h1>{{form}}");
    EXPECT_EQ(run().written, 3u);
    EXPECT_NE(readBytes(temp / "out/b.html").find("<h1>Staff</h1>"), std::string::npos);
}

TEST_F(IncrementalCopyTest, AnEncryptedPagesDigestConfirmsNoGuess) {
    options.passwordProtect = true;
    options.encrypt = true;
    options.password = u"open sesame";
    run();
    const std::string manifest = readBytes(temp / "out/.quillora-manifest");
    const auto plain = crypto::Digest::hex(crypto::Digest::sha256(page("alpha")));
    EXPECT_EQ(manifest.find(plain), std::string::npos);
}

} // namespace
} // namespace quillora::run
