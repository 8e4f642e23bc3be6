// The real quillora-cli with a project file, in a build pipeline's ways: rules per path, previews, the JSON report
// checked against its schema, a page from standard input to standard output, and incremental copies killed and
// started again.

#include "CliProcess.h"
#include "CliTestSupport.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <map>
#include <sstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace quillora::cli::test {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kBootstrapStart = "<SCRIPT LANGUAGE=JavaScript><!--";

std::string shellQuoted(std::string_view text) {
    std::string out(1, '\'');
    for (const char c : text) {
        if (c == '\'')
            out.append("'\\''");
        else
            out.push_back(c);
    }
    out.push_back('\'');
    return out;
}

std::string page(std::string_view word) {
    return "<html><head><title>" + std::string(word) + "</title></head><body><p>" + std::string(word) +
           " text</p><a href=\"mailto:me@example.com\">mail</a></body></html>";
}

struct Result {
    int status;
    std::string out;
    std::string err;
};

/// Every file below a folder with its bytes and time: what a run that writes nothing leaves as it was.
std::map<std::string, std::pair<std::string, std::int64_t>> snapshot(const fs::path& folder) {
    std::map<std::string, std::pair<std::string, std::int64_t>> files;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        if (!entry.is_regular_file())
            continue;
        struct stat st {};
        ::stat(entry.path().c_str(), &st);
        files[entry.path().lexically_relative(folder).string()] = {
            contentOf(entry.path()), static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec};
    }
    return files;
}

class ProjectEndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "quillora-project-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        dir = pattern;
        writeFile(dir / "site/a.html", page("alpha"));
        writeFile(dir / "site/members/m.html", page("members"));
        writeFile(dir / "site/index.html", page("home"));
        writeFile(dir / "site/drafts/d.html", page("draft"));
        writeFile(dir / "site/style.css", "body{}");
    }
    void TearDown() override { fs::remove_all(dir); }

    /// Runs the program in the test's folder; input, when given, is its standard input.
    Result run(const std::vector<std::string>& arguments, const std::string& input = {},
               const std::string& environment = {}) const {
        std::string command =
            "cd " + shellQuoted(dir.string()) + " && " + environment + " " + shellQuoted(QUILLORA_CLI_PATH);
        for (const auto& argument : arguments)
            command.append(" ").append(shellQuoted(argument));
        if (!input.empty()) {
            writeFile(dir / ".in", input);
            command.append(" <").append(shellQuoted((dir / ".in").string()));
        }
        command.append(" >").append(shellQuoted((dir / ".out").string()));
        command.append(" 2>").append(shellQuoted((dir / ".err").string()));
        const int status = std::system(command.c_str());
        Result result{WIFEXITED(status) ? WEXITSTATUS(status) : -1, contentOf(dir / ".out"), contentOf(dir / ".err")};
        fs::remove(dir / ".out");
        fs::remove(dir / ".err");
        fs::remove(dir / ".in");
        return result;
    }
    void project(std::string_view text) const { writeFile(dir / "site/quillora.toml", text); }
    bool holds(std::string_view relative, std::string_view part) const {
        return contentOf(dir / relative).find(part) != std::string::npos;
    }
    /// True when the report validates against the schema in the repository.
    bool validates(const std::string& report) const {
        writeFile(dir / ".report.json", report);
        const std::string command = "/usr/bin/python3 " +
                                    shellQuoted(QUILLORA_SOURCE_DIR "/tests/cli/validate_report.py") + " " +
                                    shellQuoted(QUILLORA_SOURCE_DIR "/docs/report.schema.json") + " " +
                                    shellQuoted((dir / ".report.json").string());
        const int status = std::system(command.c_str());
        return WIFEXITED(status) && WEXITSTATUS(status) == 0;
    }

    fs::path dir;
};

