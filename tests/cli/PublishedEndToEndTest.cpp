// What a user publishes is what they chose, through the real quillora-cli: an encrypted run leaves no page readable
// in the folder to publish (framesets, pages hidden before, version control, editor leftovers), the originals come
// back, and every option refuses or warns where it would not do what it says.

#include "CliProcess.h"
#include "CliTestSupport.h"
#include "unlock/UnlockScript.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <map>
#include <set>
#include <unistd.h>

namespace quillora::cli::test {
namespace {

namespace fs = std::filesystem;

constexpr const char* kPassword = "correct horse battery staple";
const std::string kScanning = "quillora-cli: Scanning for files, please wait...\n";

/// A page whose title may stay readable and whose body words may not.
std::string page(std::string_view title, std::string_view words) {
    return "<html><head><title>" + std::string(title) + "</title></head><body><p>" + std::string(words) +
           "</p></body></html>";
}

class PublishedEndToEnd : public testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "quillora-published-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        m_root = pattern;
        writePassword("pw.txt", kPassword);
    }
    void TearDown() override {
        std::error_code error;
        fs::remove_all(m_root, error);
    }
    CliOutcome run(const std::vector<std::string>& arguments) const {
        const CliOutcome outcome = CliProcess::run(arguments, seconds(60), m_root.string());
        EXPECT_FALSE(outcome.timedOut);
        return outcome;
    }
    CliOutcome runWithInput(const std::vector<std::string>& arguments, const std::string& input) const {
        const CliOutcome outcome = CliProcess::runWithInput(arguments, input, seconds(60), m_root.string());
        EXPECT_FALSE(outcome.timedOut);
        return outcome;
    }
    std::string path(std::string_view relative) const { return (m_root / relative).string(); }
    void write(std::string_view relative, std::string_view bytes) const { writeFile(m_root / relative, bytes); }
    void writePassword(std::string_view relative, std::string_view password, fs::perms mode = fs::perms(0600)) const {
        write(relative, std::string(password) + "\n");
        fs::permissions(m_root / relative, mode);
    }
    /// Every file below a folder, by its path relative to it.
    std::set<std::string> filesBelow(std::string_view relative) const {
        std::set<std::string> files;
        for (const auto& entry : fs::recursive_directory_iterator(m_root / relative)) {
            if (entry.is_regular_file())
                files.insert(fs::relative(entry.path(), m_root / relative).string());
        }
        return files;
    }
    /// Each page-text word found in a file below the folder, as "file: word", but in the files named.
    std::vector<std::string> readableWords(std::string_view relative, const std::set<std::string>& named) const {
        std::vector<std::string> found;
        for (const auto& file : filesBelow(relative)) {
            if (named.count(file) != 0)
                continue;
            const std::string bytes = contentOf(m_root / relative / file);
            for (const auto& word : m_words) {
                if (bytes.find(word) != std::string::npos)
                    found.push_back(file + ": " + word);
            }
        }
        return found;
    }

