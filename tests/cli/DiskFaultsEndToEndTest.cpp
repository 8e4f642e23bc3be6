// The real quillora-cli over folders where the disk holds surprises: links planted where a backup or an output goes,
// a page saved by its editor during the run, paths whose ".." crosses a link, files that look like the run's own,
// pages inside the copy's target, few open files, a page another program keeps locked.

#include "CliProcess.h"
#include "CliTestSupport.h"
#include "disk/TemporaryNames.h"

#include <algorithm>
#include <fcntl.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quillora::cli::test {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kBootstrapStart = "<SCRIPT LANGUAGE=JavaScript><!--";

std::string page(std::string_view text) {
    return "<html><head><title>" + std::string(text) + "</title></head><body>" + std::string(text) + "</body></html>";
}

bool isProtected(const fs::path& path) {
    return contentOf(path).find(kBootstrapStart) != std::string::npos;
}

std::size_t lines(const std::string& text) {
    return static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
}

class DiskFaultsEndToEnd : public testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "quillora-disk-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        m_root = pattern;
    }
    void TearDown() override {
        std::error_code error;
        for (auto it = fs::recursive_directory_iterator(m_root, error); !error && it != fs::end(it);
             it.increment(error))
            fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add | fs::perm_options::nofollow,
                            error);
        fs::remove_all(m_root, error);
    }
    CliOutcome run(const std::vector<std::string>& arguments, int boundSeconds = 30, long openFiles = 0) const {
        const CliOutcome outcome = CliProcess::run(arguments, seconds(boundSeconds), m_root.string(), -1, openFiles);
        EXPECT_FALSE(outcome.timedOut) << "no end within " << boundSeconds * kSlowdown << " s";
        return outcome;
    }
    std::string path(std::string_view relative) const { return (m_root / relative).string(); }

public:
    CliOutcome runLimited(const std::vector<std::string>& arguments, int boundSeconds, long openFiles) const {
        return run(arguments, boundSeconds, openFiles);
    }

protected:
    static bool has(const CliOutcome& outcome, const std::string& line) {
        return outcome.err.find(line + "\n") != std::string::npos;
    }

    fs::path m_root;
};

// ---- Links planted where a new name goes -------------------------------------------------------------------------

/// What a planted link leads to, and how to tell that it was left alone.
struct LinkKind {
    const char* name;
    std::function<std::string(const fs::path& root)> makeTarget; // returns the link's target
    std::function<void(const fs::path& root)> checkUntouched;
};

const LinkKind kLinkKinds[] = {
    {"to a file",
     [](const fs::path& root) {
         writeFile(root / "victim.txt", "the victim's own text");
         return (root / "victim.txt").string();
     },
     [](const fs::path& root) { EXPECT_EQ(contentOf(root / "victim.txt"), "the victim's own text"); }},
    {"to a folder",
     [](const fs::path& root) {
         fs::create_directories(root / "victims");
         return (root / "victims").string();
     },
     [](const fs::path& root) { EXPECT_TRUE(fs::is_empty(root / "victims")); }},
    {"to a missing target", [](const fs::path& root) { return (root / "nowhere.txt").string(); },
     [](const fs::path& root) { EXPECT_FALSE(fs::exists(root / "nowhere.txt")); }},
    {"to a file nobody may write",
     [](const fs::path& root) {
         writeFile(root / "readonly.txt", "read only");
         fs::permissions(root / "readonly.txt", fs::perms(0444));
         return (root / "readonly.txt").string();
     },
     [](const fs::path& root) { EXPECT_EQ(contentOf(root / "readonly.txt"), "read only"); }},
};

/// A storage mode, and the name beside the page (or in the copy) where it makes a new file.
struct NewName {
    const char* name;
    std::vector<std::string> arguments; // before the site
    const char* plantedAt;              // below the root
    const char* shownAs;                // the path the message names: "" for the planted path made absolute
    const char* message;                // after "quillora-cli: PAGE: "
    const char* otherOutput;            // where the other page is written, below the root
    bool secondName = false;            // the page has another name, so that its backup is a copy
};

