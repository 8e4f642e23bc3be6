#pragma once

#include "Project.h"
#include "run/RuleSet.h"

#include <array>
#include <optional>
#include <string>

namespace quillora::project {

/// The environment variable an encrypted run's password may come from, when the project file names no source.
inline constexpr const char* kPasswordVariable = "QUILLORA_PASSWORD";

/// The choices given beside a project file (the command line's options, or the window's controls), each only when
/// it was given: they go before the file's, for every page the rules protect.
struct Overrides {
    std::optional<engine::StorageMode> mode;
    std::optional<std::string> target; // as typed: relative to the working folder, not to the project
    std::optional<bool> backups;
    std::optional<bool> otherFiles;
    std::optional<bool> strictCsp;
    std::optional<std::u16string> notice;
    std::optional<engine::EncryptionMode> hide;
    std::array<bool, engine::kScriptCount> scripts{}; // turned on
    std::optional<std::u16string> warning;
    std::optional<std::u16string> attribution;    // put after copied text
    std::optional<std::u16string> promptPassword; // a password prompt (not encryption)
    bool encrypt = false;                         // every protected page encrypted
    std::optional<std::string> level;             // every protected page encrypted with this access level's key
    std::optional<std::u16string> password;       // the encryption password, from the one source given
    std::optional<int> rememberDays;
    std::optional<std::u16string> unlockPrompt;
    std::optional<std::u16string> unlockButton;
    std::optional<std::u16string> wrongPassword;
    std::optional<std::u16string> unlockTitle; // one title for every unlock page
    bool allowWeakPassword = false;
    std::optional<std::string> backupFolder;   // where an encrypted overwrite keeps the originals
    std::optional<std::string> unlockTemplate; // the user's own unlock page
    std::optional<std::string> keyFile;        // the site key file of an encrypted run
};

/// Turns a project and the choices given beside it into a run's rules: the file's choices, a rule's own keys over
/// [pages], the overrides over both. False with "FILE:LINE: ..." in error when the run cannot be made so: a password
/// that cannot be had.
bool buildRules(const Project& project, const Overrides& overrides, run::RuleSet& rules, std::string& error);

/// The options of the window's one set of choices, from a project (its storage, notice, encryption texts and
/// [pages]; rules, excludes and the password's source are not among them).
engine::ProtectionOptions optionsOf(const Project& project);

/// A project's folder-relative path as a native path: below the root unless absolute, "~/" for the home folder.
std::string resolvePath(const Project& project, const std::string& path);

} // namespace quillora::project
