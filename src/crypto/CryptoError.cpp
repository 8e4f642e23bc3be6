#include "CryptoError.h"

#include <string>

namespace quillora::crypto {

namespace {

class CryptoCategory : public std::error_category {
public:
    const char* name() const noexcept override { return "quillora-crypto"; }

    std::string message(int value) const override {
        switch (static_cast<CryptoError>(value)) {
        case CryptoError::RandomUnavailable:
            return "The system's random number source is not available";
        case CryptoError::KeyDerivationFailed:
            return "The key could not be derived from the password";
        case CryptoError::PasswordNotNormalised:
            return "The password could not be normalised";
        case CryptoError::CipherFailed:
            return "The page could not be encrypted";
        case CryptoError::AuthenticationFailed:
            return "The encrypted page does not match its key";
        case CryptoError::BadParameter:
            return "Invalid encryption parameter";
        case CryptoError::KeyFileDamaged:
            return "The site key file is damaged or is not a key file";
        case CryptoError::NoSlotOpens:
            return "The password is none of the site key's passwords";
        case CryptoError::LabelTaken:
            return "Another password of the site has this label";
        case CryptoError::PasswordTaken:
            return "The password is one of the site's passwords already";
        case CryptoError::NoSuchSlot:
            return "No password of the site has this label";
        case CryptoError::SlotAmbiguous:
            return "Several passwords of the site have this label";
        case CryptoError::LastSlot:
            return "The site's last password cannot be removed";
        case CryptoError::SlotWithoutPasswordKey:
            return "A password of the site was never given since the key file was made by an earlier version";
        case CryptoError::NoSuchLevel:
            return "The site key has no access level of that name";
        case CryptoError::LevelTaken:
            return "The site key has an access level of that name already";
        }
        return "Unknown encryption error";
    }
};

} // namespace

const std::error_category& cryptoCategory() {
    static const CryptoCategory category;
    return category;
}

std::error_code make_error_code(CryptoError error) {
    return {static_cast<int>(error), cryptoCategory()};
}

} // namespace quillora::crypto
