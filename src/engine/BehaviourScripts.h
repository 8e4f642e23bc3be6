#pragma once

#include "ProtectionOptions.h"

#include <string>
#include <string_view>

namespace quillora::engine {

/// Appends the encoded block of the chosen behaviour scripts to a header; appends nothing when none is chosen.
void BuildBehaviourScripts(std::u16string& header, const ProtectionOptions& options);

/// Inserts the image-toolbar META tag after the page's head tag, unless the page has one already.
void InsertImageToolbarMeta(std::u16string& page);
void InsertImageToolbarMeta(std::string& page);

/// A typed text made safe inside a single-quoted script string literal.
std::u16string EscapeScriptString(std::u16string_view text);

} // namespace quillora::engine
