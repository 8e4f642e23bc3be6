#pragma once

#include "run/RunReporter.h"

namespace quillora::cli {

/// Hands every event of a run to two reporters, the first first.
class TeeReporter : public run::RunReporter {
public:
    TeeReporter(run::RunReporter& first, run::RunReporter& second) : m_first(first), m_second(second) {}

    void runStarted() override;
    void runRefused(const run::RunRefusal& refusal) override;
    void scanning() override;
    void pagesFound(std::size_t found) override;
    void pageWritten(const run::FileEntry& entry, const std::string& outputPath) override;
    void pageProtectedInPart(const run::FileEntry& entry, const engine::PageNotes& notes) override;
    void pageAlreadyProtected(const run::FileEntry& entry) override;
    void folderSkipped(const std::string& folder, const run::PageProblem& problem) override;
    void pageSkipped(const run::FileEntry& entry, const run::PageProblem& problem) override;
    void pageGivenUp(const run::FileEntry& entry, const run::PageProblem& problem) override;
    void waitingForPage(const run::FileEntry& entry, std::chrono::seconds bound) override;
    void otherFileFailed(const std::string& path, const run::PageProblem& problem) override;
    void policyFile(const std::string& path, bool besideOwn, std::error_code error) override;
    void pageNotReached(const run::FileEntry& entry) override;
    void progressChanged(std::size_t done, std::size_t found) override;
    void pageRecorded(const run::PageRecord& record) override;
    void keyFileUsed(const std::string& path, run::KeyFileOrigin origin) override;
    void originalsKept(const std::string& folder) override;
    void sharedScript(const std::string& path) override;
    void pageTextFiles(const std::vector<std::string>& paths, bool copied) override;
    void readableByDesign(const run::ReadableByDesign& readable) override;
    void runFinished(const run::RunSummary& summary) override;

private:
    run::RunReporter& m_first;
    run::RunReporter& m_second;
};

} // namespace quillora::cli