constexpr std::string_view kSite = R"(exclude = ["drafts/"]
[output]
mode = "copy"
target = "../public"
[pages]
hide = "email-links"
[[rule]]
paths = ["members/"]
hide = "page"
[[rule]]
paths = ["index.html"]
leave-alone = true
)";

TEST_F(ProjectEndToEnd, ASitesProjectFileIsReadWhenTheFolderIsNamedAlone) {
    project(kSite);
    const auto result = run({"site"});
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out, (dir / "public/a.html").string() + "\n" + (dir / "public/members/m.html").string() + "\n");
    EXPECT_EQ(result.err.substr(0, result.err.find('\n')), "quillora-cli: Reading the project file site/quillora.toml");
    EXPECT_TRUE(holds("public/a.html", "alpha text"));
    EXPECT_FALSE(holds("public/a.html", "me@example.com"));
    EXPECT_FALSE(holds("public/members/m.html", "members text"));
    EXPECT_EQ(contentOf(dir / "public/index.html"), page("home"));
    EXPECT_EQ(contentOf(dir / "public/style.css"), "body{}");
    EXPECT_FALSE(fs::exists(dir / "public/drafts"));
    EXPECT_FALSE(fs::exists(dir / "public/quillora.toml")) << "the project file is not published";
}

TEST_F(ProjectEndToEnd, TheWorkingFolderOrConfigNameTheFile) {
    project(kSite);
    const std::string command =
        "cd " + shellQuoted((dir / "site").string()) + " && " + shellQuoted(QUILLORA_CLI_PATH) + " -q >/dev/null 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0);
    EXPECT_TRUE(fs::exists(dir / "public/a.html")) << "no PATH: the working folder's quillora.toml";
    fs::remove_all(dir / "public");
    fs::rename(dir / "site/quillora.toml", dir / "site/site.toml");
    ASSERT_EQ(run({"--config", "site/site.toml", "-q"}).status, 0) << "no PATH: the file's folder";
    EXPECT_TRUE(fs::exists(dir / "public/members/m.html"));
    writeFile(dir / "other/x.html", page("x"));
    const auto outside = run({"--config", "site/site.toml", "-q", "other"});
    EXPECT_EQ(outside.status, 2);
    EXPECT_NE(outside.err.find("is outside the site of site/site.toml"), std::string::npos) << outside.err;
}

TEST_F(ProjectEndToEnd, ABadFileIsRefusedBeforeAnythingIsRead) {
    project("[output]\nmode = \"copy\"\ntarget = \"../public\"\n[pages]\nhide = \"everything\"\n");
    const auto before = snapshot(dir);
    const auto result = run({"site"});
    EXPECT_EQ(result.status, 2);
    EXPECT_EQ(result.err, "quillora-cli: site/quillora.toml:5: hide = \"everything\" is not a hide mode: write "
                          "\"email-links\", \"links\", \"body\", \"page\" or \"none\"\n");
    EXPECT_EQ(snapshot(dir), before);
}

TEST_F(ProjectEndToEnd, OptionsGoBeforeTheFile) {
    project(kSite);
    ASSERT_EQ(run({"--hide", "page", "-q", "site"}).status, 0);
    EXPECT_FALSE(holds("public/a.html", "alpha text")) << "the whole page, as the command line says";
    EXPECT_EQ(contentOf(dir / "public/index.html"), page("home")) << "still left alone";
    ASSERT_EQ(run({"--no-config", "--copy-to", "plain", "-q", "site"}).status, 0);
    EXPECT_TRUE(fs::exists(dir / "plain/drafts/d.html")) << "--no-config: no rules, nothing left out";
}

