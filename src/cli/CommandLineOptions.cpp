#include "CommandLineOptions.h"

#include "charset/TextConvert.h"
#include "crypto/PasswordStrength.h"
#include "crypto/SecretMemory.h"
#include "run/RunMessages.h"
#include "run/TextRules.h"

#include <CLI/CLI.hpp>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <map>
#include <openssl/crypto.h>
#include <sys/stat.h>
#include <unistd.h>

#ifndef QUILLORA_VERSION
#define QUILLORA_VERSION "unknown"
#endif

namespace quillora::cli {

namespace {

const std::map<std::string, engine::EncryptionMode> kHideModes = {
    {"email-links", engine::EncryptionMode::EmailLinks},
    {"links", engine::EncryptionMode::AllLinks},
    {"body", engine::EncryptionMode::BodyOnly},
    {"page", engine::EncryptionMode::WholePage},
};

constexpr const char* kPasswordVariable = "QUILLORA_PASSWORD";

/// The run's rule for the texts that go into generated scripts, checked as the options are read. (An encrypted
/// run's password never enters a script and may hold any character.)
const CLI::Validator kScriptSafeText(
    [](const std::string& text) -> std::string {
        return run::IsScriptSafeText(charset::fromUtf8(text)) ? std::string()
                                                              : std::string(run::messages::kNotScriptSafe);
    },
    "");

/// A notice stands in an HTML comment, which "-->" or "--!>" would end early.
const CLI::Validator kNoticeSafeText(
    [](const std::string& text) -> std::string {
        return run::IsNoticeSafeText(charset::fromUtf8(text)) ? std::string() : std::string("--> or --!> not allowed");
    },
    "");

const CLI::Validator kNotBlank(
    [](const std::string& text) -> std::string {
        if (text.find_first_not_of(' ') == std::string::npos)
            return "must not be empty";
        return {};
    },
    "");

constexpr const char* kEncryptionFooter =
    "Encryption: with --encrypt every page is encrypted (AES-256-GCM, with a key derived from the\n"
    "password), and a browser shows it only once the password is typed there. The browser keeps the key\n"
    "for its session, or for --remember days, so that one password opens every page of the run.\n"
    "The password comes from exactly one of --password TEXT, the first line of --password-file FILE\n"
    "(- for standard input), or the environment variable QUILLORA_PASSWORD. Prefer the file or the\n"
    "variable: the arguments of a running program are visible to every user of the machine in its\n"
    "process list. A password estimated below 40 bits is refused (--allow-weak-password to insist), one\n"
    "below 60 bits is warned about. Overwriting, the originals are kept outside the picked folders, in\n"
    "FOLDER.originals beside each (or below --backup-dir DIR); --restore finds them there.\n"
    "Readable in an unlock page: its title (each page's own unless --unlock-title), the notice, the\n"
    "file's name and size. --beside is refused with --encrypt (the originals would stay beside).\n"
    "Without --encrypt, --password only adds a prompt, and the password stands readable in every page.";

// A day: a longer wait is no wait a build pipeline means.
constexpr int kLongestLockWait = 24 * 60 * 60;

// No password is this long; a file without a line break (or /dev/zero) is not read on and on.
constexpr std::size_t kLongestPasswordLine = std::size_t{64} * 1024;

/// The first line read from fd, without its line end (and without a UTF-8 byte-order mark).
bool readFirstLine(int fd, std::string& line, std::string& error) {
    line.clear();
    char buffer[4096];
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            error = std::strerror(errno);
            OPENSSL_cleanse(buffer, sizeof buffer);
            return false;
        }
        const std::string_view piece(buffer, static_cast<std::size_t>(got));
        const auto end = piece.find('\n');
        line.append(piece.substr(0, end));
        if (got == 0 || end != std::string_view::npos)
            break;
        if (line.size() > kLongestPasswordLine) {
            error = "its first line is longer than " + std::to_string(kLongestPasswordLine) + " bytes";
            OPENSSL_cleanse(buffer, sizeof buffer);
            crypto::wipe(line);
            return false;
        }
    }
    OPENSSL_cleanse(buffer, sizeof buffer);
    if (line.ends_with('\r'))
        line.pop_back();
    if (line.starts_with("\xEF\xBB\xBF"))
        line.erase(0, 3);
    return true;
}

