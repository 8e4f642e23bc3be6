#pragma once

#include "KeyWrap.h"
#include "SiteKey.h"

#include <span>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

namespace quillora::crypto {

/// One password's way to a site's content key: the content key wrapped under the key derived from the password.
struct KeySlot {
    std::string label; // who holds the password ("editors"); may be empty
    KeyWrap::Wrapped wrapped{};
};

/// A site's key for the life of the site, as kept in its key file (JSON): the salt and rounds every password is
/// derived with, and the site's random content key wrapped under each password's key. Nothing in it opens a page
/// without a password; since the salt is shared, one derivation tries every slot.
class SiteKeyFile {
public:
    static constexpr std::string_view kFormat = "quillora-site-key";
    static constexpr int kVersion = 1;

    /// A new site key: a fresh salt and content key, with one slot for the password.
    static std::error_code create(std::u16string_view password, int iterations, std::string label, SiteKeyFile& file,
                                  SiteKey& content);
    /// The key file for slots an unlock page carries (their labels are not in the page).
    static SiteKeyFile ofSlots(const SiteKey::Salt& salt, int iterations, const std::vector<KeyWrap::Wrapped>& wrapped);

    /// Reads a key file's text; CryptoError::KeyFileDamaged when it is not one this version reads.
    static std::error_code read(std::string_view text, SiteKeyFile& out);
    /// The key file's text.
    std::string write() const;

    /// The content key (with the file's salt and rounds) that the password opens; CryptoError::NoSlotOpens when it
    /// opens no slot.
    std::error_code open(std::u16string_view password, SiteKey& content) const;
    /// The content key that the key derived from a password opens, trying each slot.
    static std::error_code openSlots(const SiteKey& derived, std::span<const KeyWrap::Wrapped> slots, SiteKey& content);

    const SiteKey::Salt& salt() const { return m_salt; }
    int iterations() const { return m_iterations; }
    const std::vector<KeySlot>& slots() const { return m_slots; }
    std::vector<KeyWrap::Wrapped> wrappedKeys() const;

private:
    SiteKey::Salt m_salt{};
    int m_iterations = 0;
    std::vector<KeySlot> m_slots;
};

} // namespace quillora::crypto