// A project's encrypted pages get what an encrypted run gives: the originals out of the published folder and
// found again by the restore, one title for every unlock page, a hidden page of another rule never re-encrypted.
TEST_F(ProjectEndToEnd, AProjectsEncryptedPagesKeepTheirOriginalsOutOfTheSite) {
    writeFile(dir / "pw", "a long passphrase for the members\n");
    project(R"(exclude = ["drafts/"]
[output]
mode = "overwrite"
[encryption]
password-file = "../pw"
unlock-title = "Members"
[pages]
hide = "email-links"
[[rule]]
paths = ["members/"]
encrypt = true
)");
    const auto first = run({"site"});
    ASSERT_EQ(first.status, 0) << first.err;
    std::string kept = (dir / "site.originals").string();
    kept.insert(0, "The originals are kept in ");
    EXPECT_NE(first.err.find(kept), std::string::npos) << first.err;
    EXPECT_EQ(contentOf(dir / "site.originals/members/m.html"), page("members"));
    EXPECT_EQ(contentOf(dir / "site.originals/a.html"), page("alpha"));
    EXPECT_FALSE(fs::exists(dir / "site/members/m.html.bak")) << "nothing readable beside the encrypted page";
    EXPECT_TRUE(holds("site/members/m.html", "<title>Members</title>"));
    EXPECT_FALSE(holds("site/members/m.html", "members text"));
    EXPECT_TRUE(holds("site/a.html", "alpha text")) << "hidden, only its links";

    const auto again = run({"site"});
    EXPECT_EQ(again.status, 0) << again.err;
    EXPECT_NE(again.err.find("3 pages were already protected"), std::string::npos) << again.err;

    ASSERT_EQ(run({"--restore", "-q", "site"}).status, 0);
    EXPECT_EQ(contentOf(dir / "site/members/m.html"), page("members"));
    EXPECT_EQ(contentOf(dir / "site/a.html"), page("alpha"));
}

TEST_F(ProjectEndToEnd, InitWritesAFileThatRunsAsTheOptionsSaid) {
    const auto init = run({"--init", "--copy-to", "public", "--hide", "links", "--no-select", "site"});
    ASSERT_EQ(init.status, 0) << init.err;
    EXPECT_EQ(init.out, "site/quillora.toml\n");
    const std::string text = contentOf(dir / "site/quillora.toml");
    EXPECT_NE(text.find("target = \"../public\""), std::string::npos) << text;
    EXPECT_NE(text.find("hide = \"links\""), std::string::npos);
    EXPECT_NE(text.find("scripts = [\"no-select\"]"), std::string::npos);
    ASSERT_EQ(run({"-q", "site"}).status, 0);
    ASSERT_EQ(run({"--no-config", "--copy-to", "by-hand", "--hide", "links", "--no-select", "-q", "site"}).status, 0);
    EXPECT_EQ(contentOf(dir / "public/a.html"), contentOf(dir / "by-hand/a.html"));
    const auto again = run({"--init", "site"});
    EXPECT_EQ(again.status, 2);
    EXPECT_EQ(again.err, "quillora-cli: site/quillora.toml exists already: edit it, or remove it to start again\n");
}

TEST_F(ProjectEndToEnd, ADryRunWritesNothingAndTellsEveryFile) {
    project(kSite);
    const auto before = snapshot(dir);
    const auto result = run({"--dry-run", "site"});
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(snapshot(dir), before);
    const std::string site = (dir / "site").string();
    const std::string out = (dir / "public").string();
    EXPECT_EQ(result.out, "would protect " + site + "/a.html -> " + out +
                              "/a.html: email-links ([pages] at site/quillora.toml:5)\n"
                              "would leave alone " +
                              site + "/index.html -> " + out +
                              "/index.html (rule 2 at site/quillora.toml:10)\n"
                              "would protect " +
                              site + "/members/m.html -> " + out +
                              "/members/m.html: page (rule 1 at site/quillora.toml:7)\n"
                              "would copy " +
                              site + "/style.css -> " + out + "/style.css\n");
    EXPECT_NE(result.err.find("quillora-cli: Dry run: 2 pages would be protected, 1 left alone, 1 other files copied, "
                              "0 unchanged, 0 removed; nothing was written\n"),
              std::string::npos)
        << result.err;
}

