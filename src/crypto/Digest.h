#pragma once

#include <array>
#include <span>
#include <string>
#include <string_view>

namespace quillora::crypto {

/// SHA-256 of some bytes, and HMAC-SHA256 where the digest must not let anyone confirm a guess of the bytes.
class Digest {
public:
    using Value = std::array<unsigned char, 32>;

    static Value sha256(std::string_view bytes);
    static Value hmacSha256(std::span<const unsigned char> key, std::string_view bytes);
    /// The value in lower-case hexadecimal.
    static std::string hex(const Value& value);
};

} // namespace quillora::crypto
