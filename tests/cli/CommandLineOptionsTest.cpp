#include "cli/CommandLineOptions.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

namespace quillora::cli {
namespace {

using engine::EncryptionMode;
using engine::StorageMode;

/// Parses the arguments after the program name; nothing when CLI11 refuses them.
std::optional<CommandLineRequest> parse(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), "quillora-cli");
    std::vector<const char*> argv;
    for (const auto& argument : arguments)
        argv.push_back(argument.c_str());
    CommandLineOptions options;
    std::string text;
    if (options.parse(static_cast<int>(argv.size()), argv.data(), text) != CommandLineOptions::Parsed::Request)
        return std::nullopt;
    return options.request();
}

const std::string kHere = std::filesystem::current_path().string();

TEST(CommandLineOptions, DefaultsAreTheWindowsStartValues) {
    const auto request = parse({"."});
    ASSERT_TRUE(request);
    const auto& options = request->options;
    EXPECT_EQ(options.storageMode, StorageMode::Overwrite);
    EXPECT_TRUE(options.makeBackups);
    EXPECT_EQ(options.encryptionMode, EncryptionMode::BodyOnly);
    EXPECT_FALSE(options.passwordProtect);
    EXPECT_FALSE(options.insertNotice);
    EXPECT_FALSE(options.showRightClickWarning);
    EXPECT_EQ(options.scripts, (std::array<bool, engine::kScriptCount>{}));
    EXPECT_FALSE(request->quiet);
    ASSERT_EQ(request->selection.size(), 1u);
    EXPECT_EQ(request->selection[0].path, kHere + "/");
    EXPECT_TRUE(request->selection[0].isFolder);
}

TEST(CommandLineOptions, StorageChoices) {
    const auto noBackup = parse({"--no-backup", "."});
    ASSERT_TRUE(noBackup);
    EXPECT_FALSE(noBackup->options.makeBackups);
    const auto copy = parse({"--copy-to", "out dir/", "."});
    ASSERT_TRUE(copy);
    EXPECT_EQ(copy->options.storageMode, StorageMode::CopyToFolder);
    EXPECT_EQ(copy->options.targetFolder, "out dir/") << "taken as typed";
    const auto emptyTarget = parse({"--copy-to", "", "."});
    ASSERT_TRUE(emptyTarget) << "refused by the run, not by the parser";
    EXPECT_EQ(emptyTarget->options.storageMode, StorageMode::CopyToFolder);
    const auto beside = parse({"--beside", "."});
    ASSERT_TRUE(beside);
    EXPECT_EQ(beside->options.storageMode, StorageMode::CreateProtected);
}

TEST(CommandLineOptions, HideModes) {
    const std::pair<const char*, EncryptionMode> modes[] = {{"email-links", EncryptionMode::EmailLinks},
                                                            {"links", EncryptionMode::AllLinks},
                                                            {"body", EncryptionMode::BodyOnly},
                                                            {"page", EncryptionMode::WholePage}};
    for (const auto& [name, mode] : modes) {
        const auto request = parse({"--hide", name, "."});
        ASSERT_TRUE(request) << name;
        EXPECT_EQ(request->options.encryptionMode, mode);
    }
}

TEST(CommandLineOptions, BehaviourScriptsByTheirCheckBoxIndex) {
    const std::pair<const char*, engine::ScriptIndex> flags[] = {
        {"--no-right-click", engine::kScriptRightClick}, {"--no-select", engine::kScriptTextSelection},
        {"--no-status-urls", engine::kScriptStatusBar},  {"--no-print", engine::kScriptPrinting},
        {"--no-clipboard", engine::kScriptClipboard},    {"--no-drag", engine::kScriptDragDrop},
        {"--break-frames", engine::kScriptBreakFrames},  {"--no-image-toolbar", engine::kScriptImageToolbar},
        {"--no-shortcuts", engine::kScriptShortcuts},    {"--copy-attribution", engine::kScriptCopyAttribution}};
    for (const auto& [flag, index] : flags) {
        const auto request = parse({flag, "."});
        ASSERT_TRUE(request) << flag;
        std::array<bool, engine::kScriptCount> expected{};
        expected[index] = true;
        EXPECT_EQ(request->options.scripts, expected) << flag;
    }
}

TEST(CommandLineOptions, TheAttributionGoesWithItsScriptAndIntoTheProjectsOverrides) {
    const auto fallback = parse({"--copy-attribution", "."});
    ASSERT_TRUE(fallback);
    EXPECT_EQ(fallback->options.copyAttribution, u"Source:");
    EXPECT_FALSE(fallback->overrides.attribution) << "a project file's own attribution stays";
    const auto given = parse({"--copy-attribution", "--attribution", "Lu sur", "."});
    ASSERT_TRUE(given);
    EXPECT_EQ(given->options.copyAttribution, u"Lu sur");
    EXPECT_EQ(given->overrides.attribution, u"Lu sur");
    EXPECT_TRUE(given->overrides.scripts[engine::kScriptCopyAttribution]);
    const auto blank = parse({"--copy-attribution", "--attribution", "", "."});
    ASSERT_TRUE(blank) << "the address alone";
    EXPECT_EQ(blank->options.copyAttribution, u"");
    EXPECT_FALSE(parse({"--attribution", "Lu sur", "."})) << "without --copy-attribution";
    EXPECT_FALSE(parse({"--copy-attribution", "--attribution", "it's", "."})) << "not script-safe";
}