TEST_F(ProjectEndToEnd, TheJsonReportMatchesItsSchema) {
    project(kSite);
    ASSERT_EQ(::mkfifo((dir / "site/pipe.html").c_str(), 0644), 0); // skipped, with its problem
    const auto report = run({"--report", "json", "site"});
    EXPECT_EQ(report.status, 1);
    EXPECT_TRUE(validates(report.out)) << report.out;
    EXPECT_NE(report.out.find("\"action\": \"skipped\""), std::string::npos);
    EXPECT_NE(report.out.find("\"action\": \"left-alone\""), std::string::npos);
    EXPECT_NE(report.out.find("\"exitStatus\": 1"), std::string::npos);
    fs::remove(dir / "site/pipe.html");
    const auto again = run({"--json", "site"});
    EXPECT_TRUE(validates(again.out)) << again.out;
    EXPECT_NE(again.out.find("\"action\": \"unchanged\""), std::string::npos) << "an incremental copy";
    const auto dry = run({"--json", "--dry-run", "--hide", "none", "site"});
    EXPECT_TRUE(validates(dry.out)) << dry.out;
    EXPECT_NE(dry.out.find("\"dryRun\": true"), std::string::npos);
    const auto refused = run({"--json", "--no-config", "--copy-to", "site", "site"});
    EXPECT_EQ(refused.status, 2);
    EXPECT_TRUE(validates(refused.out)) << refused.out;
    EXPECT_NE(refused.out.find("\"outcome\": \"refused\""), std::string::npos);
    // The check can fail: a report with an action the schema does not know does not pass.
    std::string broken = again.out;
    broken.replace(broken.find("\"unchanged\""), 11, "\"rewritten\"");
    EXPECT_FALSE(validates(broken));
}

TEST_F(ProjectEndToEnd, TheJsonReportNamesAPageProtectedInPart) {
    writeFile(dir / "t/t.html", "<html><head></head><body><template><a href=\"team.html\">Team</a></template>"
                                "<a href=\"home.html\">Home</a></body></html>");
    writeFile(dir / "t/plain.html", page("plain"));
    const auto report = run({"--json", "--hide", "links", "--beside", "t"});
    EXPECT_EQ(report.status, 1) << "protected only in part";
    EXPECT_TRUE(validates(report.out)) << report.out;
    EXPECT_NE(report.out.find("\"protected-in-part\": 1,"), std::string::npos) << report.out;
    EXPECT_NE(report.out.find("\"protectedInPart\": \"protected in part: links inside a template or an SVG or "
                              "MathML drawing are left as they are\""),
              std::string::npos)
        << report.out;
    EXPECT_NE(report.err.find("t.html: protected in part: "), std::string::npos) << "told on standard error too";
    // Only a protected page may carry the note.
    std::string broken = report.out;
    broken.replace(broken.find("\"action\": \"protected\",\n      \"rule\": 0,\n      \"problem\": null,\n      "
                               "\"protectedInPart\""),
                   22, "\"action\": \"left-alone\",");
    EXPECT_FALSE(validates(broken));
}

