#include "EarlierKeys.h"

#include "crypto/SecretMemory.h"

namespace quillora::run {

namespace {

// An unlock page tells its key within its first bytes (after a notice and a title of ordinary length).
constexpr std::size_t kLookedAt = std::size_t{16} << 10;

} // namespace

EarlierKeys::EarlierKeys(disk::FileSystem& fileSystem, std::u16string_view password)
    : m_fs(fileSystem), m_password(password) {}

EarlierKeys::~EarlierKeys() {
    crypto::wipe(m_password);
}

void EarlierKeys::learn(const FileList& list) {
    for (const auto& entry : list.slots) {
        if (!entry.Name.empty())
            learnPage(entry.fullPath());
    }
}

void EarlierKeys::learnPage(const std::string& path) {
    std::string bytes;
    if (m_fs.readStart(path, kLookedAt, bytes) || !unlock::PageEncryptor::isUnlockPage(bytes))
        return;
    unlock::SealedPage sealed;
    // A long notice or title may put the key's data beyond the first bytes.
    const bool named = unlock::PageEncryptor::readSealed(bytes, sealed, false);
    if (named && m_keys.count({sealed.salt, sealed.iterations}) != 0)
        return;
    // One whole page of each key is opened.
    if (m_fs.readFile(path, bytes) || !unlock::PageEncryptor::readSealed(bytes, sealed))
        return;
    if (m_keys.count({sealed.salt, sealed.iterations}) == 0)
        learnKey(sealed);
}

void EarlierKeys::learnKey(const unlock::SealedPage& sealed) {
    crypto::SiteKey derived;
    if (crypto::SiteKey::derive(m_password, sealed.salt, sealed.iterations, derived))
        return;
    crypto::SiteKey key;
    Learned& learned = m_keys[{sealed.salt, sealed.iterations}];
    if (unlock::PageEncryptor::keyFor(derived, sealed, key)) {
        learned.key = key;
        learned.slots = sealed.slots;
    }
}

const crypto::SiteKey* EarlierKeys::reusable(std::vector<crypto::KeyWrap::Wrapped>& slots) const {
    for (const auto& [name, learned] : m_keys) {
        if (learned.key && !learned.slots.empty()) {
            slots = learned.slots;
            return &*learned.key;
        }
    }
    return nullptr;
}

EarlierKeys::Verdict EarlierKeys::verdict(std::string_view unlockPage, const crypto::SiteKey& runKey) {
    unlock::SealedPage sealed;
    if (!unlock::PageEncryptor::readSealed(unlockPage, sealed))
        return Verdict::OtherKey;
    if (!sealed.slots.empty() && unlock::PageEncryptor::opens(runKey, sealed))
        return Verdict::Opens;
    // The tag decides, not the salt: a site's salt stays when its content key changes.
    if (m_keys.count({sealed.salt, sealed.iterations}) == 0)
        learnKey(sealed);
    const auto known = m_keys.find({sealed.salt, sealed.iterations});
    return known != m_keys.end() && known->second.key && unlock::PageEncryptor::opens(*known->second.key, sealed)
               ? Verdict::Opens
               : Verdict::OtherKey;
}

} // namespace quillora::run
