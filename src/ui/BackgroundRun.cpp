#include "BackgroundRun.h"

#include "disk/PosixFileSystem.h"
#include "run/ProtectionRun.h"
#include "run/RestoreRun.h"
#include "run/RunMessages.h"
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
    m_stop.request_stop();
    // The run may be waiting for this thread to handle a message; keep handling until it ends.
    while (!m_thread->wait(20))
        QCoreApplication::processEvents();
    delete m_thread;
}

void BackgroundRun::start(const engine::ProtectionOptions& options, std::vector<run::SelectionEntry> selection) {
    if (m_busy)
        return;
    reap();
    m_options = options;
    launch([this, picks = std::move(selection)](disk::FileSystem& fileSystem, const std::stop_token& stop) {
        run::ProtectionRun protection(m_options, *this, fileSystem);
        protection.forgetPassword(m_options.password);
        return protection.ProtectFiles(picks, stop);
    });
}

void BackgroundRun::start(run::RuleSet rules, std::vector<run::SelectionEntry> selection, bool incremental) {
    if (m_busy)
        return;
    reap();
    m_rules = std::make_shared<run::RuleSet>(std::move(rules));
    launch(
        [this, picks = std::move(selection), incremental](disk::FileSystem& fileSystem, const std::stop_token& stop) {
            run::ProtectionRun protection(*m_rules, *this, fileSystem);
            m_rules->forgetEncryptionPasswords(); // the run has its own copy, wiped once the key is derived
            protection.setIncremental(incremental);
            return protection.ProtectFiles(picks, stop);
        });
}

void BackgroundRun::restore(std::vector<run::SelectionEntry> selection, std::string backupFolder) {
    if (m_busy)
        return;
    launch([this, picks = std::move(selection), folder = std::move(backupFolder)](disk::FileSystem& fileSystem,
                                                                                  const std::stop_token& stop) {
        return run::RestoreRun(*this, fileSystem, folder).Restore(picks, stop);
    });
}

void BackgroundRun::stop() {
    if (m_busy)
        m_stop.request_stop();
}

void BackgroundRun::reap() {
    if (m_thread == nullptr)
        return;
    m_thread->wait();
    delete m_thread;
    m_thread = nullptr;
}

void BackgroundRun::launch(Job job) {
    reap();
    m_busy = true;
    m_stop = std::stop_source();
    m_delivery.start();
    m_thread = QThread::create([this, job = std::move(job), stop = m_stop.get_token()] { runOnThread(job, stop); });
    m_thread->start();
}

