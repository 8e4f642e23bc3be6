#pragma once

#include "FileEntry.h"
#include "RunReporter.h"
#include "SelectionEntry.h"
#include "crypto/SiteKeyFile.h"
#include "disk/FileSystem.h"
#include "disk/PageWriter.h"
#include "unlock/Reseal.h"

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace quillora::run {

/// What a change of a site's passwords or key asks for. The password is one of the site's (any slot's).
struct KeyChange {
    std::u16string password;
    std::optional<std::u16string> addPassword; // a new slot with this password and label
    std::string addLabel;
    std::string removeSlot;         // a slot's label or "#N"; empty: none
    bool rotate = false;            // a new content key for every remaining password, every page sealed again
    bool allowWeakPassword = false; // take a new password below the strength floor
    std::string keyFile;            // empty: the default place beside the first picked folder
    std::string level;              // the access level changed (its slots and key); empty: the site's own
    bool addLevel = false;          // with level and addPassword: the level is made, with that password's slot
    int iterations = crypto::SiteKey::kIterations; // a key file made for a new level (fewer only in tests)
};

/// What a change came to.
struct KeyChangeSummary {
    enum class Outcome { Done, Incomplete, Refused };
    Outcome outcome = Outcome::Refused;
    std::string keyFile;
    std::size_t resealed = 0; // unlock pages written with the new key or slots
    std::size_t otherKey = 0; // unlock pages the site's key does not open, left as they are
    std::size_t failed = 0;   // unlock pages that could not be written (the change waits to be finished)
    bool rotated = false;
    bool finishedEarlier = false;   // an interrupted change was finished first
    std::vector<std::string> slots; // the names of the slots afterwards
    std::string removedSlot;        // the name of the slot removed, if any
    std::string level;              // the access level changed; empty: the site's own
    bool levelAdded = false;
};

/// Adds and removes a site's passwords and changes its content key: the site key file and every unlock page under
/// the picked folders that the site's key opens. The new key file is written beside the old one (FILE.new) first and
/// takes its place only once every page is written: a crash or a failure in between leaves the old key file, which
/// still opens the pages not yet written, and the new one, which the next change finishes with (the browser opens
/// every page with its own slots all along). Pages sealed with another key are reported and left as they are.
class KeyChangeRun {
public:
    static constexpr std::string_view kPendingSuffix = ".new";

    KeyChangeRun(RunReporter& reporter, disk::FileSystem& fileSystem);

    /// The password in change is wiped when it returns.
    KeyChangeSummary change(const std::vector<SelectionEntry>& selection, KeyChange& change);

private:
    std::optional<RunRefusal> placeKeyFile(const std::vector<SelectionEntry>& selection, const std::string& given,
                                           std::string& path) const;
    std::optional<RunRefusal> readKeyFile(const std::string& path, crypto::SiteKeyFile& file, bool mustExist);
    std::optional<RunRefusal> applyChange(const KeyChange& change, crypto::SiteKeyFile& file,
                                          const crypto::SiteKey& content, crypto::SiteKey& next,
                                          KeyChangeSummary& summary) const;
    /// One key of the site (its own or a level's) as a change leaves it: the pages it opens are sealed again for the
    /// target. Keys a change leaves as they were have none.
    struct Step {
        crypto::SiteKey from;
        unlock::ResealTarget to;
    };
    struct Plan {
        std::vector<Step> steps; // the site's own key first
        std::vector<crypto::SiteKey::Salt> unchanged;
    };
    /// What takes a key file and its content key to the next, for each key of the site.
    static std::error_code planOf(const crypto::SiteKeyFile& before, const crypto::SiteKey& beforeKey,
                                  const crypto::SiteKeyFile& after, const crypto::SiteKey& afterKey, Plan& plan);
    std::optional<RunRefusal> changeLevel(const KeyChange& change, crypto::SiteKeyFile& next,
                                          const crypto::SiteKey& content, KeyChangeSummary& summary) const;
    /// Writes the new key file aside, every page under the target, then the new file in the old one's place.
    bool commit(const std::string& path, const crypto::SiteKeyFile& next, const crypto::SiteKeyFile& before,
                const crypto::SiteKey& oldContent, const crypto::SiteKey& newContent, KeyChangeSummary& summary);
    void resealPage(const FileEntry& entry, const Plan& plan, KeyChangeSummary& summary);
    /// Puts the pages staged in their places, brought to the disk together first.
    void placeStaged(KeyChangeSummary& summary);
    /// The key a page without slots was sealed with: the run's password derived with the page's salt.
    const crypto::SiteKey* passwordKeyFor(std::string_view page);
    std::vector<FileEntry> listPages();

    RunReporter& m_reporter;
    disk::FileSystem& m_fs;
    std::vector<SelectionEntry> m_selection;
    std::u16string m_password;
    std::size_t m_unlisted = 0; // folders that could not be listed
    /// A page written beside itself, locked until it takes its place.
    struct Staged {
        FileEntry entry;
        std::unique_ptr<disk::LockedFile> lock;
        disk::PageWriter::Pending pending;
    };
    std::vector<Staged> m_staged;
    std::map<std::pair<crypto::SiteKey::Salt, int>, std::optional<crypto::SiteKey>> m_passwordKeys;
};

} // namespace quillora::run