TEST_F(ProjectEndToEnd, OnePageFromStandardInputAsAFileWouldBeWritten) {
    // Windows-1252, undeclared: read in the set a browser would use, as for a file.
    const std::string latin = "<html><head><title>caf\xe9</title></head><body>d\xe9j\xe0 <a href=\"mailto:a@b.c\">m</a>"
                              "</body></html>";
    writeFile(dir / "one/page.html", latin);
    for (const char* mode : {"email-links", "links", "body", "page", "none"}) {
        const auto piped = run({"--hide", mode, "--no-select", "--notice", "(c)", "-"}, latin);
        ASSERT_EQ(piped.status, 0) << mode << ": " << piped.err;
        EXPECT_EQ(piped.err, "");
        ASSERT_EQ(run({"--hide", mode, "--no-select", "--notice", "(c)", "--beside", "-q", "one/page.html"}).status, 0);
        EXPECT_EQ(piped.out, contentOf(dir / "one/protected_page.html")) << mode;
        EXPECT_NE(piped.out.find(kBootstrapStart), std::string::npos) << mode;
        fs::remove(dir / "one/protected_page.html");
    }
    const auto sealed = run({"--encrypt", "--hide", "page", "-"}, latin, "QUILLORA_PASSWORD=secret");
    ASSERT_EQ(sealed.status, 0) << sealed.err;
    EXPECT_NE(sealed.out.find("<meta name=\"quillora-page\" content=\"encrypted\">"), std::string::npos);
    EXPECT_EQ(sealed.out.find("d\xe9j\xe0"), std::string::npos);
    const auto again = run({"-"}, sealed.out);
    EXPECT_EQ(again.status, 0);
    EXPECT_EQ(again.out, sealed.out) << "already protected: passed on as it came";
    EXPECT_EQ(again.err, "quillora-cli: -: already protected; written as it came\n");
}

struct Refusal {
    const char* name;
    std::vector<std::string> arguments;
    std::string error;
};

class ProjectEndToEndRefuses : public ProjectEndToEnd, public ::testing::WithParamInterface<Refusal> {};

TEST_P(ProjectEndToEndRefuses, WithStatusTwo) {
    const auto before = snapshot(dir);
    const auto result = run(GetParam().arguments);
    EXPECT_EQ(result.status, 2);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err.substr(0, result.err.find('\n')), GetParam().error);
    EXPECT_EQ(snapshot(dir), before);
}

INSTANTIATE_TEST_SUITE_P(
    Arguments, ProjectEndToEndRefuses,
    ::testing::Values(
        Refusal{"UnknownOption", {"--bogus", "site"}, "quillora-cli: unknown option --bogus"},
        Refusal{"UnknownOptionAfterAFlag", {"--no-backup", "--bogus", "site"}, "quillora-cli: unknown option --bogus"},
        Refusal{"UnknownShortOption", {"-q", "-z", "site"}, "quillora-cli: unknown option -z"},
        Refusal{
            "MistypedOption", {"--hid", "page", "site"}, "quillora-cli: unknown option --hid: did you mean --hide?"},
        Refusal{"StandardInputWithAPath",
                {"-", "site"},
                "quillora-cli: - reads one page from standard input: give it alone, without other paths"},
        Refusal{"StandardInputWithStorage",
                {"--copy-to", "x", "-"},
                "quillora-cli: --copy-to does not go with - (one page from standard input to standard output)"},
        Refusal{"StandardInputAsATarget",
                {"--copy-to", "-", "site"},
                "quillora-cli: --copy-to: - stands for standard input only as the PATH: name a file or folder"},
        Refusal{"ConfigFromStandardInput",
                {"--config", "-", "site"},
                "quillora-cli: --config: - stands for standard input only as the PATH: name a file or folder"},
        Refusal{"InitForTwoFolders",
                {"--init", "site", "site/members"},
                "quillora-cli: --init writes one project file at a site's root: name one folder, or give --config "
                "FILE"}),
    [](const auto& info) { return info.param.name; });

TEST_F(ProjectEndToEnd, FailIfEmptyMakesAnEmptySelectionAFailure) {
    fs::create_directories(dir / "empty");
    EXPECT_EQ(run({"empty"}).status, 0);
    const auto result = run({"--fail-if-empty", "empty"});
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(result.err.find("quillora-cli: No files found to protect\n"), std::string::npos);
}

