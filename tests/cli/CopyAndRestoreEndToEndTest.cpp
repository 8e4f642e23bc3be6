// The real quillora-cli copying a whole site (its pages protected, its other files as they are) and putting the
// originals of pages protected in place back with --restore.

#include "CliProcess.h"
#include "CliTestSupport.h"

#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <unistd.h>

namespace quillora::cli::test {
namespace {

namespace fs = std::filesystem;

const std::string kScanning = "quillora-cli: Scanning for files, please wait...\n";

std::string page(std::string_view text) {
    return "<html><head><title>" + std::string(text) + "</title></head><body>" + std::string(text) + "</body></html>";
}

/// A folder for one test, open to every user so that a test can run the program as another one.
class CopyAndRestoreEndToEnd : public testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "quillora-copy-restore-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        m_root = pattern;
        fs::permissions(m_root, fs::perms::all);
    }
    void TearDown() override {
        std::error_code error;
        fs::remove_all(m_root, error);
    }
    CliOutcome run(const std::vector<std::string>& arguments, int asUser = -1) const {
        const CliOutcome outcome = CliProcess::run(arguments, seconds(30), m_root.string(), asUser);
        EXPECT_FALSE(outcome.timedOut);
        return outcome;
    }
    std::string path(std::string_view relative) const { return (m_root / relative).string(); }
    /// The site protected in place with backups, as the default run leaves it.
    void protectSite() {
        writeFile(m_root / "site/a.htm", page("a"));
        writeFile(m_root / "site/sub/b.htm", page("b"));
        const CliOutcome protecting = run({"-q", "site"});
        ASSERT_EQ(protecting.exitCode, 0) << protecting.err;
        ASSERT_NE(contentOf(m_root / "site/a.htm"), page("a"));
    }

    fs::path m_root;
};

