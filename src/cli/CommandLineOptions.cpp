#include "CommandLineOptions.h"

#include "charset/TextConvert.h"
#include "crypto/Base64.h"
#include "crypto/PasswordStrength.h"
#include "crypto/SecretMemory.h"
#include "crypto/SiteKey.h"
#include "crypto/SiteKeyFile.h"
#include "project/PasswordFile.h"
#include "run/FileHelpers.h"
#include "run/RunMessages.h"
#include "run/TextRules.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <map>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

#ifndef QUILLORA_VERSION
#define QUILLORA_VERSION "unknown"
#endif

namespace quillora::cli {

namespace {

// --help fits a terminal of this width.
constexpr std::size_t kHelpColumns = 100;

const std::map<std::string, engine::EncryptionMode> kHideModes = {
    {"email-links", engine::EncryptionMode::EmailLinks},
    {"links", engine::EncryptionMode::AllLinks},
    {"body", engine::EncryptionMode::BodyOnly},
    {"page", engine::EncryptionMode::WholePage},
    {"none", engine::EncryptionMode::None},
};

constexpr const char* kPasswordVariable = "QUILLORA_PASSWORD";
constexpr const char* kNewPasswordVariable = "QUILLORA_NEW_PASSWORD";

/// A slot's label: "#" begins the names of slots by their number.
const CLI::Validator kLabelText(
    [](const std::string& text) -> std::string {
        if (text.starts_with('#'))
            return "must not begin with # (#N names the N-th password)";
        if (std::any_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20; }))
            return "must not hold control characters";
        return {};
    },
    "");

/// An access level's name, as a project file writes it in level = "NAME".
const CLI::Validator kLevelName(
    [](const std::string& text) -> std::string {
        return crypto::isLevelName(text) ? std::string() : "write letters, digits, \"-\" and \"_\", as in members";
    },
    "");

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

constexpr const char* kFooter =
    "Encryption: with --encrypt every page is encrypted (AES-256-GCM, with a key derived from the\n"
    "password), and a browser shows it only once the password is typed there. The browser keeps the key\n"
    "for its session, or for --remember days, so that one password opens every page of the run.\n"
    "The password comes from exactly one of --password TEXT, the first line of --password-file FILE\n"
    "(- for standard input), or the environment variable QUILLORA_PASSWORD. Prefer the file or the\n"
    "variable: the arguments of a running program are visible to every user of the machine in its\n"
    "process list. A password estimated below 40 bits is refused (--allow-weak-password to insist), one\n"
    "below 60 bits is warned about. Overwriting, the originals are kept outside the picked folders, in\n"
    "FOLDER.originals beside each (or below --backup-dir DIR); --restore finds them there.\n"
    "The site's key lives in FOLDER.quillora-key beside the first picked folder (or --key-file FILE):\n"
    "the first encrypted run makes it, later runs read it and seal with the same key, so that visitors\n"
    "stay unlocked across runs. It opens nothing without a password; keep it, and never publish it.\n"
    "A site gets another password with --add-password (and --label), loses one with --remove-password,\n"
    "and gets a new content key with --rekey (a removal makes one too, unless --no-rotate). Run with one\n"
    "of its passwords on the site's folders, they change its key file and every unlock page in place.\n"
    "Readable in an unlock page: its title (each page's own unless --unlock-title), the notice, the\n"
    "file's name and size. --beside is refused with --encrypt (the originals would stay beside).\n"
    "Without --encrypt, --password only adds a prompt, and the password stands readable in every page."
    "\n"
    "Project file: a folder named alone (or the working folder, with no PATH) that holds quillora.toml is\n"
    "protected as that file describes, rule by rule; options given here go before the file's.\n"
    "\n"
    "Examples:\n"
    "  quillora-cli --copy-to public site            copy the site into public/, each body hidden\n"
    "  quillora-cli --hide email-links site/a.html   hide a page's e-mail links, in place (a.html.bak kept)\n"
    "  quillora-cli --init --copy-to public site     write site/quillora.toml to start a project from\n"
    "  quillora-cli --dry-run site                   show what the project would do, write nothing\n"
    "  quillora-cli --report json site > run.json    protect, and describe every file as JSON\n"
    "  generate | quillora-cli --hide page - > x.html   one page from standard input to standard output\n"
    "\n"
    "Exit status: 0 every page done as chosen (or already protected); 1 a page given up, skipped or left\n"
    "as it is (and with --fail-if-empty, no page found); 2 usage errors and refused runs, before anything\n"
    "is written.";

