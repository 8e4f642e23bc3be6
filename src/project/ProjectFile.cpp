#include "ProjectFile.h"

#include "charset/TextConvert.h"
#include "run/PathPattern.h"
#include "run/TextRules.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <toml++/toml.h>

namespace quillora::project {

namespace {

using Keys = std::initializer_list<std::string_view>;

const Keys kTopKeys = {"output", "notice", "exclude", "encryption", "pages", "rule"};
const Keys kOutputKeys = {"mode", "target", "backups", "other-files", "csp"};
const Keys kEncryptionKeys = {"password-file", "password-env",   "remember-days", "unlock-prompt",
                              "unlock-button", "wrong-password", "unlock-title",  "unlock-template"};
const Keys kPagesKeys = {"hide", "scripts", "warning", "attribution", "encrypt", "level"};
const Keys kRuleKeys = {"paths", "leave-alone", "hide", "scripts", "warning", "attribution", "encrypt", "level"};

int lineOf(const toml::node& node) {
    return static_cast<int>(node.source().begin.line);
}

std::string inQuotes(std::string_view text) {
    return '"' + std::string(text) + '"';
}

/// "a", "b" or "c"
std::string alternatives(const std::vector<std::string_view>& names) {
    std::string text;
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (i > 0)
            text += i + 1 == names.size() ? " or " : ", ";
        text += inQuotes(names[i]);
    }
    return text;
}

/// The known name closest to a mistyped one, if one is close enough to be meant.
std::string_view closest(std::string_view name, const std::vector<std::string_view>& known) {
    std::string_view best;
    std::size_t bestDistance = 3;
    for (const auto candidate : known) {
        const std::size_t distance = editDistance(name, candidate);
        if (distance < bestDistance) {
            best = candidate;
            bestDistance = distance;
        }
    }
    return best;
}

std::string unknownName(std::string_view what, std::string_view name, const std::vector<std::string_view>& known) {
    const std::string_view meant = closest(name, known);
    std::string text = inQuotes(name) + " is not " + std::string(what);
    if (!meant.empty())
        return text + ": did you mean " + inQuotes(meant) + "?";
    return text + ": write " + alternatives(known);
}

std::vector<std::string_view> listed(const auto& names) {
    std::vector<std::string_view> out;
    for (const auto name : names) {
        if (!name.empty())
            out.push_back(name);
    }
    return out;
}

/// Reads one file's tables into a project, stopping at the first thing wrong.
class Reader {
public:
    Reader(const std::string& path, Project& project) : m_path(path), m_project(project) {}

    bool readAll(const toml::table& top);
    std::string error;

private:
    bool fail(int line, const std::string& text) {
        error = m_path + ':' + std::to_string(line) + ": " + text;
        return false;
    }
    bool checkKeys(const toml::table& table, std::string_view where, Keys known);
    bool table(const toml::node& node, std::string_view name, const toml::table*& out);
    bool text(const toml::node& node, std::string_view key, std::string& out);
    bool text(const toml::node& node, std::string_view key, std::u16string& out, bool blankAllowed);
    bool flag(const toml::node& node, std::string_view key, bool& out);
    bool patterns(const toml::node& node, std::string_view key, std::vector<std::string>& out, bool emptyAllowed);

    bool readOutput(const toml::table& output);
    bool readEncryption(const toml::table& encryption);
    bool readChoices(const toml::table& table, ProjectRule& rule);
    bool readHide(const toml::node& node, ProjectRule& rule);
    bool readScripts(const toml::node& node, ProjectRule& rule);
    bool readRules(const toml::node& node);
    bool checkRule(const toml::table& table, const ProjectRule& rule, std::string_view where);
    bool checkOutput(const toml::table* output);

