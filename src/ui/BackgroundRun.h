#pragma once

#include "engine/ProtectionOptions.h"
#include "run/ProtectionRun.h"
#include "run/RunReporter.h"

#include <QObject>
#include <QString>
#include <memory>
#include <vector>

class QThread;

namespace quillora::ui {

/// Runs a protection off the window's thread and hands every report to the window's thread as a signal. A
/// message, or the return to the password page, holds the run until the window has dealt with it, so the run's
/// order and its waits for the user stay as they are.
class BackgroundRun : public QObject, private run::RunReporter {
    Q_OBJECT

public:
    explicit BackgroundRun(QObject* parent = nullptr);
    ~BackgroundRun() override;

    /// Starts a run over a copy of the options and the selection; one run at a time.
    void start(const engine::ProtectionOptions& options, std::vector<run::SelectionEntry> selection);
    /// True from start until finished has been emitted.
    bool isRunning() const;

Q_SIGNALS:
    void statusText(const QString& text);
    /// A page was written to outputPath; the entry names it as the results tree lists it.
    void fileListed(const engine::FileEntry& entry, const QString& outputPath);
    void messageShown(const QString& text, run::MessageIcon icon, run::MessageTitle title);
    void passwordPageWanted();
    void storagePageWanted();
    void progress(std::size_t done, std::size_t found);
    void finished(const run::RunSummary& summary);

private:
    void statusChanged(const std::string& text) override;
    void fileWritten(const engine::FileEntry& entry) override;
    void showMessage(const std::string& text, run::MessageIcon icon, run::MessageTitle title) override;
    void returnToPasswordPage() override;
    void returnToStoragePage() override;
    void pageWritten(const engine::FileEntry& entry, const std::string& outputPath) override;
    void progressChanged(std::size_t done, std::size_t found) override;

    void runOnThread(std::vector<run::SelectionEntry> selection);
    template <typename Call> void post(Call&& call);
    template <typename Call> void postAndWait(Call&& call);

    engine::ProtectionOptions m_options;
    QThread* m_thread = nullptr;
    bool m_busy = false; // from start until the end of the run has reached this thread
};

} // namespace quillora::ui
