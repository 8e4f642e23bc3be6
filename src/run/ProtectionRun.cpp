#include "ProtectionRun.h"

#include "EncryptedRunOptions.h"
#include "ErrorNumbers.h"
#include "FileHelpers.h"
#include "FolderScan.h"
#include "FrameAddress.h"
#include "RestoreRun.h"
#include "SiteFileRules.h"
#include "TextRules.h"
#include "crypto/PasswordStrength.h"
#include "crypto/SecretMemory.h"
#include "disk/DiskError.h"
#include "disk/OpenFiles.h"
#include "disk/PageWriter.h"
#include "disk/Paths.h"
#include "unlock/UnlockScript.h"

#include <algorithm>
#include <map>
#include <new>

namespace quillora::run {

namespace {

// A page that changes between its first reading and the decision on its frames is read again, a few times.
constexpr int kMaxRereads = 3;

bool isBlankText(std::u16string_view text) {
    return text.find_first_not_of(u' ') == std::u16string_view::npos;
}

bool isBlankText(std::string_view text) {
    return text.find_first_not_of(' ') == std::string_view::npos;
}

std::string baseName(const std::string& path) {
    return path.substr(disk::getFilePathOnly(path).size());
}

// The page's path in its site, '/' between folders: below its picked folder, or its file name when picked alone.
// Its unlock page is bound to it, and opens only where its address ends in it.
std::string sitePathOf(const FileEntry& entry) {
    std::string path = entry.Folder.empty() ? baseName(entry.Name) : entry.Name;
    path.erase(0, path.find_first_not_of('/'));
    return path;
}

} // namespace

ProtectionRun::RuleEngine::RuleEngine(const engine::ProtectionOptions& chosen)
    : options(chosen.encrypt ? engineOptions(chosen) : chosen), rewriter(options, engine::BuildHeader(options)) {}

ProtectionRun::ProtectionRun(const engine::ProtectionOptions& options, RunReporter& reporter,
                             disk::FileSystem& fileSystem, bool threaded)
    : ProtectionRun(RuleSet(options), reporter, fileSystem, threaded) {}

ProtectionRun::ProtectionRun(RuleSet rules, RunReporter& reporter, disk::FileSystem& fileSystem, bool threaded)
    : m_rules(std::move(rules)), m_options(m_rules.defaults()), m_reporter(reporter), m_fs(fileSystem),
      m_threaded(threaded), m_placement(m_options, fileSystem), m_writer(fileSystem), m_processed(fileSystem) {}

ProtectionRun::~ProtectionRun() = default;

ProtectionRun::RuleEngine& ProtectionRun::engineFor(const PageRule& rule) {
    if (m_engines.size() < m_rules.rules().size())
        m_engines.resize(m_rules.rules().size());
    auto& made = m_engines[rule.index];
    if (made == nullptr)
        made = std::make_unique<RuleEngine>(rule.options);
    return *made;
}

RunSummary ProtectionRun::ProtectFiles(const std::vector<SelectionEntry>& selection, std::stop_token stop) {
    RunSummary summary;
    m_stop = std::move(stop);
    m_list = FileList{};
    m_otherFiles.clear();
    m_readable.clear();
    m_copiedWithText.clear();
    m_found = 0;
    m_skippedFolders = 0;
    m_reporter.runStarted();
    if (const auto refusal = validate(selection)) {
        summary.outcome = RunSummary::Outcome::Refused;
        m_reporter.runRefused(*refusal);
        return summary;
    }
    deriveMeanwhile(selection);
    m_reporter.scanning();
    excludeCopyTarget();
    buildList(selection);
    countPages();
    if (const auto refusal = checkCopyTargets(selection)) {
        summary.outcome = RunSummary::Outcome::Refused;
        m_reporter.runRefused(*refusal);
        return summary;
    }
    // The target's own pages are this tool's outputs; an original there is named, not passed over in silence.
    std::erase_if(m_leftOut, [this](const FileEntry& page) {
        std::string bytes;
        return !m_fs.readFile(page.fullPath(), bytes) && CarriesProtection(bytes);
    });
    m_found += m_leftOut.size();
    m_reporter.pagesFound(m_found);
    m_incremental.reset();
    m_keptUnchanged.clear();
    if (m_incrementalWanted && m_options.storageMode == engine::StorageMode::CopyToFolder) {
        m_incremental = std::make_unique<IncrementalCopy>(m_fs, m_rules, m_options.targetFolder);
        m_incremental->load();
    }
    if (m_dryRun) {
        planPages(selection);
        summary.found = m_found;
        summary.skipped = m_skippedFolders;
        m_reporter.runFinished(summary);
        return summary;
    }
    m_originals.reset();
    if (keepsOriginalsApart())
        m_originals = std::make_unique<OriginalsPlace>(selection, m_options.backupFolder);
    if (const auto refusal = makeKey(selection)) {
        summary.outcome = RunSummary::Outcome::Refused;
        m_reporter.runRefused(*refusal);
        return summary;
    }

    m_processed.clear();
    m_placement.reset();
    m_canonicalScopes.clear();
    // What the run holds open is sized to what it may hold (a shell's "ulimit -n 64" included).
    const std::size_t openFiles = disk::RaiseOpenFileLimit();
    if (m_threaded && m_rules.anyEncrypts())
        m_sealer = std::make_unique<SealingThread>();
    m_committer = std::make_unique<PageCommitter>(m_fs, m_reporter, m_threaded, m_stop,
                                                  disk::PagesInFlight(openFiles, disk::OpenFilesInUse()));
    m_policies = HeadersFile();
    m_committer->onReported([this](const CommitItem& item) {
        if (m_incremental != nullptr)
            noteInManifest(item);
        notePolicy(item);
    });
    if (m_incremental != nullptr)
        noteUnchanged();
    m_reporter.progressChanged(0, m_found);
    reportLeftOutPages();
    std::size_t next = 0;
    for (; next < m_list.slots.size() && !m_stop.stop_requested(); ++next) {
        const FileEntry& entry = m_list.slots[next];
        if (entry.Name.empty() || (m_incremental != nullptr && keptUnchanged(next)))
            continue;
        // A file named on its own that is not a page (a style sheet, an image) is never read, let alone rewritten.
        if (entry.Folder.empty() && !IsPickedPageName(baseName(entry.Name))) {
            submitProblem(CommitItem::Kind::Skipped, entry, {PageProblem::Step::Read, RunError::NotAPage, entry.Name});
            continue;
        }
        // A page picked on its own may reach frame pages beside it; a scanned page those of its picked folder.
        const std::string scope = entry.Folder.empty() ? disk::getFilePathOnly(entry.Name) : entry.Folder;
        ProtectFile(entry, scope);
    }
    leaveUnreached(next);
    copyOtherFiles();
    flushUnchanged();
    m_committer->finish(summary);
    m_committer.reset();
    m_sealer.reset();      // seals what a page given up left behind: nothing uses the run's keys after this
    m_earlierKeys.reset(); // and its copy of the password with it
    summary.stopped = summary.notReached > 0 || summary.otherFilesNotCopied > 0;
    if (m_incremental != nullptr)
        finishIncremental(selection, summary);
    summary.skipped += m_skippedFolders;
    summary.found = m_found;
    writePolicies();
    reportReadable(summary);
    m_reporter.runFinished(summary);
    return summary;
}

// Opened once for the whole run: every page shares the site's content key, so one unlock in a browser opens them
// all. The password is then wiped wherever the run can reach it, but for one copy that tries the unlock pages of
// earlier runs as they are met (wiped at the run's end): looking at every page for them first cost a read of the
// whole site before the first page.
std::optional<RunRefusal> ProtectionRun::makeKey(const std::vector<SelectionEntry>& selection) {
    m_sealer.reset();
    m_encryptor.reset();
    m_levelEncryptors.clear();
    m_keySalts.clear();
    m_earlierKeys.reset();
    if (!m_rules.anyEncrypts())
        return std::nullopt;
    unlock::EncryptionSettings settings = encryptionSettings(m_options);
    std::optional<RunRefusal> refusal = readUnlockTemplate(settings);
    if (!refusal) {
        (void)crypto::disableCoreDumps(); // the process holds the key from here on
        m_earlierKeys = std::make_unique<EarlierKeys>(m_fs, m_options.password);
        refusal = makeEncryptor(selection, settings);
        if (refusal)
            m_earlierKeys.reset();
    }
    m_derived = {};
    crypto::wipe(settings.password);
    m_rules.forgetEncryptionPasswords();
    wipeSecrets();
    return refusal;
}

// The derivation takes as long as scanning a site of thousands of pages: begun first, it is done by the time the
// key file is opened (threaded runs that encrypt, with a key file; what goes wrong is found again when it is opened).
void ProtectionRun::deriveMeanwhile(const std::vector<SelectionEntry>& selection) {
    m_derived = {};
    std::string path;
    if (!m_threaded || m_dryRun || !m_rules.anyEncrypts() || placeKeyFile(selection, path))
        return;
    m_derived = std::async(std::launch::async, [this, path, secret = m_options.password]() mutable {
        std::optional<crypto::SiteKey> derived;
        crypto::SiteKeyFile file;
        bool exists = false;
        if (!SiteKeyStore(m_fs).read(path, file, exists) && exists) {
            derived.emplace();
            if (crypto::SiteKey::derive(secret, file.salt(), file.iterations(), *derived))
                derived.reset();
        }
        crypto::wipe(secret);
        return derived;
    });
}

// The site key file's place, refused where the user publishes: inside a picked folder of a run in place, or inside
// the target of a copy.
std::optional<RunRefusal> ProtectionRun::placeKeyFile(const std::vector<SelectionEntry>& selection,
                                                      std::string& path) const {
    using Reason = RunRefusal::Reason;
    path =
        m_options.keyFile.empty() ? SiteKeyStore::defaultPath(selection) : OriginalsPlace::absolute(m_options.keyFile);
    if (path.empty())
        return RunRefusal{Reason::NoPlaceForKeyFile, selection.front().path, {}};
    if (m_options.storageMode == engine::StorageMode::CopyToFolder) {
        const std::string target = OriginalsPlace::absolute(m_options.targetFolder);
        if (OriginalsPlace::isWithin(path, target))
            return RunRefusal{Reason::KeyFileInside, path, m_options.targetFolder};
        return std::nullopt;
    }
    for (const auto& picked : selection) {
        if (picked.isFolder && OriginalsPlace::isWithin(path, OriginalsPlace::absolute(picked.path)))
            return RunRefusal{Reason::KeyFileInside, path, picked.path};
    }
    return std::nullopt;
}

// Beside them, in the folders the user publishes, the originals of encrypted pages would stay readable.
bool ProtectionRun::keepsOriginalsApart() const {
    return m_rules.anyEncrypts() && m_options.storageMode == engine::StorageMode::Overwrite && m_options.makeBackups;
}

void ProtectionRun::wipeSecrets() {
    for (std::u16string* secret : m_secrets)
        crypto::wipe(*secret);
}

// A written page's policy goes into the file of its site: the copy's target, the picked folder it was found in, or
// the folder of a page picked on its own.
void ProtectionRun::notePolicy(const CommitItem& item) {
    if (item.kind != CommitItem::Kind::Write || item.policy.empty())
        return;
    const std::string& output = item.outputPath;
    std::string root;
    if (m_options.storageMode == engine::StorageMode::CopyToFolder)
        root = OutputPlacement::CollapseSeparators(m_options.targetFolder);
    else if (!item.source.Folder.empty())
        root = OutputPlacement::CollapseSeparators(item.source.Folder);
    while (root.size() > 1 && root.back() == disk::kPathSeparator)
        root.pop_back();
    if (root.empty() || !output.starts_with(root + disk::kPathSeparator))
        root = disk::getFilePathOnly(output);
    while (root.size() > 1 && root.back() == disk::kPathSeparator)
        root.pop_back();
    const std::lock_guard lock(m_policiesMutex);
    m_policies.add(root, std::string_view(output).substr(std::min(output.size(), root.size() + 1)), item.policy);
}

void ProtectionRun::writePolicies() {
    const std::lock_guard lock(m_policiesMutex);
    if (m_policies.empty())
        return;
    for (const auto& outcome : m_policies.write(m_fs))
        m_reporter.policyFile(outcome.path, outcome.besideOwn, outcome.error);
}

// What the user publishes must not hold the pages' text without a word: the files known to hold it are named.
void ProtectionRun::reportReadable(const RunSummary& summary) {
    const bool copied = m_options.storageMode == engine::StorageMode::CopyToFolder;
    std::vector<std::string> paths;
    const auto addExisting = [this, &paths](const std::string& path) {
        disk::FileStatus status;
        if (!m_fs.status(path, status))
            paths.push_back(path);
    };
    if (copied) {
        for (const auto& path : m_copiedWithText)
            addExisting(path);
    } else {
        for (const auto& entry : m_readable)
            addExisting(entry.fullPath());
    }
    if (!paths.empty())
        m_reporter.pageTextFiles(paths, copied);
    if (m_rules.anyEncrypts() && summary.written > 0)
        m_reporter.readableByDesign(
            {!m_options.replaceTitle, m_options.insertNotice, summary.otherFilesCopied, copied});
}

std::optional<RunRefusal> ProtectionRun::validate(const std::vector<SelectionEntry>& selection) const {
    using Reason = RunRefusal::Reason;
    if (selection.empty())
        return RunRefusal{Reason::NothingPicked, {}, {}};
    for (const auto& rule : m_rules.rules()) {
        if (rule.leavesAlone())
            continue;
        if (auto refusal = checkPageChoices(rule.options))
            return refusal;
    }
    if (m_options.insertNotice && !IsNoticeSafeText(m_options.noticeText))
        return RunRefusal{Reason::NoticeEndsComment, {}, {}};
    // Beside them, the originals would stay readable in the folder the encrypted pages are published from.
    if (m_rules.anyEncrypts() && m_options.storageMode == engine::StorageMode::CreateProtected)
        return RunRefusal{Reason::EncryptedBeside, {}, {}};
    if (m_rules.anyEncrypts() && !m_options.allowWeakPassword) {
        const auto strength = crypto::PasswordStrength::of(m_options.password);
        if (strength.level() == crypto::PasswordStrength::Level::TooWeak)
            return RunRefusal{Reason::PasswordTooWeak, std::to_string(strength.wholeBits()), {}};
    }
    if (auto refusal = checkTarget())
        return refusal;
    if (keepsOriginalsApart())
        return checkOriginals(selection);
    return std::nullopt;
}

std::optional<RunRefusal> ProtectionRun::checkTarget() const {
    if (m_options.storageMode != engine::StorageMode::CopyToFolder)
        return std::nullopt;
    // An empty target would put every page below the root of the file system.
    if (isBlankText(m_options.targetFolder))
        return RunRefusal{RunRefusal::Reason::TargetFolderMissing, {}, {}};
    disk::FileStatus status;
    const auto error = m_fs.status(m_options.targetFolder, status);
    if ((!error && !status.isFolder) || error == std::errc::not_a_directory)
        return RunRefusal{RunRefusal::Reason::TargetNotAFolder, m_options.targetFolder, {}};
    return std::nullopt;
}

// The originals of an encrypted run go outside every picked folder, since those are what the user publishes.
std::optional<RunRefusal> ProtectionRun::checkOriginals(const std::vector<SelectionEntry>& selection) const {
    using Reason = RunRefusal::Reason;
    const OriginalsPlace place(selection, m_options.backupFolder);
    std::vector<std::string> folders; // each place an original may go, checked once
    for (const auto& picked : selection) {
        std::string folder;
        const std::string page = picked.isFolder ? JoinPath(picked.path, "page") : picked.path;
        if (place.originalOf(page, folder).empty())
            return RunRefusal{
                Reason::NoPlaceForOriginals, picked.isFolder ? picked.path : disk::getFilePathOnly(picked.path), {}};
        if (std::find(folders.begin(), folders.end(), folder) == folders.end())
            folders.push_back(folder);
    }
    for (const auto& folder : folders) {
        disk::FileStatus status;
        const auto error = m_fs.status(folder, status);
        if ((!error && !status.isFolder) || error == std::errc::not_a_directory)
            return RunRefusal{Reason::BackupFolderNotAFolder, folder, {}};
        std::string canonical;
        if (m_fs.canonicalPath(folder, canonical))
            canonical = OriginalsPlace::absolute(folder);
        for (const auto& picked : selection) {
            std::string pickedCanonical;
            if (!picked.isFolder || m_fs.canonicalPath(picked.path, pickedCanonical))
                continue;
            if (OriginalsPlace::isWithin(canonical, OriginalsPlace::absolute(pickedCanonical)) ||
                OriginalsPlace::isWithin(OriginalsPlace::absolute(folder), OriginalsPlace::absolute(picked.path)))
                return RunRefusal{Reason::BackupFolderInside, folder, picked.path};
        }
    }
    return std::nullopt;
}

std::optional<RunRefusal> ProtectionRun::checkPageChoices(const engine::ProtectionOptions& options) {
    using Reason = RunRefusal::Reason;
    if (options.passwordProtect && isBlankText(options.password))
        return RunRefusal{Reason::PasswordMissing, {}, {}};
    if (options.encrypt && (!options.passwordProtect || isBlankText(options.password)))
        return RunRefusal{Reason::PasswordMissing, {}, {}};
    // An encrypted run's password never enters a script.
    if (options.passwordProtect && !options.encrypt && !IsScriptSafeText(options.password))
        return RunRefusal{Reason::PasswordNotScriptSafe, {}, {}};
    if (options.script(engine::kScriptRightClick) && options.showRightClickWarning &&
        !IsScriptSafeText(options.rightClickWarning))
        return RunRefusal{Reason::WarningNotScriptSafe, {}, {}};
    if (options.script(engine::kScriptCopyAttribution) && !IsScriptSafeText(options.copyAttribution))
        return RunRefusal{Reason::AttributionNotScriptSafe, {}, {}};
    if (options.insertNotice && !IsNoticeSafeText(options.noticeText))
        return RunRefusal{Reason::NoticeEndsComment, {}, {}};
    return std::nullopt;
}

// The target as the system will reach it once its folders are made (so "site/new/.." is site), never scanned as a
// source: it holds this run's outputs.
void ProtectionRun::excludeCopyTarget() {
    m_excludedFolder.reset();
    m_leftOut.clear();
    if (m_options.storageMode != engine::StorageMode::CopyToFolder)
        return;
    std::string resolved;
    disk::FileStatus target;
    if (!m_fs.canonicalPath(m_options.targetFolder, resolved) && !m_fs.status(resolved, target) && target.isFolder)
        m_excludedFolder = target.identity;
}

void ProtectionRun::reportLeftOutPages() {
    for (const auto& page : m_leftOut)
        submitProblem(CommitItem::Kind::Skipped, page,
                      {PageProblem::Step::Read, RunError::InTheCopyTarget, m_options.targetFolder});
}

void ProtectionRun::buildList(const std::vector<SelectionEntry>& selection) {
    for (const auto& picked : selection) {
        if (picked.isFolder) {
            FolderScan scan(m_fs, [this](const std::string& folder, std::error_code error) {
                ++m_skippedFolders;
                m_reporter.folderSkipped(folder, {PageProblem::Step::Read, error, folder});
            });
            // The target of a copy inside a picked folder holds this run's outputs, not its pages.
            if (m_excludedFolder)
                scan.exclude(*m_excludedFolder, &m_leftOut);

            if (m_rules.isExcluded(picked.path, true))
                continue;
            scan.leaveOut(
                [this](const std::string& path, bool isFolder) { return m_rules.isExcluded(path, isFolder); });
            if (m_options.storageMode == engine::StorageMode::CopyToFolder && m_options.copyOtherFiles)
                scan.collectOthers(&m_otherFiles);
            if (m_rules.anyEncrypts() && m_options.storageMode == engine::StorageMode::Overwrite)
                scan.collectReadable(&m_readable);
            std::string base;
            scan.ScanFolder(picked.path, m_list, base);
        } else if (!m_rules.isExcluded(picked.path, false)) {
            m_list.slots[static_cast<std::size_t>(NextFileIndex(m_list))] = {picked.path, {}};
        }
    }
}

void ProtectionRun::countPages() {
    // A page picked twice (on its own and inside a picked folder, say) is one page.
    ProcessedFiles distinct(m_fs);
    m_pickedPages.clear();
    m_known = Known{};
    if (m_incrementalWanted)
        m_known.size(m_list.slots.size(), m_otherFiles.size());
    for (std::size_t slot = 0; slot < m_list.slots.size(); ++slot) {
        const FileEntry& entry = m_list.slots[slot];
        if (entry.Name.empty())
            continue;
        const std::string full = entry.fullPath();
        disk::FileStatus status;
        const bool exists = !m_fs.status(full, status);
        if (exists) {
            m_pickedPages.insert(status.identity);
            if (m_incrementalWanted)
                m_known.pages[slot].source = status;
        }
        if (exists ? distinct.add(full, status.identity) : distinct.add(full))
            ++m_found;
    }
    for (std::size_t i = 0; i < m_otherFiles.size(); ++i) {
        disk::FileStatus status;
        if (!m_fs.status(m_otherFiles[i].fullPath(), status)) {
            m_pickedPages.insert(status.identity);
            if (m_incrementalWanted)
                m_known.others[i].source = status;
        }
    }
}

std::optional<RunRefusal> ProtectionRun::checkCopyTargets(const std::vector<SelectionEntry>& selection) {
    if (m_options.storageMode != engine::StorageMode::CopyToFolder)
        return std::nullopt;
    // A target that did not exist before the run holds no file that could be a picked page.
    if (!m_excludedFolder)
        return checkClashes();
    using Reason = RunRefusal::Reason;
    if (m_excludedFolder) {
        for (const auto& picked : selection) {
            disk::FileStatus status;
            if (picked.isFolder && !m_fs.status(picked.path, status) && status.identity == *m_excludedFolder)
                return RunRefusal{Reason::TargetIsAPickedFolder, m_options.targetFolder, {}};
        }
    }
    for (std::size_t slot = 0; slot < m_list.slots.size(); ++slot) {
        const FileEntry& entry = m_list.slots[slot];
        if (entry.Name.empty())
            continue;
        std::string output = m_placement.outputPathOf(entry);
        disk::FileStatus status;
        const bool exists = !m_fs.status(output, status);
        if (exists && m_pickedPages.count(status.identity) != 0)
            return RunRefusal{Reason::OutputIsAPickedPage, entry.fullPath(), output};
        if (m_incrementalWanted) {
            m_known.pages[slot].output = std::move(output);
            m_known.pages[slot].outputStatus = exists ? std::optional(status) : std::nullopt;
            m_known.pages[slot].outputLooked = true;
        }
    }
    return checkClashes();
}

// All picked folders pour into one target: two files of theirs with one path below them would meet there, and the
// second written would replace the first.
std::optional<RunRefusal> ProtectionRun::checkClashes() {
    std::map<std::string, std::pair<std::string, std::optional<disk::FileIdentity>>> sources; // by output
    const auto check = [&](const FileEntry& entry) -> std::optional<RunRefusal> {
        const std::string source = entry.fullPath();
        disk::FileStatus status;
        std::optional<disk::FileIdentity> identity;
        if (!m_fs.status(source, status))
            identity = status.identity;
        const std::string output = OriginalsPlace::absolute(m_placement.outputPathOf(entry));
        const auto [known, added] = sources.try_emplace(output, source, identity);
        if (added || known->second.first == source || (identity && known->second.second == identity))
            return std::nullopt; // one file, picked twice
        return RunRefusal{RunRefusal::Reason::OutputsClash, known->second.first, source, output};
    };
    for (const auto& entry : m_list.slots) {
        if (entry.Name.empty())
            continue;
        if (auto refusal = check(entry))
            return refusal;
    }
    for (const auto& other : m_otherFiles) {
        if (auto refusal = check(other))
            return refusal;
    }
    return std::nullopt;
}

bool ProtectionRun::isPickedPage(const std::string& path) {
    disk::FileStatus status;
    std::error_code error = m_fs.status(path, status);
    if (error == std::errc::no_such_file_or_directory) {
        // A folder still to be made may stand before a "..": the path then reaches what the system will reach.
        std::string resolved;
        error = m_fs.canonicalPath(path, resolved);
        if (!error)
            error = m_fs.status(resolved, status);
    }
    return !error && m_pickedPages.count(status.identity) != 0;
}

bool ProtectionRun::writesBesidePages() const {
    return m_options.storageMode != engine::StorageMode::CopyToFolder;
}

// The pages of the list from index from on, which a stopped run does not touch, are reported once each; a page it
// handled already (picked twice, or a frame page of an earlier page) is not among them.
void ProtectionRun::leaveUnreached(std::size_t from) {
    if (from >= m_list.slots.size())
        return;
    // Everything on its way is written first, so that a page replaced in place is known by its new identity.
    m_committer->flush();
    noteWritten();
    for (std::size_t i = from; i < m_list.slots.size(); ++i) {
        const FileEntry& entry = m_list.slots[i];
        // A page an incremental copy found as the last run left it needs nothing done: it is told as such.
        if (entry.Name.empty() || (m_incremental != nullptr && keptUnchanged(i)))
            continue;
        const std::string full = entry.fullPath();
        disk::FileStatus status;
        if (m_fs.status(full, status) ? m_processed.add(full) : m_processed.add(full, status.identity))
            submitProblem(CommitItem::Kind::NotReached, entry, {});
    }
}

// The site's images, style sheets and scripts go into the copy as they are, after its pages, so that the copy is a
// site that can be published; a file of the run's own never goes over.
void ProtectionRun::copyOtherFiles() {
    for (std::size_t i = 0; i < m_otherFiles.size(); ++i) {
        const FileEntry& other = m_otherFiles[i];
        if (m_incremental != nullptr && m_known.others[i].state == Known::State::Unchanged) {
            tellUnchanged(other, nullptr, outputOf(m_known.others[i], other));
            continue;
        }
        CommitItem item;
        item.source = other;
        item.entry = other;
        item.found = m_found;
        if (m_stop.stop_requested()) {
            // Placed nowhere: finding an output's place may make its folders.
            item.kind = CommitItem::Kind::CopyOther;
            submit(std::move(item));
            continue;
        }
        item.outputPath = m_placement.GetOutputPath(item.entry);
        noteCopy(item);
        if (isPickedPage(item.outputPath)) {
            item.kind = CommitItem::Kind::OtherFailed;
            item.problem = {PageProblem::Step::Write, RunError::OutputIsAPickedPage, item.outputPath};
        } else {
            item.kind = CommitItem::Kind::CopyOther;
            if (CarriesPageText(baseName(other.Name)))
                m_copiedWithText.push_back(item.outputPath);
        }
        submit(std::move(item));
    }
}

void ProtectionRun::noteWritten() {
    for (const auto& [identity, path] : m_committer->takeWritten())
        m_processed.addWritten(identity, path);
}

// Frame pages are followed depth first on a worklist of their own, not by recursion: a chain of framesets of any
// depth needs no more stack than one page.
void ProtectionRun::ProtectFile(const FileEntry& entry, const std::string& scope) {
    std::vector<PageJob> stack;
    stack.emplace_back(entry, scope);
    // A page's outcome counts for the frameset below it: a frame page that failed makes it an ordinary page.
    const auto pop = [&stack](bool done) {
        stack.pop_back();
        if (!done && !stack.empty())
            stack.back().frameFailed = true;
    };
    while (!stack.empty()) {
        PageJob& job = stack.back();
        try {
            switch (job.state) {
            case PageJob::State::Start:
                if (!startJob(stack))
                    pop(false);
                else if (stack.back().state == PageJob::State::Start)
                    pop(true); // handled before, or left as it is
                break;
            case PageJob::State::Frames:
                nextFrame(stack);
                break;
            case PageJob::State::Finish: {
                const bool done = finishJob(job);
                if (job.state == PageJob::State::Finish)
                    pop(done); // else it changed meanwhile and its frames are followed again
                break;
            }
            }
        } catch (const std::bad_alloc&) {
            job.lock.reset();
            submitProblem(CommitItem::Kind::GivenUp, job.entry,
                          {PageProblem::Step::Read, std::make_error_code(std::errc::not_enough_memory), job.full});
            pop(false);
        }
    }
}

bool ProtectionRun::startJob(std::vector<PageJob>& stack) {
    PageJob& job = stack.back();
    job.rule = &m_rules.ruleFor(job.full);
    if (m_incremental != nullptr && keepUnchanged(job, stack.size() > 1))
        return true;
    if (job.rule->leavesAlone()) {
        leaveAlone(job, stack.size() > 1);
        return true;
    }
    // Opened and locked first: the open file's identity tells whether the page was handled before.
    std::unique_ptr<disk::LockedFile> file;
    const std::error_code error = openLocked(job, file);
    if (error ? !m_processed.add(job.full) : !m_processed.add(job.full, file->status().identity))
        return true; // handled (or reported) before in this run: no message, no listing
    // A frame page that is not on the list is one more page of the run.
    if (stack.size() > 1 && !isPickedPage(job.full))
        ++m_found;
    if (!readLocked(job, error, std::move(file)))
        return false;
    if (const auto settled = settleEarlier(job))
        return *settled;
    job.frames = engineFor(*job.rule).rewriter.frames(job.bytes, job.encoding);
    if (job.frames.addresses.empty()) {
        job.state = PageJob::State::Finish;
    } else {
        // Its lock goes while the frames are followed (they may take long, and this run takes only one lock at a
        // time to wait for); the page is read again before it is written.
        job.lock.reset();
        job.state = PageJob::State::Frames;
    }
    return true;
}

void ProtectionRun::nextFrame(std::vector<PageJob>& stack) {
    PageJob& job = stack.back();
    if (job.frameFailed || job.nextFrame == job.frames.addresses.size()) {
        job.state = PageJob::State::Finish;
        return;
    }
    const std::u16string& address = job.frames.addresses[job.nextFrame++];
    if (auto page = framePage(job, address)) {
        std::string scope = job.scope;
        stack.emplace_back(std::move(*page), std::move(scope)); // job is not to be touched after this
    }
}

bool ProtectionRun::finishJob(PageJob& job) {
    if (job.lock == nullptr) {
        // Read again under its lock: another run may have changed it while its frames were followed.
        const bool fromBackup = !job.consumedBackup.empty();
        std::string before = fromBackup ? std::move(job.pageBytes) : std::move(job.bytes);
        std::string original = fromBackup ? std::move(job.bytes) : std::string();
        const charset::PageEncoding originalEncoding = job.encoding;
        if (!lockAndRead(job))
            return false;
        if (job.bytes == before && fromBackup) {
            job.pageBytes = std::move(job.bytes);
            job.bytes = std::move(original);
            job.encoding = originalEncoding;
        } else if (job.bytes != before) {
            job.consumedBackup.clear();
            job.hidden = false;
            if (++job.rereads > kMaxRereads) {
                job.lock.reset();
                submitProblem(CommitItem::Kind::GivenUp, job.entry,
                              {PageProblem::Step::Read, std::make_error_code(std::errc::resource_unavailable_try_again),
                               job.full});
                return false;
            }
            if (const auto settled = settleEarlier(job))
                return *settled;
            job.lock.reset();
            job.frames = engineFor(*job.rule).rewriter.frames(job.bytes, job.encoding);
            job.nextFrame = 0;
            job.frameFailed = false;
            job.state = PageJob::State::Frames;
            return true; // not finished yet: the caller sees the state
        }
    }
    const bool frameset = job.frames.frameset && job.frames.complete && !job.frameFailed;
    const bool strict = job.rule->options.strictCsp;
    ScriptPolicy policy;
    if (frameset) {
        std::string unchanged = job.bytes; // a frameset stays exactly as it is (inside its unlock page, encrypted)
        if (strict && !pagePolicy(job, unchanged, policy))
            return false;
        if (job.rule->options.encrypt && !sealInUnlockPage(job, unchanged, strict ? &policy : nullptr))
            return false;
        return submitWrite(job, std::move(unchanged), true, strict ? policy.text() : std::string());
    }
    std::string out;
    if (job.hidden) {
        out = job.bytes; // protected already, by an earlier run's choices
        if (strict && !pagePolicy(job, out, policy))
            return false;
    } else if (const auto error = engineFor(*job.rule).rewriter.rewrite(job.bytes, job.encoding, out)) {
        job.lock.reset();
        submitProblem(CommitItem::Kind::GivenUp, job.entry, {PageProblem::Step::Read, error, job.full});
        return false;
    } else if (strict) {
        policy = engineFor(*job.rule).rewriter.policy();
    }
    // An encrypted page hides all of it, whatever the mode left as it stands.
    if (!job.rule->options.encrypt)
        job.notes = engineFor(*job.rule).rewriter.notes();
    else if (!sealInUnlockPage(job, out, strict ? &policy : nullptr))
        return false;
    return submitWrite(job, std::move(out), false, strict ? policy.text() : std::string());
}

// The policy of a page written as it stands: what its own scripts need.
bool ProtectionRun::pagePolicy(PageJob& job, std::string_view bytes, ScriptPolicy& policy) {
    if (const auto error = PageRewriter::policyOf(bytes, job.encoding, policy)) {
        job.lock.reset();
        submitProblem(CommitItem::Kind::GivenUp, job.entry, {PageProblem::Step::Read, error, job.full});
        return false;
    }
    return true;
}

// The page exactly as it would otherwise be written, sealed inside its unlock page. Under a strict policy the
// unlock page's policy allows its own script and every script of the page it opens in its place (the document
// keeps the unlock page's policy when the page replaces it).
bool ProtectionRun::sealInUnlockPage(PageJob& job, std::string& bytes, ScriptPolicy* policy) {
    const std::u16string title = m_options.replaceTitle ? unlock::titleMarkup(m_options.unlockTitle)
                                                        : unlock::pageTitle(job.bytes, job.encoding);
    const std::u16string notice = m_options.insertNotice ? m_options.noticeText : std::u16string();
    std::string meta;
    if (policy != nullptr) {
        policy->addUnlockScript();
        meta = policy->metaTag();
    }
    std::string unlockPage;
    unlock::PageSource source{job.bytes, sitePathOf(job.entry), {}};
    if (const auto error = sharedScriptFor(job, source.sitePath, source.scriptAddress)) {
        job.lock.reset();
        submitProblem(CommitItem::Kind::GivenUp, job.entry, {PageProblem::Step::Write, error, job.full});
        return false;
    }
    const unlock::PageEncryptor& encryptor = encryptorFor(*job.rule);
    if (m_sealer != nullptr) {
        // The page and its original go with the work: the reader goes on to the next page at once.
        job.sealing =
            m_sealer->seal([&encryptor, shown = std::move(bytes), original = job.bytes, encoding = job.encoding, title,
                            notice, meta = std::move(meta), source = std::move(source)]() mutable {
                SealResult sealed;
                source.original = original;
                try {
                    sealed.error = encryptor.encrypt(shown, encoding, title, notice, sealed.bytes, meta, source);
                } catch (const std::bad_alloc&) {
                    sealed.error = std::make_error_code(std::errc::not_enough_memory);
                }
                return sealed;
            });
        bytes.clear();
        return true;
    }
    if (const auto error = encryptor.encrypt(bytes, job.encoding, title, notice, unlockPage, meta, source)) {
        job.lock.reset();
        submitProblem(CommitItem::Kind::GivenUp, job.entry, {PageProblem::Step::Read, error, job.full});
        return false;
    }
    bytes = std::move(unlockPage);
    return true;
}

// The unlock pages of a site load one script, which the run writes where the site's root is (the copy's target,
// the picked folder, or the folder of a page picked on its own) before the site's first unlock page: pages do not
// carry it each, and a browser loads it once for all. A page whose output does not end in its site path (none
// does today) carries the script itself.
std::error_code ProtectionRun::sharedScriptFor(const PageJob& job, std::string_view sitePath, std::string& address) {
    address.clear();
    const std::string output = m_placement.outputPathOf(job.entry);
    if (sitePath.empty() || !output.ends_with(sitePath) || output.size() == sitePath.size() ||
        output[output.size() - sitePath.size() - 1] != disk::kPathSeparator)
        return {};
    const std::string script = output.substr(0, output.size() - sitePath.size()) + unlock::sharedScriptName();
    {
        const std::lock_guard lock(m_scriptsMutex);
        const auto [written, first] = m_sharedScripts.try_emplace(script);
        if (first)
            written->second = writeSharedScript(script);
        if (written->second)
            return written->second;
    }
    for (const char c : sitePath) {
        if (c == disk::kPathSeparator)
            address += "../";
    }
    address += unlock::sharedScriptName();
    return {};
}

std::error_code ProtectionRun::writeSharedScript(const std::string& path) {
    const std::string_view script = unlock::unlockScript();
    std::string bytes;
    if (!m_fs.readFile(path, bytes) && bytes == script)
        return {};                    // written by an earlier run: its name is its content
    MakeFolders(m_fs, path, nullptr); // a copy's target is made with its first page, which comes after
    disk::FileIdentity written;
    if (const auto error = disk::PageWriter(m_fs).write(path, script, written))
        return error;
    m_reporter.sharedScript(path);
    return {};
}

std::error_code ProtectionRun::openLocked(const PageJob& job, std::unique_ptr<disk::LockedFile>& file) {
    noteWritten();
    // A folder the run only reads (copy mode's sources) is never cleaned: what it holds is not the run's to remove.
    if (writesBesidePages())
        m_committer->sweepFolderOf(job.full);
    std::error_code error = m_fs.openLocked(job.full, std::chrono::milliseconds(0), file);
    if (error == std::errc::resource_unavailable_try_again) {
        // Held by another program, or by this run in a group still on its way to the disk: every lock of this run
        // goes first, so that two runs never wait for each other, then the lock is waited for, within bounds.
        m_committer->flush();
        noteWritten();
        error = OpenPageWaiting(m_fs, m_reporter, job.entry, job.full, m_lockWait, file);
    }
    return error;
}

bool ProtectionRun::lockAndRead(PageJob& job) {
    std::unique_ptr<disk::LockedFile> file;
    const std::error_code error = openLocked(job, file);
    return readLocked(job, error, std::move(file));
}

bool ProtectionRun::readLocked(PageJob& job, std::error_code error, std::unique_ptr<disk::LockedFile> file) {
    if (!error)
        error = file->read(job.bytes);
    if (error) {
        const auto kind =
            error == disk::DiskError::NotARegularFile ? CommitItem::Kind::Skipped : CommitItem::Kind::GivenUp;
        submitProblem(kind, job.entry, {PageProblem::Step::Read, error, job.full});
        return false;
    }
    job.status = file->status();
    job.lock = std::move(file);
    job.encoding = PageRewriter::encodingOf(job.bytes);
    return true;
}

ProtectionRun::Earlier ProtectionRun::earlierProtection(PageJob& job) {
    const bool encrypts = job.rule->options.encrypt;
    if (unlock::PageEncryptor::isUnlockPage(job.bytes)) {
        if (!encrypts)
            return Earlier::Protected;
        const crypto::SiteKey& key = encryptorFor(*job.rule).key();
        // A page of another of the site's keys (another level) is not this rule's, whatever the password opens.
        unlock::SealedPage sealed;
        if (unlock::PageEncryptor::readSealed(job.bytes, sealed, false) && sealed.salt != key.salt() &&
            std::find(m_keySalts.begin(), m_keySalts.end(), sealed.salt) != m_keySalts.end())
            return Earlier::OtherKey;
        const auto verdict = m_earlierKeys->verdict(job.bytes, key);
        return verdict == EarlierKeys::Verdict::Opens ? Earlier::Protected : Earlier::OtherKey;
    }
    if (!PageRewriter::isProtected(job.bytes, job.encoding))
        return Earlier::None;
    if (!encrypts)
        return Earlier::Protected;
    // Only hidden, its words a second away: an encrypted run encrypts it.
    takeOriginalFromBackup(job);
    job.hidden = job.consumedBackup.empty();
    return Earlier::None;
}

// A page protected before is reported and its lock let go; nullopt for a page to protect now.
std::optional<bool> ProtectionRun::settleEarlier(PageJob& job) {
    switch (earlierProtection(job)) {
    case Earlier::None:
        return std::nullopt;
    case Earlier::Protected:
        job.lock.reset();
        submitProblem(CommitItem::Kind::AlreadyProtected, job.entry, {});
        return true;
    case Earlier::OtherKey:
        job.lock.reset();
        submitProblem(CommitItem::Kind::Skipped, job.entry, {PageProblem::Step::Read, RunError::OtherKey, job.full});
        return true;
    }
    return std::nullopt;
}

// A hidden page whose original stands beside it as PAGE.bak is encrypted from that original, with the choices of
// this run; the original then goes where this run keeps originals. Without one, the hidden page is encrypted as it
// stands (it shows what the original showed).
void ProtectionRun::takeOriginalFromBackup(PageJob& job) {
    const std::string backup = job.full + ".bak";
    std::string bytes;
    disk::FileStatus status;
    if (m_fs.status(backup, status) || !status.isRegular || m_fs.readFile(backup, bytes))
        return;
    const charset::PageEncoding encoding = PageRewriter::encodingOf(bytes);
    if (PageRewriter::isProtected(bytes, encoding) || unlock::PageEncryptor::isUnlockPage(bytes))
        return;
    job.pageBytes = std::move(job.bytes);
    job.bytes = std::move(bytes);
    job.encoding = encoding;
    job.consumedBackup = backup;
    job.backupStatus = status;
}

std::string ProtectionRun::backupPathFor(const PageJob& job, const std::string& output, std::string& originalsFolder) {
    if (m_originals == nullptr)
        return m_placement.backupPathOf(output);
    std::string path = m_originals->originalOf(job.full, originalsFolder);
    if (!path.empty())
        MakeFolders(m_fs, path);
    return path;
}

bool ProtectionRun::submitWrite(PageJob& job, std::string bytes, bool frameset, std::string policy) {
    CommitItem item;
    item.policy = std::move(policy);
    item.kind = CommitItem::Kind::Write;
    item.source = job.entry;
    item.entry = job.entry;
    item.outputPath = m_placement.GetOutputPath(item.entry);
    if (m_incremental != nullptr) {
        auto& note = item.manifest;
        note.wanted = true;
        note.kind = frameset ? CopyManifest::Kind::Frameset : CopyManifest::Kind::Page;
        note.rule = ruleDigestOf(*job.rule, note.kind);
        note.digest = m_incremental->sourceDigest(job.bytes, job.rule->options.encrypt);
        note.sourceStatus = job.status;
    }
    item.notes = job.notes;
    const auto fail = [&](PageProblem::Step step, std::error_code error, const std::string& path) {
        job.lock.reset();
        submitProblem(CommitItem::Kind::GivenUp, job.entry, {step, error, path});
        return false;
    };
    const std::error_code outputError = m_writer.resolve(item.outputPath, item.output);
    // A page picked as a link is protected through it; a link found where a new name goes (beside the page, in the
    // copy) was not picked, and what it leads to is never written.
    if (item.output.isLink && m_options.storageMode != engine::StorageMode::Overwrite)
        return fail(PageProblem::Step::Write, RunError::OutputIsALink, item.outputPath);
    if (outputError)
        return fail(PageProblem::Step::Write, outputError, item.outputPath);
    // Written in its own place, the page's name must still hold the file that was read: one an editor saved over it
    // since is left as saved (else its new text would go over the save unchecked, and the backup keep the old text).
    if (m_options.storageMode == engine::StorageMode::Overwrite && job.lock != nullptr &&
        (!item.output.exists || item.output.existing.identity != job.lock->status().identity))
        return fail(PageProblem::Step::Write, disk::DiskError::ChangedDuringRun, item.outputPath);
    // A copy never goes over a page the run reads.
    if (m_options.storageMode == engine::StorageMode::CopyToFolder && item.output.exists &&
        m_pickedPages.count(item.output.existing.identity) != 0)
        return fail(PageProblem::Step::Write, RunError::OutputIsAPickedPage, item.outputPath);
    std::string originalsFolder;
    if (const auto error = decideBackup(job, item, originalsFolder))
        return fail(PageProblem::Step::Backup, error, item.backupPath);
    if (!item.backupPath.empty()) {
        item.original = std::move(job.bytes);
        item.sourceStatus = job.consumedBackup.empty() ? job.status : job.backupStatus;
        item.backupFromBytes = !job.consumedBackup.empty();
        item.consumedBackup = job.consumedBackup;
        item.originalsFolder = std::move(originalsFolder);
    }
    item.bytes = std::move(bytes);
    if (job.sealing.valid()) {
        // The page and its original, held until sealed.
        item.sealingBytes = 2 * (item.original.empty() ? job.bytes.size() : item.original.size());
        item.sealing = std::move(job.sealing);
    }
    item.lock = std::move(job.lock);
    item.rule = job.rule;
    item.found = m_found;
    submit(std::move(item));
    return true;
}

void ProtectionRun::submit(CommitItem item) {
    flushUnchanged();
    m_committer->submit(std::move(item));
}

// The backup is only ever a new name in the page's own folder (or in the run's folder of originals): a link found at
// that name is refused (it may have been put there to have the original written wherever it leads), never followed
// nor replaced, as it is not the run's. The read-only rule of the page applies to an old backup too: it is not
// silently replaced.
std::error_code ProtectionRun::decideBackup(const PageJob& job, CommitItem& item, std::string& originalsFolder) {
    item.backupPath = backupPathFor(job, item.outputPath, originalsFolder);
    if (item.backupPath.empty())
        return {};
    disk::PageWriter::Target target;
    const std::error_code error = m_writer.resolve(item.backupPath, target);
    if (target.isLink)
        return RunError::BackupIsALink;
    if (error)
        return error;
    if (target.exists)
        item.backupSeen = target.existing.identity;
    return {};
}

void ProtectionRun::submitProblem(CommitItem::Kind kind, const FileEntry& page, PageProblem problem) {
    CommitItem item;
    item.kind = kind;
    item.rule = &m_rules.ruleFor(page.fullPath());
    item.source = page;
    item.entry = page;
    item.problem = std::move(problem);
    item.found = m_found;
    submit(std::move(item));
}

std::optional<FileEntry> ProtectionRun::framePage(const PageJob& frameset, std::u16string_view address) {
    const auto relative = FrameAddress::localPath(address);
    if (!relative)
        return std::nullopt; // not followed; the frameset still counts as one
    FileEntry page{disk::getFilePathOnly(frameset.entry.Name) + *relative, frameset.entry.Folder};
    if (!isInside(page.fullPath(), frameset.scope) || m_rules.isExcluded(page.fullPath(), false))
        return std::nullopt;
    return page;
}

bool ProtectionRun::isInside(const std::string& path, const std::string& scope) {
    auto known = m_canonicalScopes.find(scope);
    if (known == m_canonicalScopes.end()) {
        std::string canonical;
        if (m_fs.canonicalPath(scope, canonical))
            canonical.clear();
        known = m_canonicalScopes.emplace(scope, std::move(canonical)).first;
    }
    std::string root = known->second;
    std::string canonical;
    if (root.empty() || m_fs.canonicalPath(path, canonical))
        return false;
    if (root.back() != disk::kPathSeparator)
        root.push_back(disk::kPathSeparator);
    return canonical.size() > root.size() && canonical.starts_with(root);
}

} // namespace quillora::run
