#pragma once

#include "engine/ProtectionOptions.h"
#include "project/RunChoices.h"
#include "run/KeyChangeRun.h"
#include "run/PageLock.h"
#include "run/SelectionEntry.h"

#include <array>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace CLI {
class App;
class Option;
} // namespace CLI

namespace quillora::cli {

/// What a share link's address carries before its password (the unlock page reads it there).
inline constexpr std::string_view kShareLinkFragment = "#quillora-key=";

/// What one call of the command line asks for.
struct CommandLineRequest {
    engine::ProtectionOptions options;
    project::Overrides overrides; // the options given, to go before a project file's
    std::vector<run::SelectionEntry> selection;
    bool quiet = false;
    bool print0 = false;
    bool restore = false;       // put the originals back instead of protecting
    bool decrypt = false;       // write back the originals the unlock pages carry (options.password opens them)
    std::string decryptTo;      // decrypt: the folder they go to; empty: in place
    std::string backupFolder;   // restore: where an encrypted run kept originals besides their usual places
    bool standardInput = false; // PATH "-": one page from standard input to standard output
    std::string configFile;     // --config
    bool noConfig = false;      // no project file, even where one is found
    bool init = false;          // write a starting project file
    bool dryRun = false;
    bool verbose = false;
    bool json = false; // the report on standard output is a JSON document
    bool failIfEmpty = false;
    std::string passwordFile; // --password-file as given (for --init)
    bool changeKey = false;   // add or remove a password, or change the content key, instead of protecting
    run::KeyChange keyChange;
    std::string shareLink;  // --share-link: the link printed once its password is one of the site's
    std::string shareLabel; // and the label that revokes it
    run::LockWait lockWait;
};

/// The options of quillora-cli, declared on a CLI11 application and turned into a request once parsed.
class CommandLineOptions {
public:
    CommandLineOptions();
    ~CommandLineOptions();

    /// What parsing the arguments came to; help, version and error texts go to `text`.
    enum class Parsed { Request, Help, Version, Error };
    Parsed parse(int argc, const char* const* argv, std::string& text);
    /// The request the parsed arguments make (call after a successful parse).
    CommandLineRequest request() const;
    /// What the parsed arguments deserve a warning for (each one line, without the program's prefix).
    const std::vector<std::string>& warnings() const { return m_warnings; }
    /// Wipes the copies of the password kept here (call once the request is made).
    void forgetPassword();

private:
    void addStorageOptions();
    void addPageOptions();
    void addScriptOptions();
    void addEncryptionOptions();
    void addKeyOptions();
    void addProjectOptions();
    /// A change of the site's key: asked for by one of its options.
    bool changesKey() const;
    /// The options that need --encrypt or a change of the key, and what does not go with a change.
    bool checkKeyChange(std::string& text) const;
    /// The password --add-password adds, from its one place; false with a message otherwise.
    bool resolveNewPassword(std::string& text);
    bool readSecretFile(std::string_view option, const std::string& file, std::string& password, std::string& text);
    /// The password of an encrypted run from the one place it was given; false with a message otherwise.
    bool resolvePassword(std::string& text);
    /// "-" (standard input to standard output) stands alone, without storage options, and names no file elsewhere.
    bool checkStandardInput(std::string& text) const;
    project::Overrides overrides() const;
    bool readPasswordFile(std::string& password, std::string& text);
    /// Checks the combinations CLI11 cannot express, and gathers the warnings.
    bool checkCombinations(std::string& text);
    void warnAboutPassword();
    void warnAboutStrength(std::u16string_view password);

    std::unique_ptr<CLI::App> m_app;
    std::vector<std::string> m_paths;
    std::string m_copyTo;
    std::string m_hide = "body";
    std::string m_warning;
    std::string m_attribution;
    std::string m_password;
    std::string m_notice;
    std::string m_passwordFile;
    std::string m_unlockPrompt;
    std::string m_unlockButton;
    std::string m_wrongPassword;
    std::string m_backupDir;
    std::string m_unlockTitle;
    std::string m_keyFile;
    std::string m_unlockTemplate;
    std::vector<std::string> m_warnings;
    std::u16string m_encryptionPassword;
    std::u16string m_newPassword;
    std::string m_newPasswordFile;
    std::string m_label;
    std::string m_shareLink;
    std::string m_removePassword;
    std::string m_level;
    std::string m_addLevel;
    bool m_addPassword = false;
    bool m_noRotate = false;
    bool m_rekey = false;
    CLI::Option* m_addPasswordOption = nullptr;
    CLI::Option* m_levelOption = nullptr;
    CLI::Option* m_addLevelOption = nullptr;
    CLI::Option* m_shareLinkOption = nullptr;
    CLI::Option* m_labelOption = nullptr;
    CLI::Option* m_newPasswordFileOption = nullptr;
    CLI::Option* m_removePasswordOption = nullptr;
    CLI::Option* m_allowWeakOption = nullptr;
    CLI::Option* m_keyFileOption = nullptr;
    int m_rememberDays = 0;
    int m_lockWaitSeconds = 60;
    bool m_encrypt = false;
    bool m_overwrite = false;
    bool m_beside = false;
    bool m_noBackup = false;
    bool m_quiet = false;
    bool m_print0 = false;
    bool m_pagesOnly = false;
    bool m_strictCsp = false;
    bool m_restore = false;
    bool m_decrypt = false;
    std::string m_config;
    std::string m_report;
    bool m_noConfig = false;
    bool m_init = false;
    bool m_dryRun = false;
    bool m_verbose = false;
    bool m_json = false;
    bool m_failIfEmpty = false;
    bool m_allowWeakPassword = false;
    CLI::Option* m_copyToOption = nullptr;
    CLI::Option* m_hideOption = nullptr;
    CLI::Option* m_rememberOption = nullptr;
    CLI::Option* m_warningOption = nullptr;
    CLI::Option* m_attributionOption = nullptr;
    CLI::Option* m_passwordOption = nullptr;
    CLI::Option* m_noticeOption = nullptr;
    CLI::Option* m_passwordFileOption = nullptr;
    CLI::Option* m_unlockPromptOption = nullptr;
    CLI::Option* m_unlockButtonOption = nullptr;
    CLI::Option* m_wrongPasswordOption = nullptr;
    CLI::Option* m_backupDirOption = nullptr;
    CLI::Option* m_unlockTitleOption = nullptr;
    std::array<bool, engine::kScriptCount> m_scripts{};
};

} // namespace quillora::cli