/// A PATH: an existing file or folder, or "-" for standard input.
const CLI::Validator kPathOrStandardInput(
    [](std::string& path) -> std::string {
        if (path == "-")
            return {};
        return CLI::ExistingPath(path);
    },
    "");

// A day: a longer wait is no wait a build pipeline means.
constexpr int kLongestLockWait = 24 * 60 * 60;

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
    m_app
        ->add_option("PATH", m_paths,
                     "A page or a folder of them (with its subfolders), in order; - for standard input")
        ->check(kPathOrStandardInput)
        ->type_name("");
    addStorageOptions();
    addPageOptions();
    addScriptOptions();
    addEncryptionOptions();
    addKeyOptions();
    addProjectOptions();
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
    m_hideOption = m_app
                       ->add_option("--hide", m_hide,
                                    "What to hide: email-links, links, body, page or none (with --encrypt: "
                                    "only when given, inside the sealed pages, which it makes about three times "
                                    "larger)")
                       ->check(CLI::IsMember({"email-links", "links", "body", "page", "none"}))
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
    m_app->add_flag("--no-status-urls", m_scripts[engine::kScriptStatusBar],
                    "Don't display URLs in status bar (only old browsers honour it)");
    m_app->add_flag("--no-print", m_scripts[engine::kScriptPrinting], "Disable printing of pages");
    m_app->add_flag("--no-clipboard", m_scripts[engine::kScriptClipboard],
                    "Disable clipboard and printscreen: copy and cut of the page's text outside form fields (no page "
                    "can block print screen)");
    m_app->add_flag("--no-drag", m_scripts[engine::kScriptDragDrop], "Disable drag and drop");
    m_app->add_flag("--break-frames", m_scripts[engine::kScriptBreakFrames],
                    "Break out of frames (not out of another site's frame: browsers refuse it)");
    m_app->add_flag("--no-image-toolbar", m_scripts[engine::kScriptImageToolbar],
                    "Disable IE Image Toolbar (only old browsers have one)");
    m_app->add_flag("--no-shortcuts", m_scripts[engine::kScriptShortcuts],
                    "Refuse Ctrl+C, S, P and U (Cmd on a Mac) outside form fields (no page can stop the browser's "
                    "menus, view-source: typed in the address bar, the developer tools or screen shots)");
    auto* attribution = m_app->add_flag("--copy-attribution", m_scripts[engine::kScriptCopyAttribution],
                                        "Put an attribution and the page's address after text copied from the page "
                                        "(form fields copy as usual; with --no-clipboard the copy is refused instead)");
    m_attributionOption = m_app
                              ->add_option("--attribution", m_attribution,
                                           "With --copy-attribution: the text put before the page's address "
                                           "(default \"Source:\")")
                              ->type_name("TEXT")
                              ->check(kScriptSafeText)
                              ->needs(attribution);
    m_app->add_flag("--csp", m_strictCsp,
                    "Make pages that run under a strict Content-Security-Policy (script-src 'self' and hashes, no "
                    "'unsafe-inline' or 'unsafe-eval'): each page carries its policy in a META tag, and a _headers "
                    "file holds them for hosts that set headers");
}