    /// A site as people have it: a frameset with its frames, an article holding a frame tag, two pages a run hid
    /// before (one with its backup), a repository, editor leftovers, a search index and page sources.
    void makeSite() {
        const std::string frameset = "<html><head><title>Frames</title></head><frameset cols=\"20%,*\"><frame "
                                     "src=\"menu.html\"><frame src=\"main.html\"><noframes>noframeswombat"
                                     "</noframes></frameset></html>";
        m_originals = {
            {"site/index.html", frameset},
            {"site/menu.html", page("Menu", "menuquokka links")},
            {"site/main.html", page("Main", "mainnarwhal text")},
            {"site/article.html", page("Article", "articleokapi <frame src=\"https://example.com/\">")},
            {"site/old/hidden.html", page("Hidden", "hiddenaxolotl")},
            {"site/old/bare.html", page("Bare", "bareibex")},
        };
        m_words = {"noframeswombat", "menuquokka", "mainnarwhal", "articleokapi", "hiddenaxolotl", "bareibex"};
        for (const auto& [name, bytes] : m_originals)
            write(name, bytes);
        // Hidden before: one page with its backup, one without.
        ASSERT_EQ(run({"-q", "site/old/hidden.html"}).exitCode, 0);
        ASSERT_EQ(run({"-q", "--no-backup", "site/old/bare.html"}).exitCode, 0);
        m_hiddenBare = contentOf(m_root / "site/old/bare.html");
        ASSERT_NE(m_hiddenBare, m_originals["site/old/bare.html"]);
        for (const char* leftover : {"site/main.html~", "site/.main.html.swp", "site/main.html.orig",
                                     "site/MAIN.HTML.BAK", "site/#main.html#", "site/.#notes.md"})
            write(leftover, page("Main", "mainnarwhal text"));
        write("site/.git/HEAD", "ref: refs/heads/main\n");
        write("site/.git/objects/12/345678", "mainnarwhal text hiddenaxolotl");
        write("site/.svn/pristine/ab.svn-base", "menuquokka");
        write("site/search_index.json", R"({"main.html": "mainnarwhal text", "menu.html": "menuquokka"})");
        write("site/notes.md", "# Notes\n\nhiddenaxolotl\n");
        write("site/style.css", "body { margin: 0 }\n");
        write("site/logo.png", std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16));
    }

    fs::path m_root;
    std::map<std::string, std::string> m_originals;
    std::vector<std::string> m_words;
    std::string m_hiddenBare;
};

TEST_F(PublishedEndToEnd, AnEncryptedCopyHoldsNoReadableWordButInTheFilesItNames) {
    makeSite();
    const CliOutcome outcome = run({"--encrypt", "--password-file", "pw.txt", "--copy-to", "public", "site"});
    ASSERT_EQ(outcome.exitCode, 0) << outcome.err;
    const std::string script = unlock::sharedScriptName();
    EXPECT_EQ(filesBelow("public"),
              (std::set<std::string>{"article.html", "index.html", "logo.png", "main.html", "menu.html", "notes.md",
                                     "old/bare.html", "old/hidden.html", script, "search_index.json", "style.css"}))
        << "no repository, no leftover, no backup; the script the unlock pages share";
    EXPECT_EQ(outcome.err, kScanning + "quillora-cli: The site key file " + (m_root / "site.quillora-key").string() +
                               " was made: later runs read it so that visitors stay unlocked. Keep it, with a copy "
                               "somewhere safe, and never publish it.\n"
                               "quillora-cli: The unlock pages load their script from public/" +
                               script +
                               ": publish it with them\n"
                               "quillora-cli: The following 6 files have been protected\n"
                               "quillora-cli: 4 other files of the site were copied\n"
                               "quillora-cli: Readable by design: each page's title, the file names and sizes, "
                               "and the 4 other files copied with the pages\n"
                               "quillora-cli: warning: These files were copied with the pages and may hold "
                               "their text in clear:\n"
                               "quillora-cli:   public/notes.md\n"
                               "quillora-cli:   public/search_index.json\n");
    EXPECT_EQ(readableWords("public", {"notes.md", "search_index.json"}), std::vector<std::string>{});
    EXPECT_NE(contentOf(m_root / "public/index.html").find("<title>Frames</title>"), std::string::npos)
        << "the frameset is an unlock page with its title";
    EXPECT_EQ(contentOf(m_root / "site/old/hidden.html.bak"), m_originals["site/old/hidden.html"])
        << "the source is left as it was";
}

