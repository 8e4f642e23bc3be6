#include "IncrementalCopy.h"

#include "FileHelpers.h"
#include "OutputPlacement.h"
#include "charset/TextConvert.h"
#include "crypto/Digest.h"
#include "disk/Paths.h"

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

std::optional<crypto::SiteKey::Salt> saltOf(std::string_view hex) {
    crypto::SiteKey::Salt salt{};
    if (hex.size() != salt.size() * 2)
        return std::nullopt;
    const auto value = [](char c) {
        return c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
    };
    for (std::size_t i = 0; i < salt.size(); ++i) {
        const int high = value(hex[2 * i]);
        const int low = value(hex[2 * i + 1]);
        if (high < 0 || low < 0)
            return std::nullopt;
        salt[i] = static_cast<unsigned char>(high * 16 + low);
    }
    return salt;
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
    if (m_last.read(m_fs, m_manifestPath))
        m_last = CopyManifest{};
}

std::optional<crypto::SiteKey::Salt> IncrementalCopy::lastSalt() const {
    return saltOf(m_last.salt);
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

std::string IncrementalCopy::ruleDigest(const PageRule& rule, Kind kind) const {
    if (kind == Kind::Copy)
        return "copy";
    const engine::ProtectionOptions& options = rule.options;
    std::string text = QUILLORA_VERSION;
    addField(text, std::string(1, static_cast<char>(kind)));
    addField(text, std::to_string(static_cast<int>(options.encryptionMode)));
    for (const bool script : options.scripts)
        text += script ? '1' : '0';
    addField(text, options.showRightClickWarning ? charset::toUtf8(options.rightClickWarning) : std::string());
    addField(text, options.insertNotice ? charset::toUtf8(options.noticeText) : std::string());
    addField(text, options.passwordProtect && !options.encrypt ? charset::toUtf8(options.password) : std::string());
    if (options.encrypt) {
        // The key's check stands for the password: a new password makes every encrypted page new.
        addField(text, m_next.keyCheck);
        addField(text, std::to_string(options.rememberDays));
        for (const auto* unlockText : {&options.unlockPrompt, &options.unlockButton, &options.wrongPassword})
            addField(text, charset::toUtf8(*unlockText));
    }
    return crypto::Digest::hex(crypto::Digest::sha256(text)).substr(0, 32);
}

std::string IncrementalCopy::sourceDigest(std::string_view bytes, bool encrypted) const {
    // The manifest may be published with the site: a plain digest of an encrypted page would let anyone confirm
    // a guess of its text.
    if (encrypted && !m_digestKey.empty())
        return crypto::Digest::hex(crypto::Digest::hmacSha256(m_digestKey, bytes));
    return crypto::Digest::hex(crypto::Digest::sha256(bytes));
}

std::optional<std::string> IncrementalCopy::relativeOutput(const std::string& outputPath) const {
    const std::string collapsed = OutputPlacement::CollapseSeparators(outputPath);
    if (!collapsed.starts_with(m_target) || collapsed.size() == m_target.size())
        return std::nullopt;
    return collapsed.substr(m_target.size());
}

std::string IncrementalCopy::sourceKey(const std::string& source) const {
    return m_rules.relativePath(source).value_or(source);
}

std::string IncrementalCopy::sourcePath(const std::string& key) const {
    if (key.starts_with(disk::kPathSeparator) || m_rules.root().empty())
        return key;
    return m_rules.root() + disk::kPathSeparator + key;
}

bool IncrementalCopy::upToDate(const std::string& source, const std::string& outputPath, const std::string& rule,
                               Kind kind, bool encrypted) {
    const auto output = relativeOutput(outputPath);
    if (!output || kind == Kind::Frameset)
        return false;
    const auto last = m_last.entries().find(*output);
    if (last == m_last.entries().end() || last->second.kind != kind || last->second.source != sourceKey(source) ||
        last->second.rule != rule)
        return false;
    CopyManifest::Entry entry = last->second;
    disk::FileStatus status;
    if (m_fs.status(outputPath, status) || !status.isRegular || status.size != entry.outputSize ||
        status.modifiedNs != entry.outputModified)
        return false; // gone from the target, or changed there since
    if (m_fs.status(source, status) || !status.isRegular)
        return false;
    if (status.size != entry.sourceSize || status.modifiedNs != entry.sourceModified) {
        // Touched, or made again by a generator: a page with the same bytes needs no new output.
        std::string bytes;
        disk::FileStatus after;
        if (kind == Kind::Copy || m_fs.readFile(source, bytes) || m_fs.status(source, after) ||
            after.size != status.size || after.modifiedNs != status.modifiedNs ||
            sourceDigest(bytes, encrypted) != entry.sourceDigest)
            return false;
        entry.sourceSize = status.size;
        entry.sourceModified = status.modifiedNs;
    }
    const std::lock_guard lock(m_mutex);
    m_next.entries()[*output] = std::move(entry);
    return true;
}

std::error_code IncrementalCopy::beginWriting(const std::vector<std::pair<std::string, std::string>>& planned) {
    if (planned.empty())
        return {};
    CopyManifest journal = m_last;
    for (const auto& [source, outputPath] : planned) {
        const auto output = relativeOutput(outputPath);
        if (!output)
            continue;
        CopyManifest::Entry entry;
        entry.kind = Kind::Pending;
        entry.source = sourceKey(source);
        disk::FileStatus status;
        if (!m_fs.status(outputPath, status) && status.isRegular) {
            const auto last = m_last.entries().find(*output);
            entry.earlierOutput = last != m_last.entries().end() && isOurs(last->second, outputPath);
            entry.outputSize = status.size;
            entry.outputModified = status.modifiedNs;
        }
        journal.entries()[*output] = std::move(entry);
    }
    m_last = journal; // what the cleanup goes by from here on
    MakeFolders(m_fs, m_manifestPath);
    return journal.write(m_fs, m_manifestPath);
}

void IncrementalCopy::written(const std::string& source, const std::string& outputPath, Kind kind,
                              const std::string& rule, const std::string& digest,
                              const disk::FileStatus& sourceStatus) {
    const auto output = relativeOutput(outputPath);
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
    m_next.entries()[*output] = std::move(entry);
    m_written.insert(*output);
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

std::vector<std::pair<std::string, std::string>> IncrementalCopy::staleOutputs(
    const std::vector<SelectionEntry>& selection) {
    std::vector<std::pair<std::string, std::string>> stale;
    const std::lock_guard lock(m_mutex);
    for (const auto& [output, entry] : m_last.entries()) {
        if (m_next.entries().count(output) != 0 || m_failed.count(entry.source) != 0 ||
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

std::error_code IncrementalCopy::finish(
    const std::vector<SelectionEntry>& selection,
    const std::function<void(const std::string& source, const std::string& output)>& removed) {
    const auto stale = staleOutputs(selection);
    const std::lock_guard lock(m_mutex);
    for (const auto& output : m_written) {
        auto& entry = m_next.entries()[output];
        disk::FileStatus status;
        if (!m_fs.status(m_target + output, status)) {
            entry.outputSize = status.size;
            entry.outputModified = status.modifiedNs;
        }
    }
    for (const auto& [output, entry] : m_last.entries()) {
        if (m_next.entries().count(output) != 0)
            continue;
        const std::string source = sourcePath(entry.source);
        if (m_failed.count(entry.source) != 0) {
            // Left as the last run wrote it, and done again next time.
            CopyManifest::Entry kept = entry;
            kept.rule.clear();
            m_next.entries()[output] = std::move(kept);
        } else if (!inSelection(source, selection)) {
            m_next.entries()[output] = entry; // not this run's to judge
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
    if (m_next.entries() == m_last.entries() && m_next.salt == m_last.salt && m_next.keyCheck == m_last.keyCheck)
        return {}; // nothing to note: the manifest stays as it is
    MakeFolders(m_fs, m_manifestPath);
    return m_next.write(m_fs, m_manifestPath);
}

} // namespace quillora::run
