// The sealing thread: work handed over is done one at a time, in order, away from the caller, and none of it is
// dropped, however the thread is ended.
#include "run/SealingThread.h"

#include "RecordingReporter.h"
#include "run/PageCommitter.h"

#include <atomic>
#include <filesystem>
#include <future>
#include <gtest/gtest.h>
#include <stdexcept>
#include <thread>
#include <vector>

namespace quillora::run {
namespace {

TEST(SealingThreadTest, WorkIsDoneOneAtATimeInTheOrderHandedOverAndAwayFromTheCaller) {
    std::atomic<int> busy = 0;
    std::atomic<int> mostAtOnce = 0;
    std::vector<int> order; // touched by the sealing thread only, read once its work is done
    std::vector<std::future<SealResult>> results;
    {
        SealingThread sealer;
        const auto caller = std::this_thread::get_id();
        for (int i = 0; i < 200; ++i) {
            results.push_back(sealer.seal([&, i] {
                mostAtOnce = std::max(mostAtOnce.load(), ++busy);
                order.push_back(i);
                SealResult sealed;
                sealed.bytes = std::to_string(i);
                if (std::this_thread::get_id() == caller)
                    sealed.error = std::make_error_code(std::errc::operation_not_permitted);
                --busy;
                return sealed;
            }));
        }
        for (int i = 0; i < 200; ++i) {
            SealResult sealed = results[static_cast<std::size_t>(i)].get();
            EXPECT_FALSE(sealed.error) << i << ": sealed on the caller's thread";
            EXPECT_EQ(sealed.bytes, std::to_string(i));
        }
    }
    EXPECT_EQ(mostAtOnce, 1);
    ASSERT_EQ(order.size(), 200u);
    for (int i = 0; i < 200; ++i)
        EXPECT_EQ(order[static_cast<std::size_t>(i)], i);
}

TEST(SealingThreadTest, EndingItDoesTheWorkStillWaitingAndPassesOnWhatTheWorkThrew) {
    std::promise<void> gate;
    std::shared_future<void> opened = gate.get_future().share();
    std::vector<std::future<SealResult>> results;
    std::thread opener;
    {
        SealingThread sealer;
        results.push_back(sealer.seal([opened] {
            opened.wait(); // the rest waits behind this
            return SealResult{{}, "first"};
        }));
        results.push_back(sealer.seal([]() -> SealResult { throw std::bad_alloc(); }));
        for (int i = 0; i < 5; ++i)
            results.push_back(sealer.seal([i] { return SealResult{{}, "later " + std::to_string(i)}; }));
        opener = std::thread([&gate] { gate.set_value(); });
    } // ended while the work waits
    opener.join();
    EXPECT_EQ(results[0].get().bytes, "first");
    EXPECT_THROW(results[1].get(), std::bad_alloc);
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(results[static_cast<std::size_t>(i) + 2].get().bytes, "later " + std::to_string(i));
}

// A page whose sealing failed is given up where the committer meets it, as its reader would have: reported in its
// place with the reason, its lock let go, nothing written for it.
TEST(SealingThreadTest, APageThatCouldNotBeSealedIsGivenUpAndNothingIsWrittenForIt) {
    test::TempFolder temp;
    const std::string source = temp.write("site/a.htm", "<html><body>a</body></html>");
    disk::PosixFileSystem fs;
    test::RecordingReporter reporter;
    PageCommitter committer(fs, reporter, true);
    CommitItem item;
    item.entry = item.source = FileEntry{"a.htm", temp / "site/"};
    item.outputPath = temp / "out/a.htm";
    ASSERT_FALSE(disk::PageWriter(fs).resolve(item.outputPath, item.output));
    ASSERT_FALSE(fs.openLocked(source, std::chrono::milliseconds(0), item.lock));
    std::promise<SealResult> sealed;
    item.sealing = sealed.get_future();
    sealed.set_value({std::make_error_code(std::errc::io_error), {}});
    committer.submit(std::move(item));
    RunSummary summary;
    committer.finish(summary);

    EXPECT_EQ(summary.written, 0u);
    EXPECT_EQ(summary.givenUp, 1u);
    ASSERT_EQ(reporter.problems.size(), 1u);
    EXPECT_EQ(reporter.problems[0].page.fullPath(), source);
    EXPECT_EQ(reporter.problems[0].problem.error, std::errc::io_error);
    EXPECT_FALSE(std::filesystem::exists(temp / "out/a.htm"));
    std::unique_ptr<disk::LockedFile> again;
    EXPECT_FALSE(fs.openLocked(source, std::chrono::milliseconds(0), again)) << "its lock is let go";
}

} // namespace
} // namespace quillora::run
