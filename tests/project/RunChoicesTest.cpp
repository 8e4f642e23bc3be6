#include "project/RunChoices.h"

#include "project/ProjectFile.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

namespace quillora::project {
namespace {

using engine::EncryptionMode;
using engine::StorageMode;

Project projectOf(std::string_view text) {
    Project project;
    std::string error;
    EXPECT_TRUE(ProjectFile::parse(text, "/site/quillora.toml", project, error)) << error;
    return project;
}

/// A variable set for the length of a test.
class Variable {
public:
    Variable(const char* name, const char* value) : m_name(name) { ::setenv(name, value, 1); }
    ~Variable() { ::unsetenv(m_name); }
    Variable(const Variable&) = delete;
    Variable& operator=(const Variable&) = delete;

private:
    const char* m_name;
};

constexpr std::string_view kSite = R"toml(notice = "(c)"
[output]
mode = "copy"
target = "../public"
[pages]
hide = "email-links"
scripts = ["no-select"]
[[rule]]
paths = ["members/"]
hide = "page"
[[rule]]
paths = ["index.html"]
leave-alone = true
)toml";

TEST(RunChoices, ARulesKeysGoOverPagesAndTheCommandLineOverBoth) {
    run::RuleSet rules{engine::ProtectionOptions{}};
    std::string error;
    ASSERT_TRUE(buildRules(projectOf(kSite), {}, rules, error)) << error;
    ASSERT_EQ(rules.rules().size(), 3u);
    const auto& defaults = rules.defaults();
    EXPECT_EQ(defaults.storageMode, StorageMode::CopyToFolder);
    EXPECT_EQ(defaults.targetFolder, "/public") << "relative to the project's folder";
    EXPECT_TRUE(defaults.insertNotice);
    EXPECT_EQ(defaults.encryptionMode, EncryptionMode::EmailLinks);
    const auto& members = rules.ruleFor("/site/members/a.html");
    EXPECT_EQ(members.options.encryptionMode, EncryptionMode::WholePage);
    EXPECT_TRUE(members.options.script(engine::kScriptTextSelection)) << "taken from [pages]";
    EXPECT_EQ(members.name, "rule 1 at /site/quillora.toml:8");
    EXPECT_TRUE(rules.ruleFor("/site/index.html").leavesAlone());

    Overrides given;
    given.hide = EncryptionMode::BodyOnly;
    given.scripts[engine::kScriptPrinting] = true;
    given.target = "elsewhere";
    ASSERT_TRUE(buildRules(projectOf(kSite), given, rules, error)) << error;
    EXPECT_EQ(rules.defaults().targetFolder, "elsewhere") << "as typed";
    const auto& overridden = rules.ruleFor("/site/members/a.html").options;
    EXPECT_EQ(overridden.encryptionMode, EncryptionMode::BodyOnly);
    EXPECT_TRUE(overridden.script(engine::kScriptPrinting));
    EXPECT_TRUE(overridden.script(engine::kScriptTextSelection));
    EXPECT_TRUE(rules.ruleFor("/site/index.html").leavesAlone()) << "a page left alone stays so";
}

TEST(RunChoices, TheAttributionOfARuleOfThePagesOrOfTheCommandLine) {
    constexpr std::string_view kAttributed = "[pages]\nscripts = [\"copy-attribution\"]\nattribution = \"From\"\n"
                                             "[[rule]]\npaths = [\"m/\"]\nattribution = \"\"\n"
                                             "[[rule]]\npaths = [\"n/\"]\nscripts = [\"no-shortcuts\"]\n";
    run::RuleSet rules{engine::ProtectionOptions{}};
    std::string error;
    ASSERT_TRUE(buildRules(projectOf(kAttributed), {}, rules, error)) << error;
    EXPECT_EQ(rules.defaults().copyAttribution, u"From");
    EXPECT_TRUE(rules.defaults().script(engine::kScriptCopyAttribution));
    EXPECT_EQ(rules.ruleFor("/site/m/a.html").options.copyAttribution, u"") << "the address alone";
    const auto& other = rules.ruleFor("/site/n/a.html").options;
    EXPECT_TRUE(other.script(engine::kScriptShortcuts));
    EXPECT_FALSE(other.script(engine::kScriptCopyAttribution)) << "the rule's scripts replace those of [pages]";

    Overrides given;
    given.attribution = u"Given";
    ASSERT_TRUE(buildRules(projectOf(kAttributed), given, rules, error)) << error;
    EXPECT_EQ(rules.ruleFor("/site/m/a.html").options.copyAttribution, u"Given");

    ASSERT_TRUE(buildRules(projectOf("[pages]\nscripts = [\"copy-attribution\"]\n"), {}, rules, error)) << error;
    EXPECT_EQ(rules.defaults().copyAttribution, engine::kDefaultCopyAttribution);
}

TEST(RunChoices, EncryptedPagesGetTheirPasswordFromWhereTheFileSays) {
    const auto folder = std::filesystem::temp_directory_path() / "quillora-run-choices";
    std::filesystem::create_directories(folder);
    std::ofstream(folder / "secret.txt") << "open sesame\nsecond line";
    Project project = projectOf("[encryption]\npassword-file = \"secret.txt\"\n[[rule]]\npaths = [\"m/\"]\n"
                                "encrypt = true\n");
    project.root = folder.string();
    run::RuleSet rules{engine::ProtectionOptions{}};
    std::string error;
    ASSERT_TRUE(buildRules(project, {}, rules, error)) << error;
    EXPECT_EQ(rules.defaults().password, u"open sesame");
    EXPECT_FALSE(rules.defaults().encrypt);
    const auto& sealed = rules.ruleFor(folder.string() + "/m/a.html").options;
    EXPECT_TRUE(sealed.encrypt);
    EXPECT_TRUE(sealed.passwordProtect);
    EXPECT_EQ(sealed.password, u"open sesame");
    std::filesystem::remove_all(folder);
}

TEST(RunChoices, APasswordThatCannotBeHadRefusesTheRun) {
    const char* encrypting = "[encryption]\npassword-env = \"QV_TEST_NOT_SET\"\n[[rule]]\npaths = [\"m/\"]\n"
                             "encrypt = true\n";
    run::RuleSet rules{engine::ProtectionOptions{}};
    std::string error;
    EXPECT_FALSE(buildRules(projectOf(encrypting), {}, rules, error));
    EXPECT_EQ(error, "/site/quillora.toml:2: password-env: the variable QV_TEST_NOT_SET is not set");

    EXPECT_FALSE(buildRules(projectOf("[pages]\nencrypt = true\n"), {}, rules, error));
    EXPECT_EQ(error, "/site/quillora.toml:2: encrypted pages need a password: add password-file = \"FILE\" or "
                     "password-env = \"VARIABLE\" to [encryption], or set QUILLORA_PASSWORD");
    {
        const Variable variable(kPasswordVariable, "from the environment");
        ASSERT_TRUE(buildRules(projectOf("[pages]\nencrypt = true\n"), {}, rules, error)) << error;
        EXPECT_EQ(rules.defaults().password, u"from the environment");
    }

    Overrides prompt;
    prompt.promptPassword = u"shown";
    EXPECT_FALSE(buildRules(projectOf("[pages]\nencrypt = true\n"), prompt, rules, error));
    EXPECT_EQ(error, "--password adds a prompt, which encrypted pages do not carry: give the password of the "
                     "encrypted pages with --password-file or QUILLORA_PASSWORD");
}

TEST(RunChoices, AKeyLevelEncryptsItsPagesWithTheLevelsKey) {
    run::RuleSet rules{engine::ProtectionOptions{}};
    std::string error;
    const char* levelled = "[[rule]]\npaths = [\"m/\"]\nlevel = \"members\"\n";
    Overrides given;
    given.password = u"pw";
    ASSERT_TRUE(buildRules(projectOf(levelled), given, rules, error)) << error;
    EXPECT_TRUE(rules.ruleFor("/site/m/a.html").options.encrypt);
    EXPECT_EQ(rules.ruleFor("/site/m/a.html").options.keyLevel, "members");
    EXPECT_EQ(rules.ruleFor("/site/m/a.html").options.password, u"pw");
    EXPECT_FALSE(rules.ruleFor("/site/a.html").options.encrypt);
    // --encrypt keeps the rules' levels; --level puts every page under one.
    given.encrypt = true;
    ASSERT_TRUE(buildRules(projectOf(levelled), given, rules, error)) << error;
    EXPECT_EQ(rules.ruleFor("/site/m/a.html").options.keyLevel, "members");
    EXPECT_TRUE(rules.ruleFor("/site/a.html").options.keyLevel.empty());
    given.level = "staff";
    ASSERT_TRUE(buildRules(projectOf(levelled), given, rules, error)) << error;
    EXPECT_EQ(rules.ruleFor("/site/m/a.html").options.keyLevel, "staff");
    EXPECT_EQ(rules.ruleFor("/site/a.html").options.keyLevel, "staff");
}

TEST(RunChoices, OptionsOfTheWindowsOneSetOfChoices) {
    const auto options = optionsOf(projectOf(kSite));
    EXPECT_EQ(options.storageMode, StorageMode::CopyToFolder);
    EXPECT_EQ(options.targetFolder, "/public");
    EXPECT_EQ(options.encryptionMode, EncryptionMode::EmailLinks);
    EXPECT_TRUE(options.script(engine::kScriptTextSelection));
    EXPECT_EQ(options.noticeText, u"(c)");
}

} // namespace
} // namespace quillora::project
