#include "IncrementalCopy.h"

#include "FileHelpers.h"
#include "OutputPlacement.h"
#include "charset/TextConvert.h"
#include "crypto/Digest.h"
#include "disk/PageWriter.h"
#include "disk/Paths.h"

#include <algorithm>

#ifndef QUILLORA_VERSION
#define QUILLORA_VERSION "unknown"
#endif

namespace quillora::run {

namespace {

using Kind = CopyManifest::Kind;

constexpr std::string_view kKeyCheck = "quillora manifest: key check";
constexpr std::string_view kDigestKey = "quillora manifest: page digests";

std::string hexOf(std::span<const unsigned char> bytes) {
    constexpr char kDigits[] = "0123456789abcdef";
    std::string text;
    for (const unsigned char byte : bytes) {
        text.push_back(kDigits[byte >> 4]);
        text.push_back(kDigits[byte & 15]);
    }
    return text;
}

CopyManifest::Digest shortened(const crypto::Digest::Value& value) {
    CopyManifest::Digest digest{};
    std::copy_n(value.begin(), digest.size(), digest.begin());
    return digest;
}

void addField(std::string& out, std::string_view field) {
    out += std::to_string(field.size());
    out += ':';
    out += field;
}

} // namespace

IncrementalCopy::IncrementalCopy(disk::FileSystem& fileSystem, const RuleSet& rules, const std::string& target)
    : m_fs(fileSystem), m_rules(rules), m_target(OutputPlacement::CollapseSeparators(target + disk::kPathSeparator)),
      m_manifestPath(m_target + std::string(kManifestName)) {}

void IncrementalCopy::load() {
    disk::FileStatus status;
    m_lastOnDisk = !m_fs.status(m_manifestPath, status) && status.isRegular;
    if (m_last.read(m_fs, m_manifestPath)) {
        m_last = CopyManifest{};
        m_lastOnDisk = false; // not one of ours: written anew, not added to
    }
}

void IncrementalCopy::useUnlockTemplate(std::string_view bytes) {
    m_templateDigest = crypto::Digest::hex(crypto::Digest::sha256(bytes));
}

bool IncrementalCopy::useKey(const crypto::SiteKey& key) {
    const auto check = crypto::Digest::hmacSha256(key.key(), kKeyCheck);
    const auto digestKey = crypto::Digest::hmacSha256(key.key(), kDigestKey);
    m_digestKey.assign(digestKey.begin(), digestKey.end());
    const std::lock_guard lock(m_mutex);
    m_next.salt = hexOf(key.salt());
    m_next.keyCheck = crypto::Digest::hex(check);
    return m_next.salt == m_last.salt && m_next.keyCheck == m_last.keyCheck;
}

void IncrementalCopy::useLevelKey(const std::string& level, const crypto::SiteKey& key) {
    m_levelChecks[level] = crypto::Digest::hex(crypto::Digest::hmacSha256(key.key(), kKeyCheck));
}

CopyManifest::Digest IncrementalCopy::ruleDigest(const PageRule& rule, Kind kind) const {
    if (kind == Kind::Copy)
        return {}; // a copy is the file as it is, whatever the rules say
    const engine::ProtectionOptions& options = rule.options;
    std::string text = QUILLORA_VERSION;
    addField(text, std::string(1, static_cast<char>(kind)));
    addField(text, std::to_string(static_cast<int>(options.encryptionMode)));
    for (const bool script : options.scripts)
        text += script ? '1' : '0';
    addField(text, options.showRightClickWarning ? charset::toUtf8(options.rightClickWarning) : std::string());
    addField(text,
             options.script(engine::kScriptCopyAttribution) ? charset::toUtf8(options.copyAttribution) : std::string());
    addField(text, options.insertNotice ? charset::toUtf8(options.noticeText) : std::string());
    addField(text, options.passwordProtect && !options.encrypt ? charset::toUtf8(options.password) : std::string());
    if (options.encrypt) {
        // The key's check stands for the password: a new password makes every encrypted page new.
        addField(text, m_next.keyCheck);
        // Under a level, its name and key too; nothing for the site's own key, so that digests stay as they were.
        if (!options.keyLevel.empty()) {
            const auto check = m_levelChecks.find(options.keyLevel);
            addField(text, options.keyLevel + ' ' + (check == m_levelChecks.end() ? std::string() : check->second));
        }
        addField(text, std::to_string(options.rememberDays));
        for (const auto* unlockText : {&options.unlockPrompt, &options.unlockButton, &options.wrongPassword})
            addField(text, charset::toUtf8(*unlockText));
        addField(text, options.replaceTitle ? "title:" + charset::toUtf8(options.unlockTitle) : std::string());
        addField(text, options.hideWhenEncrypting ? "hidden" : "as written");
        // Only with a template, so that the digests of copies made without one stay as they were.
        if (!m_templateDigest.empty())
            addField(text, "template:" + m_templateDigest);
    }
    // Only when chosen, so that the digests of copies made without it stay as they were.
    if (options.strictCsp)
        addField(text, "csp");
    return shortened(crypto::Digest::sha256(text));
}

CopyManifest::Digest IncrementalCopy::sourceDigest(std::string_view bytes, bool encrypted) const {
    // The manifest may be published with the site: a plain digest of an encrypted page would let anyone confirm
    // a guess of its text.
    if (encrypted && !m_digestKey.empty())
        return shortened(crypto::Digest::hmacSha256(m_digestKey, bytes));
    return shortened(crypto::Digest::sha256(bytes));
}

std::optional<std::string_view> IncrementalCopy::relativeOutput(const std::string& outputPath,
                                                                std::string& buffer) const {
    std::string_view path = outputPath;
    constexpr char kPair[] = {disk::kPathSeparator, disk::kPathSeparator, '\0'};
    if (path.find(kPair) != std::string_view::npos) {
        buffer = OutputPlacement::CollapseSeparators(outputPath);
        path = buffer;
    }
    if (!path.starts_with(m_target) || path.size() == m_target.size())
        return std::nullopt;
    return path.substr(m_target.size());
}

std::string IncrementalCopy::sourceKey(const std::string& source) const {
    return m_rules.relativePath(source).value_or(source);
}

bool IncrementalCopy::isSourceKey(std::string_view key, const std::string& source) const {
    // The root, a separator, the key: compared in place.
    const std::string& root = m_rules.root();
    if (root.empty() || key.starts_with(disk::kPathSeparator) || disk::kPathSeparator != '/')
        return key == sourceKey(source);
    const bool top = root.size() == 1 && root.front() == disk::kPathSeparator;
    const std::size_t skip = top ? 1 : root.size() + 1;
    return source.size() == skip + key.size() && source.starts_with(root) &&
           (top || source[root.size()] == disk::kPathSeparator) && std::string_view(source).substr(skip) == key;
}

std::string IncrementalCopy::sourcePath(const std::string& key) const {
    if (key.starts_with(disk::kPathSeparator) || m_rules.root().empty())
        return key;
    return m_rules.root() + disk::kPathSeparator + key;
}

bool IncrementalCopy::upToDate(const std::string& source, const std::string& outputPath,
                               const CopyManifest::Digest& rule, Kind kind, bool encrypted, const KnownStatus& known) {
    std::string buffer;
    const auto output = relativeOutput(outputPath, buffer);
    if (!output || kind == Kind::Frameset)
        return false;
    const auto last = m_last.entries().find(*output);
    if (last == m_last.entries().end() || last->second.kind != kind || last->second.rule != rule ||
        !isSourceKey(last->second.source, source))
        return false;
    const CopyManifest::Entry& entry = last->second;
    disk::FileStatus status;
    if (known.output != nullptr ? !known.output->has_value() || (status = **known.output, false)
                                : static_cast<bool>(m_fs.status(outputPath, status)))
        return false;
    if (!status.isRegular || status.size != entry.outputSize || status.modifiedNs != entry.outputModified)
        return false; // gone from the target, or changed there since
    if (known.source != nullptr)
        status = *known.source;
    else if (m_fs.status(source, status))
        return false;
    if (!status.isRegular)
        return false;
    const bool touched = status.size != entry.sourceSize || status.modifiedNs != entry.sourceModified;
    if (touched) {
        // Touched, or made again by a generator: a page with the same bytes needs no new output.
        std::string bytes;
        disk::FileStatus after;
        if (kind == Kind::Copy || m_fs.readFile(source, bytes) || m_fs.status(source, after) ||
            after.size != status.size || after.modifiedNs != status.modifiedNs ||
            sourceDigest(bytes, encrypted) != entry.sourceDigest)
            return false;
    }
    const std::lock_guard lock(m_mutex);
    if (touched) {
        last->second.sourceSize = status.size;
        last->second.sourceModified = status.modifiedNs;
        m_touched = true;
    }
    m_kept.insert(last->first);
    return true;
}

std::error_code IncrementalCopy::beginWriting(const std::vector<std::pair<std::string, std::string>>& planned) {
    if (planned.empty())
        return {};
    // What the cleanup goes by from here on: the last run's entries, and what this one is about to write.
    CopyManifest& journal = m_last;
    std::string lines;
    std::string buffer;
    for (const auto& [source, outputPath] : planned) {
        const auto output = relativeOutput(outputPath, buffer);
        if (!output)
            continue;
        CopyManifest::Entry entry;
        entry.kind = Kind::Pending;
        entry.source = sourceKey(source);
        disk::FileStatus status;
        if (!m_fs.status(outputPath, status) && status.isRegular) {
            const auto last = m_last.entries().find(*output);
            entry.earlierOutput = last != m_last.entries().end() && isOurs(last->second, outputPath);
            if (last != m_last.entries().end())
                m_kept.erase(last->first);
            entry.outputSize = status.size;
            entry.outputModified = status.modifiedNs;
        }
        lines += CopyManifest::line(std::string(*output), entry);
        journal.entries().insert_or_assign(std::string(*output), std::move(entry));
    }
    m_journaled = true;
    // Added at the end of the manifest, which reads later lines over earlier ones: one small write, not the whole.
    if (m_lastOnDisk && !m_fs.appendToFile(m_manifestPath, lines))
        return {};
    MakeFolders(m_fs, m_manifestPath);
    return journal.write(m_fs, m_manifestPath);
}

void IncrementalCopy::written(const std::string& source, const std::string& outputPath, Kind kind,
                              const CopyManifest::Digest& rule, const CopyManifest::Digest& digest,
                              const disk::FileStatus& sourceStatus) {
    std::string buffer;
    const auto output = relativeOutput(outputPath, buffer);
    if (!output)
        return;
    CopyManifest::Entry entry;
    entry.kind = kind;
    entry.source = sourceKey(source);
    entry.sourceSize = sourceStatus.size;
    entry.sourceModified = sourceStatus.modifiedNs;
    entry.sourceDigest = digest;
    entry.rule = rule;
    const std::lock_guard lock(m_mutex);
    m_next.entries().insert_or_assign(std::string(*output), std::move(entry));
    m_written.emplace(*output);
}

void IncrementalCopy::planned(const std::string& source) {
    const std::lock_guard lock(m_mutex);
    m_planned.insert(sourceKey(source));
}

void IncrementalCopy::failed(const std::string& source) {
    const std::lock_guard lock(m_mutex);
    m_failed.insert(sourceKey(source));
}

bool IncrementalCopy::inSelection(const std::string& source, const std::vector<SelectionEntry>& selection) const {
    for (const auto& picked : selection) {
        if (!picked.isFolder) {
            if (source == picked.path)
                return true;
            continue;
        }
        std::string folder = picked.path;
        if (folder.empty() || folder.back() != disk::kPathSeparator)
            folder.push_back(disk::kPathSeparator);
        if (source.starts_with(folder))
            return true;
    }
    return false;
}

// An output is this tool's to remove only while it is as a run of it left it.
bool IncrementalCopy::isOurs(const CopyManifest::Entry& entry, const std::string& output) {
    disk::FileStatus status;
    if (m_fs.status(output, status) || !status.isRegular)
        return false;
    const bool asRecorded = status.size == entry.outputSize && status.modifiedNs == entry.outputModified;
    if (entry.kind == Kind::Pending)
        return entry.earlierOutput || !asRecorded; // written by the run that noted it, or by one before it
    return asRecorded;
}

std::vector<std::pair<std::string, std::string>>
IncrementalCopy::staleOutputs(const std::vector<SelectionEntry>& selection) {
    std::vector<std::pair<std::string, std::string>> stale;
    const std::lock_guard lock(m_mutex);
    for (const auto& [output, entry] : m_last.entries()) {
        if (m_kept.count(output) != 0 || m_next.entries().count(output) != 0 || m_failed.count(entry.source) != 0 ||
            m_planned.count(entry.source) != 0)
            continue;
        const std::string source = sourcePath(entry.source);
        const std::string path = m_target + output;
        if (inSelection(source, selection) && isOurs(entry, path))
            stale.emplace_back(source, path);
    }
    return stale;
}

void IncrementalCopy::removeEmptyFolders(const std::string& output) {
    std::string folder = disk::getFilePathOnly(output);
    while (folder.size() > m_target.size() && folder.starts_with(m_target)) {
        folder.pop_back();
        if (m_fs.removeEmptyFolder(folder))
            return;
        folder = disk::getFilePathOnly(folder);
    }
}

std::error_code
IncrementalCopy::finish(const std::vector<SelectionEntry>& selection,
                        const std::function<void(const std::string& source, const std::string& output)>& removed,
                        bool stopped) {
    const auto stale = stopped ? std::vector<std::pair<std::string, std::string>>() : staleOutputs(selection);
    const std::lock_guard lock(m_mutex);
    for (const auto& output : m_written) {
        auto& entry = m_next.entries()[output];
        disk::FileStatus status;
        if (!m_fs.status(m_target + output, status)) {
            entry.outputSize = status.size;
            entry.outputModified = status.modifiedNs;
        }
    }
    // The new manifest: what this run wrote, what it found as the last run left it, and what it left alone.
    CopyManifest::EntryList entries;
    entries.reserve(m_last.entries().size() + m_next.entries().size());
    for (const auto& [output, entry] : m_next.entries())
        entries.emplace_back(&output, &entry);
    bool carriedAsItWas = true;
    for (auto& [output, entry] : m_last.entries()) {
        if (m_next.entries().count(output) != 0)
            continue;
        if (m_kept.count(output) != 0) {
            entries.emplace_back(&output, &entry);
        } else if (m_failed.count(entry.source) != 0) {
            entry.rule = CopyManifest::kStale; // left as the last run wrote it, and done again next time
            entries.emplace_back(&output, &entry);
            carriedAsItWas = false;
        } else if (stopped || !inSelection(sourcePath(entry.source), selection)) {
            entries.emplace_back(&output, &entry); // not this run's to judge (or not yet)
        } else {
            carriedAsItWas = false; // its source is gone
        }
    }
    for (const auto& [source, output] : stale) {
        if (m_fs.removeFile(output))
            continue;
        removed(source, output);
        removeEmptyFolders(output);
    }
    if (m_next.salt.empty()) {
        // A run without a key keeps the last one's salt for the encrypted pages it left as they were.
        m_next.salt = m_last.salt;
        m_next.keyCheck = m_last.keyCheck;
    }
    const bool sameKey = m_next.salt == m_last.salt && m_next.keyCheck == m_last.keyCheck;
    if (m_next.entries().empty() && carriedAsItWas && !m_touched && !m_journaled && sameKey && m_lastOnDisk)
        return {}; // nothing to note: the manifest stays as it is
    MakeFolders(m_fs, m_manifestPath);
    disk::FileIdentity written;
    return disk::PageWriter(m_fs).write(m_manifestPath,
                                        CopyManifest::text(m_next.salt, m_next.keyCheck, std::move(entries)), written);
}

} // namespace quillora::run
