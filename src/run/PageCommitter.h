#pragma once

#include "CopyManifest.h"
#include "FileEntry.h"
#include "RunReporter.h"
#include "SealingThread.h"
#include "disk/FileSystem.h"
#include "disk/PageWriter.h"

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <optional>
#include <stop_token>
#include <string>
#include <thread>
#include <unordered_set>
#include <utility>
#include <vector>

namespace quillora::run {

/// One page on its way to the disk, or what became of a page that is not written, in the run's order.
struct CommitItem {
    enum class Kind {
        Write,
        AlreadyProtected,
        Skipped,
        GivenUp,
        CopyOther,
        OtherFailed,
        LeftAlone,
        Unchanged,
        Batch,
        NotReached,
        OtherNotCopied
    };
    Kind kind = Kind::Write;
    const PageRule* rule = nullptr; // pages: the rule that decided what became of it
    FileEntry entry;                // Write: as the results list names the output
    FileEntry source;               // the page as it was found
    PageProblem problem;            // Skipped and GivenUp
    std::size_t found = 0;          // the pages found so far, for the progress

    // Write only.
    std::string bytes;                      // the page's new bytes
    std::future<SealResult> sealing;        // valid: the new bytes are its unlock page, still being sealed
    std::size_t sealingBytes = 0;           // the size of the page being sealed
    std::string outputPath;                 // as the results list shows it
    disk::PageWriter::Target output;        // where the bytes go
    std::string backupPath;                 // empty: no backup
    std::string original;                   // the bytes that were read, for the backup
    disk::FileStatus sourceStatus;          // the backup keeps the page's owner, group and mode
    std::unique_ptr<disk::LockedFile> lock; // held until the new text has its place
    bool backupFromBytes = false;           // the original is not the locked file (it came from consumedBackup)
    std::string consumedBackup;             // an earlier backup whose bytes became the backup; removed once written
    std::string originalsFolder;            // an encrypted run's folder of originals the backup goes into
    engine::PageNotes notes;                // what the protection left as it stands
    std::string policy;                     // a strict run's: the page's script policy
    // What the backup's name held when the run looked (none: nothing).
    std::optional<disk::FileIdentity> backupSeen;

    // An incremental copy's note of what was written, for its manifest.
    struct ManifestNote {
        bool wanted = false;
        CopyManifest::Kind kind = CopyManifest::Kind::Page;
        CopyManifest::Digest rule{};
        CopyManifest::Digest digest{};
        disk::FileStatus sourceStatus;
    };
    ManifestNote manifest;
    std::vector<CommitItem> batch; // Batch: items handed over together, each reported as itself
};

/// Brings pages to the disk in groups and reports every page in the order it was handed in. Each group's new
/// files are written beside their targets, flushed together, then the backups take their places (and are
/// flushed), then the pages: a crash at any moment leaves each page either as it was or protected with its
/// backup beside it. A page (or backup) takes its name only while the name still holds the file the run saw
/// there: a page another program saved meanwhile is left as it saved it. With a thread of its own it writes while
/// the caller rewrites the next pages.
class PageCommitter {
public:
    /// Once stop is requested, the site's other files still to be copied are counted as not copied instead.
    /// pagesInFlight bounds both the pages waiting to be taken and the pages of a group: each holds open files.
    PageCommitter(disk::FileSystem& fileSystem, RunReporter& reporter, bool threaded, std::stop_token stop = {},
                  std::size_t pagesInFlight = 64);
    ~PageCommitter();
    PageCommitter(const PageCommitter&) = delete;
    PageCommitter& operator=(const PageCommitter&) = delete;

    /// Hands an item over; waits while too much is still to be written.
    void submit(CommitItem item);
    /// Called with every item once it is reported (on the committing side).
    void onReported(std::function<void(const CommitItem&)> reported) { m_onReported = std::move(reported); }
    /// Returns once everything handed over is written (or given up), reported, and its lock let go.
    void flush();
    /// Flushes, ends the thread, and adds the counts of what was reported to the summary.
    void finish(RunSummary& summary);
    /// The files written since the last call, with the paths they were written to (for the caller's bookkeeping).
    std::vector<std::pair<disk::FileIdentity, std::string>> takeWritten();
    /// Removes the leftovers of killed runs from the folder of path, the first time it is asked for that folder.
    /// The reader asks before it locks the first page of a folder: a leftover backup may be a further name of a page,
    /// and once this run holds that page's lock the leftover would look held.
    void sweepFolderOf(const std::string& path);

private:
    struct Staged {
        CommitItem item;
        disk::PageWriter::Pending page;
        disk::PageWriter::Pending backup;
        bool failed = false;
    };

    void loop();
    void stage(CommitItem item);
    std::error_code stageBackup(CommitItem& page, disk::PageWriter::Pending& backup);
    void commit();
    void noteCommitted(std::size_t count);
    void reportBatch(CommitItem& batch);
    void syncGroup(std::vector<Staged*>& group, bool backups);
    void giveUp(Staged& staged, PageProblem::Step step, std::error_code error, const std::string& path);
    void giveUpChangedPages();
    void report(Staged& staged);
    void record(const CommitItem& item, PageRecord::Action action);
    void copyAsItIs(CommitItem& item);
    void takeSealed(CommitItem& page);

    disk::FileSystem& m_fs;
    RunReporter& m_reporter;
    disk::PageWriter m_writer;
    bool m_threaded;
    std::function<void(const CommitItem&)> m_onReported;
    std::stop_token m_stop;
    std::size_t m_pagesInFlight;

    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<CommitItem> m_queue;                                    // guarded by m_mutex
    std::size_t m_queuedBytes = 0;                                     // guarded by m_mutex
    std::size_t m_submitted = 0;                                       // guarded by m_mutex
    std::size_t m_committed = 0;                                       // guarded by m_mutex
    bool m_stopping = false;                                           // guarded by m_mutex
    bool m_flushWanted = false;                                        // guarded by m_mutex
    std::size_t m_submitsWaiting = 0;                                  // guarded by m_mutex
    std::vector<std::pair<disk::FileIdentity, std::string>> m_written; // guarded by m_mutex
    std::unordered_set<std::string> m_announced;                       // the folders of originals named so far
    std::mutex m_sweepMutex;                                           // both sides sweep
    std::unordered_set<std::string> m_sweptFolders;                    // guarded by m_sweepMutex

    // The committing side's own state.
    std::vector<Staged> m_group;
    std::size_t m_groupBytes = 0;
    std::size_t m_done = 0;
    RunSummary m_counts;

    std::thread m_thread;
};

} // namespace quillora::run
