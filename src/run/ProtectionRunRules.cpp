// The parts of a protection run that go by its rules and by the copy it made before: pages left alone, the plan
// of a dry run, and an incremental copy's key, checks and manifest.
#include "EncryptedRunOptions.h"
#include "ErrorNumbers.h"
#include "FileHelpers.h"
#include "ProtectionRun.h"
#include "crypto/CryptoError.h"
#include "crypto/SecretMemory.h"
#include "disk/Paths.h"

#include <algorithm>

namespace quillora::run {

// Never read: a page the rules leave alone stays as it is, and goes into a copy as it is.
void ProtectionRun::leaveAlone(const PageJob& job, bool asFrame) {
    disk::FileStatus status;
    const bool exists = !m_fs.status(job.full, status);
    if (exists ? !m_processed.add(job.full, status.identity) : !m_processed.add(job.full))
        return; // handled before in this run
    if (asFrame && !isPickedPage(job.full))
        ++m_found;
    CommitItem item;
    item.kind = CommitItem::Kind::LeftAlone;
    item.source = job.entry;
    item.entry = job.entry;
    item.rule = job.rule;
    item.found = m_found;
    if (m_options.storageMode == engine::StorageMode::CopyToFolder) {
        item.outputPath = m_placement.GetOutputPath(item.entry);
        if (isPickedPage(item.outputPath)) {
            item.kind = CommitItem::Kind::GivenUp;
            item.problem = {PageProblem::Step::Write, RunError::OutputIsAPickedPage, item.outputPath};
        }
        noteCopy(item);
    }
    submit(std::move(item));
}

// Each page with its rule and the place it would go; nothing is written, and no key is derived (so an incremental
// copy's encrypted pages are listed as to be written).
void ProtectionRun::planPages(const std::vector<SelectionEntry>& selection) {
    // An original found in the copy target is named as the run would name it.
    for (const auto& page : m_leftOut) {
        PageRecord record;
        record.action = PageRecord::Action::Skipped;
        record.planned = true;
        record.source = page.fullPath();
        record.problem = PageProblem{PageProblem::Step::Read, RunError::InTheCopyTarget, m_options.targetFolder};
        m_reporter.pageRecorded(record);
    }
    ProcessedFiles planned(m_fs);
    for (const auto& entry : m_list.slots) {
        if (entry.Name.empty() || !planned.add(entry.fullPath()))
            continue;
        const PageRule& rule = m_rules.ruleFor(entry.fullPath());
        PageRecord record;
        record.action = rule.leavesAlone() ? PageRecord::Action::LeftAlone : PageRecord::Action::Protected;
        if (m_incremental != nullptr && isUpToDate(entry, rule, false, nullptr))
            record.action = PageRecord::Action::Unchanged;
        else if (m_incremental != nullptr)
            m_incremental->planned(entry.fullPath());
        record.planned = true;
        record.source = entry.fullPath();
        record.rule = &rule;
        if (!rule.leavesAlone() || m_options.storageMode == engine::StorageMode::CopyToFolder)
            record.output = m_placement.outputPathOf(entry);
        m_reporter.pageRecorded(record);
    }
    for (const auto& other : m_otherFiles) {
        PageRecord record;
        record.action = m_incremental != nullptr && isUpToDate(other, m_rules.rules().front(), true, nullptr)
                            ? PageRecord::Action::Unchanged
                            : PageRecord::Action::Copied;
        if (m_incremental != nullptr && record.action == PageRecord::Action::Copied)
            m_incremental->planned(other.fullPath());
        record.isPage = false;
        record.planned = true;
        record.source = other.fullPath();
        record.output = m_placement.outputPathOf(other);
        m_reporter.pageRecorded(record);
    }
    if (m_incremental == nullptr)
        return;
    for (const auto& [source, output] : m_incremental->staleOutputs(selection)) {
        PageRecord record;
        record.action = PageRecord::Action::Removed;
        record.isPage = IsPageFileName(output);
        record.planned = true;
        record.source = source;
        record.output = output;
        m_reporter.pageRecorded(record);
    }
}

// Read before any key is derived, so that a template that cannot serve costs the user no wait.
std::optional<RunRefusal> ProtectionRun::readUnlockTemplate(unlock::EncryptionSettings& settings) {
    using Reason = RunRefusal::Reason;
    if (m_options.unlockTemplate.empty())
        return std::nullopt;
    const std::string path = OriginalsPlace::absolute(m_options.unlockTemplate);
    std::string bytes;
    if (const auto error = m_fs.readFile(path, bytes))
        return RunRefusal{Reason::UnlockTemplateUnreadable, path, error.message()};
    unlock::UnlockTemplate pageTemplate;
    if (std::string problem = unlock::UnlockTemplate::read(bytes, pageTemplate); !problem.empty())
        return RunRefusal{Reason::UnlockTemplateRefused, path, std::move(problem)};
    settings.pageTemplate = std::move(pageTemplate);
    if (m_incremental != nullptr)
        m_incremental->useUnlockTemplate(bytes);
    return std::nullopt;
}

// The run's key is the site's content key, the same for every run of the site so that visitors stay unlocked: read
// from the site's key file with the password, or made with it on the first encrypted run.
std::optional<RunRefusal> ProtectionRun::makeEncryptor(const std::vector<SelectionEntry>& selection,
                                                       const unlock::EncryptionSettings& settings) {
    std::string path;
    if (auto refusal = placeKeyFile(selection, path))
        return refusal;
    crypto::SiteKeyFile file;
    crypto::SiteKey content;
    if (auto refusal = openKeyFile(path, settings, file, content))
        return refusal;
    if (const auto error = unlock::PageEncryptor::create(settings, content, file.wrappedKeys(), m_encryptor))
        return RunRefusal{RunRefusal::Reason::EncryptionUnavailable, error.message(), {}};
    // A key other than the last copy's makes every encrypted page of an incremental copy new.
    if (m_incremental != nullptr)
        m_incremental->useKey(m_encryptor->key());
    return makeLevelEncryptors(path, settings, file, content);
}

// A level's key is opened with the site's: one password a run, whatever the levels its pages go under.
std::optional<RunRefusal> ProtectionRun::makeLevelEncryptors(const std::string& path,
                                                             const unlock::EncryptionSettings& settings,
                                                             const crypto::SiteKeyFile& file,
                                                             const crypto::SiteKey& content) {
    m_keySalts.push_back(file.salt());
    for (const auto& level : file.levels())
        m_keySalts.push_back(level.keys.salt());
    for (const auto& name : levelsUsed()) {
        crypto::SiteKey key;
        if (const auto error = file.openLevel(name, content, key))
            return error == crypto::CryptoError::NoSuchLevel
                       ? RunRefusal{RunRefusal::Reason::NoSuchLevel, path, name}
                       : RunRefusal{RunRefusal::Reason::KeyFileUnreadable, path, error.message()};
        unlock::EncryptionSettings levelSettings = settings;
        levelSettings.siteSalt = file.salt();
        auto& encryptor = m_levelEncryptors[name];
        const auto error =
            unlock::PageEncryptor::create(levelSettings, key, file.level(name)->keys.wrappedKeys(), encryptor);
        crypto::wipe(levelSettings.password);
        if (error)
            return RunRefusal{RunRefusal::Reason::EncryptionUnavailable, error.message(), {}};
        if (m_incremental != nullptr)
            m_incremental->useLevelKey(name, key);
    }
    return std::nullopt;
}

std::vector<std::string> ProtectionRun::levelsUsed() const {
    std::vector<std::string> names;
    for (const auto& rule : m_rules.rules()) {
        const std::string& name = rule.options.keyLevel;
        if (!rule.leavesAlone() && rule.options.encrypt && !name.empty() &&
            std::find(names.begin(), names.end(), name) == names.end())
            names.push_back(name);
    }
    return names;
}

const unlock::PageEncryptor& ProtectionRun::encryptorFor(const PageRule& rule) const {
    if (rule.options.keyLevel.empty())
        return *m_encryptor;
    return *m_levelEncryptors.find(rule.options.keyLevel)->second;
}

std::optional<RunRefusal> ProtectionRun::openKeyFile(const std::string& path,
                                                     const unlock::EncryptionSettings& settings,
                                                     crypto::SiteKeyFile& file, crypto::SiteKey& content) {
    using Reason = RunRefusal::Reason;
    SiteKeyStore store(m_fs);
    bool exists = false;
    if (const auto error = store.read(path, file, exists))
        return RunRefusal{Reason::KeyFileUnreadable, path, error.message()};
    if (exists) {
        std::optional<crypto::SiteKey> derived = m_derived.valid() ? m_derived.get() : std::nullopt;
        const bool early = derived && derived->salt() == file.salt() && derived->iterations() == file.iterations();
        if (const auto error = early ? crypto::SiteKeyFile::openSlots(*derived, file.wrappedKeys(), content)
                                     : file.open(settings.password, content))
            return error == crypto::CryptoError::NoSlotOpens
                       ? RunRefusal{Reason::KeyFileWrongPassword, path, {}}
                       : RunRefusal{Reason::EncryptionUnavailable, error.message(), {}};
        m_reporter.keyFileUsed(path, KeyFileOrigin::Read);
        return std::nullopt;
    }
    // Levels are made in the key file with their passwords: a new key file has none.
    if (const auto levels = levelsUsed(); !levels.empty())
        return RunRefusal{Reason::NoSuchLevel, path, levels.front()};
    // Without its key file, a site whose unlock pages the password opens keeps its content key and slots.
    KeyFileOrigin origin = KeyFileOrigin::Remade;
    std::vector<crypto::KeyWrap::Wrapped> slots;
    m_earlierKeys->learn(m_list);
    if (const crypto::SiteKey* earlier = m_earlierKeys->reusable(slots)) {
        file = crypto::SiteKeyFile::ofSlots(earlier->salt(), earlier->iterations(), slots);
        content = *earlier;
    } else if (const auto error =
                   crypto::SiteKeyFile::create(settings.password, settings.iterations, {}, file, content)) {
        return RunRefusal{Reason::EncryptionUnavailable, error.message(), {}};
    } else {
        origin = KeyFileOrigin::Made;
    }
    if (const auto error = store.write(path, file))
        return RunRefusal{Reason::KeyFileUnwritable, path, error.message()};
    m_reporter.keyFileUsed(path, origin);
    return std::nullopt;
}

bool ProtectionRun::isUpToDate(const FileEntry& entry, const PageRule& rule, bool otherFile, Known::File* known) {
    const auto kind = otherFile || rule.leavesAlone() ? CopyManifest::Kind::Copy : CopyManifest::Kind::Page;
    const bool encrypted = !otherFile && rule.options.encrypt;
    if (known == nullptr)
        return m_incremental->upToDate(entry.fullPath(), m_placement.outputPathOf(entry), ruleDigestOf(rule, kind),
                                       kind, encrypted);
    // What the checks before the run found out is not asked of the disk again.
    KnownStatus statuses;
    statuses.source = known->source ? &*known->source : nullptr;
    statuses.output = known->outputLooked ? &known->outputStatus : nullptr;
    return m_incremental->upToDate(entry.fullPath(), outputOf(*known, entry), ruleDigestOf(rule, kind), kind, encrypted,
                                   statuses);
}

const CopyManifest::Digest& ProtectionRun::ruleDigestOf(const PageRule& rule, CopyManifest::Kind kind) {
    auto& digests = m_known.ruleDigests[static_cast<char>(kind)];
    if (digests.size() < m_rules.rules().size())
        digests.resize(m_rules.rules().size());
    auto& digest = digests[rule.index];
    if (!digest)
        digest = m_incremental->ruleDigest(rule, kind);
    return *digest;
}

// Before anything is written: which files are as the last run left them, and, in the manifest, what is about to be
// written instead.
void ProtectionRun::noteUnchanged() {
    using State = Known::State;
    std::vector<std::pair<std::string, std::string>> planned;
    ProcessedFiles seen(m_fs);
    for (std::size_t slot = 0; slot < m_list.slots.size(); ++slot) {
        const FileEntry& entry = m_list.slots[slot];
        if (entry.Name.empty())
            continue;
        Known::File& known = m_known.pages[slot];
        const std::string full = entry.fullPath();
        if (known.source ? !seen.add(full, known.source->identity) : !seen.add(full)) {
            known.state = State::Again;
            continue;
        }
        if (isUpToDate(entry, m_rules.ruleFor(full), false, &known))
            known.state = State::Unchanged;
        else
            planned.emplace_back(full, outputOf(known, entry));
    }
    for (std::size_t i = 0; i < m_otherFiles.size(); ++i) {
        Known::File& known = m_known.others[i];
        if (isUpToDate(m_otherFiles[i], m_rules.rules().front(), true, &known))
            known.state = State::Unchanged;
        else
            planned.emplace_back(m_otherFiles[i].fullPath(), outputOf(known, m_otherFiles[i]));
    }
    if (const auto error = m_incremental->beginWriting(planned))
        m_reporter.otherFileFailed(m_incremental->manifestPath(),
                                   {PageProblem::Step::Write, error, m_incremental->manifestPath()});
}

// A frame page found as the last run left it is not read again: a listed one is told once, whichever way it is
// reached first; one that is not listed is looked at when reached.
bool ProtectionRun::keepUnchanged(const PageJob& job, bool asFrame) {
    if (!asFrame)
        return false; // a listed page was looked at before the run
    disk::FileStatus status;
    if (m_fs.status(job.full, status))
        return false;
    if (m_known.unchangedPages.empty()) {
        for (std::size_t slot = 0; slot < m_known.pages.size(); ++slot) {
            if (m_known.pages[slot].state == Known::State::Unchanged && m_known.pages[slot].source)
                m_known.unchangedPages.emplace(m_known.pages[slot].source->identity, slot);
        }
    }
    if (const auto listed = m_known.unchangedPages.find(status.identity); listed != m_known.unchangedPages.end()) {
        keptUnchanged(listed->second);
        return true;
    }
    if (isPickedPage(job.full) || !isUpToDate(job.entry, *job.rule, false, nullptr))
        return false;
    if (m_keptUnchanged.insert(status.identity).second) {
        ++m_found;
        tellUnchanged(job.entry, job.rule, m_placement.outputPathOf(job.entry));
    }
    return true;
}

// A listed page found unchanged: no job, nothing opened; told once.
bool ProtectionRun::keptUnchanged(std::size_t slot) {
    Known::File& known = m_known.pages[slot];
    if (known.state == Known::State::Unchanged) {
        const FileEntry& entry = m_list.slots[slot];
        tellUnchanged(entry, &m_rules.ruleFor(entry.fullPath()), outputOf(known, entry));
        known.state = Known::State::Told;
    }
    return known.state != Known::State::Process;
}

void ProtectionRun::tellUnchanged(const FileEntry& file, const PageRule* rule, std::string outputPath) {
    CommitItem item;
    item.kind = CommitItem::Kind::Unchanged;
    item.source = file;
    item.rule = rule;
    item.outputPath = std::move(outputPath);
    item.found = m_found;
    // Handed over many at a time: a site that did not change is not a page at a time for the writing thread.
    m_unchangedBatch.push_back(std::move(item));
    if (m_unchangedBatch.size() >= kUnchangedBatch)
        flushUnchanged();
}

void ProtectionRun::flushUnchanged() {
    if (m_unchangedBatch.empty())
        return;
    CommitItem batch;
    batch.kind = CommitItem::Kind::Batch;
    batch.batch = std::move(m_unchangedBatch);
    m_unchangedBatch.clear();
    m_committer->submit(std::move(batch));
}

const std::string& ProtectionRun::outputOf(Known::File& known, const FileEntry& entry) const {
    // Placed once, for every listed file, before the run.
    if (known.output.empty())
        known.output = m_placement.outputPathOf(entry);
    return known.output;
}

void ProtectionRun::noteCopy(CommitItem& item) {
    if (m_incremental == nullptr || item.kind == CommitItem::Kind::GivenUp)
        return;
    auto& note = item.manifest;
    note.wanted = true;
    note.kind = CopyManifest::Kind::Copy;
    (void)m_fs.status(item.source.fullPath(), note.sourceStatus);
}

// Called from the committing side, once a file's outcome is known.
void ProtectionRun::noteInManifest(const CommitItem& item) {
    switch (item.kind) {
    case CommitItem::Kind::Write:
    case CommitItem::Kind::CopyOther:
    case CommitItem::Kind::LeftAlone:
        if (item.manifest.wanted)
            m_incremental->written(item.source.fullPath(), item.outputPath, item.manifest.kind, item.manifest.rule,
                                   item.manifest.digest, item.manifest.sourceStatus);
        break;
    case CommitItem::Kind::GivenUp:
    case CommitItem::Kind::Skipped:
    case CommitItem::Kind::OtherFailed:
    case CommitItem::Kind::AlreadyProtected:
    case CommitItem::Kind::NotReached:     // a stopped run's: done next time
    case CommitItem::Kind::OtherNotCopied: // the same
        m_incremental->failed(item.source.fullPath());
        break;
    case CommitItem::Kind::Unchanged:
    case CommitItem::Kind::Batch:
        break;
    }
}

void ProtectionRun::finishIncremental(const std::vector<SelectionEntry>& selection, RunSummary& summary) {
    const auto removed = [&](const std::string& source, const std::string& output) {
        ++summary.removed;
        PageRecord record;
        record.action = PageRecord::Action::Removed;
        record.isPage = IsPageFileName(output);
        record.source = source;
        record.output = output;
        m_reporter.pageRecorded(record);
    };
    if (const auto error = m_incremental->finish(selection, removed, summary.stopped)) {
        ++summary.otherFilesFailed;
        m_reporter.otherFileFailed(m_incremental->manifestPath(),
                                   {PageProblem::Step::Write, error, m_incremental->manifestPath()});
    }
}

} // namespace quillora::run
