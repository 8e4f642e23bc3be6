#include "disk/OpenFiles.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

namespace quillora::disk {
namespace {

// Each page in flight may hold one file while it waits and three while it is written (its lock, its new file, its
// backup's copy); whatever the limit, that must fit beside what is open already and what the rest of the run needs.
TEST(OpenFiles, PagesInFlightFitTheLimitWhateverItIs) {
    for (const std::size_t inUse : {3u, 10u, 40u}) {
        for (std::size_t limit = 32; limit <= 4096; limit += 7) {
            const std::size_t pages = PagesInFlight(limit, inUse);
            ASSERT_GE(pages, 1u);
            ASSERT_LE(pages, 64u);
            if (pages > 1) {
                ASSERT_LE(inUse + 16 + 4 * pages, limit) << limit << " " << inUse;
            }
        }
    }
    EXPECT_EQ(PagesInFlight(1024, 3), 64u) << "a shell's usual limit takes the full group";
    EXPECT_GE(PagesInFlight(64, 4), 8u) << "'ulimit -n 64' still writes in groups";
    EXPECT_EQ(PagesInFlight(16, 4), 1u);
}

TEST(OpenFiles, TheSoftLimitIsRaisedToTheHardOne) {
    rlimit before{};
    ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &before), 0);
    rlimit lowered = before;
    lowered.rlim_cur = 64;
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &lowered), 0);
    const std::size_t limit = RaiseOpenFileLimit();
    rlimit after{};
    ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &after), 0);
    ::setrlimit(RLIMIT_NOFILE, &before);
    EXPECT_EQ(after.rlim_cur, before.rlim_max);
    EXPECT_EQ(limit, before.rlim_max == RLIM_INFINITY ? static_cast<std::size_t>(-1) : before.rlim_max);
}

TEST(OpenFiles, TheFilesInUseAreCounted) {
    const std::size_t before = OpenFilesInUse();
    const int fd = ::open("/dev/null", O_RDONLY);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(OpenFilesInUse(), before + 1);
    ::close(fd);
    EXPECT_EQ(OpenFilesInUse(), before);
}

} // namespace
} // namespace quillora::disk
