#pragma once

#include "run/RunReporter.h"

#include <chrono>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

namespace quillora::cli {

/// The command line's face of a run: the path of each written page on standard output the moment it is on the disk;
/// messages and status texts on standard error, prefixed "quillora-cli: " (and the page's path, for a message
/// about a page); a progress line on a terminal while a run lasts.
class ConsoleReporter : public run::RunReporter {
public:
    static constexpr std::string_view kPrefix = "quillora-cli: ";

    /// pathEnd ends each written path: a line end, or NUL for names that hold line breaks.
    ConsoleReporter(std::ostream& out, std::ostream& err, bool errIsTerminal, bool quiet, char pathEnd = '\n');

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
    void keyFileUsed(const std::string& path, run::KeyFileOrigin origin) override;
    void pageOfOtherKey(const run::FileEntry& entry) override;
    void originalsKept(const std::string& folder) override;
    void sharedScript(const std::string& path) override;
    void policyFile(const std::string& path, bool besideOwn, std::error_code error) override;
    void pageTextFiles(const std::vector<std::string>& paths, bool copied) override;
    void readableByDesign(const run::ReadableByDesign& readable) override;
    void progressChanged(std::size_t done, std::size_t found) override;
    void pageRecorded(const run::PageRecord& record) override;
    void runFinished(const run::RunSummary& summary) override;

    /// Warnings about the choices, said once the run has accepted them (not for a run that is refused).
    void setWarnings(std::vector<std::string> warnings) { m_warnings = std::move(warnings); }
    /// Words the closing count for a restore run.
    void setRestoring(bool restoring) { m_restoring = restoring; }
    void setDecrypting(bool decrypting) { m_decrypting = decrypting; }
    /// Tells each file's rule and what became of it, on standard error.
    void setVerbose(bool verbose) { m_verbose = verbose; }
    /// A dry run: what would be done to each file goes to standard output, one line each.
    void setDryRun(bool dryRun) { m_dryRun = dryRun; }
    /// False when standard output carries another report than the written paths.
    void setPathsShown(bool shown) { m_pathsShown = shown; }
    /// Prints a message, each of its lines prefixed.
    void printLines(const std::string& text);
    /// Ends the run's output: the progress line cleared.
    void finish();

    /// A message about one file as one line: "PATH: text".
    static std::string aboutFile(const std::string& path, const run::PageProblem& problem);

    using Clock = std::chrono::steady_clock;
    /// The clock the progress line is timed by; the run starts at its present reading.
    void setClock(std::function<Clock::time_point()> now);

private:
    void clearProgress();
    void printClosingNotes();

    std::ostream& m_out;
    std::ostream& m_err;
    bool m_progressShown = false;
    bool m_errIsTerminal;
    bool m_quiet;
    char m_pathEnd;
    bool m_restoring = false;
    bool m_decrypting = false;
    bool m_verbose = false;
    bool m_dryRun = false;
    bool m_pathsShown = true;
    std::size_t m_plannedPages = 0;
    std::size_t m_plannedLeftAlone = 0;
    std::size_t m_plannedCopies = 0;
    std::size_t m_plannedUnchanged = 0;
    std::size_t m_plannedRemovals = 0;
    // Said after the closing counts, last, where they are seen.
    std::string m_readable;
    std::vector<std::string> m_pageText;
    std::vector<std::string> m_warnings;
    std::function<Clock::time_point()> m_now = &Clock::now;
    Clock::time_point m_started = Clock::now();
    Clock::time_point m_lastDrawn{};
};

} // namespace quillora::cli
