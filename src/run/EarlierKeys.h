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

namespace quillora::run {

/// The keys of the unlock pages that earlier runs wrote among a run's pages, tried with the run's password before
/// it is wiped: a page that the password opens counts as protected (and the new pages are sealed with its key, so
/// that one unlock still opens the whole site); a page it does not open was encrypted with another password or key.
class EarlierKeys {
public:
    /// How an unlock page stands to the run's password.
    enum class Verdict { Opens, OtherKey };

    explicit EarlierKeys(disk::FileSystem& fileSystem);

    /// Reads the beginning of each listed page and, for each key among the unlock pages, derives it from the password
    /// and tries it on one of them.
    void learn(const FileList& list, std::u16string_view password);
    /// A key learned that the password opens, with the rounds given (to seal new pages with); null when none.
    const crypto::SiteKey* reusable(int iterations) const;
    /// Whether the run's password opens an unlock page: through a key learned, or the run's own (named by its salt
    /// and rounds).
    Verdict verdict(std::string_view unlockPage, const crypto::SiteKey::Salt& runSalt, int runIterations) const;

private:
    using KeyName = std::pair<crypto::SiteKey::Salt, int>; // salt and rounds

    void learnPage(const std::string& path, std::u16string_view password);

    disk::FileSystem& m_fs;
    std::map<KeyName, std::optional<crypto::SiteKey>> m_keys; // empty: the password does not open it
};

} // namespace quillora::run
