#include "PageCommitter.h"

#include "ErrorNumbers.h"
#include "disk/DiskError.h"
#include "disk/Paths.h"

#include <algorithm>
#include <chrono>

namespace quillora::run {

namespace {

// A group is brought to the disk once it holds this many bytes (or pages in flight), or when no page has come for a
// while: large enough that one flush serves many pages, small enough to keep the locks and the memory short.
constexpr std::size_t kGroupBytes = 64u << 20;
constexpr std::size_t kQueueBytes = 16u << 20;
constexpr auto kIdle = std::chrono::milliseconds(20);

std::size_t bytesOf(const CommitItem& item) {
    return item.bytes.size() + item.original.size() + item.sealingBytes;
}

void release(std::string& bytes) {
    std::string().swap(bytes);
}

/// True when the page's new text takes the name of the very file that was read (its own place, not a copy's).
bool replacesWhatWasRead(const CommitItem& page) {
    return page.lock != nullptr && page.output.exists && page.lock->status().identity == page.output.existing.identity;
}

} // namespace

PageCommitter::PageCommitter(disk::FileSystem& fileSystem, RunReporter& reporter, bool threaded, std::stop_token stop,
                             std::size_t pagesInFlight)
    : m_fs(fileSystem), m_reporter(reporter), m_writer(fileSystem), m_threaded(threaded), m_stop(std::move(stop)),
      m_pagesInFlight(std::max<std::size_t>(pagesInFlight, 1)) {
    if (m_threaded)
        m_thread = std::thread([this] { loop(); });
}

PageCommitter::~PageCommitter() {
    if (m_thread.joinable()) {
        {
            const std::lock_guard lock(m_mutex);
            m_stopping = true;
        }
        m_changed.notify_all();
        m_thread.join();
    }
}

void PageCommitter::submit(CommitItem item) {
    const std::size_t items = item.kind == CommitItem::Kind::Batch ? item.batch.size() : 1;
    if (!m_threaded) {
        m_submitted += items;
        stage(std::move(item));
        return;
    }
    std::unique_lock lock(m_mutex);
    // One item is always taken, however large: a page bigger than the queue still goes through.
    ++m_submitsWaiting;
    m_changed.wait(lock, [&] {
        return m_queue.empty() || (m_queue.size() < m_pagesInFlight && m_queuedBytes + bytesOf(item) <= kQueueBytes);
    });
    --m_submitsWaiting;
    const bool wasEmpty = m_queue.empty();
    m_queuedBytes += bytesOf(item);
    m_queue.push_back(std::move(item));
    m_submitted += items;
    lock.unlock();
    // The committing side waits for items only when there were none: waking it for every page costs more than a page.
    if (wasEmpty)
        m_changed.notify_all();
}

void PageCommitter::flush() {
    if (!m_threaded) {
        commit();
        return;
    }
    std::unique_lock lock(m_mutex);
    m_flushWanted = true;
    m_changed.notify_all();
    m_changed.wait(lock, [&] { return m_committed == m_submitted; });
    m_flushWanted = false;
}

void PageCommitter::finish(RunSummary& summary) {
    flush();
    if (m_thread.joinable()) {
        {
            const std::lock_guard lock(m_mutex);
            m_stopping = true;
        }
        m_changed.notify_all();
        m_thread.join();
    }
    summary.written += m_counts.written;
    summary.alreadyProtected += m_counts.alreadyProtected;
    summary.skipped += m_counts.skipped;
    summary.givenUp += m_counts.givenUp;
    summary.protectedInPart += m_counts.protectedInPart;
    summary.otherFilesCopied += m_counts.otherFilesCopied;
    summary.otherFilesFailed += m_counts.otherFilesFailed;
    summary.leftAlone += m_counts.leftAlone;
    summary.unchanged += m_counts.unchanged;
    summary.notReached += m_counts.notReached;
    summary.otherFilesNotCopied += m_counts.otherFilesNotCopied;
    m_counts = {};
}

std::vector<std::pair<disk::FileIdentity, std::string>> PageCommitter::takeWritten() {
    const std::lock_guard lock(m_mutex);
    return std::exchange(m_written, {});
}

void PageCommitter::loop() {
    std::unique_lock lock(m_mutex);
    for (;;) {
        if (!m_queue.empty()) {
            CommitItem item = std::move(m_queue.front());
            m_queue.pop_front();
            m_queuedBytes -= bytesOf(item);
            const bool submitWaits = m_submitsWaiting > 0;
            lock.unlock();
            if (submitWaits)
                m_changed.notify_all(); // it may go on now
            stage(std::move(item));
            lock.lock();
            continue;
        }
        if (!m_group.empty()) {
            // Nothing more to take: commit when asked, or once no page has come for a while.
            const auto more = [&] { return !m_queue.empty() || m_flushWanted || m_stopping; };
            if (!m_flushWanted && !m_stopping && m_changed.wait_for(lock, kIdle, more))
                continue;
            lock.unlock();
            commit();
            lock.lock();
            continue;
        }
        if (m_stopping)
            return;
        m_changed.wait(lock, [&] { return !m_queue.empty() || m_stopping; });
    }
}

void PageCommitter::sweepFolderOf(const std::string& path) {
    const std::string folder = disk::getFilePathOnly(path);
    const std::lock_guard lock(m_sweepMutex);
    if (!folder.empty() && m_sweptFolders.insert(folder).second)
        (void)m_fs.removeStaleTemporaries(folder);
}

// A file that goes into a copy as it is: another file of the site, or a page the rules leave alone.
void PageCommitter::copyAsItIs(CommitItem& item) {
    sweepFolderOf(item.outputPath);
    const std::string source = item.source.fullPath();
    const auto error = m_fs.copyFile(source, item.outputPath);
    if (!error)
        return;
    const bool page = item.kind == CommitItem::Kind::LeftAlone;
    item.kind = page ? CommitItem::Kind::GivenUp : CommitItem::Kind::OtherFailed;
    item.problem = {PageProblem::Step::Write, error, item.outputPath};
    // A file that cannot be read (or a dangling link) is the source's fault: the message names the source.
    std::unique_ptr<disk::LockedFile> readable;
    const auto readError = m_fs.openLocked(source, std::chrono::milliseconds(0), readable);
    if (readError == disk::DiskError::NotARegularFile && page)
        item.kind = CommitItem::Kind::Skipped;
    if (readError && readError != std::errc::resource_unavailable_try_again)
        item.problem = {PageProblem::Step::Read, readError, source};
}

// A page that could not be sealed is given up as its reader would have: nothing is written for it.
void PageCommitter::takeSealed(CommitItem& page) {
    SealResult sealed;
    try {
        sealed = page.sealing.get();
    } catch (const std::bad_alloc&) {
        sealed.error = std::make_error_code(std::errc::not_enough_memory);
    }
    if (!sealed.error) {
        page.bytes = std::move(sealed.bytes);
        return;
    }
    page.kind = CommitItem::Kind::GivenUp;
    page.problem = {PageProblem::Step::Read, sealed.error, page.source.fullPath()};
    page.lock.reset();
    page.manifest.wanted = false;
    release(page.bytes);
    release(page.original);
}

void PageCommitter::stage(CommitItem item) {
    if (item.kind == CommitItem::Kind::Batch) {
        reportBatch(item);
        return;
    }
    Staged staged{std::move(item), {}, {}, false};
    CommitItem& page = staged.item;
    // A stopped run copies nothing more; the copies made so far stay.
    if (page.kind == CommitItem::Kind::CopyOther && m_stop.stop_requested())
        page.kind = CommitItem::Kind::OtherNotCopied;
    if (page.kind == CommitItem::Kind::CopyOther ||
        (page.kind == CommitItem::Kind::LeftAlone && !page.outputPath.empty()))
        copyAsItIs(page);
    if (page.sealing.valid())
        takeSealed(page);
    if (page.kind == CommitItem::Kind::Write) {
        sweepFolderOf(page.output.path);
        m_groupBytes += bytesOf(page);
        // The page's own place is taken only while it still holds the file that was read.
        const auto replacing =
            replacesWhatWasRead(page) ? disk::Replacing::only(page.lock->status().identity) : disk::Replacing{};
        if (const auto error =
                m_writer.stage(page.output.path, page.bytes, page.output.exists ? &page.output.existing : nullptr,
                               staged.page, replacing)) {
            giveUp(staged, PageProblem::Step::Write, error, page.outputPath);
        } else if (!page.backupPath.empty()) {
            sweepFolderOf(page.backupPath);
            if (const auto backupError = stageBackup(page, staged.backup))
                giveUp(staged, PageProblem::Step::Backup, backupError, page.backupPath);
        }
        release(page.bytes);
        release(page.original);
    }
    m_group.push_back(std::move(staged));
    if (m_group.size() >= m_pagesInFlight || m_groupBytes >= kGroupBytes)
        commit();
}

// The backup is the original file itself where it can be: a further name for the locked file that was read, after
// which the new text takes the page's name. Nothing is written, and owner, mode and times stay the original's. A
// file with other names (whose bytes those keep showing) and a file system without hard links get a copy of the
// very bytes that were read and protected, with the page's owner and mode.
// Either way the backup takes its name only while that name holds what the run saw there: never a link put there since.
std::error_code PageCommitter::stageBackup(CommitItem& page, disk::PageWriter::Pending& backup) {
    const auto replacing = disk::Replacing::only(page.backupSeen);
    disk::LockedFile* original = page.backupFromBytes ? nullptr : page.lock.get();
    if (original != nullptr && original->status().links == 1 && replacesWhatWasRead(page) &&
        !m_writer.stageLink(page.backupPath, *original, backup, replacing))
        return {};
    return m_writer.stage(page.backupPath, page.original, &page.sourceStatus, backup, replacing);
}

void PageCommitter::giveUp(Staged& staged, PageProblem::Step step, std::error_code error, const std::string& path) {
    staged.failed = true;
    staged.page.discard();
    staged.backup.discard();
    staged.item.lock.reset();
    staged.item.kind = CommitItem::Kind::GivenUp;
    staged.item.problem = {step, error, path};
}

// A page another program replaced since it was read (an editor saves by renaming a new file over it) is left as it
// is, before its backup is put in place. One saved later still is caught when the page takes its name.
void PageCommitter::giveUpChangedPages() {
    for (auto& staged : m_group) {
        CommitItem& page = staged.item;
        if (staged.failed || page.kind != CommitItem::Kind::Write || !replacesWhatWasRead(page))
            continue;
        disk::FileStatus now;
        std::error_code error = m_fs.status(page.output.path, now);
        if (!error && now.identity == page.lock->status().identity)
            continue;
        if (!error || error == std::errc::no_such_file_or_directory)
            error = disk::DiskError::ChangedDuringRun; // replaced, or removed
        giveUp(staged, PageProblem::Step::Write, error, page.outputPath);
    }
}

void PageCommitter::syncGroup(std::vector<Staged*>& group, bool backups) {
    // A path in each folder is enough to find the file systems to flush.
    std::vector<std::string> paths;
    std::unordered_set<std::string> folders;
    const auto add = [&](const std::string& path) {
        if (folders.insert(disk::getFilePathOnly(path)).second)
            paths.push_back(path);
    };
    for (const Staged* staged : group) {
        if (backups) {
            add(staged->item.backupPath); // in its place by now
        } else {
            add(staged->page.tempPath);
            if (staged->backup.staged())
                add(staged->backup.tempPath);
        }
    }
    if (const auto error = m_fs.syncFileSystems(paths)) {
        for (Staged* staged : group)
            giveUp(*staged, PageProblem::Step::Write, error, staged->item.outputPath);
    }
}

void PageCommitter::commit() {
    // 1. The new files on the disk, where they replace something (the pages' originals or older outputs).
    std::vector<Staged*> replacing;
    for (auto& staged : m_group) {
        if (!staged.failed && staged.item.kind == CommitItem::Kind::Write &&
            (staged.item.output.exists || staged.backup.staged()))
            replacing.push_back(&staged);
    }
    if (!replacing.empty())
        syncGroup(replacing, false);

    // 2. The backups in their places, and on the disk before any page is replaced; not for a page saved meanwhile.
    giveUpChangedPages();
    std::vector<Staged*> backedUp;
    for (auto& staged : m_group) {
        if (staged.failed || !staged.backup.staged())
            continue;
        disk::FileIdentity identity;
        if (const auto error = m_writer.place(staged.backup, identity))
            giveUp(staged, PageProblem::Step::Backup, error, staged.item.backupPath);
        else
            backedUp.push_back(&staged);
    }
    if (!backedUp.empty())
        syncGroup(backedUp, true);

    // 3. The pages in their places; their locks go.
    std::vector<std::pair<disk::FileIdentity, std::string>> written;
    for (auto& staged : m_group) {
        if (staged.failed || staged.item.kind != CommitItem::Kind::Write)
            continue;
        disk::FileIdentity identity;
        if (const auto error = m_writer.place(staged.page, identity)) {
            giveUp(staged, PageProblem::Step::Write, error, staged.item.outputPath);
            continue;
        }
        staged.item.lock.reset();
        written.emplace_back(identity, staged.item.output.path);
        // Its text is in the backup now; left beside the page it would be published with it.
        if (!staged.item.consumedBackup.empty())
            (void)m_fs.removeFile(staged.item.consumedBackup);
    }
    {
        const std::lock_guard lock(m_mutex);
        m_written.insert(m_written.end(), written.begin(), written.end());
    }

    // 4. Every page of the group reported, in order.
    for (auto& staged : m_group)
        report(staged);
    const std::size_t count = m_group.size();
    m_group.clear();
    m_groupBytes = 0;
    noteCommitted(count);
}

void PageCommitter::noteCommitted(std::size_t count) {
    if (m_threaded) {
        {
            const std::lock_guard lock(m_mutex);
            m_committed += count;
        }
        m_changed.notify_all();
    } else {
        m_committed += count;
    }
}

// Items with nothing to write, reported as they come once everything before them is.
void PageCommitter::reportBatch(CommitItem& batch) {
    if (!m_group.empty())
        commit();
    for (auto& item : batch.batch) {
        Staged staged{std::move(item), {}, {}, false};
        report(staged);
    }
    noteCommitted(batch.batch.size());
}

void PageCommitter::record(const CommitItem& item, PageRecord::Action action) {
    PageRecord record;
    record.action = action;
    record.isPage = item.kind != CommitItem::Kind::CopyOther && item.kind != CommitItem::Kind::OtherFailed &&
                    !(item.kind == CommitItem::Kind::Unchanged && item.rule == nullptr);
    record.source = item.source.fullPath();
    if (action == PageRecord::Action::Protected || action == PageRecord::Action::LeftAlone ||
        action == PageRecord::Action::Copied || action == PageRecord::Action::Unchanged)
        record.output = item.outputPath;
    record.rule = item.rule;
    record.notes = item.notes;
    if (action == PageRecord::Action::Skipped || action == PageRecord::Action::GivenUp ||
        action == PageRecord::Action::CopyFailed)
        record.problem = item.problem;
    m_reporter.pageRecorded(record);
}

void PageCommitter::report(Staged& staged) {
    CommitItem& item = staged.item;
    using Action = PageRecord::Action;
    switch (item.kind) {
    case CommitItem::Kind::Write:
        ++m_counts.written;
        if (!item.originalsFolder.empty() && m_announced.insert(item.originalsFolder).second)
            m_reporter.originalsKept(item.originalsFolder);
        m_reporter.pageWritten(item.entry, item.outputPath);
        record(item, Action::Protected);
        if (item.notes.protectedInPart()) {
            ++m_counts.protectedInPart;
            m_reporter.pageProtectedInPart(item.entry, item.notes);
        }
        break;
    case CommitItem::Kind::AlreadyProtected:
        ++m_counts.alreadyProtected;
        m_reporter.pageAlreadyProtected(item.source);
        record(item, Action::AlreadyProtected);
        break;
    case CommitItem::Kind::Skipped:
        ++m_counts.skipped;
        m_reporter.pageSkipped(item.source, item.problem);
        record(item, Action::Skipped);
        break;
    case CommitItem::Kind::GivenUp:
        ++m_counts.givenUp;
        m_reporter.pageGivenUp(item.source, item.problem);
        record(item, Action::GivenUp);
        break;
    case CommitItem::Kind::LeftAlone:
        ++m_counts.leftAlone;
        record(item, Action::LeftAlone);
        break;
    case CommitItem::Kind::CopyOther:
        ++m_counts.otherFilesCopied;
        record(item, Action::Copied);
        break; // the results list is a list of pages
    case CommitItem::Kind::OtherFailed:
        ++m_counts.otherFilesFailed;
        m_reporter.otherFileFailed(item.source.fullPath(), item.problem);
        record(item, Action::CopyFailed);
        break;
    case CommitItem::Kind::Unchanged:
        ++m_counts.unchanged;
        record(item, Action::Unchanged);
        break;
    case CommitItem::Kind::Batch:
        break; // staged one by one
    case CommitItem::Kind::NotReached:
        ++m_counts.notReached;
        m_reporter.pageNotReached(item.source);
        return; // not handled: the progress stays
    case CommitItem::Kind::OtherNotCopied:
        ++m_counts.otherFilesNotCopied;
        return;
    }
    if (m_onReported)
        m_onReported(item);
    const bool page = item.kind != CommitItem::Kind::CopyOther && item.kind != CommitItem::Kind::OtherFailed &&
                      !(item.kind == CommitItem::Kind::Unchanged && item.rule == nullptr);
    if (page)
        m_reporter.progressChanged(++m_done, item.found);
}

} // namespace quillora::run