void CommandLineOptions::addEncryptionOptions() {
    auto* encrypt = m_app->add_flag("--encrypt", m_encrypt,
                                    "Encrypt every page with the password, so that nobody reads it without it");
    m_passwordFileOption =
        m_app
            ->add_option(
                "--password-file", m_passwordFile,
                "With --encrypt, --decrypt or a change of the site's key: the password is the first line of FILE "
                "(- reads standard input)")
            ->type_name("FILE");
    // These three serve a change of the site's key too: checked once everything is parsed.
    m_allowWeakOption = m_app->add_flag(
        "--allow-weak-password", m_allowWeakPassword,
        "With --encrypt or --add-password: take even a password estimated below 40 bits, which an attacker "
        "holding the pages may guess");
    m_keyFileOption =
        m_app
            ->add_option("--key-file", m_keyFile,
                         "With --encrypt (or a change of the site's key): the site key file, made by the site's first "
                         "encrypted run and read by later ones (default: FOLDER.quillora-key beside the first picked "
                         "folder); never publish it")
            ->type_name("FILE")
            ->check(kNotBlank);
    m_app
        ->add_option("--unlock-template", m_unlockTemplate,
                     "With --encrypt: the unlock page is FILE, HTML in UTF-8 with the placeholders {{title}} and "
                     "{{form}} (required), {{lang}} and {{dir}}")
        ->type_name("FILE")
        ->check(kNotBlank)
        ->needs(encrypt);
    auto* decrypt = m_app->add_flag("--decrypt", m_decrypt,
                                    "Write back the original of every encrypted page the password opens: in place, "
                                    "or below --copy-to DIR");
    decrypt->excludes(encrypt);
    for (const char* other : {"--restore", "--beside", "--no-backup", "--overwrite", "--pages-only"})
        decrypt->excludes(m_app->get_option(other));
    m_unlockTitleOption = m_app
                              ->add_option("--unlock-title", m_unlockTitle,
                                           "With --encrypt: the title every unlock page shows, in place of each "
                                           "page's own title (which otherwise stays readable in it)")
                              ->type_name("TEXT")
                              ->needs(encrypt);
    m_rememberOption =
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
}

void CommandLineOptions::addKeyOptions() {
    m_addPasswordOption =
        m_app->add_flag("--add-password", m_addPassword,
                        "Add a password to the site: its key file gets a slot for it and every unlock page below "
                        "PATH carries it (the new password from --new-password-file or QUILLORA_NEW_PASSWORD)");
    m_newPasswordFileOption =
        m_app
            ->add_option("--new-password-file", m_newPasswordFile,
                         "With --add-password or --add-level: the new password is the first line of FILE (- reads "
                         "standard input)")
            ->type_name("FILE");
    m_shareLinkOption =
        m_app
            ->add_option("--share-link", m_shareLink,
                         "Print a link to URL (a page of the site) that opens the site's pages without typing: a new "
                         "password of its own, drawn at random, travels in the link's fragment, which browsers never "
                         "send to the server; --remove-password with its label revokes it")
            ->type_name("URL")
            ->check(kNotBlank)
            ->excludes(m_addPasswordOption);
    m_labelOption = m_app
                        ->add_option("--label", m_label,
                                     "With --add-password or --share-link: who holds the new password (\"editors\"), "
                                     "the name that removes it later")
                        ->type_name("TEXT")
                        ->check(kLabelText);
    m_removePasswordOption =
        m_app
            ->add_option("--remove-password", m_removePassword,
                         "Remove the password labelled LABEL (#N: the N-th) from the site, and give the site a new "
                         "content key: every unlock page below PATH is sealed again, and the removed password opens "
                         "none of them")
            ->type_name("LABEL")
            ->check(kNotBlank);
    m_app
        ->add_flag("--no-rotate", m_noRotate,
                   "With --remove-password: keep the content key, which whoever unlocked with the removed password "
                   "before may still hold (their browser keeps it); --rekey changes it later")
        ->needs(m_removePasswordOption);
    m_app->add_flag("--rekey", m_rekey,
                    "Give the site a new content key for all its passwords: every unlock page below PATH is sealed "
                    "again, and the key of the pages before opens none of them");
    m_addLevelOption =
        m_app
            ->add_option("--add-level", m_addLevel,
                         "Add the access level NAME to the site key: a key of its own, opened by the new password "
                         "(--new-password-file or QUILLORA_NEW_PASSWORD) and by none of the site's; the pages a "
                         "project file's rule gives level = \"NAME\" are encrypted with it")
            ->type_name("NAME")
            ->check(kLevelName)
            ->excludes(m_addPasswordOption)
            ->excludes(m_shareLinkOption)
            ->excludes(m_removePasswordOption);
    m_levelOption =
        m_app
            ->add_option("--level", m_level,
                         "With --encrypt: every page under the access level NAME of the site key, opened by the "
                         "level's passwords; with --add-password, --share-link, --remove-password or --rekey: the "
                         "level's passwords and key change instead of the site's")
            ->type_name("NAME")
            ->check(kLevelName)
            ->excludes(m_addLevelOption);
}

