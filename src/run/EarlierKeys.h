#pragma once

#include "FileList.h"
#include "crypto/SiteKey.h"
#include "disk/FileSystem.h"
#include "unlock/UnlockPage.h"

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace quillora::run {

/// The keys of the unlock pages that earlier runs wrote among a run's pages, tried with the run's password: a page
/// that the password opens counts as protected; a page it does not open was encrypted with another password or key.
/// Where the site's key file is missing, the slots of a page the password opens make it again, so that the site
/// keeps its content key.
class EarlierKeys {
public:
    /// How an unlock page stands to the run's password.
    enum class Verdict { Opens, OtherKey };

    /// Keeps a copy of the password, wiped when this goes (with the run's pages): a key is derived when a page of
    /// it is first met, not for every page of the site before the run.
    EarlierKeys(disk::FileSystem& fileSystem, std::u16string_view password);
    ~EarlierKeys();
    EarlierKeys(const EarlierKeys&) = delete;
    EarlierKeys& operator=(const EarlierKeys&) = delete;

    /// Reads the beginning of each listed page and, for each key among the unlock pages, derives it from the password
    /// and tries it on one of them (for a site whose key file is missing).
    void learn(const FileList& list);
    /// A content key learned that the password opens through the slots of its pages, with those slots (to make the
    /// site's key file again); null when none.
    const crypto::SiteKey* reusable(std::vector<crypto::KeyWrap::Wrapped>& slots) const;
    /// Whether the run's password opens an unlock page: through the run's own content key, or a key learned (the
    /// first page of a key not met yet derives it).
    Verdict verdict(std::string_view unlockPage, const crypto::SiteKey& runKey);

private:
    using KeyName = std::pair<crypto::SiteKey::Salt, int>; // salt and rounds
    struct Learned {
        std::optional<crypto::SiteKey> key; // empty: the password does not open it
        std::vector<crypto::KeyWrap::Wrapped> slots;
    };

    void learnPage(const std::string& path);
    void learnKey(const unlock::SealedPage& sealed);

    disk::FileSystem& m_fs;
    std::u16string m_password;
    std::map<KeyName, Learned> m_keys;
};

} // namespace quillora::run