/// A picked path as the selection tree would hold it: absolute, without "." and ".." steps. A ".." is taken as the
/// system takes it, after the links before it ("lnk/.." is the folder above where lnk leads, not the one holding
/// lnk); where that cannot be told, the path is kept as written and the system resolves it.
std::string pickedPath(const std::string& path) {
    namespace fs = std::filesystem;
    std::error_code error;
    const fs::path absolute = fs::absolute(path, error);
    if (error)
        return path;
    fs::path head;
    fs::path rest;
    for (const auto& part : absolute) {
        rest /= part;
        if (part == "..") {
            head /= rest;
            rest.clear();
        }
    }
    if (head.empty())
        return absolute.lexically_normal().string();
    const fs::path resolved = fs::canonical(head, error);
    if (error)
        return absolute.string();
    return rest.empty() ? resolved.string() : (resolved / rest).lexically_normal().string();
}

} // namespace

CommandLineOptions::CommandLineOptions()
    : m_app(std::make_unique<CLI::App>(
          "Rewrites web pages (.htm and .html files) so that their markup travels as percent-escaped writer "
          "calls, decoded in the browser. Prints the path of each page written.",
          "quillora-cli")) {
    m_app->set_version_flag("--version", std::string("quillora-cli ") + QUILLORA_VERSION);
    m_app->add_option("PATH", m_paths, "A page file or a folder of them (searched with its subfolders), in order")
        ->required()
        ->check(CLI::Validator(CLI::ExistingPath).description(""))
        ->type_name("");
    addStorageOptions();
    addPageOptions();
    addScriptOptions();
    addEncryptionOptions();
    m_app->add_flag("-q,--quiet", m_quiet,
                    "Print only the written paths and the messages (no status texts, no progress line)");
    m_app->add_flag("--print0", m_print0, "End each written path with a NUL character instead of a line end");
    m_app
        ->add_option("--lock-wait", m_lockWaitSeconds,
                     "Wait at most SECONDS for a page that another program holds locked, then leave it as it is")
        ->type_name("SECONDS")
        ->check(CLI::Range(0, kLongestLockWait).description(""))
        ->capture_default_str();
}

CommandLineOptions::~CommandLineOptions() = default;

void CommandLineOptions::addStorageOptions() {
    auto* overwrite = m_app->add_flag("--overwrite", m_overwrite,
                                      "Overwrite the picked pages (the default), after a .bak backup of each (with "
                                      "--encrypt: the originals go to FOLDER.originals beside each picked folder)");
    auto* noBackup = m_app->add_flag("--no-backup", m_noBackup, "With --overwrite: make no .bak backups");
    auto* copyTo = m_copyToOption =
        m_app
            ->add_option("--copy-to", m_copyTo,
                         "Write the pages into folder DIR, keeping the structure below each picked folder")
            ->type_name("DIR");
    auto* beside = m_app->add_flag("--beside", m_beside, "Write each page beside its source as protected_<name>");
    auto* pagesOnly = m_app->add_flag("--pages-only", m_pagesOnly,
                                      "With --copy-to: copy only the pages, not the site's other files (images, style "
                                      "sheets, scripts)");
    pagesOnly->needs(copyTo);
    auto* restore = m_app->add_flag("--restore", m_restore,
                                    "Put the originals back: each protected page below PATH with its .bak beside it "
                                    "gets its backup back (the .bak is gone afterwards)");
    auto* backupDir = m_backupDirOption =
        m_app
            ->add_option("--backup-dir", m_backupDir,
                         "With --encrypt, overwriting: keep the originals below DIR (each under its absolute path) "
                         "instead of in FOLDER.originals; with --restore: look for them there too")
            ->type_name("DIR");
    restore->excludes(copyTo)->excludes(beside)->excludes(noBackup)->excludes(overwrite);
    overwrite->excludes(copyTo)->excludes(beside);
    copyTo->excludes(beside)->excludes(noBackup);
    beside->excludes(noBackup);
    backupDir->excludes(copyTo)->excludes(beside)->excludes(noBackup);
}