TEST_F(PublishedEndToEnd, EncryptedInPlaceTheFolderHoldsNoReadableWordAndRestoreBringsEveryOriginalBack) {
    makeSite();
    const CliOutcome outcome = run({"-q", "--encrypt", "--password-file", "pw.txt", "site"});
    ASSERT_EQ(outcome.exitCode, 0) << outcome.err;
    const std::set<std::string> named = {"#main.html#",
                                         ".#notes.md",
                                         ".main.html.swp",
                                         "MAIN.HTML.BAK",
                                         "main.html.orig",
                                         "main.html~",
                                         "notes.md",
                                         "search_index.json",
                                         ".git/HEAD",
                                         ".git/objects/12/345678",
                                         ".svn/pristine/ab.svn-base"};
    EXPECT_EQ(outcome.err,
              "quillora-cli: The originals are kept in " + path("site.originals") +
                  "\n"
                  "quillora-cli: warning: These files beside the pages may hold their text in clear:\n"
                  "quillora-cli:   " +
                  path("site/#main.html#") + "\nquillora-cli:   " + path("site/.#notes.md") + "\nquillora-cli:   " +
                  path("site/.main.html.swp") + "\nquillora-cli:   " + path("site/MAIN.HTML.BAK") +
                  "\nquillora-cli:   " + path("site/main.html.orig") + "\nquillora-cli:   " + path("site/main.html~") +
                  "\nquillora-cli:   " + path("site/notes.md") + "\nquillora-cli:   " + path("site/search_index.json") +
                  "\nquillora-cli:   " + path("site/.git") + "\nquillora-cli:   " + path("site/.svn") + "\n");
    EXPECT_EQ(readableWords("site", named), std::vector<std::string>{});
    EXPECT_FALSE(fs::exists(m_root / "site/old/hidden.html.bak")) << "its original went with the others";
    EXPECT_EQ(filesBelow("site.originals"), (std::set<std::string>{"article.html", "index.html", "main.html",
                                                                   "menu.html", "old/bare.html", "old/hidden.html"}));

    const CliOutcome restored = run({"--restore", "site"});
    ASSERT_EQ(restored.exitCode, 0) << restored.err;
    for (const auto& [name, bytes] : m_originals) {
        if (name != "site/old/bare.html") {
            EXPECT_EQ(contentOf(m_root / name), bytes) << name;
        }
    }
    EXPECT_EQ(contentOf(m_root / "site/old/bare.html"), m_hiddenBare) << "as it stood: it had no other original";
    EXPECT_FALSE(fs::exists(m_root / "site.originals"));
}

TEST_F(PublishedEndToEnd, APasswordBelowTheFloorIsRefusedUnlessTheUserInsists) {
    struct Password {
        const char* password;
        bool insist;
        int exitCode;
        std::string err; // all of standard error
    };
    const Password passwords[] = {
        {"a", false, 2,
         "quillora-cli: The password is too weak to encrypt with: about 2 bits, and at least 40 are needed. A longer "
         "password of several unrelated words is stronger.\nquillora-cli: --allow-weak-password encrypts with it all "
         "the same.\n"},
        {"a", true, 0,
         "quillora-cli: warning: the password is too weak (about 2 bits, below 40) and is used only because of "
         "--allow-weak-password\n"},
        {"blue-cactus-river", false, 0,
         "quillora-cli: warning: the password is weak (about 42 bits; 60 or more is strong): a longer password of "
         "several unrelated words is stronger\n"},
        {kPassword, false, 0, ""},
    };
    write("site/a.htm", page("A", "secretwords"));
    for (const auto& password : passwords) {
        SCOPED_TRACE(password.password);
        writePassword("weak.txt", password.password);
        std::vector<std::string> arguments = {"-q", "--encrypt", "--password-file", "weak.txt", "--copy-to", "out"};
        if (password.insist)
            arguments.emplace_back("--allow-weak-password");
        arguments.emplace_back("site");
        const CliOutcome outcome = run(arguments);
        EXPECT_EQ(outcome.exitCode, password.exitCode);
        EXPECT_EQ(outcome.err, password.err);
        EXPECT_EQ(fs::exists(m_root / "out"), password.exitCode == 0);
        fs::remove_all(m_root / "out");
        fs::remove(m_root / "site.quillora-key"); // each password a site of its own
    }
}

