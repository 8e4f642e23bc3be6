// The real quillora-cli as a user meets it when runs repeat, overlap or are killed, and when names are not pages:
// no original is ever lost, no page is protected twice, and every page is either written or named in a message.

#include "CliProcess.h"
#include "CliTestSupport.h"

#include <algorithm>
#include <fcntl.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <random>
#include <sys/resource.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace quillora::cli::test {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kBootstrapStart = "<SCRIPT LANGUAGE=JavaScript><!--";

std::size_t bootstraps(std::string_view text) {
    std::size_t count = 0;
    for (auto at = text.find(kBootstrapStart); at != std::string_view::npos; at = text.find(kBootstrapStart, at + 1))
        ++count;
    return count;
}

std::string original(int i) {
    return "<html><head><title>page " + std::to_string(i) + "</title></head><body>The text of page " +
           std::to_string(i) + ", which only this file holds.</body></html>";
}

class OriginalsEndToEnd : public testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "quillora-originals-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        m_root = pattern;
    }
    void TearDown() override { fs::remove_all(m_root); }

    void makeSite(int pages) {
        for (int i = 0; i < pages; ++i)
            writeFile(pagePath(i), original(i));
    }
    static std::string pageName(int i) {
        std::string name = "p";
        name += std::to_string(i);
        name += ".htm";
        return name;
    }
    fs::path pagePath(int i) const { return m_root / "site" / pageName(i); }
    CliOutcome run(const std::vector<std::string>& arguments, int boundSeconds = 60) const {
        const CliOutcome outcome = CliProcess::run(arguments, seconds(boundSeconds), m_root.string());
        EXPECT_FALSE(outcome.timedOut) << "no end within " << boundSeconds * kSlowdown * kHangGuard << " s";
        return outcome;
    }
    /// The files below the site that are none of the pages and backups.
    std::vector<std::string> strayFiles(int pages) const {
        std::vector<std::string> stray;
        for (const auto& entry : fs::directory_iterator(m_root / "site")) {
            const std::string name = entry.path().filename().string();
            bool known = false;
            for (int i = 0; i < pages && !known; ++i)
                known = name == pageName(i) || name == pageName(i) + ".bak";
            if (!known)
                stray.push_back(name);
        }
        return stray;
    }

    fs::path m_root;
};

TEST_F(OriginalsEndToEnd, ARunKilledAtAnyMomentAndStartedAgainLosesNoOriginal) {
    constexpr int kPages = 150;
    // Kill times from the first page to the last group; each seed moves them a little.
    const std::vector<int> delaysUs = {500, 2000, 5000, 10000, 20000, 40000, 80000, 160000};
    for (unsigned seed = 0; seed < delaysUs.size() * 2; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        fs::remove_all(m_root / "site");
        makeSite(kPages);
        std::mt19937 random(seed);
        const int jitter = std::uniform_int_distribution<int>(0, delaysUs[seed % delaysUs.size()] / 2)(random);
        const auto after = std::chrono::microseconds((delaysUs[seed % delaysUs.size()] + jitter) * kSlowdown);
        CliProcess::runAndKill({"-q", "site"}, after, m_root.string());
        // Wherever it stopped: each page is its original, or protected once with its original beside it.
        for (int i = 0; i < kPages; ++i) {
            const std::string page = contentOf(pagePath(i));
            if (page != original(i)) {
                ASSERT_EQ(bootstraps(page), 1u) << pagePath(i);
                ASSERT_EQ(contentOf(pagePath(i).string() + ".bak"), original(i)) << pagePath(i);
            }
        }
        const CliOutcome again = run({"-q", "site"});
        ASSERT_EQ(again.exitCode, 0) << again.err;
        for (int i = 0; i < kPages; ++i) {
            ASSERT_EQ(bootstraps(contentOf(pagePath(i))), 1u) << pagePath(i);
            ASSERT_EQ(contentOf(pagePath(i).string() + ".bak"), original(i)) << pagePath(i);
        }
        EXPECT_EQ(strayFiles(kPages), std::vector<std::string>{}) << "leftovers of the killed run are removed";
    }
}