bool CommandLineOptions::changesKey() const {
    return m_addPassword || m_shareLinkOption->count() > 0 || m_removePasswordOption->count() > 0 || m_rekey ||
           m_addLevelOption->count() > 0;
}

bool CommandLineOptions::checkKeyChange(std::string& text) const {
    const bool changing = changesKey();
    if (m_newPasswordFileOption->count() > 0 && !m_addPassword && m_addLevelOption->count() == 0) {
        text = "--new-password-file requires --add-password or --add-level";
        return false;
    }
    if (m_levelOption->count() > 0 && !m_encrypt && !changing) {
        text = "--level requires --encrypt or a change of the site's key";
        return false;
    }
    if (!m_encrypt && !changing) {
        for (const auto& [option, name] :
             {std::pair{m_passwordFileOption, "--password-file"}, std::pair{m_allowWeakOption, "--allow-weak-password"},
              std::pair{m_keyFileOption, "--key-file"}}) {
            if (option == m_passwordFileOption && m_decrypt)
                continue;
            if (option->count() > 0) {
                text = std::string(name) + (option == m_passwordFileOption
                                                ? " requires --encrypt, --decrypt or a change of the site's key"
                                                : " requires --encrypt");
                return false;
            }
        }
        return true;
    }
    if (m_labelOption->count() > 0 && !m_addPassword && m_shareLinkOption->count() == 0 &&
        m_addLevelOption->count() == 0) {
        text = "--label names a new password: give it with --add-password, --share-link or --add-level";
        return false;
    }
    if (!changing)
        return true;
    if (m_shareLinkOption->count() > 0 && m_shareLink.find('#') != std::string::npos) {
        text = "--share-link: the link's fragment carries its password: give the page's address without a #";
        return false;
    }
    if (m_rekey && m_noRotate) {
        text = "--no-rotate keeps the content key that --rekey changes: give one of them";
        return false;
    }
    for (const char* option :
         {"--encrypt", "--decrypt", "--overwrite", "--no-backup", "--copy-to", "--beside", "--pages-only", "--restore",
          "--backup-dir", "--config", "--init", "--dry-run", "--report", "--json"}) {
        if (m_app->get_option(option)->count() > 0) {
            text = std::string(option) +
                   " does not go with --add-password, --remove-password or --rekey, which change the site's "
                   "passwords and key in its key file and its unlock pages where they are";
            return false;
        }
    }
    return true;
}

bool CommandLineOptions::resolveNewPassword(std::string& text) {
    if (!m_addPassword && m_addLevelOption->count() == 0)
        return true;
    const char* variable = std::getenv(kNewPasswordVariable);
    if (m_newPasswordFileOption->count() > 0 && variable != nullptr) {
        text = "The new password is given more than once (--new-password-file and QUILLORA_NEW_PASSWORD): give it "
               "once";
        return false;
    }
    std::string password;
    if (m_newPasswordFileOption->count() > 0) {
        if (m_newPasswordFile == "-" && m_passwordFileOption->count() > 0 && m_passwordFile == "-") {
            text = "--new-password-file: - reads standard input, which --password-file reads already: name a file";
            return false;
        }
        if (!readSecretFile("--new-password-file", m_newPasswordFile, password, text))
            return false;
    } else if (variable != nullptr && *variable != '\0') {
        password = variable;
    } else {
        text = std::string(m_addPassword ? "--add-password" : "--add-level") +
               " needs the new password: give --new-password-file or QUILLORA_NEW_PASSWORD";
        return false;
    }
    m_newPassword = charset::fromUtf8(password);
    std::string again = charset::toUtf8(m_newPassword);
    const bool valid = again == password;
    crypto::wipe(again);
    crypto::wipe(password);
    if (!valid) {
        text = "The new password is not valid UTF-8";
        return false;
    }
    return true;
}