TEST_F(ProjectEndToEnd, HelpFitsOneHundredColumnsAndEndsWithExamplesAndExitCodes) {
    const auto help = run({"--help"});
    ASSERT_EQ(help.status, 0);
    std::istringstream lines(help.out);
    std::string line;
    std::string last;
    while (std::getline(lines, line)) {
        EXPECT_LE(line.size(), 100u) << line;
        if (!line.empty())
            last = line;
    }
    const auto examples = help.out.find("\nExamples:\n");
    const auto status = help.out.find("\nExit status: 0 ");
    ASSERT_NE(examples, std::string::npos);
    ASSERT_NE(status, std::string::npos);
    EXPECT_LT(examples, status);
    EXPECT_EQ(help.out.find("\n\n", status), std::string::npos) << "the exit codes are the last paragraph";
    EXPECT_EQ(last, "is written.");
    for (const char* option : {"--config", "--no-config", "--init", "--dry-run", "--report", "--json", "--verbose",
                               "--fail-if-empty", "none"})
        EXPECT_NE(help.out.find(option), std::string::npos) << option;
}

TEST_F(ProjectEndToEnd, VerboseNamesEachPagesRule) {
    project(kSite);
    const auto result = run({"-v", "site"});
    ASSERT_EQ(result.status, 0);
    EXPECT_NE(result.err.find("quillora-cli: protected " + (dir / "site/members/m.html").string() + " -> " +
                              (dir / "public/members/m.html").string() + ": page (rule 1 at site/quillora.toml:7)\n"),
              std::string::npos)
        << result.err;
}

// A copy killed at many moments, then run again: what is in the target at the end is what one full run writes,
// nothing stale, nothing missing, and the user's own files are still there.
TEST_F(ProjectEndToEnd, IncrementalCopiesKilledAndRunAgain) {
    fs::remove_all(dir / "site");
    for (int i = 0; i < 300; ++i) {
        // Built by appending: GCC 12 warns falsely (-Wrestrict) about some inlined string concatenations.
        std::string folder = "d", file = "p", words = "page ";
        folder.append(std::to_string(i % 7));
        file.append(std::to_string(i)).append(".html");
        words.append(std::to_string(i));
        writeFile(dir / "site" / folder / file, page(words));
    }
    project("[output]\nmode = \"copy\"\ntarget = \"../public\"\n");
    ASSERT_EQ(run({"-q", "site"}).status, 0);
    writeFile(dir / "public/mine.txt", "the user's");
    for (int round = 0; round < 6; ++round) {
        // Some pages change, some go, some come.
        for (int i = round; i < 300; i += 23)
            writeFile(dir / "site" / (std::string("d") + std::to_string(i % 7)) /
                          (std::string("p") + std::to_string(i) + ".html"),
                      page(std::string("page ") + std::to_string(i) + " in round " + std::to_string(round)));
        for (int i = round * 3; i < 300; i += 61)
            fs::remove(dir / "site" / (std::string("d") + std::to_string(i % 7)) /
                       (std::string("p") + std::to_string(i) + ".html"));
        writeFile(dir / "site/new" / (std::string("n") + std::to_string(round) + ".html"), page("new"));
        const auto killed =
            CliProcess::runAndKill({"-q", "site"}, std::chrono::microseconds(2000 + 7000 * round), dir.string());
        (void)killed;
    }
    const auto last = run({"-q", "site"});
    ASSERT_EQ(last.status, 0) << last.err;
    ASSERT_EQ(run({"--no-config", "--copy-to", "fresh", "-q", "site"}).status, 0);
    auto copied = snapshot(dir / "public");
    auto fresh = snapshot(dir / "fresh");
    EXPECT_EQ(copied["mine.txt"].first, "the user's");
    copied.erase("mine.txt");
    copied.erase(".quillora-manifest");
    ASSERT_EQ(copied.size(), fresh.size());
    for (const auto& [name, file] : fresh)
        EXPECT_EQ(copied[name].first, file.first) << name;
    // A further run finds nothing to do.
    const auto idle = run({"site"});
    EXPECT_NE(idle.err.find("files were as the last run left them and were not written"), std::string::npos)
        << idle.err;
    EXPECT_EQ(idle.out, "");
}

} // namespace
} // namespace quillora::cli::test
