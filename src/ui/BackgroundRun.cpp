#include "BackgroundRun.h"

#include "run/PosixFileSystem.h"
#include "selection/NativePath.h"

#include <QCoreApplication>
#include <QThread>

namespace quillora::ui {

BackgroundRun::BackgroundRun(QObject* parent) : QObject(parent) {}

BackgroundRun::~BackgroundRun() {
    if (m_thread == nullptr)
        return;
    // A report still on its way may hold the run until this thread handles it.
    while (!m_thread->wait(20))
        QCoreApplication::processEvents();
    delete m_thread;
}

void BackgroundRun::start(const engine::ProtectionOptions& options, std::vector<run::SelectionEntry> selection) {
    if (m_busy)
        return;
    if (m_thread != nullptr) {
        // The last run has reported its end; its thread is about to finish.
        m_thread->wait();
        delete m_thread;
    }
    m_busy = true;
    m_options = options;
    m_thread = QThread::create([this, picks = std::move(selection)]() mutable { runOnThread(std::move(picks)); });
    m_thread->start();
}

bool BackgroundRun::isRunning() const {
    return m_busy;
}

void BackgroundRun::runOnThread(std::vector<run::SelectionEntry> selection) {
    run::PosixFileSystem fileSystem;
    const run::RunSummary summary = run::ProtectionRun(m_options, *this, fileSystem).ProtectFiles(selection);
    post([this, summary] {
        m_busy = false;
        Q_EMIT finished(summary);
    });
}

template <typename Call> void BackgroundRun::post(Call&& call) {
    QMetaObject::invokeMethod(this, std::forward<Call>(call), Qt::QueuedConnection);
}

template <typename Call> void BackgroundRun::postAndWait(Call&& call) {
    QMetaObject::invokeMethod(this, std::forward<Call>(call), Qt::BlockingQueuedConnection);
}

void BackgroundRun::statusChanged(const std::string& text) {
    post([this, text = QString::fromStdString(text)] { Q_EMIT statusText(text); });
}

void BackgroundRun::fileWritten(const engine::FileEntry& entry) {
    pageWritten(entry, entry.fullPath());
}

void BackgroundRun::pageWritten(const engine::FileEntry& entry, const std::string& outputPath) {
    post([this, entry, path = selection::fromNativePath(outputPath)] { Q_EMIT fileListed(entry, path); });
}

void BackgroundRun::showMessage(const std::string& text, run::MessageIcon icon, run::MessageTitle title) {
    postAndWait([this, &text, icon, title] { Q_EMIT messageShown(QString::fromStdString(text), icon, title); });
}

void BackgroundRun::returnToPasswordPage() {
    postAndWait([this] { Q_EMIT passwordPageWanted(); });
}

void BackgroundRun::returnToStoragePage() {
    postAndWait([this] { Q_EMIT storagePageWanted(); });
}

void BackgroundRun::progressChanged(std::size_t done, std::size_t found) {
    post([this, done, found] { Q_EMIT progress(done, found); });
}

} // namespace quillora::ui
