#include "cli/CommandLine.h"
#include "cli/CommandLineOptions.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>

namespace quillora::cli {
namespace {

namespace fs = std::filesystem;

/// A folder of its own as the working folder, and no password in the environment unless a test sets one.
class EncryptionOptions : public ::testing::Test {
protected:
    void SetUp() override {
        ::unsetenv("QUILLORA_PASSWORD");
        std::string pattern = (fs::temp_directory_path() / "quillora-encrypt-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        m_dir = pattern;
        m_previous = fs::current_path();
        fs::current_path(m_dir);
        write("a.htm", "<html><head><title>a</title></head><body>secret words</body></html>");
    }
    void TearDown() override {
        ::unsetenv("QUILLORA_PASSWORD");
        fs::current_path(m_previous);
        fs::remove_all(m_dir);
    }

    static void write(const fs::path& path, std::string_view bytes) { std::ofstream(path, std::ios::binary) << bytes; }

    /// Parses the arguments; the message when they are refused.
    static CommandLineOptions::Parsed parse(std::vector<std::string> arguments, CommandLineRequest& request,
                                            std::string& text) {
        arguments.insert(arguments.begin(), "quillora-cli");
        std::vector<const char*> argv;
        for (const auto& argument : arguments)
            argv.push_back(argument.c_str());
        CommandLineOptions options;
        const auto parsed = options.parse(static_cast<int>(argv.size()), argv.data(), text);
        if (parsed == CommandLineOptions::Parsed::Request)
            request = options.request();
        return parsed;
    }

    static engine::ProtectionOptions options(std::vector<std::string> arguments) {
        arguments.push_back("a.htm");
        CommandLineRequest request;
        std::string text;
        EXPECT_EQ(parse(arguments, request, text), CommandLineOptions::Parsed::Request) << text;
        return request.options;
    }

    fs::path m_dir;
    fs::path m_previous;
};

TEST_F(EncryptionOptions, EncryptTakesAnyCharacterInThePassword) {
    const auto chosen = options({"--encrypt", "--password", "it's \"q\" \\ \xC3\xA9"});
    EXPECT_TRUE(chosen.encrypt);
    EXPECT_TRUE(chosen.passwordProtect);
    EXPECT_EQ(chosen.password, u"it's \"q\" \\ \u00E9");
    EXPECT_EQ(chosen.rememberDays, 0);
    EXPECT_EQ(chosen.unlockPrompt, engine::kDefaultUnlockPrompt);
    EXPECT_EQ(chosen.unlockButton, engine::kDefaultUnlockButton);
    EXPECT_EQ(chosen.wrongPassword, engine::kDefaultWrongPassword);
}

TEST_F(EncryptionOptions, WithoutEncryptThePasswordIsThePromptAsBefore) {
    const auto chosen = options({"--password", "plain"});
    EXPECT_TRUE(chosen.passwordProtect);
    EXPECT_FALSE(chosen.encrypt);
    ::setenv("QUILLORA_PASSWORD", "from the environment", 1);
    EXPECT_FALSE(options({}).passwordProtect) << "the variable only counts with --encrypt";
}

TEST_F(EncryptionOptions, RememberAndTheUnlockTexts) {
    const auto chosen = options({"--encrypt", "--password", "x", "--remember", "30", "--unlock-prompt",
                                 "Kennwort \xC3\xBC", "--unlock-button",
                                 "\xC3\x96"
                                 "ffnen",
                                 "--wrong-password", "Falsch"});
    EXPECT_EQ(chosen.rememberDays, 30);
    EXPECT_EQ(chosen.unlockPrompt, u"Kennwort \u00FC");
    EXPECT_EQ(chosen.unlockButton, u"\u00D6ffnen");
    EXPECT_EQ(chosen.wrongPassword, u"Falsch");
}

struct PasswordFile {
    const char* name;
    std::string content;
    std::u16string password;
};

class PasswordFromAFile : public EncryptionOptions, public ::testing::WithParamInterface<PasswordFile> {};

TEST_P(PasswordFromAFile, IsItsFirstLineWithoutTheLineEnd) {
    write("pw.txt", GetParam().content);
    EXPECT_EQ(options({"--encrypt", "--password-file", "pw.txt"}).password, GetParam().password);
}

INSTANTIATE_TEST_SUITE_P(
    Files, PasswordFromAFile,
    ::testing::Values(PasswordFile{"NoLineEnd", "s3cret", u"s3cret"},
                      PasswordFile{"LineFeed", "s3cret\nsecond line\n", u"s3cret"},
                      PasswordFile{"CarriageReturnLineFeed", "it's me \r\n", u"it's me "},
                      PasswordFile{"ByteOrderMark", "\xEF\xBB\xBF\xC3\xA9t\xC3\xA9\n", u"\u00E9t\u00E9"},
                      PasswordFile{"Long", std::string(10000, 'p') + "\n", std::u16string(10000, u'p')}),
    [](const auto& info) { return info.param.name; });

TEST_F(EncryptionOptions, PasswordFromTheEnvironment) {
    ::setenv("QUILLORA_PASSWORD", "from \"env\"", 1);
    EXPECT_EQ(options({"--encrypt"}).password, u"from \"env\"");
}

struct Refusal {
    const char* name;
    std::vector<std::string> arguments;
    const char* variable; // QUILLORA_PASSWORD, when set
    std::string message;
};

class EncryptionRefusal : public EncryptionOptions, public ::testing::WithParamInterface<Refusal> {};

TEST_P(EncryptionRefusal, ExitsWithTwoAMessageAndNothingWritten) {
    write("empty.txt", "");
    write("blank-line.txt", "\nsecond\n");
    write("latin1.txt", "caf\xE9\n");
    if (GetParam().variable != nullptr)
        ::setenv("QUILLORA_PASSWORD", GetParam().variable, 1);
    std::vector<const char*> argv{"quillora-cli"};
    for (const auto& argument : GetParam().arguments)
        argv.push_back(argument.c_str());
    argv.push_back("--beside");
    argv.push_back("a.htm");
    std::ostringstream out;
    std::ostringstream err;
    const int status = CommandLine(out, err, false).run(static_cast<int>(argv.size()), argv.data());
    EXPECT_EQ(status, CommandLine::kExitUsage);
    EXPECT_EQ(err.str().substr(0, err.str().find('\n')), "quillora-cli: " + GetParam().message);
    EXPECT_EQ(out.str(), "");
    EXPECT_FALSE(fs::exists("protected_a.htm"));
}

INSTANTIATE_TEST_SUITE_P(
    Arguments, EncryptionRefusal,
    ::testing::Values(
        Refusal{"NoPassword",
                {"--encrypt"},
                nullptr,
                "--encrypt needs a password: give --password, --password-file or QUILLORA_PASSWORD"},
        Refusal{"EmptyPassword", {"--encrypt", "--password", ""}, nullptr, "Please Enter a Password"},
        Refusal{"BlankPassword", {"--encrypt", "--password", "   "}, nullptr, "Please Enter a Password"},
        Refusal{"EmptyVariable", {"--encrypt"}, "", "QUILLORA_PASSWORD is empty"},
        Refusal{"MissingFile",
                {"--encrypt", "--password-file", "gone.txt"},
                nullptr,
                "--password-file: cannot read gone.txt: No such file or directory"},
        Refusal{"FolderForAFile",
                {"--encrypt", "--password-file", "."},
                nullptr,
                "--password-file: cannot read .: Is a directory"},
        Refusal{"EmptyFile",
                {"--encrypt", "--password-file", "empty.txt"},
                nullptr,
                "--password-file: the first line of empty.txt is empty"},
        Refusal{"EmptyFirstLine",
                {"--encrypt", "--password-file", "blank-line.txt"},
                nullptr,
                "--password-file: the first line of blank-line.txt is empty"},
        Refusal{"EndlessFile",
                {"--encrypt", "--password-file", "/dev/zero"},
                nullptr,
                "--password-file: cannot read /dev/zero: its first line is longer than 65536 bytes"},
        Refusal{"NotUtf8", {"--encrypt", "--password-file", "latin1.txt"}, nullptr, "The password is not valid UTF-8"},
        Refusal{"OptionAndFile",
                {"--encrypt", "--password", "a", "--password-file", "empty.txt"},
                nullptr,
                "The password is given more than once (--password and --password-file): give it once"},
        Refusal{"OptionAndVariable",
                {"--encrypt", "--password", "a"},
                "b",
                "The password is given more than once (--password and QUILLORA_PASSWORD): give it once"},
        Refusal{"FileAndVariable",
                {"--encrypt", "--password-file", "empty.txt"},
                "b",
                "The password is given more than once (--password-file and QUILLORA_PASSWORD): give it once"},
        Refusal{"QuotesWithoutEncrypt", {"--password", "it's"}, nullptr, "--password: \\ \" or ' not allowed"},
        Refusal{"FileWithoutEncrypt",
                {"--password-file", "empty.txt"},
                nullptr,
                "--password-file requires --encrypt, --decrypt or a change of the site's key"},
        Refusal{"RememberWithoutEncrypt", {"--remember", "3"}, nullptr, "--remember requires --encrypt"},
        Refusal{"RememberTooLong",
                {"--encrypt", "--password", "x", "--remember", "3651"},
                nullptr,
                "--remember: Value 3651 not in range 0 to 3650"},
        Refusal{"EmptyButton",
                {"--encrypt", "--password", "x", "--unlock-button", " "},
                nullptr,
                "--unlock-button: must not be empty"}),
    [](const auto& info) { return info.param.name; });

} // namespace
} // namespace quillora::cli
