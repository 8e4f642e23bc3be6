#include "EncryptedRunOptions.h"

#include "crypto/SecretMemory.h"

namespace quillora::run {

unlock::EncryptionSettings encryptionSettings(const engine::ProtectionOptions& options) {
    unlock::EncryptionSettings settings;
    settings.password = options.password;
    settings.rememberDays = options.rememberDays;
    // A text left as the product's English default is the built-in one in each page's language.
    const auto given = [](const std::u16string& text, std::u16string_view builtIn) {
        return text == builtIn ? std::u16string() : text;
    };
    settings.texts = {given(options.unlockPrompt, engine::kDefaultUnlockPrompt),
                      given(options.unlockButton, engine::kDefaultUnlockButton),
                      given(options.wrongPassword, engine::kDefaultWrongPassword),
                      {}};
    return settings;
}

engine::ProtectionOptions engineOptions(const engine::ProtectionOptions& options) {
    engine::ProtectionOptions forEngine = options;
    if (options.encrypt) {
        forEngine.passwordProtect = false;
        crypto::wipe(forEngine.password);
        forEngine.encryptionMode = hiddenAs(options);
    }
    return forEngine;
}

engine::EncryptionMode hiddenAs(const engine::ProtectionOptions& options) {
    return options.encrypt && !options.hideWhenEncrypting ? engine::EncryptionMode::None : options.encryptionMode;
}

} // namespace quillora::run