TEST_F(PublishedEndToEnd, NamesThatAreNotPagesAreSkippedUnread) {
    const std::string css = "body { margin: 0 }\n";
    const std::string png("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16);
    write("site/style.css", css);
    write("site/logo.png", png);
    write("site/a.html", page("A", "words"));
    write("site/UPPER.HTM", page("Upper", "words"));
    const CliOutcome outcome =
        run({"-q", "--no-backup", "site/style.css", "site/logo.png", "site/a.html", "site/UPPER.HTM"});
    EXPECT_EQ(outcome.exitCode, 1);
    EXPECT_EQ(outcome.out, path("site/a.html") + "\n" + path("site/UPPER.HTM") + "\n")
        << "a page named on its own is taken in any letter case";
    EXPECT_EQ(outcome.err, "quillora-cli: " + path("site/style.css") +
                               ": Not a page (only .htm and .html files are rewritten); left alone\n"
                               "quillora-cli: " +
                               path("site/logo.png") +
                               ": Not a page (only .htm and .html files are rewritten); left alone\n");
    EXPECT_EQ(contentOf(m_root / "site/style.css"), css);
    EXPECT_EQ(contentOf(m_root / "site/logo.png"), png);
}

TEST_F(PublishedEndToEnd, CopiesThatWouldMeetOrATargetThatIsNoFolderAreRefusedBeforeAnythingIsWritten) {
    write("one/index.html", page("One", "first"));
    write("two/index.html", page("Two", "second"));
    write("target.txt", "a file");
    struct Refusal {
        const char* name;
        std::vector<std::string> arguments;
        std::string error;
    };
    const Refusal refusals[] = {
        {"TwoFoldersMeet",
         {"-q", "--copy-to", "public", "one", "two"},
         "quillora-cli: " + path("one/index.html") + " and " + path("two/index.html") + " would both be copied to " +
             path("public/index.html") +
             ", and the second would replace the first; please copy the picked folders one at a time, or into "
             "different folders\n"},
        {"TargetIsAFile",
         {"-q", "--copy-to", "target.txt", "one"},
         "quillora-cli: The target target.txt is not a folder; please select a folder to copy the protected files "
         "to\n"},
        {"TargetBelowAFile",
         {"-q", "--copy-to", "target.txt/sub", "one"},
         "quillora-cli: The target target.txt/sub is not a folder; please select a folder to copy the protected "
         "files to\n"},
    };
    for (const auto& refusal : refusals) {
        SCOPED_TRACE(refusal.name);
        const CliOutcome outcome = run(refusal.arguments);
        EXPECT_EQ(outcome.exitCode, 2);
        EXPECT_EQ(outcome.out, "");
        EXPECT_EQ(outcome.err, refusal.error);
        EXPECT_EQ(filesBelow(""), (std::set<std::string>{"one/index.html", "pw.txt", "target.txt", "two/index.html"}));
    }
}

TEST_F(PublishedEndToEnd, TheSiteKeyFileGoesWhereItIsNamedAndNeverIntoWhatIsPublished) {
    write("site/a.htm", page("A", "secretwords"));
    writePassword("pw.txt", kPassword);
    const CliOutcome inside = run({"-q", "--encrypt", "--password-file", "pw.txt", "--key-file",
                                   "public/k.quillora-key", "--copy-to", "public", "site"});
    EXPECT_EQ(inside.exitCode, 2);
    EXPECT_EQ(inside.err, "quillora-cli: The site key file " + path("public/k.quillora-key") +
                              " lies within public, "
                              "where it would be published with the pages; please keep it outside\n"
                              "quillora-cli: Name the site key file with --key-file FILE.\n");
    EXPECT_FALSE(fs::exists(m_root / "public"));

    const std::vector<std::string> named = {"-q",          "--encrypt", "--password-file", "pw.txt", "--key-file",
                                            "keys/site.k", "--copy-to", "public",          "site"};
    fs::create_directory(m_root / "keys");
    ASSERT_EQ(run(named).exitCode, 0);
    const std::string key = contentOf(m_root / "keys/site.k");
    EXPECT_NE(key.find("\"format\": \"quillora-site-key\""), std::string::npos);
    EXPECT_FALSE(fs::exists(m_root / "site.quillora-key")) << "only where it was named";
    write("site/b.htm", page("B", "morewords"));
    ASSERT_EQ(run(named).exitCode, 0);
    EXPECT_EQ(contentOf(m_root / "keys/site.k"), key) << "read by the later run, not made again";
    EXPECT_EQ(filesBelow("public"), (std::set<std::string>{"a.htm", "b.htm", unlock::sharedScriptName()}));
}

TEST_F(PublishedEndToEnd, AnUnlockTemplateIsCheckedBeforeAnythingIsWrittenAndThenShapesEveryUnlockPage) {
    write("site/a.htm", "<html lang=\"fr\"><head><title>Plan</title></head><body>secretwords</body></html>");
    const std::vector<std::string> base = {"-q",    "--encrypt", "--password-file", "pw.txt",
                                           "--csp", "--copy-to", "public",          "--unlock-template"};
    const auto runWith = [&](const std::string& file) {
        std::vector<std::string> arguments = base;
        arguments.push_back(file);
        arguments.push_back("site");
        return run(arguments);
    };
    struct Refused {
        const char* file;
        const char* text; // null: no such file
        std::string error;
    };
    const Refused refusals[] = {
        {"missing.html", nullptr,
         "quillora-cli: The unlock template " + path("missing.html") + " cannot be read: No such file or directory\n"},
        {"no-form.html", "<title>{{title}}</title><p>Members only",
         "quillora-cli: The unlock template " + path("no-form.html") +
             " cannot be used: it has no {{form}} placeholder, which says where the password form goes\n"},
    };
    for (const auto& refusal : refusals) {
        SCOPED_TRACE(refusal.file);
        if (refusal.text != nullptr)
            write(refusal.file, refusal.text);
        const CliOutcome outcome = runWith(refusal.file);
        EXPECT_EQ(outcome.exitCode, 2);
        EXPECT_EQ(outcome.err, refusal.error);
        EXPECT_FALSE(fs::exists(m_root / "public"));
        EXPECT_FALSE(fs::exists(m_root / "site.quillora-key")) << "refused before any key is made";
    }
    write("unlock.html", "<!DOCTYPE html><html><head><title>{{title}} \xE2\x80\x93 Members</title></head>"
                         "<body><h1>Members \xE2\x80\x93 {{title}}</h1>{{form}}</body></html>");
    const CliOutcome made = runWith("unlock.html");
    ASSERT_EQ(made.exitCode, 0) << made.err;
    const std::string unlock = contentOf(m_root / "public/a.htm");
    EXPECT_EQ(unlock.rfind("<html lang=\"fr\"><head><meta name=\"quillora-page\" content=\"encrypted\">\n"
                           "<meta http-equiv=\"Content-Security-Policy\"",
                           0),
              0u)
        << unlock.substr(0, 200);
    EXPECT_NE(unlock.find("<h1>Members &#8211; Plan</h1><form id=\"qv-form\" hidden><label for=\"qv-password\">"
                          "Saisissez le mot de passe"),
              std::string::npos);
    EXPECT_EQ(unlock.find("secretwords"), std::string::npos);
}

TEST_F(PublishedEndToEnd, ThePasswordFromStandardInputOpensWhatItEncrypted) {
    write("site/a.htm", page("A", "secretwords"));
    const std::vector<std::string> arguments = {"-q", "--encrypt", "--password-file", "-", "site"};
    const CliOutcome first = runWithInput(arguments, std::string(kPassword) + "\nthe rest is not read\n");
    ASSERT_EQ(first.exitCode, 0) << first.err;
    EXPECT_EQ(contentOf(m_root / "site/a.htm").find("secretwords"), std::string::npos);

    const CliOutcome same = runWithInput(arguments, kPassword);
    EXPECT_EQ(same.exitCode, 0);
    EXPECT_EQ(same.err, "quillora-cli: " + path("site/a.htm") + " is already protected\n");

    const CliOutcome refused = runWithInput(arguments, "another horse battery staple\n");
    EXPECT_EQ(refused.exitCode, 2) << "not a password of the site's key";
    EXPECT_EQ(refused.err, "quillora-cli: The password is not one of the passwords of the site key file " +
                               path("site.quillora-key") +
                               "; please give one of them, or choose another key file\n"
                               "quillora-cli: Name the site key file with --key-file FILE.\n");
    std::vector<std::string> otherKey = arguments;
    otherKey.insert(otherKey.begin() + 1, {"--key-file", "other.quillora-key"});
    const CliOutcome other = runWithInput(otherKey, "another horse battery staple\n");
    EXPECT_EQ(other.exitCode, 1);
    EXPECT_EQ(other.err, "quillora-cli: " + path("site/a.htm") +
                             ": Encrypted with another password or key; to encrypt it with this password, restore its "
                             "original (--restore on the command line, Restore Originals in the window) and encrypt it "
                             "again; left alone\n");

    const CliOutcome empty = runWithInput(arguments, "");
    EXPECT_EQ(empty.exitCode, 2);
    EXPECT_EQ(empty.err, "quillora-cli: --password-file: the first line of standard input is empty\n"
                         "quillora-cli: Run with --help for more information.\n");
}

TEST_F(PublishedEndToEnd, AMistypedOptionIsNamedAndWhatFollowsItNever) {
    write("site/a.htm", page("A", "words"));
    for (const std::vector<std::string>& arguments :
         {std::vector<std::string>{"--pasword", "Hunter2secret", "site"},
          std::vector<std::string>{"--pasword=Hunter2secret", "site"},
          std::vector<std::string>{"--encrypt", "--password-file", "pw.txt", "--pasword", "Hunter2secret", "site"}}) {
        const CliOutcome outcome = run(arguments);
        EXPECT_EQ(outcome.exitCode, 2);
        EXPECT_EQ(outcome.err, "quillora-cli: unknown option --pasword: did you mean --password?\n"
                               "quillora-cli: Run with --help for more information.\n");
        EXPECT_EQ(outcome.out, "");
    }
    const CliOutcome value = run({"-q", "--notice=--pasword", "--no-backup", "site"});
    EXPECT_EQ(value.exitCode, 0) << "an option's value may look like an option: " << value.err;
}

TEST_F(PublishedEndToEnd, WherePasswordsCanBeSeenIsWarnedAbout) {
    write("site/a.htm", page("A", "words"));
    struct Warned {
        const char* name;
        std::vector<std::string> arguments;
        std::string warning; // empty: none
    };
    writePassword("open.txt", kPassword, fs::perms(0644));
    const Warned cases[] = {
        {"InTheArguments",
         {"--encrypt", "--password", kPassword},
         "quillora-cli: warning: other users of this machine can see --password in the process list; prefer "
         "--password-file or QUILLORA_PASSWORD\n"},
        {"InAFileOthersRead",
         {"--encrypt", "--password-file", "open.txt"},
         "quillora-cli: warning: open.txt can be read by other users of this machine (mode 0644); chmod 600 open.txt "
         "keeps the password to you\n"},
        {"InAFileOfTheUsersOwn", {"--encrypt", "--password-file", "pw.txt"}, ""},
        {"InEveryPageAsAPrompt",
         {"--password", "plain"},
         "quillora-cli: warning: --password without --encrypt only adds a prompt: the password stands readable in "
         "every page, and the pages open without it (add --encrypt to encrypt them)\n"},
    };
    for (const auto& warned : cases) {
        SCOPED_TRACE(warned.name);
        std::vector<std::string> arguments = {"-q", "--copy-to", "out"};
        arguments.insert(arguments.end(), warned.arguments.begin(), warned.arguments.end());
        arguments.emplace_back("site");
        const CliOutcome outcome = run(arguments);
        EXPECT_EQ(outcome.exitCode, 0) << outcome.err;
        EXPECT_EQ(outcome.err, warned.warning);
        fs::remove_all(m_root / "out");
    }
}

TEST_F(PublishedEndToEnd, EncryptingBesideTheOriginalsIsRefused) {
    write("site/a.htm", page("A", "words"));
    const CliOutcome outcome = run({"--encrypt", "--password-file", "pw.txt", "--beside", "site"});
    EXPECT_EQ(outcome.exitCode, 2);
    EXPECT_EQ(outcome.err,
              "quillora-cli: Encrypted pages are not written beside their originals: the originals would stay readable "
              "in the folder you publish. Please copy the pages to a new folder, or overwrite them (their originals "
              "are then kept outside the picked folders).\n"
              "quillora-cli: Give --copy-to DIR instead of --beside, or leave --beside out to overwrite the pages.\n");
    EXPECT_EQ(filesBelow("site"), std::set<std::string>{"a.htm"});
}

TEST_F(PublishedEndToEnd, ABackupFolderKeepsTheOriginalsAndRestoreLooksThereWhenToldTo) {
    const std::string original = page("A", "words");
    write("site/a.htm", original);
    const CliOutcome inside = run({"--encrypt", "--password-file", "pw.txt", "--backup-dir", "site/kept", "site"});
    EXPECT_EQ(inside.exitCode, 2);
    EXPECT_EQ(inside.err, "quillora-cli: The folder for the originals, " + path("site/kept") +
                              ", lies within the picked folder " + path("site") +
                              ", where they would be published with the pages; please choose a folder outside it\n"
                              "quillora-cli: Give the folder for the originals with --backup-dir DIR.\n");
    const CliOutcome unencrypted = run({"--backup-dir", "kept", "site"});
    EXPECT_EQ(unencrypted.exitCode, 2);
    EXPECT_EQ(unencrypted.err.substr(0, unencrypted.err.find('\n')),
              "quillora-cli: --backup-dir keeps the originals of an encrypted run (--encrypt) or finds them "
              "(--restore); an unencrypted run keeps a .bak beside each page");
    EXPECT_EQ(contentOf(m_root / "site/a.htm"), original);

    const CliOutcome outcome = run({"-q", "--encrypt", "--password-file", "pw.txt", "--backup-dir", "kept", "site"});
    ASSERT_EQ(outcome.exitCode, 0) << outcome.err;
    EXPECT_EQ(outcome.err, "quillora-cli: The originals are kept in " + path("kept") + "\n");
    EXPECT_EQ(contentOf(path("kept") + path("site/a.htm")), original);
    EXPECT_EQ(run({"-q", "--restore", "site"}).exitCode, 1) << "not found without the folder";
    const CliOutcome restored = run({"-q", "--restore", "--backup-dir", "kept", "site"});
    EXPECT_EQ(restored.exitCode, 0) << restored.err;
    EXPECT_EQ(contentOf(m_root / "site/a.htm"), original);
}

TEST_F(PublishedEndToEnd, AnUnlockTitleStandsInPlaceOfEveryPagesOwn) {
    write("site/a.htm", page("Quarterly figures", "words"));
    const CliOutcome outcome =
        run({"-q", "--encrypt", "--password-file", "pw.txt", "--unlock-title", "Members & friends", "site"});
    ASSERT_EQ(outcome.exitCode, 0) << outcome.err;
    const std::string written = contentOf(m_root / "site/a.htm");
    EXPECT_NE(written.find("<title>Members &amp; friends</title>"), std::string::npos);
    EXPECT_EQ(written.find("Quarterly"), std::string::npos);
}

} // namespace
} // namespace quillora::cli::test