void CommandLineOptions::addPageOptions() {
    m_app->add_option("--hide", m_hide, "What to hide: email-links, links, body or page")
        ->check(CLI::IsMember({"email-links", "links", "body", "page"}))
        ->capture_default_str();
    // Its check depends on --encrypt, which may come later: it is made once everything is parsed.
    m_passwordOption = m_app->add_option("--password", m_password,
                                         "Ask for this password before showing a page (with --encrypt: the "
                                         "password the pages are encrypted with)");
    m_noticeOption = m_app->add_option("--notice", m_notice, "Put this notice in a comment at the top of every page")
                         ->check(kNoticeSafeText);
}

void CommandLineOptions::addScriptOptions() {
    auto* rightClick =
        m_app->add_flag("--no-right-click", m_scripts[engine::kScriptRightClick], "Disable right mouse click");
    m_warningOption =
        m_app->add_option("--warning", m_warning, "With --no-right-click: show this warning on a right click")
            ->check(kScriptSafeText)
            ->needs(rightClick);
    m_app->add_flag("--no-select", m_scripts[engine::kScriptTextSelection], "Disable text highlighting");
    m_app->add_flag("--no-status-urls", m_scripts[engine::kScriptStatusBar], "Don't display URLs in status bar");
    m_app->add_flag("--no-print", m_scripts[engine::kScriptPrinting], "Disable printing of pages");
    m_app->add_flag("--no-clipboard", m_scripts[engine::kScriptClipboard], "Disable clipboard and printscreen");
    m_app->add_flag("--no-drag", m_scripts[engine::kScriptDragDrop], "Disable drag and drop");
    m_app->add_flag("--break-frames", m_scripts[engine::kScriptBreakFrames], "Break out of frames");
    m_app->add_flag("--no-image-toolbar", m_scripts[engine::kScriptImageToolbar], "Disable IE Image Toolbar");
}

void CommandLineOptions::addEncryptionOptions() {
    auto* encrypt = m_app->add_flag("--encrypt", m_encrypt,
                                    "Encrypt every page with the password, so that nobody reads it without it");
    m_passwordFileOption =
        m_app
            ->add_option("--password-file", m_passwordFile,
                         "With --encrypt: the password is the first line of FILE (- reads standard input)")
            ->type_name("FILE")
            ->needs(encrypt);
    m_app
        ->add_flag("--allow-weak-password", m_allowWeakPassword,
                   "With --encrypt: encrypt even with a password estimated below 40 bits, which an attacker holding "
                   "the pages may guess")
        ->needs(encrypt);
    m_unlockTitleOption = m_app
                              ->add_option("--unlock-title", m_unlockTitle,
                                           "With --encrypt: the title every unlock page shows, in place of each "
                                           "page's own title (which otherwise stays readable in it)")
                              ->type_name("TEXT")
                              ->needs(encrypt);
    m_app
        ->add_option("--remember", m_rememberDays,
                     "With --encrypt: a browser keeps the key for DAYS days (0: for its session only)")
        ->type_name("DAYS")
        ->check(CLI::Range(0, engine::kMaxRememberDays).description(""))
        ->needs(encrypt)
        ->capture_default_str();
    m_unlockPromptOption =
        m_app->add_option("--unlock-prompt", m_unlockPrompt, "With --encrypt: the text that asks for the password")
            ->check(kNotBlank)
            ->needs(encrypt);
    m_unlockButtonOption =
        m_app->add_option("--unlock-button", m_unlockButton, "With --encrypt: the caption of the button that opens")
            ->check(kNotBlank)
            ->needs(encrypt);
    m_wrongPasswordOption =
        m_app->add_option("--wrong-password", m_wrongPassword, "With --encrypt: the text shown after a wrong password")
            ->check(kNotBlank)
            ->needs(encrypt);
    m_app->footer(kEncryptionFooter);
}

