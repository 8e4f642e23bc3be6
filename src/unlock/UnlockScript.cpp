#include "UnlockScript.h"

#include "UnlockScriptText.h"

namespace quillora::unlock {

std::string_view unlockScript() {
    return kUnlockScriptText;
}

} // namespace quillora::unlock
