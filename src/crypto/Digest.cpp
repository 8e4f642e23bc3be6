#include "Digest.h"

#include <openssl/evp.h>
#include <openssl/hmac.h>

namespace quillora::crypto {

Digest::Value Digest::sha256(std::string_view bytes) {
    Value value{};
    unsigned int length = 0;
    EVP_Digest(bytes.data(), bytes.size(), value.data(), &length, EVP_sha256(), nullptr);
    return value;
}

Digest::Value Digest::hmacSha256(std::span<const unsigned char> key, std::string_view bytes) {
    Value value{};
    unsigned int length = 0;
    HMAC(EVP_sha256(), key.data(), static_cast<int>(key.size()), reinterpret_cast<const unsigned char*>(bytes.data()),
         bytes.size(), value.data(), &length);
    return value;
}

std::string Digest::hex(const Value& value) {
    constexpr char kDigits[] = "0123456789abcdef";
    std::string text;
    text.reserve(value.size() * 2);
    for (const unsigned char byte : value) {
        text.push_back(kDigits[byte >> 4]);
        text.push_back(kDigits[byte & 15]);
    }
    return text;
}

} // namespace quillora::crypto
