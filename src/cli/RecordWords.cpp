#include "RecordWords.h"

#include "ConsoleReporter.h"
#include "project/Project.h"
#include "run/EncryptedRunOptions.h"

namespace quillora::cli {

namespace {

using Action = run::PageRecord::Action;

std::string_view verb(Action action, bool planned) {
    switch (action) {
    case Action::Protected:
        return planned ? "would protect" : "protected";
    case Action::LeftAlone:
        return planned ? "would leave alone" : "left alone";
    case Action::AlreadyProtected:
        return "already protected";
    case Action::Unchanged:
        return "unchanged";
    case Action::Skipped:
        return planned ? "would skip" : "skipped";
    case Action::GivenUp:
        return "gave up";
    case Action::Copied:
        return planned ? "would copy" : "copied";
    case Action::CopyFailed:
        return "could not copy";
    case Action::Removed:
        return planned ? "would remove" : "removed";
    }
    return {};
}

} // namespace

std::string_view RecordWords::actionName(Action action) {
    switch (action) {
    case Action::Protected:
        return "protected";
    case Action::LeftAlone:
        return "left-alone";
    case Action::AlreadyProtected:
        return "already-protected";
    case Action::Unchanged:
        return "unchanged";
    case Action::Skipped:
        return "skipped";
    case Action::GivenUp:
        return "given-up";
    case Action::Copied:
        return "copied";
    case Action::CopyFailed:
        return "copy-failed";
    case Action::Removed:
        return "removed";
    }
    return {};
}

std::string RecordWords::choices(const run::PageRule& rule) {
    if (rule.leavesAlone())
        return "left as it is";
    const auto& options = rule.options;
    std::string text(project::hideNames()[static_cast<std::size_t>(run::hiddenAs(options))]);
    for (std::size_t i = 0; i < engine::kScriptCount; ++i) {
        if (options.scripts[i] && !project::scriptNames()[i].empty())
            text += ", " + std::string(project::scriptNames()[i]);
    }
    if (options.encrypt)
        text += ", encrypted";
    else if (options.passwordProtect)
        text += ", password prompt";
    return text;
}

std::string RecordWords::line(const run::PageRecord& record) {
    std::string text(verb(record.action, record.planned));
    text += ' ';
    text += record.action == Action::Removed ? record.output : record.source;
    if (!record.output.empty() && record.output != record.source && record.action != Action::Removed)
        text += " -> " + record.output;
    if (record.rule != nullptr && (record.action == Action::Protected || record.action == Action::LeftAlone ||
                                   record.action == Action::Unchanged)) {
        if (record.action != Action::LeftAlone)
            text += ": " + choices(*record.rule);
        if (!record.rule->name.empty())
            text += " (" + record.rule->name + ')';
    }
    if (record.problem)
        text += ": " + problem(*record.problem);
    return text;
}

std::string RecordWords::problem(const run::PageProblem& problem) {
    const std::string about = ConsoleReporter::aboutFile(problem.path, problem);
    return about.substr(problem.path.size() + 2);
}

} // namespace quillora::cli
