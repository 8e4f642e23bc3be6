#include "ProjectWriter.h"

#include "charset/TextConvert.h"

#include <cstdio>

namespace quillora::project {

namespace {

std::string quote16(const std::u16string& text) {
    return ProjectWriter::quote(charset::toUtf8(text));
}

std::string list(const std::vector<std::string>& items) {
    std::string text = "[";
    for (std::size_t i = 0; i < items.size(); ++i)
        text += (i > 0 ? ", " : "") + ProjectWriter::quote(items[i]);
    return text + ']';
}

std::string scriptList(const std::array<bool, engine::kScriptCount>& scripts) {
    std::vector<std::string> names;
    for (std::size_t i = 0; i < engine::kScriptCount; ++i) {
        if (scripts[i] && !scriptNames()[i].empty())
            names.emplace_back(scriptNames()[i]);
    }
    return list(names);
}

void writeOutput(const Project& project, std::string& out) {
    out +=
        "[output]\n"
        "# \"overwrite\": the pages in place; \"copy\": a copy of the site in target; \"beside\": a protected_ copy\n"
        "# of each page beside it.\n";
    const auto mode = project.mode.value_or(engine::StorageMode::Overwrite);
    out += "mode = " + ProjectWriter::quote(modeNames()[static_cast<std::size_t>(mode)]) + '\n';
    if (project.target)
        out += "target = " + ProjectWriter::quote(*project.target) + "   # relative to this file's folder\n";
    if (project.otherFiles)
        out += std::string("other-files = ") + (*project.otherFiles ? "true" : "false") + '\n';
    else if (mode == engine::StorageMode::CopyToFolder)
        out += "# other-files = false   # copy only the pages, not the site's images, style sheets and scripts\n";
    if (project.backups)
        out += std::string("backups = ") + (*project.backups ? "true" : "false") + '\n';
    else if (mode == engine::StorageMode::Overwrite)
        out += "# backups = false       # keep no backup of the pages' originals\n";
    if (project.strictCsp)
        out += std::string("csp = ") + (*project.strictCsp ? "true" : "false") +
               "   # pages for a strict Content-Security-Policy, and a _headers file with it\n";
    out += '\n';
}

void writeTop(const Project& project, std::string& out) {
    out += "# A comment put at the top of every protected page.\n";
    out += project.notice ? "notice = " + quote16(*project.notice) + "\n\n"
                          : "# notice = \"(c) Example - All Rights Reserved.\"\n\n";
    out += "# Left out of the run entirely, never read and never copied (gitignore-style patterns).\n";
    out += "exclude = " + list(project.exclude) + "\n\n";
}

void writeEncryption(const Project& project, std::string& out) {
    const bool any = !project.password.file.empty() || !project.password.variable.empty() || project.rememberDays ||
                     project.unlockPrompt || project.unlockButton || project.wrongPassword || project.unlockTitle ||
                     project.unlockTemplate;
    out += "# Encrypted pages open with a password, which never stands in this file: name a file whose first line\n"
           "# it is, or an environment variable. (quillora-cli's --password-file and QUILLORA_PASSWORD go first.)\n";
    if (!any) {
        out += "# [encryption]\n"
               "# password-file = \"../site-password\"   # or password-env = \"SITE_PASSWORD\"\n"
               "# remember-days = 30                   # a browser keeps the key this long (0: its session)\n\n";
        return;
    }
    out += "[encryption]\n";
    if (!project.password.file.empty())
        out += "password-file = " + ProjectWriter::quote(project.password.file) + '\n';
    if (!project.password.variable.empty())
        out += "password-env = " + ProjectWriter::quote(project.password.variable) + '\n';
    if (project.rememberDays)
        out += "remember-days = " + std::to_string(*project.rememberDays) + '\n';
    const std::pair<const char*, const std::optional<std::u16string>*> texts[] = {
        {"unlock-prompt", &project.unlockPrompt},
        {"unlock-button", &project.unlockButton},
        {"wrong-password", &project.wrongPassword},
        {"unlock-title", &project.unlockTitle},
    };
    for (const auto& [key, value] : texts) {
        if (*value)
            out += std::string(key) + " = " + quote16(**value) + '\n';
    }
    if (project.unlockTemplate)
        out += "unlock-template = " + ProjectWriter::quote(*project.unlockTemplate) + '\n';
    out += '\n';
}

void writeChoices(const ProjectRule& rule, std::string& out) {
    if (rule.leaveAlone)
        out += "leave-alone = true\n";
    if (rule.hide)
        out += "hide = " + ProjectWriter::quote(hideNames()[static_cast<std::size_t>(*rule.hide)]) + '\n';
    if (rule.scripts)
        out += "scripts = " + scriptList(*rule.scripts) + '\n';
    if (rule.warning)
        out += "warning = " + quote16(*rule.warning) + '\n';
    if (rule.attribution)
        out += "attribution = " + quote16(*rule.attribution) + '\n';
    if (rule.encrypt)
        out += std::string("encrypt = ") + (*rule.encrypt ? "true" : "false") + '\n';
    if (rule.level)
        out += "level = " + ProjectWriter::quote(*rule.level) + '\n';
}

void writePages(const Project& project, std::string& out) {
    out +=
        "# What every page gets unless a rule below says otherwise.\n"
        "#   hide: \"email-links\", \"links\", \"body\", \"page\" or \"none\" (scripts, notice or encryption alone)\n"
        "#   scripts: \"no-right-click\", \"no-select\", \"no-status-urls\", \"no-print\", \"no-clipboard\",\n"
        "#            \"no-drag\", \"break-frames\", \"no-image-toolbar\", \"no-shortcuts\",\n"
        "#            \"copy-attribution\"\n"
        "#   warning: shown on a blocked right click (with \"no-right-click\")\n"
        "#   attribution: put after copied text, before the page's address (with \"copy-attribution\")\n"
        "#   encrypt = true: encrypted with the password of [encryption]\n"
        "[pages]\n";
    ProjectRule pages = project.pages;
    if (!pages.hide)
        pages.hide = engine::EncryptionMode::BodyOnly;
    if (!pages.scripts)
        pages.scripts = std::array<bool, engine::kScriptCount>{};
    writeChoices(pages, out);
    out += '\n';
}

void writeRules(const Project& project, std::string& out) {
    out += "# Rules, in order: the last one whose paths match a page decides what it gets; the keys a rule leaves\n"
           "# out are those of [pages]. leave-alone = true leaves a page as it is (copied as it is).\n";
    if (project.rules.empty()) {
        out += "# [[rule]]\n"
               "# paths = [\"members/\"]\n"
               "# hide = \"page\"\n"
               "# encrypt = true\n"
               "#\n"
               "# [[rule]]\n"
               "# paths = [\"index.html\", \"404.html\"]\n"
               "# leave-alone = true\n";
        return;
    }
    for (const auto& rule : project.rules) {
        out += "\n[[rule]]\n";
        out += "paths = " + list(rule.paths) + '\n';
        writeChoices(rule, out);
    }
}

} // namespace

std::string ProjectWriter::quote(std::string_view text) {
    std::string quoted = "\"";
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            quoted += '\\';
            quoted += c;
        } else if (byte < 0x20 || byte == 0x7F) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04X", byte);
            quoted += escape;
        } else {
            quoted += c;
        }
    }
    return quoted + '"';
}

std::string ProjectWriter::write(const Project& project) {
    std::string out =
        "# Quillora project: how the pages below this folder (the site's root) are protected. quillora-cli\n"
        "# reads it when this folder is named alone, or with --config; the window offers it when the\n"
        "# folder is picked. Paths and patterns are relative to this folder.\n\n";
    writeTop(project, out);
    writeOutput(project, out);
    writeEncryption(project, out);
    writePages(project, out);
    writeRules(project, out);
    return out;
}

} // namespace quillora::project
