#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace quillora::crypto {

/// Base64 with the standard alphabet and padding (what the browser's atob reads), appended to a string a
/// piece at a time, so that a large page need not be held twice.
class Base64Writer {
public:
    explicit Base64Writer(std::string& out) : m_out(out) {}

    /// The length of the base64 text of n bytes.
    static constexpr std::size_t encodedLength(std::size_t n) { return (n + 2) / 3 * 4; }

    void append(std::string_view bytes);
    /// Writes the last bytes held back and the padding.
    void finish();

private:
    std::string& m_out;
    unsigned char m_held[2] = {};
    std::size_t m_heldCount = 0;
};

/// The base64 text of bytes.
std::string toBase64(std::string_view bytes);
/// The bytes of base64 text with the standard alphabet and its padding; false for any other text.
bool fromBase64(std::string_view text, std::string& bytes);

} // namespace quillora::crypto