bool CommandLineOptions::resolvePassword(std::string& text) {
    if (!m_encrypt) {
        if (run::IsScriptSafeText(charset::fromUtf8(m_password)))
            return true;
        text = std::string("--password: ") + std::string(run::messages::kNotScriptSafe);
        return false;
    }
    const char* variable = std::getenv(kPasswordVariable);
    std::vector<std::string> sources;
    if (m_passwordOption->count() > 0)
        sources.emplace_back("--password");
    if (m_passwordFileOption->count() > 0)
        sources.emplace_back("--password-file");
    if (variable != nullptr)
        sources.emplace_back(kPasswordVariable);
    if (sources.empty()) {
        text = "--encrypt needs a password: give --password, --password-file or QUILLORA_PASSWORD";
        return false;
    }
    if (sources.size() > 1) {
        text = "The password is given more than once (" + sources[0] + " and " + sources[1] + "): give it once";
        return false;
    }
    std::string password = m_password;
    if (m_passwordFileOption->count() > 0) {
        if (!readPasswordFile(password, text))
            return false;
    } else if (variable != nullptr) {
        password = variable;
        if (password.empty()) {
            text = "QUILLORA_PASSWORD is empty";
            return false;
        }
    }
    // A byte that is not UTF-8 would be read differently by the browser: the pages would never open.
    m_encryptionPassword = charset::fromUtf8(password);
    std::string again = charset::toUtf8(m_encryptionPassword);
    const bool valid = again == password;
    crypto::wipe(again);
    crypto::wipe(password);
    if (!valid) {
        text = "The password is not valid UTF-8";
        return false;
    }
    return true;
}

bool CommandLineOptions::readPasswordFile(std::string& password, std::string& text) {
    const bool standardInput = m_passwordFile == "-";
    const std::string name = standardInput ? std::string("standard input") : m_passwordFile;
    const int fd = standardInput ? STDIN_FILENO : ::open(m_passwordFile.c_str(), O_RDONLY | O_CLOEXEC);
    std::string error;
    bool read = fd >= 0;
    if (!read)
        error = std::strerror(errno);
    struct stat st {};
    if (read && !standardInput && ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && (st.st_mode & 077) != 0) {
        char mode[8];
        std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(st.st_mode & 07777));
        m_warnings.push_back(m_passwordFile + " can be read by other users of this machine (mode " + mode +
                             "); chmod 600 " + m_passwordFile + " keeps the password to you");
    }
    if (read)
        read = readFirstLine(fd, password, error);
    if (fd >= 0 && !standardInput)
        ::close(fd);
    if (!read) {
        text = "--password-file: cannot read " + name + ": " + error;
        return false;
    }
    if (password.empty()) {
        text = "--password-file: the first line of " + name + " is empty";
        return false;
    }
    return true;
}

bool CommandLineOptions::checkCombinations(std::string& text) {
    if (m_backupDirOption->count() > 0 && !m_encrypt && !m_restore) {
        text = "--backup-dir keeps the originals of an encrypted run (--encrypt) or finds them (--restore); an "
               "unencrypted run keeps a .bak beside each page";
        return false;
    }
    if (m_backupDirOption->count() > 0 && m_backupDir.find_first_not_of(' ') == std::string::npos) {
        text = "--backup-dir: must not be empty";
        return false;
    }
    warnAboutPassword();
    return true;
}

void CommandLineOptions::warnAboutPassword() {
    if (!m_encrypt) {
        if (m_passwordOption->count() > 0)
            m_warnings.emplace_back("--password without --encrypt only adds a prompt: the password stands readable "
                                    "in every page, and the pages open without it (add --encrypt to encrypt them)");
        return;
    }
    if (m_passwordOption->count() > 0)
        m_warnings.emplace_back("other users of this machine can see --password in the process list; prefer "
                                "--password-file or QUILLORA_PASSWORD");
    const auto strength = crypto::PasswordStrength::of(m_encryptionPassword);
    const std::string bits = "about " + std::to_string(strength.wholeBits()) + " bits";
    if (strength.level() == crypto::PasswordStrength::Level::TooWeak && m_allowWeakPassword)
        m_warnings.push_back("the password is too weak (" + bits +
                             ", below 40) and is used only because of --allow-weak-password");
    else if (strength.level() == crypto::PasswordStrength::Level::Weak)
        m_warnings.push_back("the password is weak (" + bits +
                             "; 60 or more is strong): a longer password of several unrelated words is stronger");
}

