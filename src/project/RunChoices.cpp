#include "RunChoices.h"

#include "PasswordFile.h"
#include "charset/TextConvert.h"

#include <cstdlib>
#include <filesystem>

namespace quillora::project {

namespace {

std::string at(const Project& project, int line) {
    return project.file + ':' + std::to_string(line) + ": ";
}

void applyOutput(const Project& project, engine::ProtectionOptions& options) {
    if (project.mode)
        options.storageMode = *project.mode;
    if (project.target)
        options.targetFolder = resolvePath(project, *project.target);
    if (project.backups)
        options.makeBackups = *project.backups;
    if (project.otherFiles)
        options.copyOtherFiles = *project.otherFiles;
    options.strictCsp = project.strictCsp.value_or(options.strictCsp);
    if (project.notice) {
        options.insertNotice = true;
        options.noticeText = *project.notice;
    }
    if (project.rememberDays)
        options.rememberDays = *project.rememberDays;
    options.unlockPrompt = project.unlockPrompt.value_or(options.unlockPrompt);
    options.unlockButton = project.unlockButton.value_or(options.unlockButton);
    options.wrongPassword = project.wrongPassword.value_or(options.wrongPassword);
    if (project.unlockTemplate)
        options.unlockTemplate = resolvePath(project, *project.unlockTemplate);
    if (project.unlockTitle) {
        options.replaceTitle = true;
        options.unlockTitle = *project.unlockTitle;
    }
}

void applyOutput(const Overrides& given, engine::ProtectionOptions& options) {
    options.storageMode = given.mode.value_or(options.storageMode);
    options.targetFolder = given.target.value_or(options.targetFolder);
    options.makeBackups = given.backups.value_or(options.makeBackups);
    options.copyOtherFiles = given.otherFiles.value_or(options.copyOtherFiles);
    options.strictCsp = given.strictCsp.value_or(options.strictCsp);
    if (given.notice) {
        options.insertNotice = true;
        options.noticeText = *given.notice;
    }
    options.rememberDays = given.rememberDays.value_or(options.rememberDays);
    options.unlockPrompt = given.unlockPrompt.value_or(options.unlockPrompt);
    options.unlockButton = given.unlockButton.value_or(options.unlockButton);
    options.wrongPassword = given.wrongPassword.value_or(options.wrongPassword);
    options.unlockTemplate = given.unlockTemplate.value_or(options.unlockTemplate);
    if (given.unlockTitle) {
        options.replaceTitle = true;
        options.unlockTitle = *given.unlockTitle;
    }
    options.allowWeakPassword = options.allowWeakPassword || given.allowWeakPassword;
    options.backupFolder = given.backupFolder.value_or(options.backupFolder);
    options.keyFile = given.keyFile.value_or(options.keyFile);
}

/// A rule's own keys over [pages]; encrypt and level replace each other.
ProjectRule merged(const ProjectRule& pages, const ProjectRule& rule) {
    ProjectRule choices = pages;
    choices.paths = rule.paths;
    choices.line = rule.line;
    choices.leaveAlone = rule.leaveAlone;
    if (rule.hide)
        choices.hide = rule.hide;
    if (rule.scripts)
        choices.scripts = rule.scripts;
    if (rule.warning)
        choices.warning = rule.warning;
    if (rule.attribution)
        choices.attribution = rule.attribution;
    if (rule.encrypt || rule.level) {
        choices.encrypt = rule.encrypt;
        choices.level = rule.level;
        choices.encryptLine = rule.encryptLine;
    }
    return choices;
}

bool encrypts(const ProjectRule& choices) {
    return !choices.leaveAlone && (choices.encrypt.value_or(false) || choices.level);
}

void applyChoices(const ProjectRule& choices, engine::ProtectionOptions& options) {
    if (choices.hide)
        options.encryptionMode = *choices.hide;
    if (choices.scripts)
        options.scripts = *choices.scripts;
    if (choices.warning) {
        options.showRightClickWarning = true;
        options.rightClickWarning = *choices.warning;
    }
    options.copyAttribution = choices.attribution.value_or(options.copyAttribution);
    options.encrypt = encrypts(choices);
    options.keyLevel = choices.level.value_or(std::string());
}

void applyChoices(const Overrides& given, engine::ProtectionOptions& options) {
    options.encryptionMode = given.hide.value_or(options.encryptionMode);
    // Hiding inside an encrypted page only when asked for on the command line together with encryption.
    options.hideWhenEncrypting = options.hideWhenEncrypting || given.hide.has_value();
    for (std::size_t i = 0; i < engine::kScriptCount; ++i)
        options.scripts[i] = options.scripts[i] || given.scripts[i];
    if (given.warning) {
        options.showRightClickWarning = true;
        options.rightClickWarning = *given.warning;
    }
    options.copyAttribution = given.attribution.value_or(options.copyAttribution);
    options.encrypt = options.encrypt || given.encrypt;
    if (given.level) {
        options.encrypt = true;
        options.keyLevel = *given.level;
    }
    if (given.promptPassword && !options.encrypt) {
        options.passwordProtect = true;
        options.password = *given.promptPassword;
    }
}

/// The password of the project's encrypted pages from where the file says; false with the message in error.
bool passwordOf(const Project& project, std::u16string& password, std::string& error) {
    const PasswordSource& source = project.password;
    std::string bytes;
    if (!source.file.empty()) {
        const std::string path = resolvePath(project, source.file);
        std::string problem;
        if (!readFirstLine(path, bytes, problem)) {
            error = at(project, source.line) + "password-file: cannot read " + path + ": " + problem;
            return false;
        }
        if (bytes.empty()) {
            error = at(project, source.line) + "password-file: the first line of " + path + " is empty";
            return false;
        }
    } else if (!source.variable.empty()) {
        const char* value = std::getenv(source.variable.c_str());
        if (value == nullptr || *value == '\0') {
            error = at(project, source.line) + "password-env: the variable " + source.variable +
                    (value == nullptr ? " is not set" : " is empty");
            return false;
        }
        bytes = value;
    } else if (const char* variable = std::getenv(kPasswordVariable); variable != nullptr && *variable != '\0') {
        bytes = variable;
    } else {
        error = at(project, project.firstEncryptingLine()) +
                "encrypted pages need a password: add password-file = \"FILE\" or password-env = \"VARIABLE\" to "
                "[encryption], or set QUILLORA_PASSWORD";
        return false;
    }
    // A byte that is not UTF-8 would be read differently by the browser: the pages would never open.
    password = charset::fromUtf8(bytes);
    if (charset::toUtf8(password) != bytes) {
        error = at(project, source.line) + "the password is not valid UTF-8";
        return false;
    }
    return true;
}

std::string ruleName(const Project& project, std::size_t index, int line) {
    return "rule " + std::to_string(index) + " at " + project.file + ':' + std::to_string(line);
}

} // namespace

std::string resolvePath(const Project& project, const std::string& path) {
    if (path.starts_with("~/")) {
        if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0')
            return std::string(home) + path.substr(1);
    }
    if (path.starts_with('/') || project.root.empty())
        return path;
    return (std::filesystem::path(project.root) / path).lexically_normal().string();
}

engine::ProtectionOptions optionsOf(const Project& project) {
    engine::ProtectionOptions options;
    applyOutput(project, options);
    applyChoices(project.pages, options);
    return options;
}

bool buildRules(const Project& project, const Overrides& overrides, run::RuleSet& rules, std::string& error) {
    const Overrides& given = overrides;
    engine::ProtectionOptions base;
    applyOutput(project, base);
    applyOutput(given, base);

    std::vector<ProjectRule> choices{project.pages};
    for (const auto& rule : project.rules)
        choices.push_back(merged(project.pages, rule));
    bool anyEncrypted = given.encrypt || given.level.has_value();
    for (const auto& rule : choices)
        anyEncrypted = anyEncrypted || encrypts(rule);
    if (anyEncrypted && given.promptPassword) {
        error = "--password adds a prompt, which encrypted pages do not carry: give the password of the encrypted "
                "pages with --password-file or QUILLORA_PASSWORD";
        return false;
    }
    std::u16string password;
    if (anyEncrypted) {
        if (given.password)
            password = *given.password;
        else if (!passwordOf(project, password, error))
            return false;
    }

    const auto optionsFor = [&](const ProjectRule& rule) {
        engine::ProtectionOptions options = base;
        applyChoices(rule, options);
        applyChoices(given, options);
        if (anyEncrypted)
            options.password = password;
        if (options.encrypt)
            options.passwordProtect = true;
        return options;
    };
    run::RuleSet built(optionsFor(choices.front()));
    built.setRoot(project.root);
    built.setDefaultsName(project.pages.line > 0
                              ? "[pages] at " + project.file + ':' + std::to_string(project.pages.line)
                              : "the defaults");
    for (std::size_t i = 1; i < choices.size(); ++i) {
        run::PageRule rule;
        rule.action = choices[i].leaveAlone ? run::PageRule::Action::LeaveAlone : run::PageRule::Action::Protect;
        rule.options = optionsFor(choices[i]);
        rule.name = ruleName(project, i, choices[i].line);
        run::PathPatternList paths;
        for (const auto& pattern : choices[i].paths)
            paths.add(pattern, error); // checked when the file was read
        built.addRule(std::move(paths), std::move(rule));
    }
    run::PathPatternList excluded;
    for (const auto& pattern : project.exclude)
        excluded.add(pattern, error);
    built.setExcluded(std::move(excluded));
    error.clear();
    rules = std::move(built);
    return true;
}

} // namespace quillora::project