TEST(CommandLineOptions, AnAttributionWithTheClipboardBlockIsWarnedAbout) {
    for (const bool blocked : {false, true}) {
        std::vector<const char*> argv = {"quillora-cli", "--copy-attribution", "."};
        if (blocked)
            argv.insert(argv.begin() + 1, "--no-clipboard");
        CommandLineOptions options;
        std::string text;
        ASSERT_EQ(options.parse(static_cast<int>(argv.size()), argv.data(), text), CommandLineOptions::Parsed::Request);
        EXPECT_EQ(options.warnings(),
                  blocked ? std::vector<std::string>{"--copy-attribution adds nothing with --no-clipboard, which "
                                                     "refuses the copy"}
                          : std::vector<std::string>{});
    }
}

TEST(CommandLineOptions, TextsAreTakenAsUtf8) {
    const auto request = parse({"--no-right-click", "--warning", "Stop \xC3\xA9", "--password", "s3cr\xE2\x82\xAC",
                                "--notice", "(c) \"me\" \\ 'you'", "-q", "."});
    ASSERT_TRUE(request);
    const auto& options = request->options;
    EXPECT_TRUE(options.showRightClickWarning);
    EXPECT_EQ(options.rightClickWarning, u"Stop \u00E9");
    EXPECT_TRUE(options.passwordProtect);
    EXPECT_EQ(options.password, u"s3cr\u20AC");
    EXPECT_TRUE(options.insertNotice);
    EXPECT_EQ(options.noticeText, u"(c) \"me\" \\ 'you'") << "the notice has no filter";
    EXPECT_TRUE(request->quiet);
}

TEST(CommandLineOptions, PathsKeepTheirOrderAndBecomeAbsolute) {
    const auto folder = std::filesystem::temp_directory_path() / "quillora-cli-paths";
    std::filesystem::create_directories(folder / "site");
    std::ofstream(folder / "site/a.htm") << "a";
    const auto previous = std::filesystem::current_path();
    std::filesystem::current_path(folder);
    const auto request = parse({"site/a.htm", folder.string(), "site/../site"});
    std::filesystem::current_path(previous);
    std::filesystem::remove_all(folder);
    ASSERT_TRUE(request);
    ASSERT_EQ(request->selection.size(), 3u);
    EXPECT_EQ(request->selection[0].path, (folder / "site/a.htm").string());
    EXPECT_FALSE(request->selection[0].isFolder);
    EXPECT_EQ(request->selection[1].path, folder.string());
    EXPECT_EQ(request->selection[2].path, (folder / "site").string());
    EXPECT_TRUE(request->selection[2].isFolder);
}

// "lnk/.." is the folder above where lnk leads, as the system takes it, not the folder that holds lnk.
TEST(CommandLineOptions, AParentStepIsTakenAfterTheLinksBeforeIt) {
    const auto folder = std::filesystem::temp_directory_path() / "quillora-cli-parent-steps";
    std::filesystem::create_directories(folder / "far/deep/dir");
    std::filesystem::create_directories(folder / "here");
    std::filesystem::create_directory_symlink(folder / "far/deep/dir", folder / "here/lnk");
    const auto previous = std::filesystem::current_path();
    std::filesystem::current_path(folder / "here");
    const auto request = parse({"lnk/..", "lnk/../dir/.", "./lnk"});
    std::filesystem::current_path(previous);
    const std::string real = std::filesystem::canonical(folder).string();
    std::filesystem::remove_all(folder);
    ASSERT_TRUE(request);
    EXPECT_EQ(request->selection[0].path, real + "/far/deep");
    EXPECT_EQ(request->selection[1].path, real + "/far/deep/dir/");
    EXPECT_EQ(request->selection[2].path, (folder / "here/lnk").string()) << "a link without a parent step stays";
}

TEST(CommandLineOptions, TheWaitForALockedPageIsInSecondsSixtyUnlessGiven) {
    const auto given = parse({"--lock-wait", "0", "."});
    ASSERT_TRUE(given);
    EXPECT_EQ(given->lockWait.giveUpAfter, std::chrono::seconds(0));
    const auto usual = parse({"."});
    ASSERT_TRUE(usual);
    EXPECT_EQ(usual->lockWait.giveUpAfter, std::chrono::seconds(60));
}

class UsageError : public ::testing::TestWithParam<std::vector<std::string>> {};

TEST_P(UsageError, IsRefusedByTheParser) {
    EXPECT_FALSE(parse(GetParam()));
}

INSTANTIATE_TEST_SUITE_P(
    Arguments, UsageError,
    ::testing::Values(
        std::vector<std::string>{}, std::vector<std::string>{"--beside"}, std::vector<std::string>{"no/such/path"},
        std::vector<std::string>{"--copy-to"}, std::vector<std::string>{".", "--copy-to"},
        std::vector<std::string>{"--copy-to", "x", "--beside", "."},
        std::vector<std::string>{"--overwrite", "--beside", "."},
        std::vector<std::string>{"--overwrite", "--copy-to", "x", "."},
        std::vector<std::string>{"--no-backup", "--beside", "."},
        std::vector<std::string>{"--no-backup", "--copy-to", "x", "."}, std::vector<std::string>{"--warning", "w", "."},
        std::vector<std::string>{"--hide", "head", "."}, std::vector<std::string>{"--password", "it's", "."},
        std::vector<std::string>{"--password", "a\"b", "."},
        std::vector<std::string>{"--no-right-click", "--warning", "back\\slash", "."},
        std::vector<std::string>{"--lock-wait", "-1", "."}, std::vector<std::string>{"--lock-wait", "86401", "."},
        std::vector<std::string>{"--lock-wait", "soon", "."}, std::vector<std::string>{"--frobnicate", "."}));

} // namespace
} // namespace quillora::cli
