#include "SiteKey.h"

#include "CryptoError.h"
#include "charset/TextConvert.h"

#include <climits>
#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/rand.h>
#include <unicode/unorm2.h>

namespace quillora::crypto {

namespace {

/// Wipes a string's bytes when it goes: the password must not linger in freed memory.
struct WipedString {
    std::string text;
    ~WipedString() { OPENSSL_cleanse(text.data(), text.size()); }
};

struct WipedText {
    std::u16string text;
    ~WipedText() { OPENSSL_cleanse(text.data(), text.size() * sizeof(char16_t)); }
};

std::error_code normalise(std::u16string_view password, std::u16string& normalised) {
    UErrorCode status = U_ZERO_ERROR;
    const UNormalizer2* nfc = unorm2_getNFCInstance(&status);
    if (U_FAILURE(status))
        return CryptoError::PasswordNotNormalised;
    normalised.resize(password.size() + 16);
    int32_t length = 0;
    for (int attempt = 0; attempt < 2; ++attempt) {
        status = U_ZERO_ERROR;
        length = unorm2_normalize(nfc, password.data(), static_cast<int32_t>(password.size()), normalised.data(),
                                  static_cast<int32_t>(normalised.size()), &status);
        if (status != U_BUFFER_OVERFLOW_ERROR)
            break;
        normalised.resize(static_cast<std::size_t>(length)); // a few characters lengthen under NFC
    }
    if (U_FAILURE(status))
        return CryptoError::PasswordNotNormalised;
    normalised.resize(static_cast<std::size_t>(length));
    return {};
}

} // namespace

SiteKey::~SiteKey() {
    OPENSSL_cleanse(m_key.data(), m_key.size());
}

SiteKey SiteKey::withKey(const Key& key, const Salt& salt, int iterations) {
    SiteKey made;
    made.m_key = key;
    made.m_salt = salt;
    made.m_iterations = iterations;
    return made;
}

std::error_code SiteKey::passwordBytes(std::u16string_view password, std::string& bytes) {
    if (password.size() > INT32_MAX / 4)
        return CryptoError::BadParameter;
    WipedText normalised;
    if (const auto error = normalise(password, normalised.text))
        return error;
    bytes = charset::toUtf8(normalised.text);
    return {};
}

std::error_code SiteKey::pbkdf2(std::string_view password, std::string_view salt, int iterations,
                                std::span<unsigned char> out) {
    if (iterations < 1 || password.size() > INT_MAX || salt.size() > INT_MAX || out.size() > INT_MAX)
        return CryptoError::BadParameter;
    const int done = PKCS5_PBKDF2_HMAC(
        password.data(), static_cast<int>(password.size()), reinterpret_cast<const unsigned char*>(salt.data()),
        static_cast<int>(salt.size()), iterations, EVP_sha256(), static_cast<int>(out.size()), out.data());
    return done == 1 ? std::error_code{} : CryptoError::KeyDerivationFailed;
}

std::error_code SiteKey::randomBytes(std::span<unsigned char> out) {
    if (out.size() > INT_MAX)
        return CryptoError::BadParameter;
    return RAND_bytes(out.data(), static_cast<int>(out.size())) == 1 ? std::error_code{}
                                                                     : CryptoError::RandomUnavailable;
}

std::error_code SiteKey::create(std::u16string_view password, int iterations, SiteKey& out) {
    Salt salt;
    if (const auto error = randomBytes(salt))
        return error;
    return derive(password, salt, iterations, out);
}

std::error_code SiteKey::derive(std::u16string_view password, const Salt& salt, int iterations, SiteKey& out) {
    WipedString bytes;
    if (const auto error = passwordBytes(password, bytes.text))
        return error;
    SiteKey key;
    const std::string_view saltBytes(reinterpret_cast<const char*>(salt.data()), salt.size());
    if (const auto error = pbkdf2(bytes.text, saltBytes, iterations, key.m_key))
        return error;
    key.m_salt = salt;
    key.m_iterations = iterations;
    out = key;
    return {};
}

} // namespace quillora::crypto
