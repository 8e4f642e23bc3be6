#include "SiteKeyFile.h"

#include "Base64.h"
#include "CryptoError.h"

#include <algorithm>
#include <nlohmann/json.hpp>
#include <openssl/crypto.h>

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
    const auto label = value.find("label");
    if (label != value.end()) {
        if (!label->is_string())
            return false;
        slot.label = label->get<std::string>();
    }
    return true;
}

} // namespace

std::error_code SiteKeyFile::create(std::u16string_view password, int iterations, std::string label, SiteKeyFile& file,
                                    SiteKey& content) {
    SiteKey derived;
    if (const auto error = SiteKey::create(password, iterations, derived))
        return error;
    SiteKey::Key key;
    if (const auto error = SiteKey::randomBytes(key))
        return error;
    KeySlot slot{std::move(label), {}};
    const auto error = KeyWrap::wrap(derived.key(), key, slot.wrapped);
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
        file.m_slots.push_back({{}, key});
    return file;
}

std::error_code SiteKeyFile::read(std::string_view text, SiteKeyFile& out) {
    const Json json = Json::parse(text, nullptr, false);
    if (json.is_discarded() || !json.is_object() || !isText(json, "format", kFormat) || !json.contains("version") ||
        json["version"] != kVersion || !isText(json, "derivation", kDerivation) || !isText(json, "wrapping", kWrapping))
        return CryptoError::KeyFileDamaged;
    SiteKeyFile file;
    const Json& iterations = json.value("iterations", Json());
    if (!bytesOf(json.value("salt", Json()), file.m_salt) || !iterations.is_number_integer() ||
        iterations.get<long long>() < 1 || iterations.get<long long>() > 100000000)
        return CryptoError::KeyFileDamaged;
    file.m_iterations = iterations.get<int>();
    const Json& slots = json.value("slots", Json());
    if (!slots.is_array() || slots.empty())
        return CryptoError::KeyFileDamaged;
    for (const Json& value : slots) {
        KeySlot slot;
        if (!readSlot(value, slot))
            return CryptoError::KeyFileDamaged;
        file.m_slots.push_back(std::move(slot));
    }
    out = std::move(file);
    return {};
}

std::string SiteKeyFile::write() const {
    Json slots = Json::array();
    for (const auto& slot : m_slots)
        slots.push_back({{"label", slot.label}, {"wrapped", base64Of(slot.wrapped)}});
    const Json json = {{"format", kFormat},
                       {"version", kVersion},
                       {"derivation", kDerivation},
                       {"salt", base64Of(m_salt)},
                       {"iterations", m_iterations},
                       {"wrapping", kWrapping},
                       {"slots", slots}};
    return json.dump(2) + "\n";
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

std::vector<KeyWrap::Wrapped> SiteKeyFile::wrappedKeys() const {
    std::vector<KeyWrap::Wrapped> keys;
    for (const auto& slot : m_slots)
        keys.push_back(slot.wrapped);
    return keys;
}

} // namespace quillora::crypto
