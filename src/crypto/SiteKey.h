#pragma once

#include <array>
#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <system_error>

namespace quillora::crypto {

/// A key with the salt and rounds that go with it: either PBKDF2-HMAC-SHA256 of a password (normalised to NFC, as
/// UTF-8) under that salt, which the browser derives the same way from the salt a page carries, or a site's content
/// key, which pages are sealed with and which the password's key unwraps (see SiteKeyFile).
class SiteKey {
public:
    static constexpr int kIterations = 600000;
    static constexpr std::size_t kSaltBytes = 16;
    static constexpr std::size_t kKeyBytes = 32;
    using Salt = std::array<unsigned char, kSaltBytes>;
    using Key = std::array<unsigned char, kKeyBytes>;

    SiteKey() = default;
    SiteKey(const SiteKey&) = default;
    SiteKey& operator=(const SiteKey&) = default;
    ~SiteKey();

    /// Draws a fresh salt and derives the key from the password.
    static std::error_code create(std::u16string_view password, int iterations, SiteKey& out);
    /// Derives the key with a given salt.
    static std::error_code derive(std::u16string_view password, const Salt& salt, int iterations, SiteKey& out);

    /// A key given as it is (a site's content key), with the salt and rounds its passwords are derived with.
    static SiteKey withKey(const Key& key, const Salt& salt, int iterations);

    /// The password as the derivation takes it: normalised to NFC, then UTF-8 (an unpaired surrogate becomes
    /// U+FFFD, as the browser's TextEncoder makes it).
    static std::error_code passwordBytes(std::u16string_view password, std::string& bytes);
    /// PBKDF2-HMAC-SHA256 of any password bytes and salt; fills all of out.
    static std::error_code pbkdf2(std::string_view password, std::string_view salt, int iterations,
                                  std::span<unsigned char> out);
    /// Fills out from the system's random source.
    static std::error_code randomBytes(std::span<unsigned char> out);

    const Key& key() const { return m_key; }
    const Salt& salt() const { return m_salt; }
    int iterations() const { return m_iterations; }

private:
    Key m_key{};
    Salt m_salt{};
    int m_iterations = 0;
};

} // namespace quillora::crypto
