#include "PasswordStrength.h"

#include "SecretMemory.h"
#include "SiteKey.h"

#include <zxcvbn.h>

namespace quillora::crypto {

PasswordStrength PasswordStrength::of(std::u16string_view password) {
    // Estimated as the key derivation takes it (NFC, UTF-8): what an attacker would have to guess.
    std::string bytes;
    if (SiteKey::passwordBytes(password, bytes)) {
        wipe(bytes);
        return PasswordStrength(0);
    }
    // The library reads up to the first NUL; a password holding one is judged on the part before it.
    const double bits = bytes.empty() ? 0 : ZxcvbnMatch(bytes.c_str(), nullptr, nullptr);
    wipe(bytes);
    return PasswordStrength(bits);
}

PasswordStrength::Level PasswordStrength::level() const {
    if (m_bits < kFloorBits)
        return Level::TooWeak;
    return m_bits < kStrongBits ? Level::Weak : Level::Strong;
}

} // namespace quillora::crypto
