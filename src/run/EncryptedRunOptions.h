#pragma once

#include "engine/ProtectionOptions.h"
#include "unlock/UnlockPage.h"

namespace quillora::run {

/// The encryption settings the options of a run choose.
unlock::EncryptionSettings encryptionSettings(const engine::ProtectionOptions& options);
/// The options to give the engine in an encrypted run: the same without the password prompt, so that the
/// password never enters a page.
engine::ProtectionOptions engineOptions(const engine::ProtectionOptions& options);

} // namespace quillora::run