void BackgroundRun::runOnThread(const Job& job, const std::stop_token& stop) {
    disk::PosixFileSystem fileSystem;
    const run::RunSummary summary = job(fileSystem, stop);
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
    // Only the latest status and progress of a batch can be seen; the listed pages all count, and the status
    // keeps its place among them (a count written after the scanning text replaces it).
    const Report* lastStatus = nullptr;
    const Report* counted = nullptr;
    for (const Report& report : batch) {
        if (report.kind == Report::Kind::Status)
            lastStatus = &report;
    }
    for (const Report& report : batch) {
        switch (report.kind) {
        case Report::Kind::Listed:
            Q_EMIT fileListed(report.entry, report.text);
            break;
        case Report::Kind::InPart:
            Q_EMIT protectedInPart(report.entry, report.text);
            break;
        case Report::Kind::AlreadyProtected:
            Q_EMIT alreadyProtected(report.entry);
            break;
        case Report::Kind::NotReached:
            Q_EMIT notReached(report.entry);
            break;
        case Report::Kind::Status:
            if (&report == lastStatus)
                Q_EMIT statusText(report.text);
            break;
        case Report::Kind::Progress:
            counted = &report;
            break;
        }
    }
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

void BackgroundRun::runRefused(const run::RunRefusal& refusal) {
    deliverAndWait([this, &refusal] { Q_EMIT refused(refusal); });
}

void BackgroundRun::scanning() {
    collect({Report::Kind::Status, QString::fromUtf8(run::messages::kScanning), {}});
}

void BackgroundRun::pagesFound(std::size_t found) {
    if (found == 0)
        collect({Report::Kind::Status, QString::fromUtf8(run::messages::kNoFilesFound), {}});
}

void BackgroundRun::pageWritten(const run::FileEntry& entry, const std::string& outputPath) {
    collect({Report::Kind::Listed, selection::fromNativePath(outputPath), entry});
}

void BackgroundRun::pageProtectedInPart(const run::FileEntry& entry, const engine::PageNotes& notes) {
    collect({Report::Kind::InPart, QString::fromStdString(run::messages::protectedInPart(notes)), entry});
}

void BackgroundRun::pageAlreadyProtected(const run::FileEntry& entry) {
    collect({Report::Kind::AlreadyProtected, {}, entry});
}

void BackgroundRun::folderSkipped(const std::string& folder, const run::PageProblem& problem) {
    deliverAndWait([this, &folder, &problem] { Q_EMIT folderFailed(selection::fromNativePath(folder), problem); });
}

void BackgroundRun::pageSkipped(const run::FileEntry& entry, const run::PageProblem& problem) {
    deliverAndWait([this, &entry, &problem] { Q_EMIT pageFailed(entry, problem, true); });
}

void BackgroundRun::pageGivenUp(const run::FileEntry& entry, const run::PageProblem& problem) {
    deliverAndWait([this, &entry, &problem] { Q_EMIT pageFailed(entry, problem, false); });
}

void BackgroundRun::pageNotReached(const run::FileEntry& entry) {
    collect({Report::Kind::NotReached, {}, entry});
}

void BackgroundRun::waitingForPage(const run::FileEntry& entry, std::chrono::seconds bound) {
    // Shown at once: a window that waits without a word looks hung.
    collect({Report::Kind::Status,
             QString::fromStdString(
                 run::messages::waitingForLockedPage(selection::fromNativePath(entry.fullPath()).toStdString(), bound)),
             {}});
}

void BackgroundRun::otherFileFailed(const std::string& path, const run::PageProblem& problem) {
    deliverAndWait([this, &path, &problem] { Q_EMIT otherFailed(selection::fromNativePath(path), problem); });
}

void BackgroundRun::keyFileUsed(const std::string& path, run::KeyFileOrigin origin) {
    deliverAndWait([this, &path, origin] { Q_EMIT keyFileFound(selection::fromNativePath(path), origin); });
}

void BackgroundRun::originalsKept(const std::string& folder) {
    deliverAndWait([this, &folder] { Q_EMIT originalsFolder(selection::fromNativePath(folder)); });
}

void BackgroundRun::sharedScript(const std::string& path) {
    const QString line = QString::fromStdString(run::messages::sharedScript(path));
    deliverAndWait([this, &line] { Q_EMIT policyNote(line, false); });
}

void BackgroundRun::policyFile(const std::string& path, bool besideOwn, std::error_code error) {
    const QString line = QString::fromStdString(run::messages::policyFile(path, besideOwn, error));
    const bool failed = static_cast<bool>(error);
    deliverAndWait([this, &line, failed] { Q_EMIT policyNote(line, failed); });
}

void BackgroundRun::pageTextFiles(const std::vector<std::string>& paths, bool copied) {
    QStringList list;
    for (const auto& path : paths)
        list.append(selection::fromNativePath(path));
    deliverAndWait([this, &list, copied] { Q_EMIT pageTextFound(list, copied); });
}

void BackgroundRun::readableByDesign(const run::ReadableByDesign& readable) {
    deliverAndWait([this, &readable] { Q_EMIT readableFound(readable); });
}

void BackgroundRun::progressChanged(std::size_t done, std::size_t found) {
    collect({Report::Kind::Progress, {}, {}, done, found});
}

} // namespace quillora::ui
