#pragma once

#include "CopyManifest.h"
#include "RuleSet.h"
#include "SelectionEntry.h"
#include "crypto/SiteKey.h"
#include "disk/FileSystem.h"

#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

namespace quillora::run {

/// What a caller knows already of a source and its output (nullptr: ask the disk; an empty output: there is none).
struct KnownStatus {
    const disk::FileStatus* source = nullptr;
    const std::optional<disk::FileStatus>* output = nullptr;
};

/// A copy into a target that a run made before: what is as that run left it (same source, same rule, the output
/// untouched since) is not written again, and what that run wrote for a source that is gone from the selection is
/// removed, never anything else. The record is the manifest in the target; before a run writes, it notes there what
/// it is about to write, so that a run killed half-way is cleaned up by the next.
class IncrementalCopy {
public:
    /// The manifest's name in the target.
    static constexpr std::string_view kManifestName = ".quillora-manifest";

    IncrementalCopy(disk::FileSystem& fileSystem, const RuleSet& rules, const std::string& target);

    /// Reads the last run's manifest (none: every output is new). A file of that name that is not a manifest is
    /// taken for none, and nothing is removed on its word.
    void load();
    /// The run's key: encrypted pages are compared under it, and a key other than the last run's makes every
    /// encrypted page new. True when it is the last run's key.
    bool useKey(const crypto::SiteKey& key);
    /// The key of an access level: the rules that encrypt with it digest its check, so that pages under a level
    /// whose key changed are new.
    void useLevelKey(const std::string& level, const crypto::SiteKey& key);
    /// The user's unlock page the run's encrypted pages are written in: another one makes every encrypted page new.
    void useUnlockTemplate(std::string_view bytes);

    /// The digest of what a rule gives its pages (for a copy: nothing).
    CopyManifest::Digest ruleDigest(const PageRule& rule, CopyManifest::Kind kind) const;
    /// The digest of a page's bytes as kept in the manifest (keyed when the page is encrypted).
    CopyManifest::Digest sourceDigest(std::string_view bytes, bool encrypted) const;

    /// True when the output at outputPath is as the last run left it, from source as it is now, under the same
    /// rule; it is then kept in the new manifest.
    bool upToDate(const std::string& source, const std::string& outputPath, const CopyManifest::Digest& rule,
                  CopyManifest::Kind kind, bool encrypted, const KnownStatus& known = {});

    /// Notes in the manifest the outputs about to be written (source, output), before the first is.
    std::error_code beginWriting(const std::vector<std::pair<std::string, std::string>>& planned);
    /// A file written from source in this run (called from the committing side).
    void written(const std::string& source, const std::string& outputPath, CopyManifest::Kind kind,
                 const CopyManifest::Digest& rule, const CopyManifest::Digest& digest,
                 const disk::FileStatus& sourceStatus);
    /// A source a dry run would write.
    void planned(const std::string& source);
    /// A source the run reached and could not do: its last output stays, to be done again next time.
    void failed(const std::string& source);

    /// What the last run wrote for the sources gone from the selection (source, output: native paths), still as it
    /// was written.
    std::vector<std::pair<std::string, std::string>> staleOutputs(const std::vector<SelectionEntry>& selection);
    /// Removes those outputs (telling each to removed), then writes the new manifest. A stopped run removes
    /// nothing: what it would have removed stays noted, for the next run to remove.
    std::error_code finish(const std::vector<SelectionEntry>& selection,
                           const std::function<void(const std::string& source, const std::string& output)>& removed,
                           bool stopped = false);

    const std::string& manifestPath() const { return m_manifestPath; }

private:
    /// The output below the target; a view into outputPath, or into buffer where separators had to be collapsed.
    std::optional<std::string_view> relativeOutput(const std::string& outputPath, std::string& buffer) const;
    std::string sourceKey(const std::string& source) const;
    bool isSourceKey(std::string_view key, const std::string& source) const;
    std::string sourcePath(const std::string& key) const;
    bool inSelection(const std::string& source, const std::vector<SelectionEntry>& selection) const;
    bool isOurs(const CopyManifest::Entry& entry, const std::string& output);
    void removeEmptyFolders(const std::string& output);

    disk::FileSystem& m_fs;
    const RuleSet& m_rules;
    std::string m_target; // with a separator at its end
    std::string m_manifestPath;
    CopyManifest m_last;
    bool m_lastOnDisk = false;              // the last run's manifest is there to be added to
    std::vector<unsigned char> m_digestKey; // empty: plain digests
    std::map<std::string, std::string> m_levelChecks;
    std::string m_templateDigest; // empty: the built-in unlock page
    std::mutex m_mutex;           // the reading and the committing side both note entries
    CopyManifest m_next;          // what this run wrote; guarded by m_mutex
    // The last run's outputs found as it left them, views of m_last's keys; guarded by m_mutex.
    std::unordered_set<std::string_view> m_kept;
    bool m_touched = false; // a kept entry's source has a new time (same bytes); guarded by m_mutex
    bool m_journaled = false;
    std::unordered_set<std::string> m_failed;  // guarded by m_mutex
    std::unordered_set<std::string> m_planned; // guarded by m_mutex
    std::unordered_set<std::string> m_written; // outputs to look at once written; guarded by m_mutex
};

} // namespace quillora::run
