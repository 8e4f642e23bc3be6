// A page another program holds locked: the run names it once the wait lasts, and gives it up after a bounded wait
// instead of waiting for good.
#include "run/PageLock.h"

#include "RecordingReporter.h"
#include "run/ErrorNumbers.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

namespace quillora::run {
namespace {

using namespace std::chrono_literals;

class WaitRecorder : public test::RecordingReporter {
public:
    void waitingForPage(const FileEntry& entry, std::chrono::seconds bound) override {
        waits.emplace_back(entry.fullPath(), bound);
    }
    std::vector<std::pair<std::string, std::chrono::seconds>> waits;
};

class PageLockTest : public ::testing::Test {
protected:
    void SetUp() override { page = temp.write("b.htm", "<p>b</p>"); }
    /// Holds the page's lock, as another program would, until the test ends.
    void holdIt() {
        m_holder = ::open(page.c_str(), O_RDONLY);
        ASSERT_GE(m_holder, 0);
        ASSERT_EQ(::flock(m_holder, LOCK_EX), 0);
    }
    void TearDown() override {
        if (m_holder >= 0)
            ::close(m_holder);
    }
    std::error_code open(const LockWait& wait) { return OpenPageWaiting(disk, reporter, {page, {}}, page, wait, file); }

    test::TempFolder temp;
    std::string page;
    disk::PosixFileSystem disk;
    WaitRecorder reporter;
    std::unique_ptr<disk::LockedFile> file;

private:
    int m_holder = -1;
};

TEST_F(PageLockTest, APageHeldPastTheWaitIsNamedOnceAndGivenUp) {
    holdIt();
    EXPECT_EQ(open({10ms, 1500ms}), RunError::LockedTooLong);
    EXPECT_EQ(file, nullptr);
    ASSERT_EQ(reporter.waits.size(), 1u);
    EXPECT_EQ(reporter.waits[0].first, page);
    EXPECT_EQ(reporter.waits[0].second, 2s) << "the bound as the front end words it, in whole seconds";
}

TEST_F(PageLockTest, AWaitShorterThanItsAnnouncementGivesUpWithoutAWord) {
    holdIt();
    EXPECT_EQ(open({1000ms, 20ms}), RunError::LockedTooLong);
    EXPECT_TRUE(reporter.waits.empty());
    EXPECT_EQ(open({1000ms, 0ms}), RunError::LockedTooLong) << "no wait at all";
}

TEST_F(PageLockTest, AFreePageIsTakenAtOnceWithoutAWord) {
    EXPECT_FALSE(open({0ms, 60000ms}));
    ASSERT_NE(file, nullptr);
    EXPECT_TRUE(reporter.waits.empty());
    EXPECT_EQ(messages::pageProblem({PageProblem::Step::Read, RunError::LockedTooLong, page}).text,
              page + ": Locked by another program; left as it is");
}

} // namespace
} // namespace quillora::run