void CommandLineOptions::addProjectOptions() {
    m_app->add_option("--config", m_config, "Read the project file FILE (else quillora.toml where it is found)")
        ->type_name("FILE");
    m_app->add_flag("--no-config", m_noConfig, "Read no project file, even where one is found");
    m_app->add_flag("--init", m_init, "Write a commented quillora.toml from the options given, and stop");
    m_app->add_flag("--dry-run", m_dryRun, "Print what would be done to each file (rule, mode, output); write nothing");
    m_app->add_option("--report", m_report, "Print a record of the run in FORMAT (json) instead of the paths")
        ->check(CLI::IsMember({"json"}))
        ->type_name("FORMAT");
    m_app->add_flag("--json", m_json, "The same as --report json");
    m_app->add_flag("-v,--verbose", m_verbose, "Tell each file's rule and what became of it");
    m_app->add_flag("--fail-if-empty", m_failIfEmpty, "Exit with 1 when no page is found");
    m_app->footer(kFooter);
    m_app->get_formatter()->column_width(32);
}

bool CommandLineOptions::resolvePassword(std::string& text) {
    if (!m_encrypt && !m_decrypt && !changesKey()) {
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
        text = m_encrypt   ? "--encrypt needs a password: give --password, --password-file or QUILLORA_PASSWORD"
               : m_decrypt ? "--decrypt needs a password: give --password, --password-file or QUILLORA_PASSWORD"
                           : "A change of the site's key needs one of the site's passwords: give --password, "
                             "--password-file or QUILLORA_PASSWORD";
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

bool CommandLineOptions::checkStandardInput(std::string& text) const {
    const std::pair<const CLI::Option*, std::string_view> named[] = {
        {m_copyToOption, "--copy-to"},
        {m_app->get_option("--config"), "--config"},
    };
    const bool pageFromStandardInput = std::find(m_paths.begin(), m_paths.end(), "-") != m_paths.end();
    // The password may come from standard input, unless the page does.
    if (pageFromStandardInput && m_passwordFileOption->count() > 0 && m_passwordFile == "-") {
        text = "--password-file: - reads the password from standard input, which - as the PATH reads the page from: "
               "name a file";
        return false;
    }
    for (const auto& [option, name] : named) {
        if (option->count() > 0 && option->as<std::string>() == "-") {
            text = std::string(name) + ": - stands for standard input only as the PATH: name a file or folder";
            return false;
        }
    }
    if (!pageFromStandardInput)
        return true;
    if (m_paths.size() > 1) {
        text = "- reads one page from standard input: give it alone, without other paths";
        return false;
    }
    for (const char* option : {"--overwrite", "--no-backup", "--copy-to", "--beside", "--pages-only", "--restore",
                               "--config", "--init", "--dry-run", "--report", "--json", "--print0"}) {
        if (m_app->get_option(option)->count() > 0) {
            text = std::string(option) + " does not go with - (one page from standard input to standard output)";
            return false;
        }
    }
    return true;
}

bool CommandLineOptions::readPasswordFile(std::string& password, std::string& text) {
    return readSecretFile("--password-file", m_passwordFile, password, text);
}

bool CommandLineOptions::readSecretFile(std::string_view option, const std::string& file, std::string& password,
                                        std::string& text) {
    const bool standardInput = file == "-";
    const std::string name = standardInput ? std::string("standard input") : file;
    const int fd = standardInput ? STDIN_FILENO : ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    std::string error;
    bool read = fd >= 0;
    if (!read)
        error = std::strerror(errno);
    struct stat st {};
    if (read && !standardInput && ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && (st.st_mode & 077) != 0) {
        char mode[8];
        std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(st.st_mode & 07777));
        m_warnings.push_back(file + " can be read by other users of this machine (mode " + mode + "); chmod 600 " +
                             file + " keeps the password to you");
    }
    if (read)
        read = project::readFirstLine(fd, password, error);
    if (fd >= 0 && !standardInput)
        ::close(fd);
    if (!read) {
        text = std::string(option) + ": cannot read " + name + ": " + error;
        return false;
    }
    if (password.empty()) {
        text = std::string(option) + ": the first line of " + name + " is empty";
        return false;
    }
    return true;
}

namespace {

/// "unknown option --hid: did you mean --hide?"
std::string unknownOption(const CLI::App& app, const std::string& name) {
    std::vector<std::string> names;
    for (const auto* option : app.get_options()) {
        for (const auto& longName : option->get_lnames())
            names.push_back("--" + longName);
    }
    std::string text = "unknown option " + name;
    const auto meant = std::min_element(names.begin(), names.end(), [&](const auto& a, const auto& b) {
        return project::editDistance(name, a) < project::editDistance(name, b);
    });
    if (name.starts_with("--") && meant != names.end() && project::editDistance(name, *meant) <= 2)
        text += ": did you mean " + *meant + "?";
    return text;
}

/// The first argument that looks like an option and is none of the program's, before CLI11 reads on and
/// reports something else about what follows it.
std::string firstUnknownOption(const CLI::App& app, int argc, const char* const* argv) {
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "--")
            break;
        if (argument.size() < 2 || argument[0] != '-')
            continue;
        const bool isLong = argument.starts_with("--");
        const std::string name = isLong ? argument.substr(0, argument.find('=')) : argument.substr(0, 2);
        const CLI::Option* option = app.get_option_no_throw(name);
        if (option == nullptr)
            return unknownOption(app, name);
        // The value of an option that takes one is not an option, whatever it looks like.
        if (option->get_items_expected_min() > 0 &&
            (isLong ? argument.find('=') == std::string::npos : argument.size() == 2))
            ++i;
    }
    return {};
}

