#include "SiteKeyStore.h"

#include "OriginalsPlace.h"
#include "crypto/CryptoError.h"
#include "disk/PageWriter.h"
#include "disk/Paths.h"

namespace quillora::run {

namespace {

// Far more than any number of slots takes: a larger file is not a key file.
constexpr std::size_t kLongestKeyFile = std::size_t{1} << 20;

} // namespace

std::string SiteKeyStore::defaultPath(const std::vector<SelectionEntry>& selection) {
    if (selection.empty())
        return {};
    std::string folder = OriginalsPlace::absolute(selection.front().path);
    if (!selection.front().isFolder) {
        const auto last = folder.rfind(disk::kPathSeparator);
        folder = last == std::string::npos || last == 0 ? std::string("/") : folder.substr(0, last);
    }
    if (folder.size() <= 1)
        return {}; // the root has no folder above it
    return folder + std::string(kSuffix);
}

std::error_code SiteKeyStore::read(const std::string& path, crypto::SiteKeyFile& file, bool& exists) {
    disk::FileStatus status;
    exists = false;
    if (m_fs.status(path, status))
        return {}; // nothing there (a path that cannot be looked at fails when it is written)
    exists = true;
    std::string text;
    if (const auto error = m_fs.readStart(path, kLongestKeyFile + 1, text))
        return error;
    if (text.size() > kLongestKeyFile)
        return crypto::CryptoError::KeyFileDamaged;
    return crypto::SiteKeyFile::read(text, file);
}

std::error_code SiteKeyStore::write(const std::string& path, const crypto::SiteKeyFile& file) {
    disk::FileIdentity written;
    return disk::PageWriter(m_fs).write(path, file.write(), written);
}

} // namespace quillora::run
