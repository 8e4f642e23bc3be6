#pragma once

#include "run/RuleSet.h"
#include "run/RunReporter.h"

#include <memory>
#include <ostream>
#include <string>

namespace quillora::cli {

/// A machine-readable record of a run, written as one JSON document once the run is over: each file with its
/// source, output, action, rule and problem, the rules, and the counts (the schema is docs/report.schema.json).
class JsonReport : public run::RunReporter {
public:
    JsonReport(const run::RuleSet& rules, bool dryRun, std::string projectFile);
    ~JsonReport() override;

    void runRefused(const run::RunRefusal& refusal) override;
    void pageWritten(const run::FileEntry&, const std::string&) override {}
    void pageAlreadyProtected(const run::FileEntry&) override {}
    void folderSkipped(const std::string& folder, const run::PageProblem& problem) override;
    void pageSkipped(const run::FileEntry&, const run::PageProblem&) override {}
    void pageGivenUp(const run::FileEntry&, const run::PageProblem&) override {}
    void pageRecorded(const run::PageRecord& record) override;
    void runFinished(const run::RunSummary& summary) override;

    /// Writes the document, with the exit status the program ends with, and a line end.
    void write(std::ostream& out, int exitStatus) const;

private:
    struct Document;
    std::unique_ptr<Document> m_document;
};

} // namespace quillora::cli
