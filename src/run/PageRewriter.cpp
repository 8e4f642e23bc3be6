#include "PageRewriter.h"

#include "ErrorNumbers.h"
#include "charset/ByteOrderMark.h"
#include "charset/PageCharsets.h"
#include "charset/PageDecoder.h"
#include "charset/ProtectedCharset.h"
#include "engine/ContentEncoding.h"

#include <algorithm>
#include <cstring>
#include <functional>

namespace quillora::run {

namespace {

bool contains(std::string_view bytes, std::string_view part) {
    return std::search(bytes.begin(), bytes.end(), std::boyer_moore_horspool_searcher(part.begin(), part.end())) !=
           bytes.end();
}

/// The page's bytes after its byte-order mark, without the zero bytes it may hold (then copied into spare).
std::string_view bytesWithoutMarkOrZeros(std::string_view bytes, const charset::PageEncoding& encoding,
                                         std::string& spare) {
    std::string_view page = charset::ByteOrderMark::skip(bytes, encoding);
    // No set read as bytes uses a zero byte inside another character; most pages have none to remove.
    if (std::memchr(page.data(), 0, page.size()) != nullptr) {
        spare.reserve(page.size());
        std::remove_copy(page.begin(), page.end(), std::back_inserter(spare), '\0');
        page = spare;
    }
    return page;
}

} // namespace

PageRewriter::PageRewriter(const engine::ProtectionOptions& options, std::u16string header)
    : m_options(options), m_header(std::move(header)), m_headerBytes(m_header.begin(), m_header.end()) {}

PageRewriter::~PageRewriter() = default;

charset::PageEncoding PageRewriter::encodingOf(std::string_view bytes) {
    return charset::PageDecoder::encodingOf(bytes);
}

bool PageRewriter::isProtected(std::string_view bytes, const charset::PageEncoding& encoding) {
    return carries(bytes, encoding, engine::Bootstrap()) || carries(bytes, encoding, engine::StrictBootstrap());
}

bool PageRewriter::carries(std::string_view bytes, const charset::PageEncoding& encoding,
                           std::u16string_view bootstrap) {
    if (encoding.isUtf16()) {
        const bool big = encoding.kind == charset::PageEncoding::Kind::Utf16BE;
        std::string wide;
        for (const char16_t unit : bootstrap) {
            wide.push_back(big ? '\0' : static_cast<char>(unit));
            wide.push_back(big ? static_cast<char>(unit) : '\0');
        }
        // Either byte parity: a page with an odd byte before its text still reads as UTF-16 units.
        return contains(bytes, wide);
    }
    // The bootstrap is ASCII, which every other set the run reads writes as the same bytes.
    return contains(bytes, std::string(bootstrap.begin(), bootstrap.end()));
}

const engine::PageCharset<char>* PageRewriter::byteCharset(const charset::PageEncoding& encoding) const {
    if (!charset::readsMarkupInBytes(encoding))
        return nullptr;
    if (!m_charset || !(m_charsetEncoding.kind == encoding.kind && m_charsetEncoding.icuName == encoding.icuName)) {
        m_charset = charset::byteCharsetFor(encoding);
        m_charsetEncoding = encoding;
    }
    return m_charset.get();
}

std::error_code PageRewriter::decodePage(std::string_view bytes, const charset::PageEncoding& encoding,
                                         std::u16string& text) {
    const std::string_view body = charset::ByteOrderMark::skip(bytes, encoding);
    bool done = false;
    if (encoding.isUtf16()) {
        done = charset::PageDecoder::decodeText(encoding, body, text);
        // Zero units are removed as zero bytes are from the other sets.
        std::erase(text, u'\0');
    } else {
        std::string spare;
        done = charset::PageDecoder::decodeText(encoding, bytesWithoutMarkOrZeros(bytes, encoding, spare), text);
    }
    return done ? std::error_code() : std::make_error_code(std::errc::illegal_byte_sequence);
}

engine::FrameScan PageRewriter::frames(std::string_view bytes, const charset::PageEncoding& encoding) const {
    if (const auto* charset = byteCharset(encoding)) {
        std::string spare;
        return engine::ScanFrames(bytesWithoutMarkOrZeros(bytes, encoding, spare), *charset);
    }
    std::u16string text;
    if (decodePage(bytes, encoding, text))
        return {};
    return engine::ScanFrames(text);
}

std::error_code PageRewriter::rewrite(std::string_view bytes, const charset::PageEncoding& encoding, std::string& out) {
    if (m_options.strictCsp)
        return rewriteStrict(bytes, encoding, out);
    return rewriteWith(bytes, encoding, m_header, out);
}

std::error_code PageRewriter::rewriteDecoded(std::string_view bytes, const charset::PageEncoding& encoding,
                                             std::string& out) {
    return rewriteDecodedWith(bytes, encoding, m_header, out);
}

std::error_code PageRewriter::policyOf(std::string_view bytes, const charset::PageEncoding& encoding,
                                       ScriptPolicy& policy) {
    std::u16string text;
    if (const auto error = decodePage(bytes, encoding, text))
        return error;
    policy.addPage(text);
    return {};
}

// The policy names the hashes of the page's writer calls, which exist only once the page is written: the page is
// written once to learn them, then again with the policy in front of its header (the charset declaration the
// engine keeps in reach then counts the policy's length). What the second writing runs is checked against it.
std::error_code PageRewriter::rewriteStrict(std::string_view bytes, const charset::PageEncoding& encoding,
                                            std::string& out) {
    m_policy = ScriptPolicy();
    if (const auto error = rewriteWith(bytes, encoding, m_header, out))
        return error;
    charset::PageEncoding written = encoding;
    written.byteOrderMark = written.byteOrderMark || encoding.isUtf16();
    std::u16string text;
    if (const auto error = decodePage(out, written, text))
        return error;
    ScriptPolicy policy;
    policy.addPage(text);
    const std::string meta = policy.metaTag();
    std::u16string header(meta.begin(), meta.end());
    header += m_header;
    if (const auto error = rewriteWith(bytes, encoding, header, out))
        return error;
    text.clear();
    if (const auto error = decodePage(out, written, text))
        return error;
    if (!policy.allows(text))
        return RunError::PolicyMismatch;
    m_policy = std::move(policy);
    return {};
}

std::error_code PageRewriter::rewriteWith(std::string_view bytes, const charset::PageEncoding& encoding,
                                          std::u16string_view header, std::string& out) {
    const auto* charset = byteCharset(encoding);
    if (charset == nullptr)
        return rewriteDecodedWith(bytes, encoding, header, out);
    std::string spare;
    const std::string_view page = bytesWithoutMarkOrZeros(bytes, encoding, spare);
    const std::string notice = charset::encodeText(m_encoder, encoding, engine::NoticeComment(m_options));
    if (const auto error = m_encoder.start(encoding))
        return error;
    // The header is ASCII, the same bytes in every set read as bytes.
    std::string otherHeader;
    if (header.data() != m_header.data())
        otherHeader.assign(header.begin(), header.end());
    const std::string_view headerBytes = header.data() == m_header.data() ? m_headerBytes : otherHeader;
    const auto transform = [&](std::string_view declaration) {
        out.clear();
        out.append(m_encoder.byteOrderMark());
        m_notes = engine::TransformPage(engine::PageParts<char>{page, headerBytes, notice, 0, declaration}, m_options,
                                        *charset, out);
    };
    const charset::ProtectedCharset kept(bytes, encoding);
    transform(kept.initialDeclaration());
    if (kept.initialDeclaration().empty() && kept.needsDeclaration(out))
        transform(kept.declaration());
    return {};
}

std::error_code PageRewriter::rewriteDecodedWith(std::string_view bytes, const charset::PageEncoding& encoding,
                                                 std::u16string_view header, std::string& out) {
    const charset::ProtectedCharset kept(bytes, encoding);
    auto error = writeDecoded(bytes, encoding, header, kept.initialDeclaration(), out);
    if (!error && kept.initialDeclaration().empty() && kept.needsDeclaration(out))
        error = writeDecoded(bytes, encoding, header, kept.declaration(), out); // decoded again rather than held twice
    return error;
}

std::error_code PageRewriter::writeDecoded(std::string_view bytes, const charset::PageEncoding& encoding,
                                           std::u16string_view header, std::string_view declaration, std::string& out) {
    // UTF-16 is always written with its byte-order mark: without one only an XML declaration at the first byte
    // tells the set, and the notice or a writer call may stand there now.
    charset::PageEncoding written = encoding;
    written.byteOrderMark = written.byteOrderMark || encoding.isUtf16();
    std::u16string result;
    {
        std::u16string text;
        if (const auto error = decodePage(bytes, encoding, text))
            return error;
        const charset::DecodedCharset charset(encoding);
        const std::u16string notice = engine::NoticeComment(m_options);
        const std::size_t bytesBefore = charset::ByteOrderMark::of(written).size();
        const std::u16string declared(declaration.begin(), declaration.end());
        m_notes = engine::TransformPage(engine::PageParts<char16_t>{text, header, notice, bytesBefore, declared},
                                        m_options, charset, result);
    }
    out.assign(charset::ByteOrderMark::of(written));
    return m_encoder.encodeWhole(written, result, out);
}

} // namespace quillora::run
