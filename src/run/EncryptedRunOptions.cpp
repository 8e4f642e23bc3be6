#include "EncryptedRunOptions.h"

#include "crypto/SecretMemory.h"

namespace quillora::run {

unlock::EncryptionSettings encryptionSettings(const engine::ProtectionOptions& options) {
    unlock::EncryptionSettings settings;
    settings.password = options.password;
    settings.rememberDays = options.rememberDays;
    settings.texts = {options.unlockPrompt, options.unlockButton, options.wrongPassword};
    return settings;
}

engine::ProtectionOptions engineOptions(const engine::ProtectionOptions& options) {
    engine::ProtectionOptions forEngine = options;
    if (options.encrypt) {
        forEngine.passwordProtect = false;
        crypto::wipe(forEngine.password);
    }
    return forEngine;
}

} // namespace quillora::run
