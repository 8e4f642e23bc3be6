#include "BackgroundRun.h"

#include "run/PosixFileSystem.h"
#include "selection/NativePath.h"

#include <QCoreApplication>
#include <QThread>

namespace quillora::ui {

namespace {

constexpr int kDeliveryIntervalMs = 100;

} // namespace

BackgroundRun::BackgroundRun(QObject* parent) : QObject(parent) {
    m_delivery.setInterval(kDeliveryIntervalMs);
    connect(&m_delivery, &QTimer::timeout, this, &BackgroundRun::deliver);
}

BackgroundRun::~BackgroundRun() {
    if (m_thread == nullptr)
        return;
    // The run may be waiting for this thread to handle a message; keep handling until it ends.
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
    m_delivery.start();
    m_thread = QThread::create([this, picks = std::move(selection)] { runOnThread(picks); });
    m_thread->start();
}

void BackgroundRun::runOnThread(const std::vector<run::SelectionEntry>& selection) {
    run::PosixFileSystem fileSystem;
    const run::RunSummary summary = run::ProtectionRun(m_options, *this, fileSystem).ProtectFiles(selection);
    QMetaObject::invokeMethod(
        this,
        [this, summary] {
            deliver();
            m_delivery.stop();
            m_busy = false;
            Q_EMIT finished(summary);
        },
        Qt::QueuedConnection);
}

void BackgroundRun::collect(Report report) {
    const std::lock_guard lock(m_mutex);
    m_collected.push_back(std::move(report));
}

void BackgroundRun::deliver() {
    std::vector<Report> batch;
    {
        const std::lock_guard lock(m_mutex);
        batch.swap(m_collected);
    }
    // Only the latest status and progress of a batch can be seen; the listed pages all count.
    const Report* status = nullptr;
    const Report* counted = nullptr;
    for (const Report& report : batch) {
        if (report.kind == Report::Kind::Listed)
            Q_EMIT fileListed(report.entry, report.text);
        else
            (report.kind == Report::Kind::Status ? status : counted) = &report;
    }
    if (status != nullptr)
        Q_EMIT statusText(status->text);
    if (counted != nullptr)
        Q_EMIT progress(counted->done, counted->found);
}

template <typename Call> void BackgroundRun::deliverAndWait(Call&& call) {
    QMetaObject::invokeMethod(
        this,
        [this, &call] {
            deliver();
            call();
        },
        Qt::BlockingQueuedConnection);
}

void BackgroundRun::statusChanged(const std::string& text) {
    collect({Report::Kind::Status, QString::fromStdString(text), {}});
}

void BackgroundRun::fileWritten(const engine::FileEntry& entry) {
    pageWritten(entry, entry.fullPath());
}

void BackgroundRun::pageWritten(const engine::FileEntry& entry, const std::string& outputPath) {
    collect({Report::Kind::Listed, selection::fromNativePath(outputPath), entry});
}

void BackgroundRun::showMessage(const std::string& text, run::MessageIcon icon, run::MessageTitle title) {
    deliverAndWait([this, &text, icon, title] { Q_EMIT messageShown(QString::fromStdString(text), icon, title); });
}

void BackgroundRun::returnToPasswordPage() {
    deliverAndWait([this] { Q_EMIT passwordPageWanted(); });
}

void BackgroundRun::returnToStoragePage() {
    deliverAndWait([this] { Q_EMIT storagePageWanted(); });
}

void BackgroundRun::progressChanged(std::size_t done, std::size_t found) {
    collect({Report::Kind::Progress, {}, {}, done, found});
}

} // namespace quillora::ui
