#pragma once

#include "EarlierKeys.h"
#include "FileEntry.h"
#include "FileList.h"
#include "HeadersFile.h"
#include "IncrementalCopy.h"
#include "OriginalsPlace.h"
#include "OutputPlacement.h"
#include "PageCommitter.h"
#include "PageLock.h"
#include "PageRewriter.h"
#include "ProcessedFiles.h"
#include "RuleSet.h"
#include "RunReporter.h"
#include "ScriptPolicy.h"
#include "SealingThread.h"
#include "SelectionEntry.h"
#include "SiteKeyStore.h"
#include "disk/FileSystem.h"
#include "disk/PageWriter.h"
#include "engine/ProtectionOptions.h"
#include "unlock/UnlockPage.h"

#include <cstddef>
#include <future>
#include <mutex>
#include <optional>
#include <stop_token>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace quillora::run {

/// The protection run: validates the choices, expands the selection into the file list, protects every page
/// (frame pages included) and reports each page through a RunReporter, in list order. The window and the command
/// line both drive it. Pages are read, locked and rewritten on the calling thread while another brings the
/// finished ones to the disk.
class ProtectionRun {
public:
    ProtectionRun(const engine::ProtectionOptions& options, RunReporter& reporter, disk::FileSystem& fileSystem,
                  bool threaded = true);
    /// A run whose choices go page by page: the rules' defaults are its storage, notice and encryption choices.
    ProtectionRun(RuleSet rules, RunReporter& reporter, disk::FileSystem& fileSystem, bool threaded = true);
    ~ProtectionRun();

    /// Why one page's choices do not allow protecting it (a blank password, texts that would break a script or the
    /// notice's comment), or nothing.
    static std::optional<RunRefusal> checkPageChoices(const engine::ProtectionOptions& options);

    /// A copy keeps a manifest in its target and writes only what changed since the run that wrote it (copy mode only).
    void setIncremental(bool incremental) { m_incrementalWanted = incremental; }
    /// A dry run reads no page and writes nothing: each page is reported with what would be done to it.
    void setDryRun(bool dryRun) { m_dryRun = dryRun; }

    /// Once stop is requested, the page in hand is finished and what is on its way is written; the pages not
    /// reached yet are left as they are and reported as such.
    RunSummary ProtectFiles(const std::vector<SelectionEntry>& selection, std::stop_token stop = {});

    /// Wipes this copy of the password (a front end's) as soon as the run's key is derived; the copy must outlive
    /// the run.
    void forgetPassword(std::u16string& copy) { m_secrets.push_back(&copy); }
    /// How long the run waits for a page that another program holds locked.
    void setLockWait(const LockWait& wait) { m_lockWait = wait; }

private:
    /// One page on the run's worklist: a listed page, or a frame page of the page below it on the list.
    struct PageJob {
        enum class State { Start, Frames, Finish };
        PageJob(FileEntry page, std::string frameScope)
            : entry(std::move(page)), full(entry.fullPath()), scope(std::move(frameScope)) {}

        FileEntry entry;
        std::string full;
        std::string scope; // frames are followed inside this folder
        const PageRule* rule = nullptr;
        State state = State::Start;
        std::string bytes;
        charset::PageEncoding encoding;
        disk::FileStatus status;
        std::unique_ptr<disk::LockedFile> lock;
        engine::FrameScan frames;
        std::size_t nextFrame = 0;
        bool frameFailed = false;
        int rereads = 0;
        // A page an earlier run hid, taken from the backup beside it: the backup's path and status, and the page's
        // own bytes (to tell whether it changed while its frames were followed).
        std::string consumedBackup;
        disk::FileStatus backupStatus;
        std::string pageBytes;
        bool hidden = false;             // hidden by an earlier run and without its original: sealed as it stands
        engine::PageNotes notes;         // what its protection left as it stands
        std::future<SealResult> sealing; // its unlock page, sealed on the sealing thread
    };

