#pragma once

#include "engine/ProtectionOptions.h"
#include "run/RunReporter.h"
#include "run/SelectionEntry.h"

#include <QObject>
#include <QString>
#include <QTimer>
#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <stop_token>
#include <vector>

class QThread;

namespace quillora::disk {
class FileSystem;
}

namespace quillora::ui {

/// Runs a protection (or a restore of originals) off the window's thread and hands every report to the window's thread
/// as a signal, in the run's order. Status, listing and progress reports are collected and handed over ten times a
/// second, so a fast run can neither flood the window's event queue nor make it repaint for every page. A refusal or a
/// page that failed holds the run until the window has dealt with it (and with everything reported before it).
class BackgroundRun : public QObject, private run::RunReporter {
    Q_OBJECT

public:
    explicit BackgroundRun(QObject* parent = nullptr);
    ~BackgroundRun() override;

    /// Starts a run over a copy of the options and the selection; one run at a time.
    void start(const engine::ProtectionOptions& options, std::vector<run::SelectionEntry> selection);
    /// Starts a run whose choices go page by page (a project file's); an incremental copy when asked.
    void start(run::RuleSet rules, std::vector<run::SelectionEntry> selection, bool incremental);
    /// Starts a restore of the originals of the pages below the selection; restored pages are listed as written. An
    /// encrypted run's originals are looked for below backupFolder too.
    void restore(std::vector<run::SelectionEntry> selection, std::string backupFolder = {});
    /// True from start until finished has been emitted.
    bool isRunning() const { return m_busy; }
    /// Asks the run to stop: it finishes the page in hand and leaves the others as they are; finished follows.
    void stop();

Q_SIGNALS:
    void statusText(const QString& text);
    /// A page was written to outputPath; the entry names it as the results tree lists it.
    void fileListed(const run::FileEntry& entry, const QString& outputPath);
    /// The page just listed is protected in part; reason says what stayed as it stands.
    void protectedInPart(const run::FileEntry& entry, const QString& reason);
    /// A page was left as it was because it is protected already.
    void alreadyProtected(const run::FileEntry& entry);
    /// A page was left as it was because the run was stopped before it.
    void notReached(const run::FileEntry& entry);
    /// A page could not be protected (skipped: it was not a regular file).
    void pageFailed(const run::FileEntry& entry, const run::PageProblem& problem, bool skipped);
    /// A folder below a picked one could not be listed.
    void folderFailed(const QString& folder, const run::PageProblem& problem);
    /// Another file of the site (at path) could not be copied.
    void otherFailed(const QString& path, const run::PageProblem& problem);
    void refused(const run::RunRefusal& refusal);
    /// An encrypted run keeps the originals it replaced in folder.
    void originalsFolder(const QString& folder);
    /// An encrypted run seals with the site key file at path.
    void keyFileFound(const QString& path, run::KeyFileOrigin origin);
    void policyNote(const QString& line, bool failed);
    /// Files that may hold the pages' text in clear (copied: copies made by the run).
    void pageTextFound(const QStringList& paths, bool copied);
    /// An encrypted run is over: what stays readable.
    void readableFound(const run::ReadableByDesign& readable);
    void progress(std::size_t done, std::size_t found);
    void finished(const run::RunSummary& summary);

private:
    struct Report {
        enum class Kind { Status, Listed, InPart, AlreadyProtected, NotReached, Progress };
        Kind kind;
        QString text; // the status text, the output path of a listed page, or why it is protected in part
        run::FileEntry entry;
        std::size_t done = 0;
        std::size_t found = 0;
    };

    // RunReporter, called on the run's threads, one at a time.
    void runRefused(const run::RunRefusal& refusal) override;
    void scanning() override;
    void pagesFound(std::size_t found) override;
    void pageWritten(const run::FileEntry& entry, const std::string& outputPath) override;
    void pageProtectedInPart(const run::FileEntry& entry, const engine::PageNotes& notes) override;
    void pageAlreadyProtected(const run::FileEntry& entry) override;
    void folderSkipped(const std::string& folder, const run::PageProblem& problem) override;
    void pageSkipped(const run::FileEntry& entry, const run::PageProblem& problem) override;
    void pageGivenUp(const run::FileEntry& entry, const run::PageProblem& problem) override;
    void pageNotReached(const run::FileEntry& entry) override;
    void waitingForPage(const run::FileEntry& entry, std::chrono::seconds bound) override;
    void otherFileFailed(const std::string& path, const run::PageProblem& problem) override;
    void keyFileUsed(const std::string& path, run::KeyFileOrigin origin) override;
    void originalsKept(const std::string& folder) override;
    void sharedScript(const std::string& path) override;
    void policyFile(const std::string& path, bool besideOwn, std::error_code error) override;
    void pageTextFiles(const std::vector<std::string>& paths, bool copied) override;
    void readableByDesign(const run::ReadableByDesign& readable) override;
    void progressChanged(std::size_t done, std::size_t found) override;

    using Job = std::function<run::RunSummary(disk::FileSystem& fileSystem, const std::stop_token& stop)>;

    /// Waits for the thread of the last run, which has reported its end already.
    void reap();
    void launch(Job job);
    void runOnThread(const Job& job, const std::stop_token& stop);
    void collect(Report report);
    /// On the window's thread: emits everything collected so far, in order.
    void deliver();
    template <typename Call> void deliverAndWait(Call&& call);

    engine::ProtectionOptions m_options;
    std::shared_ptr<run::RuleSet> m_rules;
    QThread* m_thread = nullptr;
    std::stop_source m_stop; // a fresh one for every run
    bool m_busy = false;     // from start until the end of the run has reached the window's thread
    QTimer m_delivery;
    std::mutex m_mutex; // guards m_collected
    std::vector<Report> m_collected;
};

} // namespace quillora::ui
