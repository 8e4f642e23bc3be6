// A run asked to stop part way: the page in hand is finished, what is on its way reaches the disk, and every page
// not reached is left exactly as it was (its backup too) and reported.
#include "RecordingReporter.h"
#include "run/ProtectionRun.h"
#include "run/RestoreRun.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <stop_token>

namespace quillora::run {
namespace {

namespace fs = std::filesystem;
using test::readBytes;

const std::vector<std::string> kPages = {"a.htm", "b.htm", "c.htm", "d.htm", "e.htm"};

std::string original(const std::string& name) {
    return "<html><head><title>" + name + "</title></head><body><p>" + name + "</p></body></html>";
}

/// The disk, with the stop asked for the moment the run opens one named file: a front end's Stop pressed while
/// that page is in hand, at a point no timing can move.
class StopWhenOpened : public disk::PosixFileSystem {
public:
    StopWhenOpened(std::stop_source& stop, std::string path) : m_stop(stop), m_path(std::move(path)) {}

    std::error_code openLocked(const std::string& path, std::chrono::milliseconds wait,
                               std::unique_ptr<disk::LockedFile>& file) override {
        if (path == m_path)
            m_stop.request_stop();
        return disk::PosixFileSystem::openLocked(path, wait, file);
    }
    std::error_code copyFile(const std::string& from, const std::string& to) override {
        if (from == m_path)
            m_stop.request_stop();
        return disk::PosixFileSystem::copyFile(from, to);
    }

private:
    std::stop_source& m_stop;
    std::string m_path;
};

struct StopCase {
    const char* name;
    std::size_t stopAt; // index into kPages
    bool threaded;
    engine::StorageMode mode;
};

void PrintTo(const StopCase& stopCase, std::ostream* out) {
    *out << stopCase.name;
}

class StopTest : public ::testing::TestWithParam<StopCase> {
protected:
    std::vector<SelectionEntry> pickEach() {
        std::vector<SelectionEntry> picks;
        for (const auto& name : kPages)
            picks.push_back({temp.write(name, original(name)), false});
        return picks;
    }
    std::string outputOf(const std::string& name) const {
        return GetParam().mode == engine::StorageMode::CreateProtected ? temp / ("protected_" + name) : temp / name;
    }