    const std::string& m_path;
    Project& m_project;
};

bool Reader::checkKeys(const toml::table& table, std::string_view where, Keys known) {
    const std::vector<std::string_view> names(known);
    for (auto&& [key, node] : table) {
        if (std::find(names.begin(), names.end(), key.str()) != names.end())
            continue;
        const int line = static_cast<int>(key.source().begin.line);
        if (key.str() == "password" && where == "[encryption]")
            return fail(line, "the password does not belong in a file kept beside the site: write "
                              "password-file = \"FILE\" (its first line) or password-env = \"VARIABLE\"");
        std::string text = unknownName("a key of " + std::string(where), key.str(), names);
        // Every key after a table's header belongs to that table, as TOML reads it.
        if (std::find(kTopKeys.begin(), kTopKeys.end(), key.str()) != kTopKeys.end())
            text = inQuotes(key.str()) + " is not a key of " + std::string(where) + ": write " +
                   std::string(key.str()) + " above the first [table], where the keys of the whole file go";
        return fail(line, text);
    }
    return true;
}

bool Reader::table(const toml::node& node, std::string_view name, const toml::table*& out) {
    out = node.as_table();
    if (out == nullptr)
        return fail(lineOf(node), std::string(name) + " must be a table: write [" + std::string(name) +
                                      "] on a line of its own, with its keys below it");
    return true;
}

bool Reader::text(const toml::node& node, std::string_view key, std::string& out) {
    const auto* value = node.as_string();
    if (value == nullptr)
        return fail(lineOf(node),
                    std::string(key) + " must be a text in quotes, as in " + std::string(key) + " = \"...\"");
    out = value->get();
    return true;
}

bool Reader::text(const toml::node& node, std::string_view key, std::u16string& out, bool blankAllowed) {
    std::string bytes;
    if (!text(node, key, bytes))
        return false;
    out = charset::fromUtf8(bytes);
    if (!blankAllowed && out.find_first_not_of(u' ') == std::u16string::npos)
        return fail(lineOf(node), std::string(key) + " must not be empty: write the text, or leave the key out");
    return true;
}

bool Reader::flag(const toml::node& node, std::string_view key, bool& out) {
    const auto* value = node.as_boolean();
    if (value == nullptr)
        return fail(lineOf(node), std::string(key) + " must be true or false, without quotes");
    out = value->get();
    return true;
}

bool Reader::patterns(const toml::node& node, std::string_view key, std::vector<std::string>& out, bool emptyAllowed) {
    const std::string example = std::string(key) + " = [\"members/\", \"*.pdf\"]";
    const auto* array = node.as_array();
    if (array == nullptr)
        return fail(lineOf(node), std::string(key) + " must be a list of patterns, as in " + example);
    if (array->empty() && !emptyAllowed)
        return fail(lineOf(node),
                    std::string(key) + " = [] matches nothing: give at least one pattern, as in " + example);
    for (const auto& element : *array) {
        const auto* pattern = element.as_string();
        if (pattern == nullptr)
            return fail(lineOf(element), std::string(key) + " must be a list of patterns in quotes, as in " + example);
        std::string problem;
        if (!run::PathPattern::compile(pattern->get(), problem))
            return fail(lineOf(element), std::string(key) + ": " + problem);
        out.push_back(pattern->get());
    }
    return true;
}

bool Reader::readAll(const toml::table& top) {
    if (!checkKeys(top, "the project file", kTopKeys))
        return false;
    const toml::table* output = nullptr;
    if (const auto* node = top.get("output");
        node != nullptr && (!table(*node, "output", output) || !readOutput(*output)))
        return false;
    if (const auto* node = top.get("notice")) {
        std::u16string notice;
        if (!text(*node, "notice", notice, false))
            return false;
        if (!run::IsNoticeSafeText(notice))
            return fail(lineOf(*node), "the notice may not hold \"-->\" or \"--!>\", which would end its comment "
                                       "early and show the rest on every page: write it without them");
        m_project.notice = std::move(notice);
    }
    if (const auto* node = top.get("exclude"); node != nullptr && !patterns(*node, "exclude", m_project.exclude, true))
        return false;
    const toml::table* encryption = nullptr;
    if (const auto* node = top.get("encryption");
        node != nullptr && (!table(*node, "encryption", encryption) || !readEncryption(*encryption)))
        return false;
    const toml::table* pages = nullptr;
    if (const auto* node = top.get("pages")) {
        if (!table(*node, "pages", pages) || !checkKeys(*pages, "[pages]", kPagesKeys))
            return false;
        m_project.pages.line = lineOf(*node);
        if (!readChoices(*pages, m_project.pages) || !checkRule(*pages, m_project.pages, "[pages]"))
            return false;
    }
    if (const auto* node = top.get("rule"); node != nullptr && !readRules(*node))
        return false;
    return checkOutput(output);
}

bool Reader::readOutput(const toml::table& output) {
    if (!checkKeys(output, "[output]", kOutputKeys))
        return false;
    m_project.outputLine = lineOf(output);
    if (const auto* node = output.get("mode")) {
        std::string mode;
        if (!text(*node, "mode", mode))
            return false;
        const auto& names = modeNames();
        const auto found = std::find(names.begin(), names.end(), mode);
        if (found == names.end())
            return fail(lineOf(*node),
                        "mode = " + inQuotes(mode) + " is not a storage mode: write " + alternatives(listed(names)));
        m_project.mode = static_cast<engine::StorageMode>(found - names.begin());
    }
    std::string target;
    if (const auto* node = output.get("target")) {
        if (!text(*node, "target", target))
            return false;
        if (target.find_first_not_of(' ') == std::string::npos)
            return fail(lineOf(*node), "target must name a folder, as in target = \"public\"");
        m_project.target = target;
    }
    bool value = false;
    if (const auto* node = output.get("backups")) {
        if (!flag(*node, "backups", value))
            return false;
        m_project.backups = value;
    }
    if (const auto* node = output.get("other-files")) {
        if (!flag(*node, "other-files", value))
            return false;
        m_project.otherFiles = value;
    }
    if (const auto* node = output.get("csp")) {
        if (!flag(*node, "csp", value))
            return false;
        m_project.strictCsp = value;
    }
    return true;
}

// The choices that go together only with a given storage mode.
bool Reader::checkOutput(const toml::table* output) {
    if (output == nullptr)
        return true;
    const auto mode = m_project.mode.value_or(engine::StorageMode::Overwrite);
    const auto lineOfKey = [&](std::string_view key) {
        const auto* node = output->get(key);
        return node == nullptr ? m_project.outputLine : lineOf(*node);
    };
    if (mode == engine::StorageMode::CopyToFolder && !m_project.target)
        return fail(lineOfKey("mode"),
                    "mode = \"copy\" needs a folder to copy to: add target = \"FOLDER\" to [output]");
    if (mode != engine::StorageMode::CopyToFolder && m_project.target)
        return fail(lineOfKey("target"), "target goes with mode = \"copy\": write mode = \"copy\", or remove target");
    if (mode != engine::StorageMode::CopyToFolder && m_project.otherFiles)
        return fail(lineOfKey("other-files"),
                    "other-files goes with mode = \"copy\": write mode = \"copy\", or remove other-files");
    if (mode != engine::StorageMode::Overwrite && m_project.backups)
        return fail(lineOfKey("backups"),
                    "backups goes with mode = \"overwrite\": write mode = \"overwrite\", or remove backups");
    return true;
}

bool Reader::readEncryption(const toml::table& encryption) {
    if (!checkKeys(encryption, "[encryption]", kEncryptionKeys))
        return false;
    auto& password = m_project.password;
    const auto* file = encryption.get("password-file");
    const auto* variable = encryption.get("password-env");
    if (file != nullptr && variable != nullptr)
        return fail(lineOf(*variable), "the password is given twice: keep password-file or password-env, not both");
    if (file != nullptr) {
        if (!text(*file, "password-file", password.file))
            return false;
        if (password.file.empty())
            return fail(lineOf(*file), "password-file must name a file, as in password-file = \"FILE\"");
    }
    if (variable != nullptr) {
        if (!text(*variable, "password-env", password.variable))
            return false;
        if (password.variable.empty())
            return fail(lineOf(*variable), "password-env must name a variable, as in password-env = \"SITE_PASSWORD\"");
    }
    password.line = file != nullptr ? lineOf(*file) : variable != nullptr ? lineOf(*variable) : 0;
    if (const auto* node = encryption.get("remember-days")) {
        const auto* days = node->as_integer();
        if (days == nullptr || days->get() < 0 || days->get() > engine::kMaxRememberDays)
            return fail(lineOf(*node), "remember-days must be a whole number of days from 0 (the browser's session) "
                                       "to " +
                                           std::to_string(engine::kMaxRememberDays) + ", without quotes");
        m_project.rememberDays = static_cast<int>(days->get());
    }
    if (const auto* node = encryption.get("unlock-template")) {
        std::string path;
        if (!text(*node, "unlock-template", path))
            return false;
        if (path.empty())
            return fail(lineOf(*node), "unlock-template must name a file, as in unlock-template = \"unlock.html\"");
        m_project.unlockTemplate = std::move(path);
    }
    const std::pair<std::string_view, std::optional<std::u16string>*> texts[] = {
        {"unlock-prompt", &m_project.unlockPrompt},
        {"unlock-button", &m_project.unlockButton},
        {"wrong-password", &m_project.wrongPassword},
        {"unlock-title", &m_project.unlockTitle},
    };
    for (const auto& [key, target] : texts) {
        if (const auto* node = encryption.get(key)) {
            std::u16string value;
            if (!text(*node, key, value, false))
                return false;
            *target = std::move(value);
        }
    }
    return true;
}

bool Reader::readHide(const toml::node& node, ProjectRule& rule) {
    std::string hide;
    if (!text(node, "hide", hide))
        return false;
    const auto& names = hideNames();
    const auto found = std::find(names.begin(), names.end(), hide);
    if (found == names.end())
        return fail(lineOf(node),
                    "hide = " + inQuotes(hide) + " is not a hide mode: write " + alternatives(listed(names)));
    rule.hide = static_cast<engine::EncryptionMode>(found - names.begin());
    return true;
}

bool Reader::readScripts(const toml::node& node, ProjectRule& rule) {
    const auto* array = node.as_array();
    const auto& names = scriptNames();
    if (array == nullptr)
        return fail(lineOf(node), "scripts must be a list of script names, as in scripts = [\"no-right-click\", "
                                  "\"no-select\"]");
    std::array<bool, engine::kScriptCount> chosen{};
    for (const auto& element : *array) {
        const auto* name = element.as_string();
        const auto found = name == nullptr ? names.end() : std::find(names.begin(), names.end(), name->get());
        if (name == nullptr || name->get().empty() || found == names.end())
            return fail(
                lineOf(element),
                unknownName("a behaviour script", name == nullptr ? std::string_view() : name->get(), listed(names)));
        chosen[static_cast<std::size_t>(found - names.begin())] = true;
    }
    rule.scripts = chosen;
    return true;
}

bool Reader::readChoices(const toml::table& table, ProjectRule& rule) {
    if (const auto* node = table.get("hide"); node != nullptr && !readHide(*node, rule))
        return false;
    if (const auto* node = table.get("scripts"); node != nullptr && !readScripts(*node, rule))
        return false;
    if (const auto* node = table.get("warning")) {
        std::u16string warning;
        if (!text(*node, "warning", warning, false))
            return false;
        if (!run::IsScriptSafeText(warning))
            return fail(lineOf(*node), "the warning goes into a script and may not hold \\, \" or ': write it "
                                       "without them");
        rule.warning = std::move(warning);
    }
    // Blank: the page's address alone follows the copied text.
    if (const auto* node = table.get("attribution")) {
        std::u16string attribution;
        if (!text(*node, "attribution", attribution, true))
            return false;
        if (!run::IsScriptSafeText(attribution))
            return fail(lineOf(*node), "the attribution goes into a script and may not hold \\, \" or ': write it "
                                       "without them");
        rule.attribution = std::move(attribution);
    }
    bool value = false;
    if (const auto* node = table.get("encrypt")) {
        if (!flag(*node, "encrypt", value))
            return false;
        rule.encrypt = value;
        rule.encryptLine = lineOf(*node);
    }
    if (const auto* node = table.get("level")) {
        std::string level;
        if (!text(*node, "level", level))
            return false;
        const bool named = !level.empty() && std::all_of(level.begin(), level.end(), [](char c) {
            return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '_';
        });
        if (!named)
            return fail(lineOf(*node), "level = " + inQuotes(level) +
                                           " is not a level's name: write letters, digits, "
                                           "\"-\" and \"_\", as in level = \"members\"");
        rule.level = level;
        rule.encryptLine = lineOf(*node);
    }
    if (const auto* node = table.get("leave-alone")) {
        if (!flag(*node, "leave-alone", value))
            return false;
        rule.leaveAlone = value;
    }
    return true;
}

// The choices of one rule (or of [pages]) that cannot go together.
bool Reader::checkRule(const toml::table& table, const ProjectRule& rule, std::string_view where) {
    if (rule.leaveAlone) {
        for (const std::string_view key : {"hide", "scripts", "warning", "attribution", "encrypt", "level"}) {
            if (const auto* node = table.get(key))
                return fail(lineOf(*node), "a rule with leave-alone = true gives its pages nothing else: remove " +
                                               std::string(key) + ", or leave-alone");
        }
    }
    if (rule.encrypt.value_or(false) && rule.level)
        return fail(rule.encryptLine, "encrypt = true (the run's password) and level (a key level) are two ways to "
                                      "encrypt: keep one of them");
    if (rule.warning && rule.scripts && !(*rule.scripts)[engine::kScriptRightClick])
        return fail(lineOf(*table.get("warning")),
                    "the warning is shown on a blocked right click: add \"no-right-click\" to scripts in " +
                        std::string(where) + ", or remove warning");
    if (rule.attribution && rule.scripts && !(*rule.scripts)[engine::kScriptCopyAttribution])
        return fail(lineOf(*table.get("attribution")),
                    "the attribution is put after copied text: add \"copy-attribution\" to scripts in " +
                        std::string(where) + ", or remove attribution");
    return true;
}

bool Reader::readRules(const toml::node& node) {
    const auto* array = node.as_array();
    if (array == nullptr || !array->is_array_of_tables())
        return fail(lineOf(node), "rules are written [[rule]], each on a line of its own with its keys below it");
    for (const auto& element : *array) {
        const auto& table = *element.as_table();
        if (!checkKeys(table, "[[rule]]", kRuleKeys))
            return false;
        ProjectRule rule;
        rule.line = lineOf(table);
        const auto* paths = table.get("paths");
        if (paths == nullptr)
            return fail(rule.line, "a rule needs the paths it is for: add paths = [\"PATTERN\", ...]");
        if (!patterns(*paths, "paths", rule.paths, false) || !readChoices(table, rule) ||
            !checkRule(table, rule, "this rule"))
            return false;
        m_project.rules.push_back(std::move(rule));
    }
    return true;
}

std::string absoluteFolderOf(const std::string& path) {
    std::error_code error;
    auto absolute = std::filesystem::absolute(path, error);
    if (error)
        absolute = path;
    return absolute.lexically_normal().parent_path().string();
}

} // namespace

