#include "ProtectedCharset.h"

#include "DeclaredCharset.h"
#include "EncodingLabels.h"

namespace quillora::charset {

namespace {

bool isUtf16(const PageEncoding& encoding) {
    return encoding.kind == PageEncoding::Kind::Utf16LE || encoding.kind == PageEncoding::Kind::Utf16BE;
}

bool sameSet(const PageEncoding& a, const PageEncoding& b) {
    return a.kind == b.kind && a.icuName == b.icuName;
}

} // namespace

ProtectedCharset::ProtectedCharset(std::string_view original, const PageEncoding& encoding) {
    const auto declared = DeclaredCharset::of(original);
    if (declared) {
        // The browser reads the set declared, even where the run fell back to another one for bytes invalid in it.
        m_expected = declared->encoding;
    } else if (encoding.kind == PageEncoding::Kind::Icu) {
        m_expected = encoding; // guessed: UTF-8 and Windows-1252 are what a browser takes anyway
    }
    // A UTF-16 page keeps its byte-order mark, which no declaration could overrule.
    if (!m_expected || isUtf16(*m_expected)) {
        m_expected.reset();
        return;
    }
    m_declaration = "<meta charset=\"";
    m_declaration += labelForEncoding(*m_expected);
    m_declaration += "\">";
    if (!declared)
        m_initial = m_declaration;
}

bool ProtectedCharset::needsDeclaration(std::string_view protectedBytes) const {
    if (!m_expected)
        return false;
    const auto declared = DeclaredCharset::of(protectedBytes);
    return !declared || !sameSet(declared->encoding, *m_expected);
}

} // namespace quillora::charset
