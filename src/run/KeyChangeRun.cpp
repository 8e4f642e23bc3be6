#include "KeyChangeRun.h"

#include "FolderScan.h"
#include "OriginalsPlace.h"
#include "RunMessages.h"
#include "SiteKeyStore.h"
#include "crypto/CryptoError.h"
#include "crypto/PasswordStrength.h"
#include "crypto/SecretMemory.h"
#include "disk/PageWriter.h"
#include "unlock/UnlockPage.h"

#include <algorithm>
#include <chrono>

namespace quillora::run {

namespace {

using crypto::CryptoError;
using Reason = RunRefusal::Reason;

// A page another program holds locked is waited for this long, then left for the next run to finish.
constexpr std::chrono::seconds kLockWait{10};
// Pages are brought to the disk this many at a time, before they take their places: one sync a page would take
// longer than the sealing.
constexpr std::size_t kPagesSyncedTogether = 64;

std::string joined(const std::vector<std::string>& names) {
    std::string text;
    for (const auto& name : names)
        text += (text.empty() ? "" : ", ") + name;
    return text;
}

std::vector<std::string> slotNames(const crypto::SiteKeyFile& file) {
    std::vector<std::string> names;
    for (std::size_t i = 0; i < file.slots().size(); ++i)
        names.push_back(file.slotName(i));
    return names;
}

RunRefusal refused(const std::string& path, std::string text) {
    return {Reason::KeyChangeRefused, path, std::move(text)};
}

} // namespace

KeyChangeRun::KeyChangeRun(RunReporter& reporter, disk::FileSystem& fileSystem)
    : m_reporter(reporter), m_fs(fileSystem) {}

KeyChangeSummary KeyChangeRun::change(const std::vector<SelectionEntry>& selection, KeyChange& change) {
    KeyChangeSummary summary;
    m_selection = selection;
    m_password = change.password;
    crypto::wipe(change.password);
    m_passwordKeys.clear();
    const auto finish = [&](std::optional<RunRefusal> refusal) {
        crypto::wipe(m_password);
        m_passwordKeys.clear();
        if (change.addPassword)
            crypto::wipe(*change.addPassword);
        if (refusal) {
            summary.outcome = KeyChangeSummary::Outcome::Refused;
            m_reporter.runRefused(*refusal);
        }
        return summary;
    };
    m_reporter.runStarted();
    if (selection.empty())
        return finish(RunRefusal{Reason::NothingPicked, {}, {}});
    if (change.addPassword && !change.allowWeakPassword) {
        const auto strength = crypto::PasswordStrength::of(*change.addPassword);
        if (strength.level() == crypto::PasswordStrength::Level::TooWeak)
            return finish(RunRefusal{Reason::PasswordTooWeak, std::to_string(strength.wholeBits()), {}});
    }
    (void)crypto::disableCoreDumps(); // the process holds the site's key from here on
    std::string path;
    if (auto refusal = placeKeyFile(selection, change.keyFile, path))
        return finish(refusal);
    summary.keyFile = path;
    crypto::SiteKeyFile file;
    if (auto refusal = readKeyFile(path, file, !change.addLevel))
        return finish(refusal);
    if (file.slots().empty()) {
        // A site's levels may be made before its first encrypted run: the password becomes the site's first.
        crypto::SiteKey made;
        if (const auto error = crypto::SiteKeyFile::create(m_password, change.iterations, {}, file, made))
            return finish(RunRefusal{Reason::EncryptionUnavailable, error.message(), {}});
        if (const auto error = SiteKeyStore(m_fs).write(path, file))
            return finish(RunRefusal{Reason::KeyFileUnwritable, path, error.message()});
    }
    const std::string before = file.write();
    crypto::SiteKey content;
    std::size_t slot = 0;
    if (const auto error = file.openSlot(m_password, content, slot))
        return finish(error == CryptoError::NoSlotOpens
                          ? RunRefusal{Reason::KeyFileWrongPassword, path, {}}
                          : RunRefusal{Reason::EncryptionUnavailable, error.message(), {}});
    // What a key file of the first version lacks for this password is kept at once, whatever comes of the change.
    if (file.write() != before) {
        if (const auto error = SiteKeyStore(m_fs).write(path, file))
            return finish(RunRefusal{Reason::KeyFileUnwritable, path, error.message()});
    }

    // A change that was not finished is finished first: its file opens the pages it wrote already.
    const std::string pending = path + std::string(kPendingSuffix);
    crypto::SiteKeyFile earlier;
    bool interrupted = false;
    if (auto refusal = readKeyFile(pending, earlier, false))
        return finish(refusal);
    interrupted = !earlier.slots().empty();
    if (interrupted) {
        crypto::SiteKey earlierContent;
        if (earlier.open(m_password, earlierContent))
            return finish(refused(path, messages::pendingNotOpened(pending)));
        summary.outcome = KeyChangeSummary::Outcome::Done;
        if (!commit(path, earlier, file, content, earlierContent, summary)) {
            if (summary.outcome != KeyChangeSummary::Outcome::Refused)
                summary.outcome = KeyChangeSummary::Outcome::Incomplete;
            return finish(std::nullopt);
        }
        file = earlier;
        content = earlierContent;
        summary = KeyChangeSummary{};
        summary.keyFile = path;
        summary.finishedEarlier = true;
    }

    crypto::SiteKeyFile next = file;
    crypto::SiteKey nextContent = content;
    if (change.level.empty()) {
        if (auto refusal = applyChange(change, next, content, nextContent, summary))
            return finish(refusal);
    } else if (auto refusal = changeLevel(change, next, content, summary)) {
        return finish(refusal);
    }
    summary.outcome = KeyChangeSummary::Outcome::Done;
    if (!commit(path, next, file, content, nextContent, summary) &&
        summary.outcome != KeyChangeSummary::Outcome::Refused)
        summary.outcome = KeyChangeSummary::Outcome::Incomplete;
    summary.slots = slotNames(change.level.empty() ? next : next.level(change.level)->keys);
    return finish(std::nullopt);
}

// A level's slots and key change as the site's do; the level's key stays wrapped under the site's.
std::optional<RunRefusal> KeyChangeRun::changeLevel(const KeyChange& change, crypto::SiteKeyFile& next,
                                                    const crypto::SiteKey& content, KeyChangeSummary& summary) const {
    const std::string& path = summary.keyFile;
    summary.level = change.level;
    if (change.addLevel) {
        crypto::SiteKey levelKey;
        const auto error = next.addLevel(change.level, *change.addPassword, change.addLabel, content, levelKey);
        if (error == CryptoError::LevelTaken)
            return refused(path, messages::levelTaken(change.level));
        if (error)
            return RunRefusal{Reason::EncryptionUnavailable, error.message(), {}};
        summary.levelAdded = true;
        return std::nullopt;
    }
    crypto::SiteKey levelKey;
    if (const auto error = next.openLevel(change.level, content, levelKey)) {
        if (error != CryptoError::NoSuchLevel)
            return RunRefusal{Reason::KeyFileUnreadable, path, error.message()};
        std::vector<std::string> names;
        for (const auto& level : next.levels())
            names.push_back(level.name);
        return refused(path, messages::noSuchLevel(change.level, joined(names)));
    }
    crypto::SiteKey nextLevelKey;
    if (auto refusal = applyChange(change, next.level(change.level)->keys, levelKey, nextLevelKey, summary))
        return refusal;
    if (const auto error = next.setLevelKey(change.level, content, nextLevelKey))
        return RunRefusal{Reason::EncryptionUnavailable, error.message(), {}};
    return std::nullopt;
}

std::error_code KeyChangeRun::planOf(const crypto::SiteKeyFile& before, const crypto::SiteKey& beforeKey,
                                     const crypto::SiteKeyFile& after, const crypto::SiteKey& afterKey, Plan& plan) {
    plan = Plan{};
    const auto add = [&plan](const crypto::SiteKey& from, const crypto::SiteKeyFile& fromFile,
                             const crypto::SiteKey& to, const crypto::SiteKeyFile& toFile, bool always) {
        if (!always && from.key() == to.key() && fromFile.wrappedKeys() == toFile.wrappedKeys())
            plan.unchanged.push_back(from.salt());
        else
            plan.steps.push_back({from, {to, toFile.wrappedKeys()}});
    };
    // The site's own key always: pages of earlier versions, sealed with their password's key, become its pages.
    add(beforeKey, before, afterKey, after, true);
    for (const auto& level : after.levels()) {
        crypto::SiteKey to;
        if (const auto error = after.openLevel(level.name, afterKey, to))
            return error;
        crypto::SiteKey from = to;
        const crypto::SiteKeyFile* fromFile = &level.keys;
        if (before.level(level.name) != nullptr) {
            if (const auto error = before.openLevel(level.name, beforeKey, from))
                return error;
            fromFile = &before.level(level.name)->keys;
        }
        add(from, *fromFile, to, level.keys, false);
    }
    return {};
}

std::optional<RunRefusal> KeyChangeRun::placeKeyFile(const std::vector<SelectionEntry>& selection,
                                                     const std::string& given, std::string& path) const {
    path = given.empty() ? SiteKeyStore::defaultPath(selection) : OriginalsPlace::absolute(given);
    if (path.empty())
        return RunRefusal{Reason::NoPlaceForKeyFile, selection.front().path, {}};
    for (const auto& picked : selection) {
        if (picked.isFolder && OriginalsPlace::isWithin(path, OriginalsPlace::absolute(picked.path)))
            return RunRefusal{Reason::KeyFileInside, path, picked.path};
    }
    return std::nullopt;
}

std::optional<RunRefusal> KeyChangeRun::readKeyFile(const std::string& path, crypto::SiteKeyFile& file,
                                                    bool mustExist) {
    bool exists = false;
    if (const auto error = SiteKeyStore(m_fs).read(path, file, exists))
        return RunRefusal{Reason::KeyFileUnreadable, path, error.message()};
    if (!exists && mustExist)
        return RunRefusal{Reason::KeyFileMissing, path, {}};
    return std::nullopt;
}

std::optional<RunRefusal> KeyChangeRun::applyChange(const KeyChange& change, crypto::SiteKeyFile& file,
                                                    const crypto::SiteKey& content, crypto::SiteKey& next,
                                                    KeyChangeSummary& summary) const {
    const std::string& path = summary.keyFile;
    if (change.addPassword) {
        if (const auto error = file.addSlot(*change.addPassword, change.addLabel, content)) {
            if (error == CryptoError::LabelTaken)
                return refused(path, messages::labelTaken(change.addLabel));
            if (error == CryptoError::PasswordTaken)
                return refused(path, std::string(messages::kPasswordTaken));
            return RunRefusal{Reason::EncryptionUnavailable, error.message(), {}};
        }
    }
    if (!change.removeSlot.empty()) {
        std::size_t index = 0;
        auto error = file.findSlot(change.removeSlot, index);
        if (!error) {
            summary.removedSlot = file.slotName(index);
            error = file.removeSlot(index);
        }
        if (error == CryptoError::NoSuchSlot)
            return refused(path, messages::noSuchSlot(change.removeSlot, joined(slotNames(file))));
        if (error == CryptoError::SlotAmbiguous)
            return refused(path, messages::slotAmbiguous(change.removeSlot));
        if (error == CryptoError::LastSlot)
            return refused(path, messages::lastSlot(summary.removedSlot));
        if (error)
            return RunRefusal{Reason::EncryptionUnavailable, error.message(), {}};
    }
    next = content;
    if (!change.rotate)
        return std::nullopt;
    std::vector<std::string> lacking;
    if (const auto error = file.rotate(content, next, lacking)) {
        if (error == CryptoError::SlotWithoutPasswordKey)
            return refused(path, messages::slotsWithoutPasswordKey(joined(lacking)));
        return RunRefusal{Reason::KeyFileUnreadable, path, error.message()};
    }
    summary.rotated = true;
    return std::nullopt;
}

bool KeyChangeRun::commit(const std::string& path, const crypto::SiteKeyFile& next, const crypto::SiteKeyFile& before,
                          const crypto::SiteKey& oldContent, const crypto::SiteKey& newContent,
                          KeyChangeSummary& summary) {
    const std::string pending = path + std::string(kPendingSuffix);
    Plan plan;
    if (const auto error = planOf(before, oldContent, next, newContent, plan)) {
        m_reporter.runRefused({Reason::KeyFileUnreadable, path, error.message()});
        summary.outcome = KeyChangeSummary::Outcome::Refused;
        return false;
    }
    SiteKeyStore store(m_fs);
    if (const auto error = store.write(pending, next)) {
        // Nothing was changed yet: the change is refused, not left to be finished.
        m_reporter.runRefused({Reason::KeyFileUnwritable, pending, error.message()});
        summary.outcome = KeyChangeSummary::Outcome::Refused;
        return false;
    }
    m_reporter.scanning();
    const std::vector<FileEntry> pages = listPages();
    summary.failed += m_unlisted;
    m_reporter.pagesFound(pages.size());
    m_staged.clear();
    for (const auto& entry : pages)
        resealPage(entry, plan, summary);
    placeStaged(summary);
    if (summary.failed > 0)
        return false; // the old key file stays, and the new one waits beside it to be finished
    if (const auto error = m_fs.renameFile(pending, path)) {
        m_reporter.runRefused({Reason::KeyFileUnwritable, path, error.message()});
        ++summary.failed;
        return false;
    }
    (void)m_fs.syncFileSystems({path});
    return true;
}

std::vector<FileEntry> KeyChangeRun::listPages() {
    m_unlisted = 0;
    return ListPickedPages(m_fs, m_selection, [this](const std::string& folder, std::error_code error) {
        // Its pages would keep the old key and slots: the change is not finished.
        m_reporter.folderSkipped(folder, {PageProblem::Step::Read, error, folder});
        ++m_unlisted;
    });
}

void KeyChangeRun::resealPage(const FileEntry& entry, const Plan& plan, KeyChangeSummary& summary) {
    const std::string path = entry.fullPath();
    std::unique_ptr<disk::LockedFile> locked;
    std::string bytes;
    std::error_code error = m_fs.openLocked(path, kLockWait, locked);
    if (!error)
        error = locked->read(bytes);
    if (error) {
        ++summary.failed;
        m_reporter.pageGivenUp(entry, {PageProblem::Step::Read, error, path});
        return;
    }
    if (!unlock::PageEncryptor::isUnlockPage(bytes))
        return;
    // The page goes by its key's salt: a level's pages by the level's step, or by none when the level stays.
    const Step* step = &plan.steps.front();
    unlock::SealedPage sealed;
    if (unlock::PageEncryptor::readSealed(bytes, sealed, false)) {
        if (std::find(plan.unchanged.begin(), plan.unchanged.end(), sealed.salt) != plan.unchanged.end())
            return;
        for (const auto& each : plan.steps) {
            if (each.from.salt() == sealed.salt)
                step = &each;
        }
    }
    const crypto::SiteKey& oldContent = step->from;
    const unlock::ResealTarget& target = step->to;
    using Outcome = unlock::Reseal::Outcome;
    std::string out;
    Outcome outcome = unlock::Reseal::reseal(bytes, oldContent, target, out, error);
    // A page the change wrote already, before it was interrupted, opens with the new key.
    if (outcome == Outcome::OtherKey && target.content.key() != oldContent.key())
        outcome = unlock::Reseal::reseal(bytes, target.content, target, out, error);
    if (outcome == Outcome::OtherKey) {
        if (const crypto::SiteKey* key = passwordKeyFor(bytes))
            outcome = unlock::Reseal::reseal(bytes, *key, target, out, error);
    }
    switch (outcome) {
    case Outcome::NotUnlockPage:
        return;
    case Outcome::OtherKey:
    case Outcome::Damaged:
        ++summary.otherKey;
        m_reporter.pageOfOtherKey(entry);
        return;
    case Outcome::Failed:
        ++summary.failed;
        m_reporter.pageGivenUp(entry, {PageProblem::Step::Write, error, path});
        return;
    case Outcome::Resealed:
        break;
    }
    if (out == bytes)
        return; // as the change leaves it already
    disk::PageWriter writer(m_fs);
    disk::PageWriter::Target file;
    Staged staged{entry, std::move(locked), {}};
    // Only the page read may be replaced: one an editor saved meanwhile stays.
    const auto replacing = disk::Replacing::only(staged.lock->status().identity);
    if ((error = writer.resolve(path, file)) ||
        (error = writer.stage(file.path, out, file.exists ? &file.existing : nullptr, staged.pending, replacing)) ||
        (error = staged.pending.file->finish(false))) {
        ++summary.failed;
        m_reporter.pageGivenUp(entry, {PageProblem::Step::Write, error, path});
        return;
    }
    m_staged.push_back(std::move(staged));
    if (m_staged.size() >= kPagesSyncedTogether)
        placeStaged(summary);
}

void KeyChangeRun::placeStaged(KeyChangeSummary& summary) {
    if (m_staged.empty())
        return;
    std::vector<std::string> paths;
    paths.reserve(m_staged.size());
    for (const auto& staged : m_staged)
        paths.push_back(staged.pending.target);
    const std::error_code synced = m_fs.syncFileSystems(paths);
    disk::PageWriter writer(m_fs);
    for (auto& staged : m_staged) {
        disk::FileIdentity written;
        const std::error_code error = synced ? synced : writer.place(staged.pending, written);
        if (error) {
            ++summary.failed;
            m_reporter.pageGivenUp(staged.entry, {PageProblem::Step::Write, error, staged.entry.fullPath()});
            continue;
        }
        ++summary.resealed;
        m_reporter.pageWritten(staged.entry, staged.entry.fullPath());
    }
    m_staged.clear();
}

const crypto::SiteKey* KeyChangeRun::passwordKeyFor(std::string_view page) {
    unlock::SealedPage sealed;
    if (!unlock::PageEncryptor::readSealed(page, sealed, false) || !sealed.slots.empty())
        return nullptr;
    auto& key = m_passwordKeys[{sealed.salt, sealed.iterations}];
    if (!key) {
        crypto::SiteKey derived;
        if (crypto::SiteKey::derive(m_password, sealed.salt, sealed.iterations, derived))
            return nullptr;
        key = derived;
    }
    return &*key;
}

} // namespace quillora::run