    /// What the checks before an incremental copy found out about each listed file, so that nothing is asked of
    /// the disk twice: by list slot for the pages, by index for the other files.
    struct Known {
        enum class State { Process, Unchanged, Told, Again }; // Again: a second listing of a page
        struct File {
            std::optional<disk::FileStatus> source;
            std::string output; // placed; empty until it is
            std::optional<disk::FileStatus> outputStatus;
            bool outputLooked = false;
            State state = State::Process;
        };
        void size(std::size_t pageSlots, std::size_t otherFiles) {
            pages.resize(pageSlots);
            others.resize(otherFiles);
        }
        std::vector<File> pages;
        std::vector<File> others;
        std::unordered_map<disk::FileIdentity, std::size_t, disk::FileIdentityHash> unchangedPages; // for frames
        std::unordered_map<char, std::vector<std::optional<CopyManifest::Digest>>> ruleDigests;     // by kind, rule
    };

    /// The engine's side of one rule: its options as the engine takes them, and a rewriter with its header.
    struct RuleEngine {
        explicit RuleEngine(const engine::ProtectionOptions& chosen);
        engine::ProtectionOptions options; // an encrypted rule's pages carry no password prompt
        PageRewriter rewriter;
    };

    /// How a page stands to earlier runs.
    enum class Earlier { None, Protected, OtherKey };

    std::optional<RunRefusal> validate(const std::vector<SelectionEntry>& selection) const;
    std::optional<RunRefusal> checkTarget() const;
    std::optional<RunRefusal> checkOriginals(const std::vector<SelectionEntry>& selection) const;
    bool keepsOriginalsApart() const;
    RuleEngine& engineFor(const PageRule& rule);
    void leaveAlone(const PageJob& job, bool asFrame);
    void planPages(const std::vector<SelectionEntry>& selection);
    std::optional<RunRefusal> readUnlockTemplate(unlock::EncryptionSettings& settings);
    std::optional<RunRefusal> makeEncryptor(const std::vector<SelectionEntry>& selection,
                                            const unlock::EncryptionSettings& settings);
    std::optional<RunRefusal> placeKeyFile(const std::vector<SelectionEntry>& selection, std::string& path) const;
    std::optional<RunRefusal> openKeyFile(const std::string& path, const unlock::EncryptionSettings& settings,
                                          crypto::SiteKeyFile& file, crypto::SiteKey& content);
    std::optional<RunRefusal> makeLevelEncryptors(const std::string& path, const unlock::EncryptionSettings& settings,
                                                  const crypto::SiteKeyFile& file, const crypto::SiteKey& content);
    /// The levels the rules encrypt pages with, each once.
    std::vector<std::string> levelsUsed() const;
    const unlock::PageEncryptor& encryptorFor(const PageRule& rule) const;
    bool isUpToDate(const FileEntry& entry, const PageRule& rule, bool otherFile, Known::File* known);
    void noteUnchanged();
    bool keepUnchanged(const PageJob& job, bool asFrame);
    bool keptUnchanged(std::size_t slot);
    void tellUnchanged(const FileEntry& file, const PageRule* rule, std::string outputPath);
    void noteCopy(CommitItem& item);
    void submit(CommitItem item);
    void flushUnchanged();
    const std::string& outputOf(Known::File& known, const FileEntry& entry) const;
    const CopyManifest::Digest& ruleDigestOf(const PageRule& rule, CopyManifest::Kind kind);
    void noteInManifest(const CommitItem& item);
    void finishIncremental(const std::vector<SelectionEntry>& selection, RunSummary& summary);
    std::optional<RunRefusal> checkCopyTargets(const std::vector<SelectionEntry>& selection);
    std::optional<RunRefusal> checkClashes();
    std::optional<RunRefusal> makeKey(const std::vector<SelectionEntry>& selection);
    void deriveMeanwhile(const std::vector<SelectionEntry>& selection);
    void wipeSecrets();
    void buildList(const std::vector<SelectionEntry>& selection);
    void countPages();
    void ProtectFile(const FileEntry& entry, const std::string& scope);
    bool startJob(std::vector<PageJob>& stack);
    void nextFrame(std::vector<PageJob>& stack);
    bool finishJob(PageJob& job);
    std::error_code openLocked(const PageJob& job, std::unique_ptr<disk::LockedFile>& file);
    bool lockAndRead(PageJob& job);
    bool readLocked(PageJob& job, std::error_code error, std::unique_ptr<disk::LockedFile> file);
    Earlier earlierProtection(PageJob& job);
    std::optional<bool> settleEarlier(PageJob& job);
    void takeOriginalFromBackup(PageJob& job);
    std::string backupPathFor(const PageJob& job, const std::string& output, std::string& originalsFolder);
    bool submitWrite(PageJob& job, std::string bytes, bool frameset = false, std::string policy = {});
    bool pagePolicy(PageJob& job, std::string_view bytes, ScriptPolicy& policy);
    void notePolicy(const CommitItem& item);
    void writePolicies();
    std::error_code decideBackup(const PageJob& job, CommitItem& item, std::string& originalsFolder);
    void excludeCopyTarget();
    void reportLeftOutPages();
    std::error_code sharedScriptFor(const PageJob& job, std::string_view sitePath, std::string& address);
    std::error_code writeSharedScript(const std::string& path);
    bool sealInUnlockPage(PageJob& job, std::string& bytes, ScriptPolicy* policy = nullptr);
    void submitProblem(CommitItem::Kind kind, const FileEntry& page, PageProblem problem);
    std::optional<FileEntry> framePage(const PageJob& frameset, std::u16string_view address);
    bool isInside(const std::string& path, const std::string& scope);
    bool isPickedPage(const std::string& path);
    bool writesBesidePages() const;
    void noteWritten();
    void leaveUnreached(std::size_t from);
    void copyOtherFiles();
    void reportReadable(const RunSummary& summary);

