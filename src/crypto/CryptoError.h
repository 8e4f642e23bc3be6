#pragma once

#include <system_error>

namespace quillora::crypto {

/// Failures of the page encryption; reported like any other failure of the page they happened to.
enum class CryptoError {
    RandomUnavailable = 1, // the system's random source gave no bytes
    KeyDerivationFailed,
    PasswordNotNormalised,
    CipherFailed,
    AuthenticationFailed,   // a sealed page did not match its tag: another key, or changed bytes
    BadParameter,           // an iteration count below 1, a page too large for one call
    KeyFileDamaged,         // a site key file that does not read as one
    NoSlotOpens,            // the password opens none of a site key's slots
    LabelTaken,             // another slot of the site key has the label
    PasswordTaken,          // the password opens a slot of the site key already
    NoSuchSlot,             // no slot has the label or number
    SlotAmbiguous,          // two slots share the label
    LastSlot,               // the only slot of a site key cannot go
    SlotWithoutPasswordKey, // a slot of a key file of the first version whose password was never given since
    NoSuchLevel,            // the site key has no access level of the name
    LevelTaken,             // the site key has an access level of the name already
};

const std::error_category& cryptoCategory();
std::error_code make_error_code(CryptoError error);

} // namespace quillora::crypto

template <> struct std::is_error_code_enum<quillora::crypto::CryptoError> : std::true_type {};
