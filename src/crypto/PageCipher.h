#pragma once

#include "SiteKey.h"

#include <array>
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <system_error>

struct evp_cipher_ctx_st;
using EVP_CIPHER_CTX = evp_cipher_ctx_st;

namespace quillora::crypto {

/// AES-256-GCM for one page at a time. A sealed page is the ciphertext followed by the 16-byte tag, the form
/// WebCrypto's AES-GCM decryption takes. The key is set up once for all the pages it seals, so one cipher
/// seals for one thread at a time.
class PageCipher {
public:
    static constexpr std::size_t kNonceBytes = 12;
    static constexpr std::size_t kTagBytes = 16;
    using Nonce = std::array<unsigned char, kNonceBytes>;
    /// Receives the sealed bytes a piece at a time, in order.
    using Sink = std::function<void(std::string_view)>;

    explicit PageCipher(const SiteKey::Key& key);
    ~PageCipher();
    PageCipher(const PageCipher&) = delete;
    PageCipher& operator=(const PageCipher&) = delete;

    /// Seals a page under a fresh random nonce (never one nonce twice under one key).
    std::error_code seal(std::string_view plain, Nonce& nonce, const Sink& sink) const;
    /// Seals under the nonce and additional data given; for known answers.
    std::error_code seal(std::string_view plain, const Nonce& nonce, std::string_view additional,
                         const Sink& sink) const;
    /// Opens a sealed page; CryptoError::AuthenticationFailed when it does not match its tag.
    std::error_code open(std::string_view sealed, const Nonce& nonce, std::string_view additional,
                         std::string& plain) const;

private:
    SiteKey::Key m_key;
    EVP_CIPHER_CTX* m_sealing = nullptr; // keyed once; each page sets only its nonce
};

} // namespace quillora::crypto