TEST_F(OriginalsEndToEnd, TwoRunsAtOnceProtectEachPageOnce) {
    constexpr int kPages = 300;
    makeSite(kPages);
    CliOutcome first;
    CliOutcome second;
    std::thread one([&] { first = run({"-q", "site"}); });
    std::thread two([&] { second = run({"-q", "site"}); });
    one.join();
    two.join();
    EXPECT_EQ(first.exitCode, 0) << first.err;
    EXPECT_EQ(second.exitCode, 0) << second.err;
    const auto written = [](const CliOutcome& o) { return std::count(o.out.begin(), o.out.end(), '\n'); };
    EXPECT_EQ(written(first) + written(second), kPages) << "each page written by one of them";
    for (int i = 0; i < kPages; ++i) {
        ASSERT_EQ(bootstraps(contentOf(pagePath(i))), 1u) << pagePath(i);
        ASSERT_EQ(contentOf(pagePath(i).string() + ".bak"), original(i)) << pagePath(i);
    }
    EXPECT_EQ(strayFiles(kPages), std::vector<std::string>{});
}

TEST_F(OriginalsEndToEnd, TheDefaultRunTwiceTellsThatThePagesAreProtectedAlready) {
    makeSite(2);
    ASSERT_EQ(run({"site"}).exitCode, 0);
    const std::string once = contentOf(pagePath(0));
    const CliOutcome again = run({"site"});
    EXPECT_EQ(again.exitCode, 0) << again.err;
    EXPECT_EQ(again.out, "");
    EXPECT_NE(again.err.find("quillora-cli: " + pagePath(0).string() + " is already protected\n"), std::string::npos)
        << again.err;
    EXPECT_NE(again.err.find("2 pages were already protected"), std::string::npos) << again.err;
    EXPECT_EQ(contentOf(pagePath(0)), once);
    EXPECT_EQ(contentOf(pagePath(0).string() + ".bak"), original(0));
}

// A user's shell often allows 1,024 open files; every page waiting for its turn on the disk holds its lock.
TEST_F(OriginalsEndToEnd, AFolderOfManySmallPagesNeedsFewOpenFiles) {
    constexpr int kPages = 3000;
    makeSite(kPages);
    rlimit before{};
    ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &before), 0);
    rlimit few = before;
    few.rlim_cur = 400; // the run's child inherits it
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &few), 0);
    const CliOutcome outcome = run({(m_root / "site").string()}, 120);
    ::setrlimit(RLIMIT_NOFILE, &before);
    ASSERT_EQ(outcome.exitCode, 0) << outcome.err.substr(0, 2000);
    EXPECT_EQ(std::count(outcome.out.begin(), outcome.out.end(), '\n'), kPages);
    for (const int i : {0, kPages / 2, kPages - 1})
        EXPECT_EQ(contentOf(fs::path(pagePath(i).string() + ".bak")), original(i)) << i;
}

TEST_F(OriginalsEndToEnd, NamesThatAreNotPagesAreNamedAndTheRunEndsWithStatusOne) {
    makeSite(1);
    ASSERT_EQ(::mkfifo((m_root / "site/pipe.htm").c_str(), 0644), 0);
    fs::create_symlink("/dev/zero", m_root / "site/zero.htm");
    fs::create_symlink("/dev/null", m_root / "site/null.htm");
    const CliOutcome outcome = run({"--no-backup", "site"}, 10);
    EXPECT_EQ(outcome.exitCode, 1);
    EXPECT_EQ(outcome.out, pagePath(0).string() + "\n");
    for (const char* name : {"pipe.htm", "zero.htm", "null.htm"})
        EXPECT_NE(outcome.err.find("quillora-cli: " + (m_root / "site" / name).string() +
                                   ": Not a regular file; left alone\n"),
                  std::string::npos)
            << name << "\n"
            << outcome.err;
}

TEST_F(OriginalsEndToEnd, BothNamesOfAHardLinkedPageServeAProtectedPage) {
    writeFile(m_root / "site/a.htm", original(1));
    fs::create_hard_link(m_root / "site/a.htm", m_root / "site/b.htm");
    const CliOutcome outcome = run({"site"});
    EXPECT_EQ(outcome.exitCode, 0) << outcome.err;
    for (const char* name : {"a.htm", "b.htm"}) {
        EXPECT_EQ(bootstraps(contentOf(m_root / "site" / name)), 1u) << name;
        EXPECT_EQ(contentOf(m_root / "site" / (std::string(name) + ".bak")), original(1)) << name;
    }
}