void PrintTo(const NewName& row, std::ostream* out) {
    *out << row.name;
}

class PlantedLinks : public DiskFaultsEndToEnd, public testing::WithParamInterface<NewName> {};

TEST_P(PlantedLinks, AreNeverWrittenThroughNorReplacedAndThePageIsNamed) {
    const NewName& row = GetParam();
    for (const LinkKind& kind : kLinkKinds) {
        SCOPED_TRACE(kind.name);
        fs::remove_all(m_root);
        fs::create_directories(m_root);
        writeFile(m_root / "site/a.htm", page("a"));
        writeFile(m_root / "site/b.htm", page("b"));
        if (row.secondName)
            fs::create_hard_link(m_root / "site/a.htm", m_root / "a-elsewhere.htm");
        const std::string target = kind.makeTarget(m_root);
        fs::create_directories((m_root / row.plantedAt).parent_path());
        fs::create_symlink(target, m_root / row.plantedAt);
        std::vector<std::string> arguments = row.arguments;
        arguments.emplace_back("site");

        const CliOutcome outcome = run(arguments);

        EXPECT_EQ(outcome.exitCode, 1) << outcome.err;
        const std::string shown = *row.shownAs != '\0' ? row.shownAs : path(row.plantedAt);
        EXPECT_TRUE(has(outcome, "quillora-cli: " + path("site/a.htm") + ": " + row.message + " (" + shown + ")"))
            << outcome.err;
        EXPECT_TRUE(fs::is_symlink(m_root / row.plantedAt));
        EXPECT_EQ(fs::read_symlink(m_root / row.plantedAt), target);
        kind.checkUntouched(m_root);
        EXPECT_EQ(contentOf(m_root / "site/a.htm"), page("a")) << "the page is left as it is";
        EXPECT_TRUE(fs::exists(m_root / row.otherOutput) && contentOf(m_root / row.otherOutput) != page("b"))
            << "the other page is written";
        EXPECT_EQ(outcome.out.find(row.plantedAt), std::string::npos) << outcome.out;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Modes, PlantedLinks,
    testing::Values(
        NewName{"TheBackupOfTheDefaultRun", {}, "site/a.htm.bak", "", "The backup is a symbolic link", "site/b.htm"},
        NewName{"TheBackupOfAPageWithASecondName",
                {},
                "site/a.htm.bak",
                "",
                "The backup is a symbolic link",
                "site/b.htm",
                true},
        NewName{"TheOriginalKeptByAnEncryptedRun",
                {"--encrypt", "--password", "umbrella kettle lantern mosaic"},
                "site.originals/a.htm",
                "",
                "The backup is a symbolic link",
                "site/b.htm"},
        NewName{"TheNewFileBesideThePage",
                {"--beside"},
                "site/protected_a.htm",
                "",
                "The output is a symbolic link",
                "site/protected_b.htm"},
        NewName{"ThePageInTheCopy",
                {"--copy-to", "out"},
                "out/a.htm",
                "out/a.htm",
                "The output is a symbolic link",
                "out/b.htm"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(DiskFaultsEndToEnd, RestoreNeverFollowsALinkInTheBackupsPlace) {
    for (const LinkKind& kind : kLinkKinds) {
        SCOPED_TRACE(kind.name);
        fs::remove_all(m_root);
        fs::create_directories(m_root);
        writeFile(m_root / "site/a.htm", page("a"));
        writeFile(m_root / "site/b.htm", page("b"));
        ASSERT_EQ(run({"-q", "site"}).exitCode, 0);
        const std::string protectedPage = contentOf(m_root / "site/a.htm");
        fs::remove(m_root / "site/a.htm.bak");
        const std::string target = kind.makeTarget(m_root);
        fs::create_symlink(target, m_root / "site/a.htm.bak");

        const CliOutcome outcome = run({"--restore", "site"});

        EXPECT_EQ(outcome.exitCode, 1) << outcome.err;
        EXPECT_TRUE(has(outcome, "quillora-cli: " + path("site/a.htm") + ": The backup is a symbolic link (" +
                                     path("site/a.htm.bak") + ")"))
            << outcome.err;
        EXPECT_FALSE(fs::is_symlink(m_root / "site/a.htm"));
        EXPECT_EQ(contentOf(m_root / "site/a.htm"), protectedPage);
        EXPECT_EQ(fs::read_symlink(m_root / "site/a.htm.bak"), target);
        kind.checkUntouched(m_root);
        EXPECT_EQ(contentOf(m_root / "site/b.htm"), page("b")) << "the other page is restored";
    }
}

// ---- A page saved by its editor while the run holds it -----------------------------------------------------------

// The run is stopped where it stands by a full standard output, with pages read and locked but not yet written; the
// test saves one of those as an editor does (a new file renamed over it), then lets the run go on.
TEST_F(DiskFaultsEndToEnd, APageSavedByItsEditorDuringTheRunIsLeftAsSavedAndNamed) {
    constexpr int kPages = 600;
    const auto name = [](int i) {
        std::string digits = std::to_string(i);
        return "site/p" + std::string(5 - digits.size(), '0') + digits + ".htm";
    };
    for (int i = 0; i < kPages; ++i)
        writeFile(m_root / name(i), page("page " + std::to_string(i)));
    CliSession session({"-q", path("site")}, m_root.string());
    ASSERT_TRUE(session.waitUntilOutputIsFull(path(name(0)).size() + 1, seconds(60)));
    // A page the run holds locked now has been read and waits to be written.
    int held = -1;
    for (int i = kPages - 1; i >= 0 && held < 0; --i) {
        const int fd = ::open(path(name(i)).c_str(), O_RDONLY);
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0)
            held = i;
        ::close(fd);
    }
    ASSERT_GE(held, 0) << "the run holds no page";
    const std::string saved = page("what the user just saved");
    writeFile(path(name(held)) + ".saving", saved);
    fs::rename(path(name(held)) + ".saving", path(name(held)));

    const CliOutcome outcome = session.finish(seconds(60));

    EXPECT_EQ(outcome.exitCode, 1) << outcome.err;
    EXPECT_EQ(outcome.err, "quillora-cli: " + path(name(held)) + ": changed during the run; left as it is\n");
    EXPECT_EQ(contentOf(m_root / name(held)), saved);
    EXPECT_FALSE(fs::exists(path(name(held)) + ".bak")) << "nothing of the page's is touched";
    EXPECT_EQ(lines(outcome.out), static_cast<std::size_t>(kPages - 1));
    for (const int i : {0, held == 0 ? 1 : held - 1, kPages - 1}) {
        EXPECT_TRUE(isProtected(m_root / name(i))) << name(i);
        EXPECT_EQ(contentOf(path(name(i)) + ".bak"), page("page " + std::to_string(i))) << name(i);
    }
}

// ---- Paths, leftovers and the copy's target ---------------------------------------------------------------------

TEST_F(DiskFaultsEndToEnd, AParentStepAfterALinkIsTakenAsTheSystemTakesIt) {
    writeFile(m_root / "here/h.htm", page("here"));
    writeFile(m_root / "far/deep/f.htm", page("far"));
    fs::create_directories(m_root / "far/deep/dir");
    fs::create_symlink("../far/deep/dir", m_root / "here/lnk");

    const CliOutcome outcome = CliProcess::run({"--no-backup", "lnk/.."}, seconds(30), path("here"));

    EXPECT_EQ(outcome.exitCode, 0) << outcome.err;
    EXPECT_EQ(outcome.out, fs::canonical(m_root / "far/deep").string() + "/f.htm\n") << "what 'ls lnk/..' shows";
    EXPECT_TRUE(isProtected(m_root / "far/deep/f.htm"));
    EXPECT_EQ(contentOf(m_root / "here/h.htm"), page("here")) << "a folder never named is never touched";
}

TEST_F(DiskFaultsEndToEnd, OnlyTheRunsOwnLeftoversGoAndNeverFromAFolderCopyModeOnlyReads) {
    writeFile(m_root / "site/a.htm", page("a"));
    writeFile(m_root / "site/sub/b.htm", page("b"));
    const std::string lookalikes[] = {"site/.notes.~20240101~", "site/sub/.draft.htm.~backup01~",
                                      "site/.a.htm.~k1ll3d00k1ll3d00~"};
    for (const auto& name : lookalikes)
        writeFile(m_root / name, "the user's own " + name);
    // What a killed run leaves: a file under the temporary name made for it.
    writeFile(m_root / "site/sub/made", "half a page");
    struct stat st {};
    ASSERT_EQ(::stat(path("site/sub/made").c_str(), &st), 0);
    const std::string leftover = "site/sub/" + disk::TemporaryName("b.htm", st.st_ino, st.st_ino);
    fs::rename(m_root / "site/sub/made", m_root / leftover);

    const CliOutcome copying = run({"--copy-to", "out", "site"});

    EXPECT_EQ(copying.exitCode, 0) << copying.err;
    // Each ends in "~", as an editor's backup does: it stays behind, never published, never removed.
    for (const auto& name : lookalikes) {
        EXPECT_EQ(contentOf(m_root / name), "the user's own " + name) << name;
        EXPECT_FALSE(fs::exists(m_root / "out" / fs::path(name).lexically_relative("site"))) << name;
    }
    EXPECT_TRUE(fs::exists(m_root / leftover)) << "the sources are only read";
    EXPECT_FALSE(fs::exists(m_root / "out" / fs::path(leftover).lexically_relative("site"))) << "nor published";

    const CliOutcome protecting = run({"site"});

    EXPECT_EQ(protecting.exitCode, 0) << protecting.err;
    EXPECT_FALSE(fs::exists(m_root / leftover)) << "a leftover goes where the run writes";
    for (const auto& name : lookalikes)
        EXPECT_EQ(contentOf(m_root / name), "the user's own " + name) << name;
}

TEST_F(DiskFaultsEndToEnd, PagesInTheCopysTargetAreNamedWhenLeftOut) {
    writeFile(m_root / "site/a.htm", page("a"));
    writeFile(m_root / "site/sub/b.htm", page("b"));

    const CliOutcome outcome = run({"--copy-to", "site/sub", "site"});

    EXPECT_EQ(outcome.exitCode, 1);
    EXPECT_EQ(outcome.out, "site/sub/a.htm\n");
    EXPECT_TRUE(has(outcome, "quillora-cli: " + path("site/sub/b.htm") +
                                 ": Lies in the folder the pages are copied to (site/sub); left alone"))
        << outcome.err;
    EXPECT_EQ(contentOf(m_root / "site/sub/b.htm"), page("b"));

    const CliOutcome again = run({"--copy-to", "site/sub", "site"});
    EXPECT_EQ(again.err.find(path("site/sub/a.htm")), std::string::npos) << "the run's own output is not named";
}

TEST_F(DiskFaultsEndToEnd, ATargetThatIsAPickedFolderThroughAParentStepIsRefusedBeforeAnythingIsWritten) {
    writeFile(m_root / "site/a.htm", page("a"));
    writeFile(m_root / "site/sub/b.htm", page("b"));

    const CliOutcome outcome = run({"--copy-to", "site/new/..", "site"});

    EXPECT_EQ(outcome.exitCode, 2);
    EXPECT_TRUE(has(outcome, "quillora-cli: The folder site/new/.. is picked to be protected; please select another "
                             "folder to copy the protected files to"))
        << outcome.err;
    EXPECT_FALSE(fs::exists(m_root / "site/new"));
    EXPECT_EQ(contentOf(m_root / "site/a.htm"), page("a"));
    EXPECT_EQ(contentOf(m_root / "site/sub/b.htm"), page("b"));
}

// ---- Few open files, a page another program holds -----------------------------------------------------------------

// A shell's "ulimit -n 64" sets both limits: the run sizes what it holds open to what it may hold.
void protectsEveryPageWithSixtyFourOpenFiles(const DiskFaultsEndToEnd& test, const fs::path& root, int pages,
                                             int boundSeconds) {
    const auto pagePath = [&](int i) {
        return root / ("site/d" + std::to_string(i % 20) + "/p" + std::to_string(i) + ".htm");
    };
    for (int i = 0; i < pages; ++i)
        writeFile(pagePath(i), page("page " + std::to_string(i)));

    const CliOutcome outcome = test.runLimited({"-q", "site"}, boundSeconds, 64);

    EXPECT_EQ(outcome.exitCode, 0) << outcome.err.substr(0, 2000);
    EXPECT_EQ(lines(outcome.out), static_cast<std::size_t>(pages));
    for (int i = 0; i < pages; ++i) {
        ASSERT_TRUE(isProtected(pagePath(i))) << pagePath(i);
        ASSERT_EQ(contentOf(pagePath(i).string() + ".bak"), page("page " + std::to_string(i))) << pagePath(i);
    }
}

TEST_F(DiskFaultsEndToEnd, TwoThousandPagesAreProtectedWithSixtyFourOpenFiles) {
    protectsEveryPageWithSixtyFourOpenFiles(*this, m_root, 2000, 120);
}

class DiskFaultsSlow : public DiskFaultsEndToEnd {};

TEST_F(DiskFaultsSlow, TwentyThousandPagesAreProtectedWithSixtyFourOpenFiles) {
    protectsEveryPageWithSixtyFourOpenFiles(*this, m_root, 20000, 900);
}

/// Holds a page's lock, as another program would, until it goes.
class HeldLock {
public:
    // Not handed down to the program under test: a lock shared with it would never be let go of.
    explicit HeldLock(const fs::path& page) : m_fd(::open(page.c_str(), O_RDONLY | O_CLOEXEC)) {
        EXPECT_EQ(::flock(m_fd, LOCK_EX), 0);
    }
    ~HeldLock() { release(); }
    HeldLock(const HeldLock&) = delete;
    HeldLock& operator=(const HeldLock&) = delete;
    void release() {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = -1;
    }

private:
    int m_fd;
};

TEST_F(DiskFaultsEndToEnd, APageLockedByAnotherProgramIsNamedAndGivenUpAfterTheWait) {
    writeFile(m_root / "site/a.htm", page("a"));
    writeFile(m_root / "site/b.htm", page("b"));
    const HeldLock held(m_root / "site/b.htm");

    const CliOutcome outcome = run({"-q", "--lock-wait", "2", "site"});

    EXPECT_EQ(outcome.exitCode, 1);
    EXPECT_EQ(outcome.err, "quillora-cli: " + path("site/b.htm") +
                               ": Locked by another program; waiting for it (at most 2 s)\n"
                               "quillora-cli: " +
                               path("site/b.htm") + ": Locked by another program; left as it is\n");
    EXPECT_EQ(outcome.out, path("site/a.htm") + "\n");
    EXPECT_EQ(contentOf(m_root / "site/b.htm"), page("b"));
}

TEST_F(DiskFaultsEndToEnd, APageLetGoOfDuringTheWaitIsProtected) {
    writeFile(m_root / "site/a.htm", page("a"));
    writeFile(m_root / "site/b.htm", page("b"));
    HeldLock held(m_root / "site/b.htm");
    CliSession session({"-q", path("site")}, m_root.string());
    const std::string waiting =
        "quillora-cli: " + path("site/b.htm") + ": Locked by another program; waiting for it (at most 60 s)\n";
    ASSERT_TRUE(session.waitForError(waiting, seconds(30)));

    held.release();
    const CliOutcome outcome = session.finish(seconds(30));

    EXPECT_EQ(outcome.exitCode, 0) << outcome.err;
    EXPECT_EQ(outcome.err, waiting);
    EXPECT_EQ(outcome.out, path("site/a.htm") + "\n" + path("site/b.htm") + "\n");
    EXPECT_TRUE(isProtected(m_root / "site/b.htm"));
}

} // namespace
} // namespace quillora::cli::test