bool ProjectFile::parse(std::string_view text, const std::string& path, Project& project, std::string& error) {
    project = Project{};
    project.file = path;
    project.root = absoluteFolderOf(path);
    toml::table top;
    try {
        top = toml::parse(text, path);
    } catch (const toml::parse_error& failure) {
        error = path + ':' + std::to_string(failure.source().begin.line) + ": " + std::string(failure.description());
        return false;
    }
    Reader reader(path, project);
    if (!reader.readAll(top)) {
        error = reader.error;
        return false;
    }
    return true;
}

bool ProjectFile::read(const std::string& path, Project& project, std::string& error) {
    std::error_code status;
    if (!std::filesystem::is_regular_file(path, status)) {
        error = path + ": " + (status ? status.message() : std::string("not a file"));
        return false;
    }
    std::ifstream in(path, std::ios::binary);
    std::string text(kLongestFile + 1, '\0');
    in.read(text.data(), static_cast<std::streamsize>(text.size()));
    if (in.bad()) {
        error = path + ": cannot be read";
        return false;
    }
    text.resize(static_cast<std::size_t>(in.gcount()));
    if (text.size() > kLongestFile) {
        error = path + ": longer than a project file can be (" + std::to_string(kLongestFile) + " bytes)";
        return false;
    }
    return parse(text, path, project, error);
}

} // namespace quillora::project
