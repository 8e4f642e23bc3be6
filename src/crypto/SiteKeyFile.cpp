#include "SiteKeyFile.h"

#include "Base64.h"
#include "CryptoError.h"

#include <algorithm>
#include <nlohmann/json.hpp>
#include <openssl/crypto.h>
#include <utility>

namespace quillora::crypto {

namespace {

using Json = nlohmann::json;

constexpr std::string_view kDerivation = "PBKDF2-HMAC-SHA256";
constexpr std::string_view kWrapping = "AES-KW";

template <std::size_t N> std::string base64Of(const std::array<unsigned char, N>& bytes) {
    return toBase64(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

template <std::size_t N> bool bytesOf(const Json& value, std::array<unsigned char, N>& out) {
    std::string bytes;
    if (!value.is_string() || !fromBase64(value.get_ref<const std::string&>(), bytes) || bytes.size() != N)
        return false;
    std::copy(bytes.begin(), bytes.end(), out.begin());
    return true;
}

bool isText(const Json& object, const char* name, std::string_view expected) {
    const auto found = object.find(name);
    return found != object.end() && found->is_string() && found->get_ref<const std::string&>() == expected;
}

bool readSlot(const Json& value, KeySlot& slot) {
    if (!value.is_object() || !value.contains("wrapped") || !bytesOf(value["wrapped"], slot.wrapped))
        return false;
    const auto passwordKey = value.find("passwordKey");
    if (passwordKey != value.end()) {
        KeyWrap::Wrapped wrapped{};
        if (!bytesOf(*passwordKey, wrapped))
            return false;
        slot.passwordKey = wrapped;
    }
    const auto label = value.find("label");
    if (label != value.end()) {
        if (!label->is_string())
            return false;
        slot.label = label->get<std::string>();
    }
    return true;
}

/// A slot's wrapped content key and wrapped password key for a content key and a password's key.
std::error_code wrapBoth(const SiteKey::Key& content, const SiteKey::Key& password, KeySlot& slot) {
    KeyWrap::Wrapped passwordKey{};
    if (const auto error = KeyWrap::wrap(password, content, slot.wrapped))
        return error;
    if (const auto error = KeyWrap::wrap(content, password, passwordKey))
        return error;
    slot.passwordKey = passwordKey;
    return {};
}

struct WipedKey {
    SiteKey::Key key{};
    ~WipedKey() { OPENSSL_cleanse(key.data(), key.size()); }
};

} // namespace

std::error_code SiteKeyFile::create(std::u16string_view password, int iterations, std::string label, SiteKeyFile& file,
                                    SiteKey& content) {
    SiteKey derived;
    if (const auto error = SiteKey::create(password, iterations, derived))
        return error;
    SiteKey::Key key;
    if (const auto error = SiteKey::randomBytes(key))
        return error;
    KeySlot slot{std::move(label), {}, {}};
    const auto error = wrapBoth(key, derived.key(), slot);
    if (!error) {
        file = SiteKeyFile{};
        file.m_salt = derived.salt();
        file.m_iterations = iterations;
        file.m_slots.push_back(std::move(slot));
        content = SiteKey::withKey(key, derived.salt(), iterations);
    }
    OPENSSL_cleanse(key.data(), key.size());
    return error;
}

SiteKeyFile SiteKeyFile::ofSlots(const SiteKey::Salt& salt, int iterations,
                                 const std::vector<KeyWrap::Wrapped>& wrapped) {
    SiteKeyFile file;
    file.m_salt = salt;
    file.m_iterations = iterations;
    for (const auto& key : wrapped)
        file.m_slots.push_back({{}, key, {}});
    return file;
}

std::error_code SiteKeyFile::read(std::string_view text, SiteKeyFile& out) {
    const Json json = Json::parse(text, nullptr, false);
    if (json.is_discarded() || !json.is_object() || !isText(json, "format", kFormat) || !json.contains("version") ||
        (json["version"] != kVersion && json["version"] != kFirstVersion && json["version"] != kLevelsVersion) ||
        !isText(json, "derivation", kDerivation) || !isText(json, "wrapping", kWrapping))
        return CryptoError::KeyFileDamaged;
    SiteKeyFile file;
    if (!readKeys(json, file))
        return CryptoError::KeyFileDamaged;
    const auto levels = json.find("levels");
    if (levels != json.end()) {
        if (!levels->is_array())
            return CryptoError::KeyFileDamaged;
        for (const Json& value : *levels) {
            Level level;
            const auto name = value.is_object() ? value.find("name") : value.end();
            if (name == value.end() || !name->is_string() || !isLevelName(name->get_ref<const std::string&>()) ||
                !value.contains("key") || !bytesOf(value["key"], level.underSite) || !readKeys(value, level.keys) ||
                file.level(name->get_ref<const std::string&>()) != nullptr)
                return CryptoError::KeyFileDamaged;
            level.name = name->get<std::string>();
            file.m_levels.push_back(std::move(level));
        }
    }
    out = std::move(file);
    return {};
}

std::string SiteKeyFile::write() const {
    Json json = {{"format", kFormat},
                 {"version", m_levels.empty() ? kVersion : kLevelsVersion},
                 {"derivation", kDerivation},
                 {"wrapping", kWrapping}};
    writeKeys(*this, json);
    if (!m_levels.empty()) {
        Json levels = Json::array();
        for (const auto& level : m_levels) {
            Json value = {{"name", level.name}, {"key", base64Of(level.underSite)}};
            writeKeys(level.keys, value);
            levels.push_back(std::move(value));
        }
        json["levels"] = std::move(levels);
    }
    return json.dump(2) + "\n";
}

bool SiteKeyFile::readKeys(const Json& json, SiteKeyFile& file) {
    const Json& iterations = json.value("iterations", Json());
    if (!bytesOf(json.value("salt", Json()), file.m_salt) || !iterations.is_number_integer() ||
        iterations.get<long long>() < 1 || iterations.get<long long>() > 100000000)
        return false;
    file.m_iterations = iterations.get<int>();
    const Json& slots = json.value("slots", Json());
    if (!slots.is_array() || slots.empty())
        return false;
    for (const Json& value : slots) {
        KeySlot slot;
        if (!readSlot(value, slot))
            return false;
        file.m_slots.push_back(std::move(slot));
    }
    return true;
}

void SiteKeyFile::writeKeys(const SiteKeyFile& file, Json& json) {
    Json slots = Json::array();
    for (const auto& slot : file.m_slots) {
        Json value = {{"label", slot.label}, {"wrapped", base64Of(slot.wrapped)}};
        if (slot.passwordKey)
            value["passwordKey"] = base64Of(*slot.passwordKey);
        slots.push_back(std::move(value));
    }
    json["salt"] = base64Of(file.m_salt);
    json["iterations"] = file.m_iterations;
    json["slots"] = std::move(slots);
}

std::error_code SiteKeyFile::open(std::u16string_view password, SiteKey& content) const {
    SiteKey derived;
    if (const auto error = SiteKey::derive(password, m_salt, m_iterations, derived))
        return error;
    return openSlots(derived, wrappedKeys(), content);
}

std::error_code SiteKeyFile::openSlots(const SiteKey& derived, std::span<const KeyWrap::Wrapped> slots,
                                       SiteKey& content) {
    for (const auto& wrapped : slots) {
        SiteKey::Key key;
        if (!KeyWrap::unwrap(derived.key(), wrapped, key)) {
            content = SiteKey::withKey(key, derived.salt(), derived.iterations());
            OPENSSL_cleanse(key.data(), key.size());
            return {};
        }
    }
    return CryptoError::NoSlotOpens;
}

std::error_code SiteKeyFile::openSlot(std::u16string_view password, SiteKey& content, std::size_t& index) {
    SiteKey derived;
    if (const auto error = SiteKey::derive(password, m_salt, m_iterations, derived))
        return error;
    for (index = 0; index < m_slots.size(); ++index) {
        const std::span<const KeyWrap::Wrapped> one(&m_slots[index].wrapped, 1);
        if (openSlots(derived, one, content))
            continue;
        if (m_slots[index].passwordKey)
            return {};
        KeyWrap::Wrapped passwordKey{};
        if (const auto error = KeyWrap::wrap(content.key(), derived.key(), passwordKey))
            return error;
        m_slots[index].passwordKey = passwordKey;
        return {};
    }
    return CryptoError::NoSlotOpens;
}

std::error_code SiteKeyFile::addSlot(std::u16string_view password, std::string label, const SiteKey& content) {
    if (!label.empty() &&
        std::any_of(m_slots.begin(), m_slots.end(), [&label](const KeySlot& slot) { return slot.label == label; }))
        return CryptoError::LabelTaken;
    SiteKey derived;
    if (const auto error = SiteKey::derive(password, m_salt, m_iterations, derived))
        return error;
    SiteKey opened;
    if (!openSlots(derived, wrappedKeys(), opened))
        return CryptoError::PasswordTaken;
    KeySlot slot{std::move(label), {}, {}};
    if (const auto error = wrapBoth(content.key(), derived.key(), slot))
        return error;
    m_slots.push_back(std::move(slot));
    return {};
}

std::error_code SiteKeyFile::findSlot(std::string_view name, std::size_t& index) const {
    if (name.starts_with('#') && name.size() > 1 && name.size() < 6 &&
        name.find_first_not_of("0123456789", 1) == std::string_view::npos) {
        const std::size_t number = std::stoul(std::string(name.substr(1)));
        if (number == 0 || number > m_slots.size())
            return CryptoError::NoSuchSlot;
        index = number - 1;
        return {};
    }
    std::size_t found = 0;
    for (std::size_t i = 0; i < m_slots.size(); ++i) {
        if (!name.empty() && m_slots[i].label == name) {
            index = i;
            ++found;
        }
    }
    return found == 0 ? CryptoError::NoSuchSlot : found > 1 ? CryptoError::SlotAmbiguous : std::error_code{};
}

std::error_code SiteKeyFile::removeSlot(std::size_t index) {
    if (index >= m_slots.size())
        return CryptoError::NoSuchSlot;
    if (m_slots.size() == 1)
        return CryptoError::LastSlot;
    m_slots.erase(m_slots.begin() + static_cast<std::ptrdiff_t>(index));
    return {};
}

std::error_code SiteKeyFile::rotate(const SiteKey& content, SiteKey& rotated, std::vector<std::string>& lacking) {
    lacking.clear();
    for (std::size_t i = 0; i < m_slots.size(); ++i) {
        if (!m_slots[i].passwordKey)
            lacking.push_back(slotName(i));
    }
    if (!lacking.empty())
        return CryptoError::SlotWithoutPasswordKey;
    WipedKey fresh;
    if (const auto error = SiteKey::randomBytes(fresh.key))
        return error;
    std::vector<KeySlot> slots = m_slots;
    for (auto& slot : slots) {
        WipedKey password;
        WipedKey check;
        // The password's key must still open its slot: a slot changed by hand would otherwise lose its password.
        if (KeyWrap::unwrap(content.key(), *slot.passwordKey, password.key) ||
            KeyWrap::unwrap(password.key, slot.wrapped, check.key) || check.key != content.key())
            return CryptoError::KeyFileDamaged;
        if (const auto error = wrapBoth(fresh.key, password.key, slot))
            return error;
    }
    std::vector<Level> levels = m_levels;
    for (auto& level : levels) {
        WipedKey key;
        if (KeyWrap::unwrap(content.key(), level.underSite, key.key))
            return CryptoError::KeyFileDamaged;
        if (const auto error = KeyWrap::wrap(fresh.key, key.key, level.underSite))
            return error;
    }
    m_slots = std::move(slots);
    m_levels = std::move(levels);
    rotated = SiteKey::withKey(fresh.key, m_salt, m_iterations);
    return {};
}

std::error_code SiteKeyFile::addLevel(std::string name, std::u16string_view password, std::string label,
                                      const SiteKey& site, SiteKey& content) {
    if (level(name) != nullptr)
        return CryptoError::LevelTaken;
    Level added;
    if (const auto error = create(password, m_iterations, std::move(label), added.keys, content))
        return error;
    if (const auto error = KeyWrap::wrap(site.key(), content.key(), added.underSite))
        return error;
    added.name = std::move(name);
    m_levels.push_back(std::move(added));
    return {};
}

const SiteKeyFile::Level* SiteKeyFile::level(std::string_view name) const {
    const auto found =
        std::find_if(m_levels.begin(), m_levels.end(), [name](const Level& level) { return level.name == name; });
    return found == m_levels.end() ? nullptr : &*found;
}

SiteKeyFile::Level* SiteKeyFile::level(std::string_view name) {
    return const_cast<Level*>(std::as_const(*this).level(name));
}

std::error_code SiteKeyFile::openLevel(std::string_view name, const SiteKey& site, SiteKey& content) const {
    const Level* found = level(name);
    if (found == nullptr)
        return CryptoError::NoSuchLevel;
    WipedKey key;
    if (KeyWrap::unwrap(site.key(), found->underSite, key.key))
        return CryptoError::KeyFileDamaged;
    content = SiteKey::withKey(key.key, found->keys.m_salt, found->keys.m_iterations);
    return {};
}

std::error_code SiteKeyFile::setLevelKey(std::string_view name, const SiteKey& site, const SiteKey& content) {
    Level* found = level(name);
    if (found == nullptr)
        return CryptoError::NoSuchLevel;
    return KeyWrap::wrap(site.key(), content.key(), found->underSite);
}

bool isLevelName(std::string_view name) {
    return !name.empty() && name.size() <= 64 && std::all_of(name.begin(), name.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '_';
    });
}

std::string SiteKeyFile::slotName(std::size_t index) const {
    if (index < m_slots.size() && !m_slots[index].label.empty())
        return m_slots[index].label;
    std::string name(1, '#');
    name += std::to_string(index + 1);
    return name;
}

std::vector<KeyWrap::Wrapped> SiteKeyFile::wrappedKeys() const {
    std::vector<KeyWrap::Wrapped> keys;
    for (const auto& slot : m_slots)
        keys.push_back(slot.wrapped);
    return keys;
}

} // namespace quillora::crypto
