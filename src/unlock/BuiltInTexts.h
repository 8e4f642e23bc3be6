#pragma once

#include <cstddef>
#include <span>
#include <string_view>

namespace quillora::unlock {

/// The unlock page's own texts in one language.
struct BuiltInTexts {
    std::string_view language; // the primary language subtag that chooses them
    std::u16string_view prompt;
    std::u16string_view button;
    std::u16string_view wrongPassword;
    std::u16string_view damaged;      // the page opened with the right key but its bytes were changed
    std::u16string_view insecure;     // browsers give no WebCrypto outside a secure context
    std::u16string_view noScript;     // shown where scripts do not run
    std::u16string_view showPassword; // the check box that shows the typed password
    std::u16string_view rememberMe;   // the check box that keeps the key beyond the browser's session
    // The script the site's unlock pages share did not load; kScriptName stands where its name goes.
    std::u16string_view missingScript;
};

/// What stands for the shared script's name in BuiltInTexts::missingScript.
inline constexpr std::u16string_view kScriptName = u"{script}";

inline constexpr std::size_t kBuiltInLanguageCount = 5;

/// Every language the unlock page speaks, English first.
std::span<const BuiltInTexts> builtInLanguages();

/// The texts for a page's primary language subtag (any case); English for one not among them or none.
const BuiltInTexts& builtInTexts(std::string_view primaryLanguage);

} // namespace quillora::unlock
