#include "ConsoleReporter.h"

#include "RecordWords.h"
#include "run/ErrorNumbers.h"
#include "run/RunMessages.h"

namespace quillora::cli {

namespace {

// The progress line appears only once a run has lasted this long, and is redrawn at most this often.
constexpr auto kProgressDelay = std::chrono::milliseconds(500);
constexpr auto kProgressInterval = std::chrono::milliseconds(100);

/// A message box's text on one line: "Unknown Error 36: File name too long".
std::string oneLine(std::string_view text) {
    std::string line;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text.substr(i, 2) == run::messages::kLineBreak) {
            line += line.ends_with('.') ? " " : ": ";
            ++i;
        } else {
            line.push_back(text[i]);
        }
    }
    return line;
}

} // namespace

ConsoleReporter::ConsoleReporter(std::ostream& out, std::ostream& err, bool errIsTerminal, bool quiet, char pathEnd)
    : m_out(out), m_err(err), m_errIsTerminal(errIsTerminal), m_quiet(quiet), m_pathEnd(pathEnd) {}

void ConsoleReporter::setClock(std::function<Clock::time_point()> now) {
    m_now = std::move(now);
    m_started = m_now();
}

std::string ConsoleReporter::aboutFile(const std::string& path, const run::PageProblem& problem) {
    std::string text = path + ": ";
    if (run::isOwnError(problem.error)) {
        text += problem.error.message();
        if (problem.path != path)
            text += " (" + problem.path + ")";
        return text;
    }
    return text + oneLine(run::messages::pageProblem(problem).text);
}

void ConsoleReporter::runRefused(const run::RunRefusal& refusal) {
    printLines(run::messages::refusal(refusal).text);
    // What the options of this program do about it.
    using Reason = run::RunRefusal::Reason;
    switch (refusal.reason) {
    case Reason::PasswordTooWeak:
        printLines("--allow-weak-password encrypts with it all the same.");
        break;
    case Reason::EncryptedBeside:
        printLines("Give --copy-to DIR instead of --beside, or leave --beside out to overwrite the pages.");
        break;
    case Reason::BackupFolderInside:
    case Reason::BackupFolderNotAFolder:
    case Reason::NoPlaceForOriginals:
        printLines("Give the folder for the originals with --backup-dir DIR.");
        break;
    case Reason::NoPlaceForKeyFile:
    case Reason::KeyFileInside:
    case Reason::KeyFileWrongPassword:
    case Reason::KeyFileMissing:
        printLines("Name the site key file with --key-file FILE.");
        break;
    case Reason::NoSuchLevel:
        printLines("Add it with --add-level " + refusal.other +
                   " --new-password-file FILE (and the site's password), or name the site key file with --key-file "
                   "FILE.");
        break;
    default:
        break;
    }
}

void ConsoleReporter::scanning() {
    for (const auto& warning : m_warnings)
        printLines("warning: " + warning);
    m_warnings.clear();
    if (!m_quiet)
        printLines(std::string(run::messages::kScanning));
}

void ConsoleReporter::pagesFound(std::size_t found) {
    // That nothing was found is worth a line even in a quiet run: nothing was done. A restore says so at its end.
    if (found == 0 && !m_restoring)
        printLines(std::string(run::messages::kNoFilesFound));
}

void ConsoleReporter::pageWritten(const run::FileEntry&, const std::string& outputPath) {
    if (!m_pathsShown)
        return;
    clearProgress();
    // Each path the moment its page is on the disk, so that a killed or piped run shows what it did.
    m_out << outputPath << m_pathEnd << std::flush;
}

void ConsoleReporter::pageProtectedInPart(const run::FileEntry& entry, const engine::PageNotes& notes) {
    printLines(entry.fullPath() + ": " + run::messages::protectedInPart(notes));
}

void ConsoleReporter::pageAlreadyProtected(const run::FileEntry& entry) {
    printLines(run::messages::alreadyProtected(entry.fullPath()));
}

void ConsoleReporter::folderSkipped(const std::string& folder, const run::PageProblem& problem) {
    (void)folder;
    printLines(run::messages::folderProblem(problem).text);
}

void ConsoleReporter::pageSkipped(const run::FileEntry& entry, const run::PageProblem& problem) {
    printLines(aboutFile(entry.fullPath(), problem) + "; left alone");
}

void ConsoleReporter::pageGivenUp(const run::FileEntry& entry, const run::PageProblem& problem) {
    printLines(aboutFile(entry.fullPath(), problem));
}

void ConsoleReporter::waitingForPage(const run::FileEntry& entry, std::chrono::seconds bound) {
    // Said even in a quiet run: a run that waits without a word looks hung.
    printLines(run::messages::waitingForLockedPage(entry.fullPath(), bound));
}

void ConsoleReporter::otherFileFailed(const std::string& path, const run::PageProblem& problem) {
    printLines(aboutFile(path, problem));
}

void ConsoleReporter::pageOfOtherKey(const run::FileEntry& entry) {
    printLines(run::messages::pageOfOtherKey(entry.fullPath()));
}

