#pragma once

#include "KeyWrap.h"
#include "SiteKey.h"

#include <nlohmann/json_fwd.hpp>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

namespace quillora::crypto {

/// One password's way to a site's content key: the content key wrapped under the key derived from the password.
/// The password's key itself is kept too, wrapped under the content key: whoever opens the site with any of its
/// passwords can then wrap a new content key for every password without knowing them (rotation).
struct KeySlot {
    std::string label; // who holds the password ("editors"); may be empty
    KeyWrap::Wrapped wrapped{};
    std::optional<KeyWrap::Wrapped> passwordKey; // none in a file of version 1 until a run is given the password
};

/// A site's key for the life of the site, as kept in its key file (JSON): the salt and rounds every password is
/// derived with, and the site's random content key wrapped under each password's key. Nothing in it opens a page
/// without a password; since the salt is shared, one derivation tries every slot.
class SiteKeyFile {
public:
    struct Level;

    static constexpr std::string_view kFormat = "quillora-site-key";
    static constexpr int kVersion = 2;
    static constexpr int kLevelsVersion = 3; // written only by a file with levels, which earlier versions must refuse
    static constexpr int kFirstVersion = 1;  // read still: its slots lack the wrapped password keys

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
    /// The same, and the slot the password opened (its index) is given its wrapped password key if it lacked one.
    std::error_code openSlot(std::u16string_view password, SiteKey& content, std::size_t& index);

    /// A slot for another password of the site: CryptoError::LabelTaken when a slot has the label already,
    /// CryptoError::PasswordTaken when the password opens a slot already.
    std::error_code addSlot(std::u16string_view password, std::string label, const SiteKey& content);
    /// The slot a name stands for: its label, or "#N" for the N-th slot (counted from 1; a slot without a label has
    /// only that name). CryptoError::NoSuchSlot or CryptoError::SlotAmbiguous (two slots share the label).
    std::error_code findSlot(std::string_view name, std::size_t& index) const;
    /// Takes the slot out; CryptoError::LastSlot for the only one (the site would open no more).
    std::error_code removeSlot(std::size_t index);
    /// A new content key for the site, wrapped for every slot's password through the slot's wrapped password key (and
    /// every level's key wrapped under it in place of the old).
    /// CryptoError::SlotWithoutPasswordKey, with the names of the slots that lack it in lacking, when one lacks it
    /// (the file is then as it was).
    std::error_code rotate(const SiteKey& content, SiteKey& rotated, std::vector<std::string>& lacking);
    /// The name of a slot for messages: its label, or "#N".
    std::string slotName(std::size_t index) const;
    /// The content key that the key derived from a password opens, trying each slot.
    static std::error_code openSlots(const SiteKey& derived, std::span<const KeyWrap::Wrapped> slots, SiteKey& content);

    /// An access level: part of the site under passwords of its own. A level is a key file of its own (its salt,
    /// content key and slots), its content key also wrapped under the site's, so that a run with any of the site's
    /// passwords encrypts the level's pages without knowing the level's.
    /// A new level with one slot for password; CryptoError::LevelTaken when the site has one of the name.
    std::error_code addLevel(std::string name, std::u16string_view password, std::string label, const SiteKey& site,
                             SiteKey& content);
    /// The level of a name; null when the site has none.
    const Level* level(std::string_view name) const;
    Level* level(std::string_view name);
    /// A level's content key, opened with the site's content key (CryptoError::NoSuchLevel, KeyFileDamaged).
    std::error_code openLevel(std::string_view name, const SiteKey& site, SiteKey& content) const;
    /// After a level's content key changed: the new one wrapped under the site's.
    std::error_code setLevelKey(std::string_view name, const SiteKey& site, const SiteKey& content);
    const std::vector<Level>& levels() const { return m_levels; }

    const SiteKey::Salt& salt() const { return m_salt; }
    int iterations() const { return m_iterations; }
    const std::vector<KeySlot>& slots() const { return m_slots; }
    std::vector<KeyWrap::Wrapped> wrappedKeys() const;

private:
    static bool readKeys(const nlohmann::json& json, SiteKeyFile& file);
    static void writeKeys(const SiteKeyFile& file, nlohmann::json& json);

    SiteKey::Salt m_salt{};
    int m_iterations = 0;
    std::vector<KeySlot> m_slots;
    std::vector<Level> m_levels; // none in a level's own file
};

struct SiteKeyFile::Level {
    std::string name; // letters, digits, "-" and "_"
    KeyWrap::Wrapped underSite{};
    SiteKeyFile keys;
};

/// Whether a text may name a level: letters, digits, "-" and "_", at most 64.
bool isLevelName(std::string_view name);

} // namespace quillora::crypto
