#pragma once

#include "engine/ProtectionOptions.h"
#include "unlock/UnlockPage.h"

namespace quillora::run {

/// The encryption settings the options of a run choose.
unlock::EncryptionSettings encryptionSettings(const engine::ProtectionOptions& options);
/// The options to give the engine in an encrypted run: the same without the password prompt, so that the
/// password never enters a page, and hiding nothing unless hiding was asked for with the encryption.
engine::ProtectionOptions engineOptions(const engine::ProtectionOptions& options);
/// What the pages of a run get hidden as: the options' mode, or none in an encrypted run that did not ask for it.
engine::EncryptionMode hiddenAs(const engine::ProtectionOptions& options);

} // namespace quillora::run
