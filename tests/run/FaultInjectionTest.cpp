// Whole runs over a real folder, with the disk failing at one step for one page. Whatever fails, the page's
// original stays as it was, the run reports that page with the right message and protects the others, and no
// temporary or half-written file is left behind.

#include "RecordingReporter.h"
#include "run/ProtectionRun.h"
#include "run/RunMessages.h"

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <set>
#include <unistd.h>

namespace quillora::run::test {
namespace {

namespace fs = std::filesystem;
using Fault = FaultyFileSystem::Step;

constexpr std::string_view kBootstrapStart = "<SCRIPT LANGUAGE=JavaScript><!--";
// Listed in the order the run meets them: a folder's own pages first, then its subfolders.
const std::vector<std::string> kPages = {"a.htm", "b.htm", "deep/c.htm", "zz/d.htm"};

std::string original(const std::string& page) {
    return "<html><head><title>" + page + "</title></head><body>The page " + page + "</body></html>";
}

std::string contentOf(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

struct Message {
    std::string text;
    MessageIcon icon;
    bool operator==(const Message&) const = default;
};

struct FaultCase {
    const char* name;
    Fault fault;
    const char* pathPart; // below the root
    int error;
    const char* givenUp; // the page reported and skipped; empty when the fault only shrinks the list
    bool copyMode;       // copy into out/ (else overwrite the pages, after a backup)
    bool backupKept;     // the given-up page's backup was made, whole, before the fault
    const char* message; // "access" for the read-only message on the output, else the exact text
    MessageIcon icon = MessageIcon::Exclamation;
    int nth = 0;               // the matching call that fails; 0 for every one
    bool withoutLinks = false; // a file system without hard links: backups are copies of the bytes read
};

void PrintTo(const FaultCase& c, std::ostream* out) {
    *out << c.name;
}

class FaultSite : public testing::Test {
protected:
    void SetUp() override {
        std::string name = testing::UnitTest::GetInstance()->current_test_info()->name();
        std::replace(name.begin(), name.end(), '/', '-');
        m_root = fs::temp_directory_path() / ("quillora-faults-" + std::to_string(::getpid()) + "-" + name);
        m_site = m_root / "site";
        for (const auto& page : kPages) {
            fs::create_directories((m_site / page).parent_path());
            std::ofstream(m_site / page, std::ios::binary) << original(page);
        }
    }
    void TearDown() override { fs::remove_all(m_root); }

    RunSummary runWith(FaultyFileSystem& disk, RecordingReporter& log, bool copyMode) {
        engine::ProtectionOptions options;
        if (copyMode) {
            options.storageMode = engine::StorageMode::CopyToFolder;
            options.targetFolder = (m_root / "out").string();
        }
        ProtectionRun run(options, log, disk);
        return run.ProtectFiles({{m_site.string(), true}});
    }

    /// Every file left below the root, relative to it.
    std::set<std::string> filesLeft() const {
        std::set<std::string> files;
        for (const auto& entry : fs::recursive_directory_iterator(m_root)) {
            if (!entry.is_directory())
                files.insert(fs::relative(entry.path(), m_root).string());
        }
        return files;
    }

    /// The files a run should leave: the pages (minus a vanished folder's), their outputs and backups.
    std::set<std::string> filesExpected(const FaultCase& c) const {
        std::set<std::string> files;
        for (const auto& page : kPages) {
            if (c.fault == Fault::FolderVanishes && ("site/" + page).starts_with(c.pathPart))
                continue;
            files.insert("site/" + page);
            const bool given = page == c.givenUp;
            if (c.copyMode && !given)
                files.insert("out/" + page);
            if (!c.copyMode && (!given || c.backupKept))
                files.insert("site/" + page + ".bak");
        }
        return files;
    }

    std::string expectedMessage(const FaultCase& c) const {
        const std::string output = ((c.copyMode ? m_root / "out" : m_site) / c.givenUp).string();
        return std::string_view(c.message) == "access" ? messages::unableToAccessFile(output) : c.message;
    }

    fs::path m_root;
    fs::path m_site;
};

class FaultInjection : public FaultSite, public testing::WithParamInterface<FaultCase> {};

TEST_P(FaultInjection, KeepsTheOriginalReportsThePageGoesOnAndLeavesNothingHalfWritten) {
    const FaultCase& c = GetParam();
    FaultyFileSystem disk;
    disk.failAt(c.fault, c.error, c.nth, (m_root / c.pathPart).string());
    if (c.withoutLinks)
        disk.failAt(Fault::Link, EPERM);
    RecordingReporter log;
    const RunSummary summary = runWith(disk, log, c.copyMode);

    ASSERT_GT(disk.strikes(), c.withoutLinks ? 4 : 0) << "the fault never struck";
    const bool reported = *c.givenUp != '\0';
    std::vector<Message> expected;
    if (reported)
        expected.push_back({expectedMessage(c), c.icon});
    std::vector<Message> shown;
    for (const auto& m : log.messages())
        shown.push_back({m.text, m.icon});
    EXPECT_EQ(shown, expected);
    EXPECT_EQ(summary.givenUp, reported ? 1u : 0u);
    EXPECT_EQ(summary.written, 3u);
    for (const auto& page : kPages) {
        if (!fs::exists(m_site / page))
            continue; // vanished with its folder
        const bool given = page == c.givenUp;
        const std::string source = contentOf(m_site / page);
        const std::string output = contentOf((c.copyMode ? m_root / "out" : m_site) / page);
        if (given || c.copyMode) {
            EXPECT_EQ(source, original(page)) << page << ": the original changed";
        }
        if (!given) {
            EXPECT_NE(output.find(kBootstrapStart), std::string::npos) << page << ": the next pages are protected";
        }
        if (fs::exists(m_site / (page + ".bak"))) {
            EXPECT_EQ(contentOf(m_site / (page + ".bak")), original(page)) << page << ": a half-written backup";
        }
    }
    EXPECT_EQ(filesLeft(), filesExpected(c));
}

// clang-format off
const FaultCase kFaultCases[] = {
    {"ReadFailsHalfway", Fault::ReadFile, "site/a.htm", EIO, "a.htm", false, false,
     "Unknown Error 5\r\nInput/output error"},
    {"PageVanishesAfterTheScan", Fault::ReadFile, "site/a.htm", ENOENT, "a.htm", false, false,
     "Unknown Error 2\r\nNo such file or directory"},
    {"TemporaryOutputCannotBeCreated", Fault::CreateTemp, "site/a.htm", EACCES, "a.htm", false, false, "access"},
    {"WriteRunsOutOfSpace", Fault::Write, "site/a.htm", ENOSPC, "a.htm", false, false,
     "Unknown Error 28\r\nNo space left on device"},
    // The second rename that names b.htm is the page's own; the first put its backup in place.
    {"RenameFails", Fault::Rename, "site/b.htm", EBUSY, "b.htm", false, true,
     "Unknown Error 16\r\nDevice or resource busy", MessageIcon::Exclamation, 2},
    {"BackupCannotBeMade", Fault::CreateTemp, "site/a.htm.bak", EACCES, "a.htm", false, false,
     "Unable to Access File, Your file(s) may be read-only.", MessageIcon::None, 0, true},
    {"BackupRunsOutOfSpace", Fault::Write, "site/a.htm.bak", ENOSPC, "a.htm", false, false,
     "Unknown Error 28\r\nNo space left on device", MessageIcon::Exclamation, 0, true},
    {"BackupCannotTakeItsPlace", Fault::Rename, "site/a.htm.bak", EIO, "a.htm", false, false,
     "Unknown Error 5\r\nInput/output error"},
    {"FolderCannotBeCreated", Fault::CreateFolder, "out/deep/", EACCES, "deep/c.htm", true, false,
     "Unknown Error 2\r\nNo such file or directory"},
    {"FolderCannotBeCreatedOnAFullDisk", Fault::CreateFolder, "out/deep/", ENOSPC, "deep/c.htm", true, false,
     "Unknown Error 2\r\nNo such file or directory"},
    {"FolderVanishesDuringTheScan", Fault::FolderVanishes, "site/deep", ENOENT, "", false, false, ""},
};
// clang-format on

// A failed flush cannot tell which file it failed for: every page it was to bring to the disk is given up, and
// every original stays.
TEST_F(FaultSite, AFailedFlushGivesUpTheWholeGroupAndKeepsEveryOriginal) {
    FaultyFileSystem disk;
    disk.failAt(Fault::Sync, EIO, 0, m_root.string());
    RecordingReporter log;
    const RunSummary summary = runWith(disk, log, false);
    EXPECT_EQ(summary.written, 0u);
    EXPECT_EQ(summary.givenUp, kPages.size());
    for (const auto& page : kPages)
        EXPECT_EQ(contentOf(m_site / page), original(page)) << page;
    std::set<std::string> pages;
    for (const auto& page : kPages)
        pages.insert("site/" + page);
    EXPECT_EQ(filesLeft(), pages) << "no backup and no temporary file left";
}

INSTANTIATE_TEST_SUITE_P(Steps, FaultInjection, testing::ValuesIn(kFaultCases),
                         [](const testing::TestParamInfo<FaultCase>& info) { return info.param.name; });

} // namespace
} // namespace quillora::run::test
