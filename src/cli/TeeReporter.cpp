#include "TeeReporter.h"

namespace quillora::cli {

void TeeReporter::runStarted() {
    m_first.runStarted();
    m_second.runStarted();
}

void TeeReporter::runRefused(const run::RunRefusal& refusal) {
    m_first.runRefused(refusal);
    m_second.runRefused(refusal);
}

void TeeReporter::scanning() {
    m_first.scanning();
    m_second.scanning();
}

void TeeReporter::pagesFound(std::size_t found) {
    m_first.pagesFound(found);
    m_second.pagesFound(found);
}

void TeeReporter::pageWritten(const run::FileEntry& entry, const std::string& outputPath) {
    m_first.pageWritten(entry, outputPath);
    m_second.pageWritten(entry, outputPath);
}

void TeeReporter::pageProtectedInPart(const run::FileEntry& entry, const engine::PageNotes& notes) {
    m_first.pageProtectedInPart(entry, notes);
    m_second.pageProtectedInPart(entry, notes);
}

void TeeReporter::waitingForPage(const run::FileEntry& entry, std::chrono::seconds bound) {
    m_first.waitingForPage(entry, bound);
    m_second.waitingForPage(entry, bound);
}

void TeeReporter::pageNotReached(const run::FileEntry& entry) {
    m_first.pageNotReached(entry);
    m_second.pageNotReached(entry);
}

void TeeReporter::pageAlreadyProtected(const run::FileEntry& entry) {
    m_first.pageAlreadyProtected(entry);
    m_second.pageAlreadyProtected(entry);
}

void TeeReporter::folderSkipped(const std::string& folder, const run::PageProblem& problem) {
    m_first.folderSkipped(folder, problem);
    m_second.folderSkipped(folder, problem);
}

void TeeReporter::pageSkipped(const run::FileEntry& entry, const run::PageProblem& problem) {
    m_first.pageSkipped(entry, problem);
    m_second.pageSkipped(entry, problem);
}

void TeeReporter::pageGivenUp(const run::FileEntry& entry, const run::PageProblem& problem) {
    m_first.pageGivenUp(entry, problem);
    m_second.pageGivenUp(entry, problem);
}

void TeeReporter::otherFileFailed(const std::string& path, const run::PageProblem& problem) {
    m_first.otherFileFailed(path, problem);
    m_second.otherFileFailed(path, problem);
}

void TeeReporter::policyFile(const std::string& path, bool besideOwn, std::error_code error) {
    m_first.policyFile(path, besideOwn, error);
    m_second.policyFile(path, besideOwn, error);
}

void TeeReporter::progressChanged(std::size_t done, std::size_t found) {
    m_first.progressChanged(done, found);
    m_second.progressChanged(done, found);
}

void TeeReporter::pageRecorded(const run::PageRecord& record) {
    m_first.pageRecorded(record);
    m_second.pageRecorded(record);
}

void TeeReporter::runFinished(const run::RunSummary& summary) {
    m_first.runFinished(summary);
    m_second.runFinished(summary);
}

void TeeReporter::keyFileUsed(const std::string& path, run::KeyFileOrigin origin) {
    m_first.keyFileUsed(path, origin);
    m_second.keyFileUsed(path, origin);
}

void TeeReporter::sharedScript(const std::string& path) {
    m_first.sharedScript(path);
    m_second.sharedScript(path);
}

void TeeReporter::originalsKept(const std::string& folder) {
    m_first.originalsKept(folder);
    m_second.originalsKept(folder);
}

void TeeReporter::pageTextFiles(const std::vector<std::string>& paths, bool copied) {
    m_first.pageTextFiles(paths, copied);
    m_second.pageTextFiles(paths, copied);
}

void TeeReporter::readableByDesign(const run::ReadableByDesign& readable) {
    m_first.readableByDesign(readable);
    m_second.readableByDesign(readable);
}

} // namespace quillora::cli
