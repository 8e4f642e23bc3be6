#include "PageRewriter.h"

#include "CharsetSniffer.h"
#include "PageDecoder.h"
#include "engine/ContentEncoding.h"

#include <cstring>

namespace quillora::run {

PageRewriter::PageRewriter(const engine::ProtectionOptions& options, std::u16string header)
    : m_options(options), m_header(std::move(header)) {}

PageEncoding PageRewriter::encodingOf(std::string_view bytes) {
    return PageDecoder::decode(std::string(bytes)).encoding;
}

bool PageRewriter::isProtected(std::string_view bytes, const PageEncoding& encoding) {
    const std::u16string_view bootstrap = engine::Bootstrap();
    if (encoding.kind == PageEncoding::Kind::Utf16LE || encoding.kind == PageEncoding::Kind::Utf16BE) {
        const bool big = encoding.kind == PageEncoding::Kind::Utf16BE;
        std::string wide;
        for (const char16_t unit : bootstrap) {
            wide.push_back(big ? '\0' : static_cast<char>(unit));
            wide.push_back(big ? static_cast<char>(unit) : '\0');
        }
        // Either byte parity: a page with an odd byte before its text still reads as UTF-16 units.
        return bytes.find(wide) != std::string_view::npos;
    }
    // The bootstrap is ASCII, which every other set the run reads writes as the same bytes.
    std::string ascii(bootstrap.begin(), bootstrap.end());
    return bytes.find(ascii) != std::string_view::npos;
}

std::u16string PageRewriter::decoded(std::string_view bytes, const PageEncoding& encoding) const {
    (void)encoding;
    // No set here makes a zero character out of anything but zero bytes; most pages have none to remove.
    const bool holdsZeroBytes = std::memchr(bytes.data(), 0, bytes.size()) != nullptr;
    DecodedPage page = PageDecoder::decode(std::string(bytes));
    if (holdsZeroBytes)
        std::erase(page.text, u'\0');
    return std::move(page.text);
}

engine::FrameScan PageRewriter::frames(std::string_view bytes, const PageEncoding& encoding) const {
    return engine::ScanFrames(decoded(bytes, encoding));
}

std::error_code PageRewriter::rewrite(std::string_view bytes, const PageEncoding& encoding, std::string& out) {
    std::u16string text = decoded(bytes, encoding);
    engine::TransformPage(text, m_options, m_header);
    out.clear();
    if (const auto error = m_encoder.start(encoding))
        return error;
    out.append(m_encoder.byteOrderMark());
    std::u16string_view rest = text;
    do {
        const std::size_t length = std::min(rest.size(), PageEncoder::kPieceUnits);
        std::string_view piece;
        if (const auto error = m_encoder.encode(rest.substr(0, length), length == rest.size(), piece))
            return error;
        out.append(piece);
        rest.remove_prefix(length);
    } while (!rest.empty());
    return {};
}

} // namespace quillora::run
