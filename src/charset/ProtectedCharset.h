#pragma once

#include "PageEncoding.h"

#include <optional>
#include <string>
#include <string_view>

namespace quillora::charset {

/// Keeps a protected page in the set a browser reads its original in. A set the browser was bound to by a
/// declaration stays bound where the protected page still holds a declaration the browser takes; one it guessed
/// is declared outright, since the guess would have little to go on once the text travels escaped. Otherwise
/// the protected page gets a META declaration at the top of its head: a declaration moved into a writer call (a
/// META in the body, or any in whole-page mode), one past the bytes a browser looks at, an XML declaration the
/// notice pushed from the first byte.
class ProtectedCharset {
public:
    /// For the page's bytes and the set it is read in.
    ProtectedCharset(std::string_view original, const PageEncoding& encoding);

    /// The declaration the protected page gets from the start (for a guessed set); empty for none.
    const std::string& initialDeclaration() const { return m_initial; }
    /// True when a browser would take another set (or none) from the protected bytes than from the original.
    bool needsDeclaration(std::string_view protectedBytes) const;
    /// The META tag that declares the set.
    const std::string& declaration() const { return m_declaration; }

private:
    std::optional<PageEncoding> m_expected;
    std::string m_declaration;
    std::string m_initial;
};

} // namespace quillora::charset
