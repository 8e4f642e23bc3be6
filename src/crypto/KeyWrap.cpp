#include "KeyWrap.h"

#include "CryptoError.h"

#include <algorithm>
#include <memory>
#include <openssl/crypto.h>
#include <openssl/evp.h>

namespace quillora::crypto {

namespace {

using Context = std::unique_ptr<EVP_CIPHER_CTX, decltype(&EVP_CIPHER_CTX_free)>;

Context wrapContext(const SiteKey::Key& wrapping, bool encrypt) {
    Context context(EVP_CIPHER_CTX_new(), EVP_CIPHER_CTX_free);
    if (!context)
        return context;
    // OpenSSL offers the wrap modes only to callers that say they know them for what they are.
    EVP_CIPHER_CTX_set_flags(context.get(), EVP_CIPHER_CTX_FLAG_WRAP_ALLOW);
    if (EVP_CipherInit_ex(context.get(), EVP_aes_256_wrap(), nullptr, wrapping.data(), nullptr, encrypt ? 1 : 0) != 1)
        context.reset();
    return context;
}

} // namespace

std::error_code KeyWrap::wrap(const SiteKey::Key& wrapping, const SiteKey::Key& key, Wrapped& out) {
    const Context context = wrapContext(wrapping, true);
    int length = 0;
    if (!context ||
        EVP_CipherUpdate(context.get(), out.data(), &length, key.data(), static_cast<int>(key.size())) != 1 ||
        length != static_cast<int>(out.size()))
        return CryptoError::CipherFailed;
    return {};
}

std::error_code KeyWrap::unwrap(const SiteKey::Key& wrapping, const Wrapped& wrapped, SiteKey::Key& out) {
    const Context context = wrapContext(wrapping, false);
    if (!context)
        return CryptoError::CipherFailed;
    std::array<unsigned char, kWrappedBytes> plain{};
    int length = 0;
    const int done =
        EVP_CipherUpdate(context.get(), plain.data(), &length, wrapped.data(), static_cast<int>(wrapped.size()));
    if (done != 1 || length != static_cast<int>(out.size())) {
        OPENSSL_cleanse(plain.data(), plain.size());
        return CryptoError::AuthenticationFailed;
    }
    std::copy_n(plain.begin(), out.size(), out.begin());
    OPENSSL_cleanse(plain.data(), plain.size());
    return {};
}

} // namespace quillora::crypto