void ConsoleReporter::keyFileUsed(const std::string& path, run::KeyFileOrigin origin) {
    if (!m_quiet)
        printLines(run::messages::keyFileUsed(path, origin));
}

void ConsoleReporter::policyFile(const std::string& path, bool besideOwn, std::error_code error) {
    printLines(run::messages::policyFile(path, besideOwn, error));
}

void ConsoleReporter::sharedScript(const std::string& path) {
    if (!m_quiet)
        printLines(run::messages::sharedScript(path));
}

void ConsoleReporter::originalsKept(const std::string& folder) {
    printLines(run::messages::originalsKept(folder));
}

void ConsoleReporter::pageTextFiles(const std::vector<std::string>& paths, bool copied) {
    m_pageText.push_back("warning: " + run::messages::pageTextFiles(copied));
    for (const auto& path : paths)
        m_pageText.push_back("  " + path);
}

void ConsoleReporter::readableByDesign(const run::ReadableByDesign& readable) {
    m_readable = run::messages::readableByDesign(readable);
}

void ConsoleReporter::printClosingNotes() {
    if (!m_quiet && !m_readable.empty())
        printLines(m_readable);
    for (const auto& line : m_pageText)
        printLines(line);
    m_readable.clear();
    m_pageText.clear();
}

void ConsoleReporter::progressChanged(std::size_t done, std::size_t found) {
    if (!m_errIsTerminal || m_quiet || found == 0)
        return;
    const auto now = m_now();
    if (now - m_started < kProgressDelay || now - m_lastDrawn < kProgressInterval)
        return;
    m_lastDrawn = now;
    m_err << '\r' << kPrefix << done << '/' << found << " pages\x1b[K" << std::flush;
    m_progressShown = true;
}

void ConsoleReporter::pageRecorded(const run::PageRecord& record) {
    using Action = run::PageRecord::Action;
    if (record.planned) {
        m_plannedPages += record.action == Action::Protected ? 1 : 0;
        m_plannedLeftAlone += record.action == Action::LeftAlone ? 1 : 0;
        m_plannedCopies += record.action == Action::Copied ? 1 : 0;
        m_plannedUnchanged += record.action == Action::Unchanged ? 1 : 0;
        m_plannedRemovals += record.action == Action::Removed ? 1 : 0;
        if (m_pathsShown) {
            clearProgress();
            m_out << RecordWords::line(record) << m_pathEnd << std::flush;
        }
        return;
    }
    if (m_verbose)
        printLines(RecordWords::line(record));
}

void ConsoleReporter::runFinished(const run::RunSummary& summary) {
    clearProgress();
    if (m_dryRun) {
        if (!m_quiet && summary.outcome == run::RunSummary::Outcome::Ran)
            printLines("Dry run: " + std::to_string(m_plannedPages) + " pages would be protected, " +
                       std::to_string(m_plannedLeftAlone) + " left alone, " + std::to_string(m_plannedCopies) +
                       " other files copied, " + std::to_string(m_plannedUnchanged) + " unchanged, " +
                       std::to_string(m_plannedRemovals) + " removed; nothing was written");
        return;
    }
    if (m_restoring) {
        // A restore that found nothing to do ends with a line that says so, not in silence.
        if (!m_quiet || summary.found == 0)
            printLines(m_decrypting ? run::messages::decryptFinished(summary)
                                    : run::messages::restoreFinished(summary));
        return;
    }
    if (!m_quiet && (summary.found > 0 || summary.removed > 0)) {
        if (summary.written > 0)
            printLines(run::messages::filesProtected(summary.written));
        if (summary.alreadyProtected > 0)
            printLines(std::to_string(summary.alreadyProtected) + " pages were already protected and left as they are");
        if (summary.leftAlone > 0)
            printLines(std::to_string(summary.leftAlone) + " pages were left as they are by the project's rules");
        if (summary.unchanged > 0)
            printLines(std::to_string(summary.unchanged) +
                       " files were as the last run left them and were not written");
        if (summary.removed > 0)
            printLines(std::to_string(summary.removed) +
                       " files the last run wrote were removed: their sources are gone");
        if (summary.otherFilesCopied > 0 || summary.otherFilesFailed > 0)
            printLines(run::messages::otherFilesCopied(summary.otherFilesCopied, summary.otherFilesFailed));
    }
    printClosingNotes();
}

void ConsoleReporter::finish() {
    clearProgress();
    m_out.flush();
}

void ConsoleReporter::printLines(const std::string& text) {
    clearProgress();
    m_out.flush(); // the paths written so far come before the message on a shared terminal
    std::size_t start = 0;
    while (start <= text.size()) {
        auto end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        std::string_view line(text.data() + start, end - start);
        if (line.ends_with('\r'))
            line.remove_suffix(1);
        m_err << kPrefix << line << '\n';
        start = end + 1;
    }
    m_err.flush();
}

void ConsoleReporter::clearProgress() {
    if (!m_progressShown)
        return;
    m_err << "\r\x1b[K" << std::flush;
    m_progressShown = false;
}

} // namespace quillora::cli
