#include "JsonReport.h"

#include "RecordWords.h"
#include "project/Project.h"
#include "run/EncryptedRunOptions.h"
#include "run/RunMessages.h"

#include <map>
#include <nlohmann/json.hpp>

#ifndef QUILLORA_VERSION
#define QUILLORA_VERSION "unknown"
#endif

namespace quillora::cli {

namespace {

using Json = nlohmann::ordered_json;

// Written, but with something the mode hides left as it stands; counted besides "protected".
constexpr std::string_view kProtectedInPart = "protected-in-part";

std::string_view stepName(run::PageProblem::Step step) {
    switch (step) {
    case run::PageProblem::Step::Read:
        return "read";
    case run::PageProblem::Step::Backup:
        return "backup";
    case run::PageProblem::Step::Write:
        return "write";
    }
    return {};
}

Json problemOf(const run::PageProblem& problem) {
    return Json{{"step", stepName(problem.step)}, {"path", problem.path}, {"message", RecordWords::problem(problem)}};
}

Json ruleOf(const run::PageRule& rule) {
    Json json{{"index", rule.index}, {"name", rule.name}, {"action", rule.leavesAlone() ? "leave-alone" : "protect"}};
    if (rule.leavesAlone())
        return json;
    json["hide"] = project::hideNames()[static_cast<std::size_t>(run::hiddenAs(rule.options))];
    Json scripts = Json::array();
    for (std::size_t i = 0; i < engine::kScriptCount; ++i) {
        if (rule.options.scripts[i] && !project::scriptNames()[i].empty())
            scripts.push_back(project::scriptNames()[i]);
    }
    json["scripts"] = std::move(scripts);
    json["encrypted"] = rule.options.encrypt;
    return json;
}

} // namespace

struct JsonReport::Document {
    bool dryRun = false;
    std::string project;
    std::string refusal;
    std::size_t found = 0;
    std::map<std::string_view, std::size_t> counts;
    Json rules = Json::array();
    Json files = Json::array();
};

JsonReport::JsonReport(const run::RuleSet& rules, bool dryRun, std::string projectFile)
    : m_document(std::make_unique<Document>()) {
    m_document->dryRun = dryRun;
    for (const auto& rule : rules.rules())
        m_document->rules.push_back(ruleOf(rule));
    m_document->project = std::move(projectFile);
    for (const auto action :
         {run::PageRecord::Action::Protected, run::PageRecord::Action::LeftAlone,
          run::PageRecord::Action::AlreadyProtected, run::PageRecord::Action::Unchanged,
          run::PageRecord::Action::Skipped, run::PageRecord::Action::GivenUp, run::PageRecord::Action::Copied,
          run::PageRecord::Action::CopyFailed, run::PageRecord::Action::Removed})
        m_document->counts[RecordWords::actionName(action)] = 0;
    m_document->counts[kProtectedInPart] = 0;
}

JsonReport::~JsonReport() = default;

void JsonReport::runRefused(const run::RunRefusal& refusal) {
    m_document->refusal = run::messages::refusal(refusal).text;
}

void JsonReport::folderSkipped(const std::string& folder, const run::PageProblem& problem) {
    Json file{{"kind", "folder"}, {"source", folder}, {"output", nullptr}, {"action", "skipped"}, {"rule", nullptr}};
    file["problem"] = problemOf(problem);
    m_document->files.push_back(std::move(file));
    ++m_document->counts["skipped"];
}

void JsonReport::pageRecorded(const run::PageRecord& record) {
    Json file{{"kind", record.isPage ? "page" : "file"}, {"source", record.source}};
    file["output"] = record.output.empty() ? Json(nullptr) : Json(record.output);
    file["action"] = RecordWords::actionName(record.action);
    file["rule"] = record.rule == nullptr ? Json(nullptr) : Json(record.rule->index);
    file["problem"] = record.problem ? problemOf(*record.problem) : Json(nullptr);
    if (record.notes.protectedInPart()) {
        file["protectedInPart"] = run::messages::protectedInPart(record.notes);
        ++m_document->counts[kProtectedInPart];
    }
    m_document->files.push_back(std::move(file));
    ++m_document->counts[RecordWords::actionName(record.action)];
}

void JsonReport::runFinished(const run::RunSummary& summary) {
    m_document->found = summary.found;
}

void JsonReport::write(std::ostream& out, int exitStatus) const {
    const Document& document = *m_document;
    Json json{{"format", "quillora-report"}, {"formatVersion", 1}, {"program", "quillora-cli " QUILLORA_VERSION}};
    json["dryRun"] = document.dryRun;
    json["project"] = document.project.empty() ? Json(nullptr) : Json(document.project);
    json["outcome"] = document.refusal.empty() ? "ran" : "refused";
    if (!document.refusal.empty())
        json["refusal"] = document.refusal;
    json["exitStatus"] = exitStatus;
    Json summary{{"found", document.found}};
    for (const auto& [name, count] : document.counts)
        summary[std::string(name)] = count;
    json["summary"] = std::move(summary);
    json["rules"] = document.rules;
    json["files"] = document.files;
    // Paths are bytes: one that is not UTF-8 is written with U+FFFD in place of what cannot be read.
    out << json.dump(2, ' ', false, Json::error_handler_t::replace) << '\n';
    out.flush();
}

} // namespace quillora::cli
