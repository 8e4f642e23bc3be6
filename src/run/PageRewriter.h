#pragma once

#include "PageEncoder.h"
#include "PageEncoding.h"
#include "engine/PageTransform.h"
#include "engine/ProtectionOptions.h"

#include <string>
#include <string_view>
#include <system_error>

namespace quillora::run {

/// A page's way through the engine: its bytes in, the bytes of its protected form out, in the character set a
/// browser reads the page in (which is also the set it is written back in). One per run: it holds the run's
/// header and the buffers it reuses from page to page.
class PageRewriter {
public:
    PageRewriter(const engine::ProtectionOptions& options, std::u16string header);

    /// The set a browser reads the bytes in: byte-order mark, declaration, valid UTF-8, else Windows-1252.
    static PageEncoding encodingOf(std::string_view bytes);
    /// True when the bytes already carry the bootstrap exactly as the engine writes it.
    static bool isProtected(std::string_view bytes, const PageEncoding& encoding);
    /// The page's frame tags and their addresses.
    engine::FrameScan frames(std::string_view bytes, const PageEncoding& encoding) const;
    /// The protected page (a page that is not kept as a frameset), in the page's set.
    std::error_code rewrite(std::string_view bytes, const PageEncoding& encoding, std::string& out);

    const std::u16string& header() const { return m_header; }

private:
    std::u16string decoded(std::string_view bytes, const PageEncoding& encoding) const;

    const engine::ProtectionOptions& m_options;
    std::u16string m_header;
    PageEncoder m_encoder;
};

} // namespace quillora::run