/// A share link's password: 128 random bits, as base64url without padding (it stands in an address as it is).
std::string shareSecret() {
    std::array<unsigned char, 16> bytes{};
    if (crypto::SiteKey::randomBytes(bytes))
        throw std::runtime_error("no random bytes for a share link");
    std::string secret = crypto::toBase64(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
    std::replace(secret.begin(), secret.end(), '+', '-');
    std::replace(secret.begin(), secret.end(), '/', '_');
    secret.erase(secret.find_last_not_of('=') + 1);
    return secret;
}

/// The time now in UTC, as a share link's label tells it.
std::string utcNow() {
    const std::time_t now = std::time(nullptr);
    std::tm utc{};
    gmtime_r(&now, &utc);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &utc);
    return text;
}

/// Help text wrapped to fit columns: a description goes on under itself.
std::string wrapped(const std::string& text, std::size_t columns) {
    constexpr std::size_t kDescriptionColumn = 32;
    std::string out;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(start, end - start);
        const std::string indent(line.starts_with("  ") ? kDescriptionColumn : 0, ' ');
        while (line.size() > columns) {
            const std::size_t cut = line.rfind(' ', columns);
            const std::size_t rest = cut == std::string::npos ? cut : line.find_first_not_of(' ', cut);
            if (cut == std::string::npos || cut <= indent.size() || rest == std::string::npos)
                break;
            out.append(line, 0, cut).append(1, '\n');
            std::string next = indent;
            next.append(line, rest);
            line = std::move(next);
        }
        out.append(line).append(1, '\n');
        start = end + 1;
    }
    return out;
}

} // namespace

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
    if (m_scripts[engine::kScriptCopyAttribution] && m_scripts[engine::kScriptClipboard])
        m_warnings.emplace_back("--copy-attribution adds nothing with --no-clipboard, which refuses the copy");
    warnAboutPassword();
    return true;
}

void CommandLineOptions::warnAboutPassword() {
    if (m_decrypt || changesKey()) {
        if (m_passwordOption->count() > 0)
            m_warnings.emplace_back("other users of this machine can see --password in the process list; prefer "
                                    "--password-file or QUILLORA_PASSWORD");
        // The site's present password was judged when it was chosen; the new one is judged now.
        if (m_addPassword)
            warnAboutStrength(m_newPassword);
        return;
    }
    if (!m_encrypt) {
        if (m_passwordOption->count() > 0)
            m_warnings.emplace_back("--password without --encrypt only adds a prompt: the password stands readable "
                                    "in every page, and the pages open without it (add --encrypt to encrypt them)");
        return;
    }
    if (m_passwordOption->count() > 0)
        m_warnings.emplace_back("other users of this machine can see --password in the process list; prefer "
                                "--password-file or QUILLORA_PASSWORD");
    warnAboutStrength(m_encryptionPassword);
}