    RuleSet m_rules;
    const engine::ProtectionOptions& m_options;         // the run's storage, notice and encryption choices
    std::vector<std::unique_ptr<RuleEngine>> m_engines; // by rule index, made for the first page that needs one
    RunReporter& m_reporter;
    disk::FileSystem& m_fs;
    bool m_threaded;
    OutputPlacement m_placement;
    disk::PageWriter m_writer;
    ProcessedFiles m_processed;
    std::unique_ptr<PageCommitter> m_committer;
    std::unique_ptr<unlock::PageEncryptor> m_encryptor; // an encrypted run's key, derived once
    std::map<std::string, std::unique_ptr<unlock::PageEncryptor>, std::less<>> m_levelEncryptors; // by level
    std::vector<crypto::SiteKey::Salt> m_keySalts; // the salts of the site's and every level's keys
    // Seals while the pages are read (threaded runs); goes before the encryptors it uses.
    std::unique_ptr<SealingThread> m_sealer;
    std::unique_ptr<EarlierKeys> m_earlierKeys; // the keys of earlier runs' unlock pages
    // The password's key for the site key file's salt, derived while the folders are scanned (none: no key file).
    std::future<std::optional<crypto::SiteKey>> m_derived;
    std::unique_ptr<OriginalsPlace> m_originals; // an encrypted overwrite run's place for the originals
    std::vector<std::u16string*> m_secrets;      // the front ends' copies of the password
    FileList m_list;
    std::vector<FileEntry> m_otherFiles;       // copy mode: the site's files that are not pages
    std::vector<FileEntry> m_readable;         // encrypted in place: files beside the pages that may hold their text
    std::vector<std::string> m_copiedWithText; // copy mode: copies of files that may hold the pages' text
    std::vector<FileEntry> m_leftOut;          // copy mode: pages in the target, inside a picked folder
    std::unordered_map<std::string, std::string> m_canonicalScopes;
    std::unordered_set<disk::FileIdentity, disk::FileIdentityHash> m_pickedPages; // the identities of the listed files
    std::optional<disk::FileIdentity> m_excludedFolder; // copy mode: the target, never scanned
    std::size_t m_found = 0;
    std::size_t m_skippedFolders = 0;
    bool m_dryRun = false;
    bool m_incrementalWanted = false;
    std::unique_ptr<IncrementalCopy> m_incremental;
    HeadersFile m_policies; // a strict run's: the policies of the pages written, by site
    std::mutex m_policiesMutex;
    std::unordered_map<std::string, std::error_code> m_sharedScripts; // the unlock script's files, as written
    std::mutex m_scriptsMutex;
    std::unordered_set<disk::FileIdentity, disk::FileIdentityHash> m_keptUnchanged; // frame pages not listed
    std::vector<CommitItem> m_unchangedBatch;                                       // not handed over yet
    Known m_known;
    static constexpr std::size_t kUnchangedBatch = 256;
    std::stop_token m_stop;
    LockWait m_lockWait;
};

} // namespace quillora::run
