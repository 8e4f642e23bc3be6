#include "EarlierKeys.h"

#include "crypto/SecretMemory.h"

namespace quillora::run {

namespace {

// An unlock page tells its key within its first bytes (after a notice and a title of ordinary length).
constexpr std::size_t kLookedAt = std::size_t{16} << 10;

/// Wipes a secret however its scope is left.
struct WipedOnExit {
    std::u16string& secret;
    ~WipedOnExit() { crypto::wipe(secret); }
};

} // namespace

EarlierKeys::EarlierKeys(disk::FileSystem& fileSystem) : m_fs(fileSystem) {}

void EarlierKeys::learn(const FileList& list, std::u16string_view password, bool meanwhile) {
    finishLearning();
    std::vector<std::string> pages;
    for (const auto& entry : list.slots) {
        if (!entry.Name.empty())
            pages.push_back(entry.fullPath());
    }
    if (!meanwhile) {
        for (const auto& page : pages)
            learnPage(page, password);
        return;
    }
    // The thread keeps a copy of the password of its own, wiped once it is done: the caller wipes its own at once.
    m_learning =
        std::async(std::launch::async, [this, pages = std::move(pages), secret = std::u16string(password)]() mutable {
            const WipedOnExit wiped{secret};
            for (const auto& page : pages)
                learnPage(page, secret);
        });
}

void EarlierKeys::finishLearning() const {
    if (m_learning.valid())
        m_learning.get(); // what it threw (running out of memory) comes here
}

void EarlierKeys::learnPage(const std::string& path, std::u16string_view password) {
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
    const KeyName name{sealed.salt, sealed.iterations};
    if (m_keys.count(name) != 0)
        return;
    crypto::SiteKey derived;
    if (crypto::SiteKey::derive(password, sealed.salt, sealed.iterations, derived))
        return;
    crypto::SiteKey key;
    Learned& learned = m_keys[name];
    if (unlock::PageEncryptor::keyFor(derived, sealed, key)) {
        learned.key = key;
        learned.slots = sealed.slots;
    }
}

const crypto::SiteKey* EarlierKeys::reusable(std::vector<crypto::KeyWrap::Wrapped>& slots) const {
    finishLearning();
    for (const auto& [name, learned] : m_keys) {
        if (learned.key && !learned.slots.empty()) {
            slots = learned.slots;
            return &*learned.key;
        }
    }
    return nullptr;
}

EarlierKeys::Verdict EarlierKeys::verdict(std::string_view unlockPage, const crypto::SiteKey& runKey) const {
    unlock::SealedPage sealed;
    if (!unlock::PageEncryptor::readSealed(unlockPage, sealed))
        return Verdict::OtherKey;
    if (!sealed.slots.empty() && unlock::PageEncryptor::opens(runKey, sealed))
        return Verdict::Opens;
    finishLearning(); // only a page of another key waits for it
    // The tag decides, not the salt: a site's salt stays when its content key changes.
    const auto known = m_keys.find({sealed.salt, sealed.iterations});
    return known != m_keys.end() && known->second.key && unlock::PageEncryptor::opens(*known->second.key, sealed)
               ? Verdict::Opens
               : Verdict::OtherKey;
}

} // namespace quillora::run