TEST_F(CopyAndRestoreEndToEnd, CopyToTakesHiddenFilesAndLinkedFilesAlongButNotTheBackups) {
    const std::string logo("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16);
    writeFile(m_root / "site/index.htm", page("home"));
    writeFile(m_root / "site/img/logo.png", logo);
    writeFile(m_root / "site/.htaccess", "Options -Indexes\n");
    writeFile(m_root / "site/index.htm.bak", page("an original"));
    writeFile(m_root / "shared/site.css", "body { margin: 0 }");
    fs::create_directories(m_root / "site/css");
    fs::create_symlink("../../shared/site.css", m_root / "site/css/site.css");

    const CliOutcome outcome = run({"--copy-to", "out", "site"});

    EXPECT_EQ(outcome.exitCode, 0) << outcome.err;
    EXPECT_EQ(outcome.out, "out/index.htm\n") << "only pages are listed, below the target as it was given";
    EXPECT_EQ(outcome.err, kScanning + "quillora-cli: The following 1 files have been protected\n"
                                       "quillora-cli: 3 other files of the site were copied\n");
    EXPECT_EQ(contentOf(m_root / "out/img/logo.png"), logo);
    EXPECT_EQ(contentOf(m_root / "out/.htaccess"), "Options -Indexes\n");
    EXPECT_FALSE(fs::is_symlink(m_root / "out/css/site.css"));
    EXPECT_EQ(contentOf(m_root / "out/css/site.css"), "body { margin: 0 }");
    EXPECT_FALSE(fs::exists(m_root / "out/index.htm.bak")) << "a backup holds the unprotected original";
}

TEST_F(CopyAndRestoreEndToEnd, AFileThatCannotBeReadAndADanglingLinkAreNamedAndTheRestIsCopied) {
    writeFile(m_root / "site/index.htm", page("home"));
    writeFile(m_root / "site/style.css", "p {}");
    writeFile(m_root / "site/secret.png", "only its owner reads this");
    fs::permissions(m_root / "site/secret.png", fs::perms::owner_write);
    fs::create_symlink("nowhere.png", m_root / "site/gone.png");

    // Root reads everything; the program then runs as an ordinary user.
    const CliOutcome outcome = run({"--copy-to", "out", "site"}, ::geteuid() == 0 ? kNobody : -1);

    EXPECT_EQ(outcome.exitCode, 1);
    EXPECT_EQ(outcome.out, "out/index.htm\n");
    const std::string secret = path("site/secret.png");
    EXPECT_NE(outcome.err.find("quillora-cli: " + secret + ": Unable to Access File: " + secret +
                               ". The file may be read-only.\n"),
              std::string::npos)
        << outcome.err;
    EXPECT_NE(outcome.err.find("quillora-cli: " + path("site/gone.png") +
                               ": Unknown Error 2: No such file or "
                               "directory\n"),
              std::string::npos)
        << outcome.err;
    EXPECT_NE(outcome.err.find("quillora-cli: 1 other files of the site were copied, 2 could not be copied\n"),
              std::string::npos)
        << outcome.err;
    EXPECT_EQ(contentOf(m_root / "out/style.css"), "p {}");
    EXPECT_FALSE(fs::exists(m_root / "out/secret.png"));
    EXPECT_FALSE(fs::exists(m_root / "out/gone.png"));
}

TEST_F(CopyAndRestoreEndToEnd, ATargetInsideTheSiteIsLeftOutOfTheNextCopy) {
    writeFile(m_root / "site/index.htm", page("home"));
    writeFile(m_root / "site/logo.png", "png");
    ASSERT_EQ(run({"-q", "--copy-to", "site/out", "site"}).exitCode, 0);

    const CliOutcome again = run({"--copy-to", "site/out", "site"});

    EXPECT_EQ(again.exitCode, 0) << again.err;
    EXPECT_EQ(again.out, "site/out/index.htm\n");
    EXPECT_NE(again.err.find("quillora-cli: 1 other files of the site were copied\n"), std::string::npos) << again.err;
    EXPECT_FALSE(fs::exists(m_root / "site/out/out"));
}

TEST_F(CopyAndRestoreEndToEnd, RestorePutsEachOriginalBackAndListsIt) {
    protectSite();
    writeFile(m_root / "site/never.htm", page("never protected"));

    const CliOutcome outcome = run({"--restore", "site"});

    EXPECT_EQ(outcome.exitCode, 0) << outcome.err;
    EXPECT_EQ(outcome.out, path("site/a.htm") + "\n" + path("site/sub/b.htm") + "\n");
    EXPECT_EQ(outcome.err, kScanning + "quillora-cli: The following 2 files have been restored\n");
    EXPECT_EQ(contentOf(m_root / "site/a.htm"), page("a"));
    EXPECT_EQ(contentOf(m_root / "site/sub/b.htm"), page("b"));
    EXPECT_FALSE(fs::exists(m_root / "site/a.htm.bak"));
    EXPECT_FALSE(fs::exists(m_root / "site/sub/b.htm.bak"));
    EXPECT_EQ(contentOf(m_root / "site/never.htm"), page("never protected"));
}

TEST_F(CopyAndRestoreEndToEnd, RestoreWithNothingToRestoreSaysSoAndSucceeds) {
    writeFile(m_root / "site/a.htm", page("a"));
    writeFile(m_root / "site/a.htm.bak", "kept by hand");
    fs::create_directories(m_root / "empty");

    const CliOutcome outcome = run({"--restore", "site"});
    const CliOutcome empty = run({"--restore", "empty"});

    EXPECT_EQ(outcome.exitCode, 0) << outcome.err;
    EXPECT_EQ(outcome.out, "");
    EXPECT_EQ(outcome.err, kScanning + "quillora-cli: No protected files with backups found to restore\n");
    EXPECT_EQ(contentOf(m_root / "site/a.htm"), page("a"));
    EXPECT_EQ(contentOf(m_root / "site/a.htm.bak"), "kept by hand");
    EXPECT_EQ(empty.exitCode, 0);
    EXPECT_EQ(empty.err, outcome.err) << "not a word about protecting";
}

struct Unrestorable {
    const char* name;
    std::function<void(const fs::path& page)> prepare;
    const char* message; // after "PAGE: ", with the backup's path in brackets
};

void PrintTo(const Unrestorable& row, std::ostream* out) {
    *out << row.name;
}

class RestoreLeavesAlone : public CopyAndRestoreEndToEnd, public testing::WithParamInterface<Unrestorable> {};

TEST_P(RestoreLeavesAlone, APageItCannotRestoreWithStatusOneAndItsName) {
    protectSite();
    const fs::path a = m_root / "site/a.htm";
    GetParam().prepare(a);
    const std::string protectedPage = contentOf(a);

    const CliOutcome outcome = run({"--restore", "site"});

    EXPECT_EQ(outcome.exitCode, 1);
    EXPECT_EQ(outcome.out, path("site/sub/b.htm") + "\n") << "the other page is restored";
    EXPECT_NE(
        outcome.err.find("quillora-cli: " + a.string() + ": " + GetParam().message + " (" + a.string() + ".bak)\n"),
        std::string::npos)
        << outcome.err;
    EXPECT_NE(outcome.err.find("quillora-cli: The following 1 files have been restored\n"), std::string::npos);
    EXPECT_EQ(contentOf(a), protectedPage);
}

INSTANTIATE_TEST_SUITE_P(
    Pages, RestoreLeavesAlone,
    testing::Values(Unrestorable{"WithoutABackup", [](const fs::path& a) { fs::remove(a.string() + ".bak"); },
                                 "There is no backup"},
                    Unrestorable{"WhoseBackupIsItselfProtected",
                                 [](const fs::path& a) { writeFile(a.string() + ".bak", contentOf(a)); },
                                 "The backup is itself protected"}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace quillora::cli::test