void CommandLineOptions::warnAboutStrength(std::u16string_view password) {
    const auto strength = crypto::PasswordStrength::of(password);
    const std::string bits = "about " + std::to_string(strength.wholeBits()) + " bits";
    if (strength.level() == crypto::PasswordStrength::Level::TooWeak && m_allowWeakPassword)
        m_warnings.push_back("the password is too weak (" + bits +
                             ", below 40) and is used only because of --allow-weak-password");
    else if (strength.level() == crypto::PasswordStrength::Level::Weak)
        m_warnings.push_back("the password is weak (" + bits +
                             "; 60 or more is strong): a longer password of several unrelated words is stronger");
}

void CommandLineOptions::forgetPassword() {
    crypto::wipe(m_password);
    crypto::wipe(m_encryptionPassword);
    crypto::wipe(m_newPassword);
}

CommandLineOptions::Parsed CommandLineOptions::parse(int argc, const char* const* argv, std::string& text) {
    text = firstUnknownOption(*m_app, argc, argv);
    if (!text.empty())
        return Parsed::Error;
    try {
        m_app->parse(argc, argv);
    } catch (const CLI::CallForHelp&) {
        text = wrapped(m_app->help(), kHelpColumns);
        return Parsed::Help;
    } catch (const CLI::CallForVersion&) {
        text = m_app->version() + '\n';
        return Parsed::Version;
    } catch (const CLI::ParseError& error) {
        text = error.what();
        return Parsed::Error;
    }
    if (!checkStandardInput(text))
        return Parsed::Error;
    // Without a PATH the project file names the site: one given, or one in the working folder.
    std::error_code error;
    if (m_paths.empty() && m_config.empty() && !m_init &&
        (m_noConfig || !std::filesystem::is_regular_file(run::kProjectFileName, error))) {
        text = "PATH is required\nName a page or a folder, run where a quillora.toml is, or give --config FILE";
        return Parsed::Error;
    }
    if (m_init)
        return Parsed::Request; // the password is not needed to describe where it comes from
    return checkKeyChange(text) && resolvePassword(text) && resolveNewPassword(text) && checkCombinations(text)
               ? Parsed::Request
               : Parsed::Error;
}