bool CommandLineOptions::findUnknownOption(int argc, const char* const* argv, std::string& text) const {
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i];
        if (argument == "--")
            return false; // the rest are paths
        if (argument.size() < 2 || argument[0] != '-')
            continue;
        const std::string name(argument.substr(0, argument.find('=')));
        const CLI::Option* option = m_app->get_option_no_throw(name);
        if (option == nullptr) {
            text = "Unknown option: " + name;
            return true;
        }
        // An option's value may begin with a dash itself; it is not looked at.
        if (option->get_items_expected_max() > 0 && name.size() == argument.size())
            ++i;
    }
    return false;
}

void CommandLineOptions::forgetPassword() {
    crypto::wipe(m_password);
    crypto::wipe(m_encryptionPassword);
}

CommandLineOptions::Parsed CommandLineOptions::parse(int argc, const char* const* argv, std::string& text) {
    try {
        // Reported by its name alone, before anything else: what follows a mistyped option may be a password.
        if (findUnknownOption(argc, argv, text))
            return Parsed::Error;
        m_app->parse(argc, argv);
        return resolvePassword(text) && checkCombinations(text) ? Parsed::Request : Parsed::Error;
    } catch (const CLI::CallForHelp&) {
        text = m_app->help();
        return Parsed::Help;
    } catch (const CLI::CallForVersion&) {
        text = m_app->version() + '\n';
        return Parsed::Version;
    } catch (const CLI::ParseError& error) {
        text = error.what();
        return Parsed::Error;
    }
}

CommandLineRequest CommandLineOptions::request() const {
    CommandLineRequest request;
    auto& options = request.options;
    options.storageMode = m_copyToOption->count() > 0 ? engine::StorageMode::CopyToFolder
                          : m_beside                  ? engine::StorageMode::CreateProtected
                                                      : engine::StorageMode::Overwrite;
    options.makeBackups = !m_noBackup;
    options.targetFolder = m_copyTo;
    options.copyOtherFiles = !m_pagesOnly;
    options.encryptionMode = kHideModes.at(m_hide);
    options.scripts = m_scripts;
    if (m_warningOption->count() > 0) {
        options.showRightClickWarning = true;
        options.rightClickWarning = charset::fromUtf8(m_warning);
    }
    if (m_encrypt) {
        options.passwordProtect = true;
        options.encrypt = true;
        options.password = m_encryptionPassword;
        options.rememberDays = m_rememberDays;
        options.allowWeakPassword = m_allowWeakPassword;
        options.backupFolder = m_backupDir.empty() ? std::string() : pickedPath(m_backupDir);
        if (m_unlockTitleOption->count() > 0) {
            options.replaceTitle = true;
            options.unlockTitle = charset::fromUtf8(m_unlockTitle);
        }
        if (m_unlockPromptOption->count() > 0)
            options.unlockPrompt = charset::fromUtf8(m_unlockPrompt);
        if (m_unlockButtonOption->count() > 0)
            options.unlockButton = charset::fromUtf8(m_unlockButton);
        if (m_wrongPasswordOption->count() > 0)
            options.wrongPassword = charset::fromUtf8(m_wrongPassword);
    } else if (m_passwordOption->count() > 0) {
        options.passwordProtect = true;
        options.password = charset::fromUtf8(m_password);
    }
    if (m_noticeOption->count() > 0) {
        options.insertNotice = true;
        options.noticeText = charset::fromUtf8(m_notice);
    }
    for (const auto& path : m_paths) {
        std::error_code error;
        request.selection.push_back({pickedPath(path), std::filesystem::is_directory(path, error)});
    }
    request.lockWait.giveUpAfter = std::chrono::seconds(m_lockWaitSeconds);
    request.quiet = m_quiet;
    request.restore = m_restore;
    if (m_restore && !m_backupDir.empty())
        request.backupFolder = pickedPath(m_backupDir);
    request.print0 = m_print0;
    return request;
}

} // namespace quillora::cli
