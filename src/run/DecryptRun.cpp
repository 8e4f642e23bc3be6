#include "DecryptRun.h"

#include "ErrorNumbers.h"
#include "FileHelpers.h"
#include "FolderScan.h"
#include "crypto/SecretMemory.h"
#include "crypto/SiteKeyFile.h"
#include "disk/DiskError.h"
#include "disk/Paths.h"
#include "unlock/UnlockPage.h"

namespace quillora::run {

namespace {

std::string baseName(const std::string& path) {
    return path.substr(disk::getFilePathOnly(path).size());
}

} // namespace

DecryptRun::DecryptRun(RunReporter& reporter, disk::FileSystem& fileSystem, std::u16string password,
                       std::string targetFolder)
    : m_reporter(reporter), m_fs(fileSystem), m_password(std::move(password)), m_target(std::move(targetFolder)) {
    if (!m_target.empty() && !m_target.ends_with(disk::kPathSeparator))
        m_target += disk::kPathSeparator;
}

DecryptRun::~DecryptRun() {
    crypto::wipe(m_password);
}

RunSummary DecryptRun::Decrypt(const std::vector<SelectionEntry>& selection) {
    RunSummary summary;
    const std::vector<FileEntry> pages = StartPageByPage(m_reporter, m_fs, selection, summary);
    if (summary.outcome == RunSummary::Outcome::Refused)
        return summary;
    std::vector<std::string> written;
    std::size_t done = 0;
    for (const auto& entry : pages) {
        decryptPage(entry, summary, written);
        m_reporter.progressChanged(++done, summary.found);
    }
    if (!written.empty())
        (void)m_fs.syncFileSystems(written);
    m_reporter.runFinished(summary);
    return summary;
}

void DecryptRun::decryptPage(const FileEntry& entry, RunSummary& summary, std::vector<std::string>& written) {
    const std::string page = entry.fullPath();
    const auto giveUp = [&](PageProblem::Step step, std::error_code error, const std::string& path) {
        ++summary.givenUp;
        m_reporter.pageGivenUp(entry, {step, error, path});
    };
    std::unique_ptr<disk::LockedFile> locked;
    std::string bytes;
    std::error_code error = ReadPageWaiting(m_fs, m_reporter, entry, m_lockWait, locked, bytes);
    if (error == disk::DiskError::NotARegularFile)
        return;
    if (error)
        return giveUp(PageProblem::Step::Read, error, page);
    unlock::SealedPage sealed;
    if (!unlock::PageEncryptor::readSealed(bytes, sealed))
        return; // not encrypted, or not by this program
    crypto::SiteKey derived;
    crypto::SiteKey key;
    if ((error = derivedFor(sealed.salt, sealed.iterations, derived)))
        return giveUp(PageProblem::Step::Read, error, page);
    if (sealed.slots.empty())
        key = derived; // sealed with the password's key itself, before the site key
    else if (crypto::SiteKeyFile::openSlots(derived, sealed.slots, key))
        return giveUp(PageProblem::Step::Read, RunError::NotOpened, page);
    std::string shown;
    std::string original;
    if (!unlock::PageEncryptor::openContent(key, sealed, shown, original)) {
        // A slot checks the key it unwraps: a page that then does not open was changed after it was written.
        return giveUp(PageProblem::Step::Read, sealed.slots.empty() ? RunError::NotOpened : RunError::Damaged, page);
    }
    crypto::wipe(shown);
    const bool inPlace = m_target.empty();
    std::string below = entry.Folder.empty() ? baseName(page) : entry.Name;
    below.erase(0, below.find_first_not_of(disk::kPathSeparator));
    const std::string output = inPlace ? page : m_target + below;
    error = write(output, original, *locked, inPlace);
    crypto::wipe(original);
    if (error)
        return giveUp(PageProblem::Step::Write, error, output);
    ++summary.written;
    written.push_back(output);
    m_reporter.pageWritten(entry, output);
}

std::error_code DecryptRun::derivedFor(const crypto::SiteKey::Salt& salt, int iterations, crypto::SiteKey& key) {
    const auto found = m_derived.find({salt, iterations});
    if (found != m_derived.end()) {
        key = found->second;
        return {};
    }
    if (const auto error = crypto::SiteKey::derive(m_password, salt, iterations, key))
        return error;
    m_derived.emplace(std::pair{salt, iterations}, key);
    return {};
}

// In place the original takes the unlock page's place in one step, and only while the unlock page is still there;
// in a target folder it is written as a new file, never over one that stands there.
std::error_code DecryptRun::write(const std::string& path, std::string_view bytes, const disk::LockedFile& page,
                                  bool inPlace) {
    const std::string folder = disk::getFilePathOnly(path);
    if (!inPlace) {
        disk::FileStatus status;
        if (m_fs.status(path, status) != std::errc::no_such_file_or_directory)
            return RunError::OutputExists;
        MakeFolders(m_fs, path, nullptr);
    }
    std::unique_ptr<disk::OutputFile> file;
    std::string temporary;
    const std::optional<disk::FileIdentity> partner =
        inPlace ? std::optional(page.status().identity) : std::optional<disk::FileIdentity>();
    if (const auto error = m_fs.createTempFile(folder, baseName(path), partner, file, temporary))
        return error;
    std::error_code error = file->write(bytes);
    if (!error)
        error = file->keepAttributes(page.status());
    if (!error)
        error = file->finish(false);
    const disk::FileIdentity identity = file->identity();
    file.reset();
    if (!error)
        error = m_fs.replaceChecked(temporary, identity, path, partner);
    if (error)
        (void)m_fs.removeFile(temporary);
    return error;
}

} // namespace quillora::run
