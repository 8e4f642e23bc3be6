#include "UnlockScript.h"

#include "UnlockScriptText.h"
#include "crypto/Digest.h"

namespace quillora::unlock {

std::string_view unlockScript() {
    return kUnlockScriptText;
}

std::string sharedScriptName() {
    static const std::string name =
        "quillora-unlock-" + crypto::Digest::hex(crypto::Digest::sha256(kUnlockScriptText)).substr(0, 12) + ".js";
    return name;
}

bool isSharedScriptName(std::string_view name) {
    constexpr std::string_view kStart = "quillora-unlock-";
    constexpr std::string_view kEnd = ".js";
    constexpr std::size_t kDigits = 12;
    if (name.size() != kStart.size() + kDigits + kEnd.size() || !name.starts_with(kStart) || !name.ends_with(kEnd))
        return false;
    const std::string_view digits = name.substr(kStart.size(), kDigits);
    return digits.find_first_not_of("0123456789abcdef") == std::string_view::npos;
}

} // namespace quillora::unlock
