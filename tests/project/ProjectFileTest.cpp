#include "project/ProjectFile.h"

#include "project/ProjectWriter.h"
#include "project/RunChoices.h"

#include <gtest/gtest.h>

namespace quillora::project {
namespace {

using engine::EncryptionMode;
using engine::StorageMode;

constexpr const char* kFile = "/site/quillora.toml";

bool parse(std::string_view text, Project& project, std::string& error) {
    return ProjectFile::parse(text, kFile, project, error);
}

TEST(ProjectFile, AFullFileReadsAsWritten) {
    const char* text = R"(# a site
notice = "(c) Example \"quoted\""
exclude = ["drafts/", "*.tmp"]

[output]
mode = "copy"
target = "../public"
other-files = false

[encryption]
password-file = "../secret.txt"
remember-days = 30
unlock-prompt = "Members only"

[pages]
hide = "email-links"
scripts = ["no-right-click", "no-select"]
warning = "No!"

[[rule]]
paths = ["members/"]
hide = "page"
encrypt = true

[[rule]]
paths = ["index.html", "404.html"]
leave-alone = true
)";
    Project project;
    std::string error;
    ASSERT_TRUE(parse(text, project, error)) << error;
    EXPECT_EQ(project.root, "/site");
    EXPECT_EQ(project.mode, StorageMode::CopyToFolder);
    EXPECT_EQ(project.target, "../public");
    EXPECT_EQ(project.otherFiles, false);
    EXPECT_EQ(project.notice, u"(c) Example \"quoted\"");
    EXPECT_EQ(project.exclude, (std::vector<std::string>{"drafts/", "*.tmp"}));
    EXPECT_EQ(project.password.file, "../secret.txt");
    EXPECT_EQ(project.password.line, 11);
    EXPECT_EQ(project.rememberDays, 30);
    EXPECT_EQ(project.unlockPrompt, u"Members only");
    EXPECT_EQ(project.pages.hide, EncryptionMode::EmailLinks);
    ASSERT_TRUE(project.pages.scripts);
    EXPECT_TRUE((*project.pages.scripts)[engine::kScriptRightClick]);
    EXPECT_TRUE((*project.pages.scripts)[engine::kScriptTextSelection]);
    EXPECT_FALSE((*project.pages.scripts)[engine::kScriptPrinting]);
    ASSERT_EQ(project.rules.size(), 2u);
    EXPECT_EQ(project.rules[0].paths, (std::vector<std::string>{"members/"}));
    EXPECT_EQ(project.rules[0].line, 20);
    EXPECT_EQ(project.rules[0].encrypt, true);
    EXPECT_EQ(project.rules[0].encryptLine, 23);
    EXPECT_TRUE(project.rules[1].leaveAlone);
    EXPECT_EQ(project.firstEncryptingLine(), 23);
    EXPECT_TRUE(project.hasRulesBeyondOneSet());
}

struct Bad {
    const char* name;
    const char* text;
    const char* error;
};

class ProjectFileRefusal : public ::testing::TestWithParam<Bad> {};

TEST_P(ProjectFileRefusal, NamesTheLineAndWhatToWrite) {
    Project project;
    std::string error;
    EXPECT_FALSE(parse(GetParam().text, project, error));
    EXPECT_EQ(error, GetParam().error);
}

INSTANTIATE_TEST_SUITE_P(
    Files, ProjectFileRefusal,
    ::testing::Values(
        Bad{"NotToml", "mode = ", "/site/quillora.toml:1: Error while parsing key-value pair: encountered end-of-file"},
        Bad{"UnknownTopKey", "\n\nmodes = \"copy\"",
            "/site/quillora.toml:3: \"modes\" is not a key of the project file: write \"output\", \"notice\", "
            "\"exclude\", \"encryption\", \"pages\" or \"rule\""},
        Bad{"MistypedKey", "[pages]\nhid = \"body\"",
            "/site/quillora.toml:2: \"hid\" is not a key of [pages]: did you mean \"hide\"?"},
        Bad{"TopKeyInATable", "[output]\nmode = \"copy\"\ntarget = \"p\"\nnotice = \"n\"",
            "/site/quillora.toml:4: \"notice\" is not a key of [output]: write notice above the first [table], where "
            "the keys of the whole file go"},
        Bad{"BadMode", "[output]\nmode = \"kopy\"",
            "/site/quillora.toml:2: mode = \"kopy\" is not a storage mode: write \"overwrite\", \"copy\" or "
            "\"beside\""},
        Bad{"CopyWithoutTarget", "[output]\nmode = \"copy\"",
            "/site/quillora.toml:2: mode = \"copy\" needs a folder to copy to: add target = \"FOLDER\" to [output]"},
        Bad{"TargetWithoutCopy", "[output]\ntarget = \"public\"",
            "/site/quillora.toml:2: target goes with mode = \"copy\": write mode = \"copy\", or remove target"},
        Bad{"BackupsBeside", "[output]\nmode = \"beside\"\nbackups = false",
            "/site/quillora.toml:3: backups goes with mode = \"overwrite\": write mode = \"overwrite\", or remove "
            "backups"},
        Bad{"FlagInQuotes", "[output]\nmode = \"copy\"\ntarget = \"p\"\nother-files = \"no\"",
            "/site/quillora.toml:4: other-files must be true or false, without quotes"},
        Bad{"NoticeEndsItsComment", "notice = \"a --> b\"",
            "/site/quillora.toml:1: the notice may not hold \"-->\" or \"--!>\", which would end its comment early "
            "and show the rest on every page: write it without them"},
        Bad{"BlankNotice", "notice = \"  \"",
            "/site/quillora.toml:1: notice must not be empty: write the text, or leave the key out"},
        Bad{"BadHide", "[pages]\nhide = \"all\"",
            "/site/quillora.toml:2: hide = \"all\" is not a hide mode: write \"email-links\", \"links\", \"body\", "
            "\"page\" or \"none\""},
        Bad{"MistypedScript", "[pages]\nscripts = [\"no-select\", \"no-rightclick\"]",
            "/site/quillora.toml:2: \"no-rightclick\" is not a behaviour script: did you mean \"no-right-click\"?"},
        Bad{"WarningNotScriptSafe", "[pages]\nwarning = \"Don't\"",
            "/site/quillora.toml:2: the warning goes into a script and may not hold \\, \" or ': write it without "
            "them"},
        Bad{"WarningWithoutItsScript", "[pages]\nscripts = [\"no-select\"]\nwarning = \"No\"",
            "/site/quillora.toml:3: the warning is shown on a blocked right click: add \"no-right-click\" to scripts "
            "in [pages], or remove warning"},
        Bad{"AttributionNotScriptSafe", "[pages]\nattribution = \"Seen at \\\"x\\\"\"",
            "/site/quillora.toml:2: the attribution goes into a script and may not hold \\, \" or ': write it "
            "without them"},
        Bad{"AttributionWithoutItsScript",
            "[pages]\nscripts = [\"no-shortcuts\"]\n[[rule]]\npaths = [\"a\"]\nscripts = [\"no-clipboard\"]\n"
            "attribution = \"From\"",
            "/site/quillora.toml:6: the attribution is put after copied text: add \"copy-attribution\" to scripts in "
            "this rule, or remove attribution"},
        Bad{"LeaveAloneWithAnAttribution", "[[rule]]\npaths = [\"a\"]\nleave-alone = true\nattribution = \"x\"",
            "/site/quillora.toml:4: a rule with leave-alone = true gives its pages nothing else: remove attribution, "
            "or leave-alone"},
        Bad{"PasswordInTheFile", "[encryption]\npassword = \"secret\"",
            "/site/quillora.toml:2: the password does not belong in a file kept beside the site: write password-file "
            "= \"FILE\" (its first line) or password-env = \"VARIABLE\""},
        Bad{"TwoPasswordSources", "[encryption]\npassword-file = \"a\"\npassword-env = \"B\"",
            "/site/quillora.toml:3: the password is given twice: keep password-file or password-env, not both"},
        Bad{"RememberTooLong", "[encryption]\nremember-days = 4000",
            "/site/quillora.toml:2: remember-days must be a whole number of days from 0 (the browser's session) to "
            "3650, without quotes"},
        Bad{"RuleWithoutPaths", "[[rule]]\nhide = \"page\"",
            "/site/quillora.toml:1: a rule needs the paths it is for: add paths = [\"PATTERN\", ...]"},
        Bad{"RuleAsATable", "[rule]\npaths = [\"a\"]",
            "/site/quillora.toml:1: rules are written [[rule]], each on a line of its own with its keys below it"},
        Bad{"EmptyPaths", "[[rule]]\npaths = []",
            "/site/quillora.toml:2: paths = [] matches nothing: give at least one pattern, as in paths = "
            "[\"members/\", \"*.pdf\"]"},
        Bad{"BadGlob", "[[rule]]\npaths = [\"ok/\",\n  \"page[0-9.html\"]",
            "/site/quillora.toml:3: paths: \"page[0-9.html\" opens a class with \"[\" that is never closed: close it "
            "with \"]\", or write \"\\[\" to match a \"[\""},
        Bad{"BadExclude", "exclude = [\"../up\"]",
            "/site/quillora.toml:1: exclude: \"../up\" has a \"..\" step: patterns are relative to the site's root, "
            "write the path without it"},
        Bad{"LeaveAloneWithMore", "[[rule]]\npaths = [\"a\"]\nleave-alone = true\nhide = \"page\"",
            "/site/quillora.toml:4: a rule with leave-alone = true gives its pages nothing else: remove hide, or "
            "leave-alone"},
        Bad{"EncryptAndLevel", "[[rule]]\npaths = [\"a\"]\nencrypt = true\nlevel = \"members\"",
            "/site/quillora.toml:4: encrypt = true (the run's password) and level (a key level) are two ways to "
            "encrypt: keep one of them"},
        Bad{"BadLevelName", "[[rule]]\npaths = [\"a\"]\nlevel = \"members only\"",
            "/site/quillora.toml:3: level = \"members only\" is not a level's name: write letters, digits, \"-\" and "
            "\"_\", as in level = \"members\""}),
    [](const auto& info) { return info.param.name; });

TEST(ProjectFile, ReadRefusesWhatIsNotAProjectFile) {
    Project project;
    std::string error;
    EXPECT_FALSE(ProjectFile::read("/nonexistent/quillora.toml", project, error));
    EXPECT_EQ(error, "/nonexistent/quillora.toml: No such file or directory");
    EXPECT_FALSE(ProjectFile::read("/", project, error));
    EXPECT_EQ(error, "/: not a file");
}

TEST(ProjectWriter, WhatItWritesReadsBackAsTheSameChoices) {
    Project project;
    project.file = kFile;
    project.root = "/site";
    project.mode = StorageMode::CopyToFolder;
    project.target = "out \"dir\"";
    project.notice = u"Line\twith a tab and \u00e9";
    project.exclude = {"drafts/", "a\\[b"};
    project.password.variable = "SITE_PASSWORD";
    project.rememberDays = 7;
    project.unlockTitle = u"Members \"only\"";
    project.unlockTemplate = "../design/unlock page.html";
    project.strictCsp = true;
    project.pages.hide = EncryptionMode::AllLinks;
    project.pages.scripts = std::array<bool, engine::kScriptCount>{};
    (*project.pages.scripts)[engine::kScriptPrinting] = true;
    (*project.pages.scripts)[engine::kScriptShortcuts] = true;
    (*project.pages.scripts)[engine::kScriptCopyAttribution] = true;
    project.pages.attribution = u"Read more at";
    ProjectRule members;
    members.paths = {"members/"};
    members.encrypt = true;
    members.hide = EncryptionMode::None;
    members.attribution = u""; // the address alone
    project.rules.push_back(members);
    ProjectRule alone;
    alone.paths = {"index.html"};
    alone.leaveAlone = true;
    project.rules.push_back(alone);

    Project read;
    std::string error;
    ASSERT_TRUE(parse(ProjectWriter::write(project), read, error)) << error << "\n" << ProjectWriter::write(project);
    EXPECT_EQ(read.mode, project.mode);
    EXPECT_EQ(read.target, project.target);
    EXPECT_EQ(read.notice, project.notice);
    EXPECT_EQ(read.exclude, project.exclude);
    EXPECT_EQ(read.password.variable, "SITE_PASSWORD");
    EXPECT_EQ(read.rememberDays, 7);
    EXPECT_EQ(read.unlockTitle, project.unlockTitle);
    EXPECT_EQ(read.unlockTemplate, project.unlockTemplate);
    EXPECT_EQ(optionsOf(read).unlockTemplate, "/design/unlock page.html") << "from the project file's folder";
    EXPECT_EQ(read.strictCsp, true);
    EXPECT_EQ(optionsOf(read).strictCsp, true);
    EXPECT_FALSE(optionsOf(Project{}).strictCsp);
    EXPECT_EQ(read.pages.hide, project.pages.hide);
    EXPECT_EQ(read.pages.scripts, project.pages.scripts);
    EXPECT_EQ(read.pages.attribution, project.pages.attribution);
    ASSERT_EQ(read.rules.size(), 2u);
    EXPECT_EQ(read.rules[0].paths, members.paths);
    EXPECT_EQ(read.rules[0].attribution, u"");
    EXPECT_EQ(read.rules[0].encrypt, true);
    EXPECT_EQ(read.rules[0].hide, EncryptionMode::None);
    EXPECT_TRUE(read.rules[1].leaveAlone);
}

TEST(ProjectWriter, AnEmptyProjectIsAFileThatShowsEveryKey) {
    Project project;
    project.file = kFile;
    const std::string text = ProjectWriter::write(project);
    for (const char* key :
         {"mode = \"overwrite\"", "# backups", "# notice", "exclude = []", "# password-file", "# remember-days",
          "[pages]", "hide = \"body\"", "scripts = []", "# [[rule]]", "# leave-alone = true"})
        EXPECT_NE(text.find(key), std::string::npos) << key;
    Project read;
    std::string error;
    EXPECT_TRUE(parse(text, read, error)) << error;
}

} // namespace
} // namespace quillora::project