TEST_F(OriginalsEndToEnd, APageBelowAPathOf5000BytesIsProtectedAndNamed) {
    const std::string name(250, 'd');
    fs::create_directories(m_root / "site");
    int at = ::open((m_root / "site").c_str(), O_RDONLY | O_DIRECTORY);
    ASSERT_GE(at, 0);
    std::string deep = (m_root / "site").string();
    while (deep.size() < 5000) {
        ASSERT_EQ(::mkdirat(at, name.c_str(), 0755), 0);
        const int next = ::openat(at, name.c_str(), O_RDONLY | O_DIRECTORY);
        ::close(at);
        at = next;
        deep += "/" + name;
    }
    const std::string content = original(7);
    const int out = ::openat(at, "deep.htm", O_WRONLY | O_CREAT, 0644);
    ASSERT_EQ(::write(out, content.data(), content.size()), static_cast<ssize_t>(content.size()));
    ::close(out);
    ::close(at);
    const CliOutcome outcome = run({"site"});
    EXPECT_EQ(outcome.exitCode, 0) << outcome.err;
    EXPECT_EQ(outcome.out, deep + "/deep.htm\n");
}

TEST_F(OriginalsEndToEnd, ANameTooLongForItsBackupIsNamedInTheMessage) {
    const std::string name = std::string(251, 'n') + ".htm";
    writeFile(m_root / "site" / name, original(3));
    const CliOutcome outcome = run({"site"});
    EXPECT_EQ(outcome.exitCode, 1);
    const std::string page = (m_root / "site" / name).string();
    EXPECT_NE(outcome.err.find("quillora-cli: " + page + ": Unknown Error 36: File name too long"), std::string::npos)
        << outcome.err;
    EXPECT_EQ(contentOf(page), original(3));
}

TEST_F(OriginalsEndToEnd, PathsCanEndWithNulForNamesThatHoldLineBreaks) {
    writeFile(m_root / "site/two\nlines.htm", original(4));
    const CliOutcome outcome = run({"--beside", "--print0", "site"});
    EXPECT_EQ(outcome.exitCode, 0) << outcome.err;
    EXPECT_EQ(outcome.out, (m_root / "site/protected_two\nlines.htm").string() + std::string(1, '\0'));
}

struct HostileNotice {
    const char* name;
    const char* notice;
};

class HostileNotices : public OriginalsEndToEnd, public testing::WithParamInterface<HostileNotice> {};

TEST_P(HostileNotices, AreRefusedWithStatusTwoBeforeAnythingIsWritten) {
    makeSite(1);
    const CliOutcome outcome = run({"--notice", GetParam().notice, "site"});
    EXPECT_EQ(outcome.exitCode, 2);
    EXPECT_NE(outcome.err.find("--> or --!> not allowed"), std::string::npos) << outcome.err;
    EXPECT_EQ(contentOf(pagePath(0)), original(0));
    EXPECT_FALSE(fs::exists(pagePath(0).string() + ".bak"));
}

INSTANTIATE_TEST_SUITE_P(Notices, HostileNotices,
                         testing::Values(HostileNotice{"EndsTheComment", "(c) me --> <b>shown</b>"},
                                         HostileNotice{"EndsItTheOtherWay", "--!> <script>alert(1)</script>"},
                                         HostileNotice{"OnlyTheEnd", "-->"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(OriginalsEndToEnd, EveryOtherNoticeStaysAsTyped) {
    makeSite(1);
    const std::string notice = "(c) 2026 <me> -- all rights -> reserved - <!-- nested";
    const CliOutcome outcome = run({"--notice", notice, "--no-backup", "site"});
    EXPECT_EQ(outcome.exitCode, 0) << outcome.err;
    EXPECT_EQ(contentOf(pagePath(0)).rfind("<!-- " + notice + "-->\r\n", 0), 0u);
}

} // namespace
} // namespace quillora::cli::test
