#pragma once

#include "engine/ProtectionOptions.h"

#include <array>
#include <optional>
#include <string>
#include <vector>

namespace quillora::project {

/// What one rule of a project file gives the pages it matches; a key left out takes the value of [pages].
struct ProjectRule {
    std::vector<std::string> paths; // gitignore-style patterns, relative to the site's root
    int line = 0;                   // where the rule begins in its file
    bool leaveAlone = false;
    std::optional<engine::EncryptionMode> hide;
    std::optional<std::array<bool, engine::kScriptCount>> scripts;
    std::optional<std::u16string> warning;     // the right-click warning
    std::optional<std::u16string> attribution; // put after copied text, before the page's address
    std::optional<bool> encrypt;               // with the run's password
    std::optional<std::string> level;          // a key level of the site key, in place of the run's password
    int encryptLine = 0;                       // where encrypt or level is written

    bool operator==(const ProjectRule&) const = default;
};

/// Where an encrypted run's password comes from: never the file itself.
struct PasswordSource {
    std::string file;     // its first line; relative to the project's folder
    std::string variable; // an environment variable
    int line = 0;

    bool operator==(const PasswordSource&) const = default;
};

/// A site's protection described once: a project file's contents, checked.
struct Project {
    std::string file; // the project file (as it was named)
    std::string root; // its folder, absolute: the patterns' root and the base of relative paths

    // [output]
    std::optional<engine::StorageMode> mode;
    std::optional<std::string> target; // as written (relative to root unless absolute)
    std::optional<bool> backups;
    std::optional<bool> otherFiles;
    std::optional<bool> strictCsp; // csp: pages for a strict Content-Security-Policy, and its _headers file
    int outputLine = 0;

    std::optional<std::u16string> notice;
    std::vector<std::string> exclude;

    // [encryption]
    PasswordSource password;
    std::optional<int> rememberDays;
    std::optional<std::u16string> unlockPrompt;
    std::optional<std::u16string> unlockButton;
    std::optional<std::u16string> wrongPassword;
    std::optional<std::string> unlockTemplate; // the user's own unlock page, relative to the project file
    std::optional<std::u16string> unlockTitle; // one title for every unlock page, in place of each page's own

    ProjectRule pages; // [pages]: what every page gets unless a rule says otherwise (no paths)
    std::vector<ProjectRule> rules;

    /// The line of the first rule (or [pages]) that encrypts, 0 when none does.
    int firstEncryptingLine() const;
    /// True when the project says more than the window's one set of choices can show.
    bool hasRulesBeyondOneSet() const;

    bool operator==(const Project&) const = default;
};

/// The names of the behaviour scripts in a project file and on the command line, by engine index (empty: none).
const std::array<std::string_view, engine::kScriptCount>& scriptNames();
/// The names of the hide modes, by EncryptionMode.
const std::array<std::string_view, 5>& hideNames();
/// The names of the storage modes, by StorageMode.
const std::array<std::string_view, 3>& modeNames();

/// The number of characters to insert, remove or replace to make one name the other (for "did you mean").
std::size_t editDistance(std::string_view a, std::string_view b);

} // namespace quillora::project