project::Overrides CommandLineOptions::overrides() const {
    project::Overrides given;
    if (m_overwrite)
        given.mode = engine::StorageMode::Overwrite;
    if (m_beside)
        given.mode = engine::StorageMode::CreateProtected;
    if (m_copyToOption->count() > 0) {
        given.mode = engine::StorageMode::CopyToFolder;
        given.target = m_copyTo;
    }
    if (m_noBackup)
        given.backups = false;
    if (m_pagesOnly)
        given.otherFiles = false;
    if (m_strictCsp)
        given.strictCsp = true;
    if (m_noticeOption->count() > 0)
        given.notice = charset::fromUtf8(m_notice);
    if (m_hideOption->count() > 0)
        given.hide = kHideModes.at(m_hide);
    given.scripts = m_scripts;
    if (m_warningOption->count() > 0)
        given.warning = charset::fromUtf8(m_warning);
    if (m_attributionOption->count() > 0)
        given.attribution = charset::fromUtf8(m_attribution);
    if (m_encrypt) {
        given.encrypt = true;
        given.password = m_encryptionPassword;
        if (m_levelOption->count() > 0)
            given.level = m_level;
    } else if (m_passwordOption->count() > 0) {
        given.promptPassword = charset::fromUtf8(m_password);
    }
    if (m_rememberOption->count() > 0)
        given.rememberDays = m_rememberDays;
    if (m_unlockPromptOption->count() > 0)
        given.unlockPrompt = charset::fromUtf8(m_unlockPrompt);
    if (m_unlockButtonOption->count() > 0)
        given.unlockButton = charset::fromUtf8(m_unlockButton);
    if (m_wrongPasswordOption->count() > 0)
        given.wrongPassword = charset::fromUtf8(m_wrongPassword);
    if (m_unlockTitleOption->count() > 0)
        given.unlockTitle = charset::fromUtf8(m_unlockTitle);
    given.allowWeakPassword = m_allowWeakPassword;
    if (!m_backupDir.empty())
        given.backupFolder = pickedPath(m_backupDir);
    if (!m_keyFile.empty())
        given.keyFile = pickedPath(m_keyFile);
    if (!m_unlockTemplate.empty())
        given.unlockTemplate = pickedPath(m_unlockTemplate);
    return given;
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
    options.strictCsp = m_strictCsp;
    options.encryptionMode = kHideModes.at(m_hide);
    options.scripts = m_scripts;
    if (m_warningOption->count() > 0) {
        options.showRightClickWarning = true;
        options.rightClickWarning = charset::fromUtf8(m_warning);
    }
    if (m_attributionOption->count() > 0)
        options.copyAttribution = charset::fromUtf8(m_attribution);
    if (m_encrypt) {
        options.passwordProtect = true;
        options.encrypt = true;
        options.hideWhenEncrypting = m_hideOption->count() > 0;
        options.password = m_encryptionPassword;
        options.keyLevel = m_level;
        options.rememberDays = m_rememberDays;
        options.allowWeakPassword = m_allowWeakPassword;
        options.backupFolder = m_backupDir.empty() ? std::string() : pickedPath(m_backupDir);
        options.keyFile = m_keyFile.empty() ? std::string() : pickedPath(m_keyFile);
        options.unlockTemplate = m_unlockTemplate.empty() ? std::string() : pickedPath(m_unlockTemplate);
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
        if (path == "-") {
            request.standardInput = true;
            continue;
        }
        std::error_code error;
        request.selection.push_back({pickedPath(path), std::filesystem::is_directory(path, error)});
    }
    request.overrides = overrides();
    request.lockWait.giveUpAfter = std::chrono::seconds(m_lockWaitSeconds);
    request.quiet = m_quiet;
    request.restore = m_restore;
    request.decrypt = m_decrypt;
    if (m_decrypt) {
        options.password = m_encryptionPassword;
        request.decryptTo = m_copyTo.empty() ? std::string() : pickedPath(m_copyTo);
    }
    if (m_restore && !m_backupDir.empty())
        request.backupFolder = pickedPath(m_backupDir);
    request.print0 = m_print0;
    request.configFile = m_config;
    request.noConfig = m_noConfig;
    request.init = m_init;
    request.dryRun = m_dryRun;
    request.verbose = m_verbose;
    request.json = m_json || m_report == "json";
    request.failIfEmpty = m_failIfEmpty;
    request.passwordFile = m_passwordFile;
    if (changesKey()) {
        request.changeKey = true;
        auto& change = request.keyChange;
        change.password = m_encryptionPassword;
        if (m_addPassword || m_addLevelOption->count() > 0) {
            change.addPassword = m_newPassword;
            change.addLabel = m_label;
        }
        change.level = m_addLevelOption->count() > 0 ? m_addLevel : m_level;
        change.addLevel = m_addLevelOption->count() > 0;
        if (m_shareLinkOption->count() > 0) {
            const std::string secret = shareSecret();
            change.addPassword = charset::fromUtf8(secret);
            change.addLabel = m_label.empty() ? "share link " + utcNow() : m_label;
            change.allowWeakPassword = true; // drawn at random: 128 bits whatever an estimate says
            request.shareLink = m_shareLink + std::string(kShareLinkFragment) + secret;
            request.shareLabel = change.addLabel;
        }
        change.removeSlot = m_removePassword;
        change.rotate = m_rekey || (m_removePasswordOption->count() > 0 && !m_noRotate);
        change.allowWeakPassword = change.allowWeakPassword || m_allowWeakPassword;
        change.keyFile = m_keyFile.empty() ? std::string() : pickedPath(m_keyFile);
    }
    return request;
}

} // namespace quillora::cli
