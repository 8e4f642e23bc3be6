#pragma once

#include "SiteKey.h"

#include <array>
#include <cstddef>
#include <system_error>

namespace quillora::crypto {

/// AES-256 key wrap without padding (the standard key wrap, WebCrypto's "AES-KW"): one key sealed under another,
/// with an integrity check that tells a wrong wrapping key from the right one.
class KeyWrap {
public:
    static constexpr std::size_t kWrappedBytes = SiteKey::kKeyBytes + 8;
    using Wrapped = std::array<unsigned char, kWrappedBytes>;

    static std::error_code wrap(const SiteKey::Key& wrapping, const SiteKey::Key& key, Wrapped& out);
    /// CryptoError::AuthenticationFailed when wrapping is not the key it was wrapped under (or the bytes changed).
    static std::error_code unwrap(const SiteKey::Key& wrapping, const Wrapped& wrapped, SiteKey::Key& out);
};

} // namespace quillora::crypto
