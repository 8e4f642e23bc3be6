#pragma once

#include "PageLock.h"
#include "RunReporter.h"
#include "SelectionEntry.h"
#include "crypto/SiteKey.h"
#include "disk/FileSystem.h"

#include <map>
#include <string>
#include <vector>

namespace quillora::run {

/// The way back from encryption with a password: every unlock page below the picked paths that the password opens
/// gives back its original, byte for byte, in its place or (with a target folder) at the same path below the
/// target, so that a site is never lost while one of its passwords is known: not with its originals gone, nor with
/// its key file. A page the password does not open is reported and left alone; other pages are passed over. Pages
/// sealed before unlock pages carried their originals give back the page as it was shown (hidden, when the run hid
/// it too). Written pages are reported as written.
class DecryptRun {
public:
    DecryptRun(RunReporter& reporter, disk::FileSystem& fileSystem, std::u16string password,
               std::string targetFolder = {});
    ~DecryptRun();
    DecryptRun(const DecryptRun&) = delete;
    DecryptRun& operator=(const DecryptRun&) = delete;

    RunSummary Decrypt(const std::vector<SelectionEntry>& selection);
    void setLockWait(const LockWait& wait) { m_lockWait = wait; }

private:
    void decryptPage(const FileEntry& entry, RunSummary& summary, std::vector<std::string>& written);
    /// The password's key under the salt and rounds a page names, derived once for each.
    std::error_code derivedFor(const crypto::SiteKey::Salt& salt, int iterations, crypto::SiteKey& key);
    std::error_code write(const std::string& path, std::string_view bytes, const disk::LockedFile& page, bool inPlace);

    RunReporter& m_reporter;
    disk::FileSystem& m_fs;
    std::u16string m_password;
    std::string m_target;
    LockWait m_lockWait;
    std::map<std::pair<crypto::SiteKey::Salt, int>, crypto::SiteKey> m_derived;
};

} // namespace quillora::run
