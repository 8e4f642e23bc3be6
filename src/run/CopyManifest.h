#pragma once

#include "disk/FileSystem.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <system_error>
#include <unordered_map>

namespace quillora::run {

/// What an incremental copy wrote into its target, one entry per output: where from, under which rule, and what the
/// file looked like. Kept in the target as a text file: a header line, then one tab-separated line per entry
/// (every field percent-escaped where it holds "%", a tab or a line break).
class CopyManifest {
public:
    /// What an entry's output is.
    enum class Kind : char {
        Page = 'P',     // a protected page
        Frameset = 'F', // a frameset written as it is (its frames are followed on every run)
        Copy = 'C',     // a file copied as it is (another file of the site, or a page left alone)
        Pending = 'W',  // about to be written by a run that may not have ended: never up to date
    };

    /// A digest as kept: the first 16 bytes of a SHA-256 (or HMAC-SHA256), enough to tell a change.
    using Digest = std::array<unsigned char, 16>;
    /// The rule of an entry the next run must write again whatever it finds.
    static constexpr Digest kStale = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
                                      0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};

    struct Entry {
        Kind kind = Kind::Page;
        std::string source;              // relative to the site's root, or absolute outside it
        std::int64_t sourceSize = -1;    // as it was read
        std::int64_t sourceModified = 0; // nanoseconds
        Digest sourceDigest{};           // keyed for encrypted pages, so that it confirms no guess; copies: none
        Digest rule{};                   // what the page gets (copies: nothing)
        std::int64_t outputSize = -1;    // the output as written (Pending: what stood there before; -1 nothing)
        std::int64_t outputModified = 0;
        bool earlierOutput = false; // Pending: what stood there before was written by an earlier run

        bool operator==(const Entry&) const = default;
    };

    /// Hashes keys and views of keys alike, so that a path cut out of another is looked up without a copy.
    struct TextHash {
        using is_transparent = void;
        std::size_t operator()(std::string_view text) const noexcept { return std::hash<std::string_view>()(text); }
    };
    using Entries = std::unordered_map<std::string, Entry, TextHash, std::equal_to<>>;
    /// Entries by their output, from wherever they are kept.
    using EntryList = std::vector<std::pair<const std::string*, const Entry*>>;

    static constexpr std::string_view kHeader = "quillora-manifest 1";

    /// Reads the manifest at path; a missing file is an empty manifest. A file that is not one fails with
    /// std::errc::illegal_byte_sequence, so that nothing is removed on the word of a stranger's file.
    std::error_code read(disk::FileSystem& fileSystem, const std::string& path);
    /// Writes the manifest at path in one step.
    std::error_code write(disk::FileSystem& fileSystem, const std::string& path) const;

    /// The manifest's text (for tests and for write).
    std::string text() const;
    /// The text of a manifest with these entries, in the order of their outputs.
    static std::string text(std::string_view salt, std::string_view keyCheck, EntryList entries);
    /// The line of one entry, as text() writes it; lines added at the end of a manifest go before earlier ones.
    static std::string line(const std::string& output, const Entry& entry);
    /// Parses a manifest's text; false when it is not one. A last line without its line end (cut short by a run
    /// that was killed while it added to the file) is passed over.
    bool parse(std::string_view text);

    Entries& entries() { return m_entries; }
    const Entries& entries() const { return m_entries; }
    /// An encrypted run's salt and the check of its key, hex (empty: none).
    std::string salt;
    std::string keyCheck;

private:
    Entries m_entries; // by output, relative to the target
};

} // namespace quillora::run
