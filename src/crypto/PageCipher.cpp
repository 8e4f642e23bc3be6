#include "PageCipher.h"

#include "CryptoError.h"

#include <algorithm>
#include <climits>
#include <memory>
#include <openssl/crypto.h>
#include <openssl/evp.h>

namespace quillora::crypto {

namespace {

// A multiple of 3, so that every piece but the last turns into whole base64 groups.
constexpr std::size_t kPieceBytes = std::size_t{3} * 16 * 1024;

using Context = std::unique_ptr<EVP_CIPHER_CTX, decltype(&EVP_CIPHER_CTX_free)>;

std::error_code beginOpening(Context& context, const SiteKey::Key& key, const PageCipher::Nonce& nonce,
                             std::string_view additional) {
    context.reset(EVP_CIPHER_CTX_new());
    if (!context || additional.size() > INT_MAX)
        return CryptoError::CipherFailed;
    auto* ctx = context.get();
    if (EVP_DecryptInit_ex(ctx, EVP_aes_256_gcm(), nullptr, key.data(), nonce.data()) != 1)
        return CryptoError::CipherFailed;
    int length = 0;
    if (!additional.empty() &&
        EVP_DecryptUpdate(ctx, nullptr, &length, reinterpret_cast<const unsigned char*>(additional.data()),
                          static_cast<int>(additional.size())) != 1)
        return CryptoError::CipherFailed;
    return {};
}

} // namespace

PageCipher::PageCipher(const SiteKey::Key& key) : m_key(key), m_sealing(EVP_CIPHER_CTX_new()) {
    if (m_sealing != nullptr && EVP_EncryptInit_ex(m_sealing, EVP_aes_256_gcm(), nullptr, m_key.data(), nullptr) != 1) {
        EVP_CIPHER_CTX_free(m_sealing);
        m_sealing = nullptr; // every seal fails then
    }
}

PageCipher::~PageCipher() {
    EVP_CIPHER_CTX_free(m_sealing);
    OPENSSL_cleanse(m_key.data(), m_key.size());
}

std::error_code PageCipher::seal(std::string_view plain, Nonce& nonce, const Sink& sink) const {
    if (const auto error = SiteKey::randomBytes(nonce))
        return error;
    return seal(plain, nonce, {}, sink);
}

std::error_code PageCipher::seal(std::string_view plain, const Nonce& nonce, std::string_view additional,
                                 const Sink& sink) const {
    // GCM's counter would wrap after 2^32 blocks of one nonce; no page comes near 64 GiB.
    if (plain.size() > (std::size_t{1} << 36) - 32)
        return CryptoError::BadParameter;
    auto* ctx = m_sealing;
    if (ctx == nullptr || additional.size() > INT_MAX ||
        EVP_EncryptInit_ex(ctx, nullptr, nullptr, nullptr, nonce.data()) != 1)
        return CryptoError::CipherFailed;
    int length = 0;
    if (!additional.empty() &&
        EVP_EncryptUpdate(ctx, nullptr, &length, reinterpret_cast<const unsigned char*>(additional.data()),
                          static_cast<int>(additional.size())) != 1)
        return CryptoError::CipherFailed;
    unsigned char out[kPieceBytes];
    const auto* in = reinterpret_cast<const unsigned char*>(plain.data());
    for (std::size_t done = 0; done < plain.size(); done += kPieceBytes) {
        const int piece = static_cast<int>(std::min(kPieceBytes, plain.size() - done));
        if (EVP_EncryptUpdate(ctx, out, &length, in + done, piece) != 1)
            return CryptoError::CipherFailed;
        sink(std::string_view(reinterpret_cast<const char*>(out), static_cast<std::size_t>(length)));
    }
    if (EVP_EncryptFinal_ex(ctx, out, &length) != 1)
        return CryptoError::CipherFailed;
    if (length > 0)
        sink(std::string_view(reinterpret_cast<const char*>(out), static_cast<std::size_t>(length)));
    unsigned char tag[kTagBytes];
    if (EVP_CIPHER_CTX_ctrl(ctx, EVP_CTRL_GCM_GET_TAG, static_cast<int>(kTagBytes), tag) != 1)
        return CryptoError::CipherFailed;
    sink(std::string_view(reinterpret_cast<const char*>(tag), kTagBytes));
    return {};
}

std::error_code PageCipher::open(std::string_view sealed, const Nonce& nonce, std::string_view additional,
                                 std::string& plain) const {
    if (sealed.size() < kTagBytes || sealed.size() - kTagBytes > INT_MAX)
        return sealed.size() < kTagBytes ? CryptoError::AuthenticationFailed : CryptoError::BadParameter;
    Context context(nullptr, EVP_CIPHER_CTX_free);
    if (const auto error = beginOpening(context, m_key, nonce, additional))
        return error;
    const std::size_t size = sealed.size() - kTagBytes;
    plain.resize(size + 16);
    auto* out = reinterpret_cast<unsigned char*>(plain.data());
    int length = 0;
    if (EVP_DecryptUpdate(context.get(), out, &length, reinterpret_cast<const unsigned char*>(sealed.data()),
                          static_cast<int>(size)) != 1)
        return CryptoError::CipherFailed;
    std::string tag(sealed.substr(size));
    if (EVP_CIPHER_CTX_ctrl(context.get(), EVP_CTRL_GCM_SET_TAG, static_cast<int>(kTagBytes), tag.data()) != 1)
        return CryptoError::CipherFailed;
    int last = 0;
    if (EVP_DecryptFinal_ex(context.get(), out + length, &last) != 1) {
        OPENSSL_cleanse(plain.data(), plain.size());
        plain.clear();
        return CryptoError::AuthenticationFailed;
    }
    plain.resize(static_cast<std::size_t>(length) + static_cast<std::size_t>(last));
    return {};
}

} // namespace quillora::crypto
