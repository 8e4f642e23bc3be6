#pragma once

#include "FileList.h"
#include "crypto/SiteKey.h"
#include "disk/FileSystem.h"
#include "unlock/UnlockPage.h"

#include <future>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace quillora::run {

/// The keys of the unlock pages that earlier runs wrote among a run's pages, tried with the run's password before
/// it is wiped: a page that the password opens counts as protected; a page it does not open was encrypted with
/// another password or key. Where the site's key file is missing, the slots of a page the password opens make it
/// again, so that the site keeps its content key.
class EarlierKeys {
public:
    /// How an unlock page stands to the run's password.
    enum class Verdict { Opens, OtherKey };

    explicit EarlierKeys(disk::FileSystem& fileSystem);

    /// Reads the beginning of each listed page and, for each key among the unlock pages, derives it from the password
    /// and tries it on one of them. With meanwhile, on a thread of its own while the caller goes on, with copies of
    /// the list and the password of its own (the password's wiped once it is done).
    void learn(const FileList& list, std::u16string_view password, bool meanwhile = false);
    /// Waits for the learning to end; done by every member below, and before the password is wiped.
    void finishLearning() const;
    /// A content key learned that the password opens through the slots of its pages, with those slots (to make the
    /// site's key file again); null when none.
    const crypto::SiteKey* reusable(std::vector<crypto::KeyWrap::Wrapped>& slots) const;
    /// Whether the run's password opens an unlock page: through a key learned, or the run's own content key.
    Verdict verdict(std::string_view unlockPage, const crypto::SiteKey& runKey) const;

private:
    using KeyName = std::pair<crypto::SiteKey::Salt, int>; // salt and rounds
    struct Learned {
        std::optional<crypto::SiteKey> key; // empty: the password does not open it
        std::vector<crypto::KeyWrap::Wrapped> slots;
    };

    void learnPage(const std::string& path, std::u16string_view password);

    disk::FileSystem& m_fs;
    std::map<KeyName, Learned> m_keys; // written by the learning only
    mutable std::future<void> m_learning;
};

} // namespace quillora::run