    test::TempFolder temp;
    engine::ProtectionOptions options;
    test::RecordingReporter reporter;
    std::stop_source stop;
};

TEST_P(StopTest, ThePageInHandIsFinishedAndTheOthersAreLeftAsTheyWere) {
    const StopCase& row = GetParam();
    options.storageMode = row.mode;
    const auto picks = pickEach();
    StopWhenOpened disk(stop, temp / kPages[row.stopAt]);

    const RunSummary summary =
        ProtectionRun(options, reporter, disk, row.threaded).ProtectFiles(picks, stop.get_token());

    const std::size_t done = row.stopAt + 1;
    std::vector<std::string> events = {"scanning", "found 5"};
    std::vector<std::string> notReached;
    for (std::size_t i = 0; i < kPages.size(); ++i) {
        const std::string& name = kPages[i];
        if (i < done) {
            EXPECT_NE(readBytes(outputOf(name)), original(name)) << name << " was in hand or before it";
            events.push_back("written " + outputOf(name));
            continue;
        }
        notReached.push_back(temp / name);
        events.push_back("not reached " + temp / name);
        EXPECT_EQ(readBytes(temp / name), original(name)) << name;
        EXPECT_FALSE(fs::exists(temp / (name + ".bak"))) << name;
        EXPECT_FALSE(fs::exists(temp / ("protected_" + name))) << name;
    }
    EXPECT_EQ(summary.written, done);
    EXPECT_EQ(summary.notReached, kPages.size() - done);
    EXPECT_EQ(summary.stopped, done < kPages.size());
    EXPECT_EQ(summary.allDone(), done == kPages.size());
    EXPECT_EQ(reporter.notReached, notReached);
    EXPECT_EQ(reporter.events, events) << "in the run's order, every page once";
    ASSERT_FALSE(reporter.progress.empty());
    EXPECT_EQ(reporter.progress.back(), std::make_pair(done, kPages.size()));
}

INSTANTIATE_TEST_SUITE_P(
    Runs, StopTest,
    ::testing::Values(StopCase{"AtTheFirstPage", 0, true, engine::StorageMode::Overwrite},
                      StopCase{"InTheMiddle", 2, true, engine::StorageMode::Overwrite},
                      StopCase{"InTheMiddleWithoutAWriterThread", 2, false, engine::StorageMode::Overwrite},
                      StopCase{"InTheMiddleBesideTheOriginals", 2, true, engine::StorageMode::CreateProtected},
                      StopCase{"AtTheLastPageNothingIsLeft", 4, true, engine::StorageMode::Overwrite}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(StopRunTest, APagePickedTwiceThatWasProtectedIsNotListedAsLeftAlone) {
    test::TempFolder temp;
    for (const auto& name : kPages)
        temp.write("site/" + name, original(name));
    std::stop_source stop;
    StopWhenOpened disk(stop, temp / "site/b.htm");
    test::RecordingReporter reporter;
    const engine::ProtectionOptions options;

    const RunSummary summary =
        ProtectionRun(options, reporter, disk)
            .ProtectFiles({{temp / "site", true}, {temp / "site/a.htm", false}, {temp / "site/e.htm", false}},
                          stop.get_token());

    EXPECT_EQ(summary.written, 2u);
    EXPECT_EQ(reporter.notReached,
              (std::vector<std::string>{temp / "site/c.htm", temp / "site/d.htm", temp / "site/e.htm"}));
    EXPECT_EQ(summary.notReached, 3u);
    EXPECT_EQ(readBytes(temp / "site/e.htm"), original("e.htm"));
}

TEST(StopRunTest, ACopyStoppedAmongTheOtherFilesCopiesNoMore) {
    test::TempFolder temp;
    temp.write("site/index.htm", original("index"));
    for (const char* name : {"site/1.png", "site/2.png", "site/3.png", "site/4.png"})
        temp.write(name, name);
    std::stop_source stop;
    StopWhenOpened disk(stop, temp / "site/1.png");
    test::RecordingReporter reporter;
    engine::ProtectionOptions options;
    options.storageMode = engine::StorageMode::CopyToFolder;
    options.targetFolder = temp / "out";

    const RunSummary summary =
        ProtectionRun(options, reporter, disk).ProtectFiles({{temp / "site", true}}, stop.get_token());

    EXPECT_EQ(summary.written, 1u);
    EXPECT_EQ(summary.otherFilesCopied, 1u);
    EXPECT_EQ(summary.otherFilesNotCopied, 3u);
    EXPECT_TRUE(summary.stopped);
    EXPECT_FALSE(summary.allDone());
    EXPECT_EQ(readBytes(temp / "out/1.png"), "site/1.png");
    for (const char* name : {"out/2.png", "out/3.png", "out/4.png"})
        EXPECT_FALSE(fs::exists(temp / name)) << name;
}

TEST(StopRunTest, ARestoreStoppedLeavesTheRestProtectedWithTheirBackups) {
    test::TempFolder temp;
    std::vector<SelectionEntry> picks;
    for (const auto& name : kPages)
        picks.push_back({temp.write(name, original(name)), false});
    disk::PosixFileSystem plain;
    test::RecordingReporter protecting;
    ASSERT_EQ(ProtectionRun(engine::ProtectionOptions{}, protecting, plain).ProtectFiles(picks).written, 5u);
    std::stop_source stop;
    StopWhenOpened disk(stop, temp / "b.htm");
    test::RecordingReporter reporter;

    const RunSummary summary = RestoreRun(reporter, disk).Restore(picks, stop.get_token());

    EXPECT_EQ(summary.written, 2u);
    EXPECT_EQ(summary.notReached, 3u);
    EXPECT_TRUE(summary.stopped);
    EXPECT_EQ(reporter.notReached, (std::vector<std::string>{temp / "c.htm", temp / "d.htm", temp / "e.htm"}));
    for (const std::string name : {"a.htm", "b.htm"}) {
        EXPECT_EQ(readBytes(temp / name), original(name));
        EXPECT_FALSE(fs::exists(temp / (name + ".bak")));
    }
    for (const std::string name : {"c.htm", "d.htm", "e.htm"}) {
        EXPECT_TRUE(CarriesProtection(readBytes(temp / name))) << name;
        EXPECT_EQ(readBytes(temp / (name + ".bak")), original(name)) << name;
    }
}

} // namespace
} // namespace quillora::run
