#pragma once

#include "ScriptPolicy.h"
#include "charset/PageEncoder.h"
#include "charset/PageEncoding.h"
#include "engine/PageCharset.h"
#include "engine/PageTransform.h"
#include "engine/ProtectionOptions.h"

#include <memory>
#include <string>
#include <string_view>
#include <system_error>

namespace quillora::run {

/// A page's way through the engine: its bytes in, the bytes of its protected form out, in the character set a
/// browser reads the page in (which is also the set it is written back in). A page in a set whose markup can be
/// read in its bytes stays bytes all the way: only the spans that become writer calls are decoded, straight into
/// their escapes. Any other page is decoded into code units and its protected form encoded back. One per run:
/// it holds the run's header and what it reuses from page to page.
class PageRewriter {
public:
    PageRewriter(const engine::ProtectionOptions& options, std::u16string header);
    ~PageRewriter();
    PageRewriter(const PageRewriter&) = delete;
    PageRewriter& operator=(const PageRewriter&) = delete;

    /// The set a browser reads the bytes in: byte-order mark, declaration, valid UTF-8, a browser's guess, else
    /// Windows-1252.
    static charset::PageEncoding encodingOf(std::string_view bytes);
    /// True when the bytes already carry a bootstrap exactly as the engine writes it.
    static bool isProtected(std::string_view bytes, const charset::PageEncoding& encoding);
    /// The page's frame tags and their addresses.
    engine::FrameScan frames(std::string_view bytes, const charset::PageEncoding& encoding) const;
    /// The protected page (a page that is not kept as a frameset), in the page's set. Under a strict policy the
    /// page carries the policy its scripts need in a META tag before its first script, and the policy is checked
    /// against what the page runs (RunError::PolicyMismatch when they differ).
    std::error_code rewrite(std::string_view bytes, const charset::PageEncoding& encoding, std::string& out);
    /// The same through the page's code units, the way every set can take.
    std::error_code rewriteDecoded(std::string_view bytes, const charset::PageEncoding& encoding, std::string& out);

    /// What the protection of the page last rewritten left as it stands.
    const engine::PageNotes& notes() const { return m_notes; }
    /// Under a strict policy: the policy of the page last rewritten.
    const ScriptPolicy& policy() const { return m_policy; }
    /// The policy that the scripts of a page need as it stands (a frameset, a page protected before).
    static std::error_code policyOf(std::string_view bytes, const charset::PageEncoding& encoding,
                                    ScriptPolicy& policy);

private:
    static bool carries(std::string_view bytes, const charset::PageEncoding& encoding, std::u16string_view bootstrap);
    const engine::PageCharset<char>* byteCharset(const charset::PageEncoding& encoding) const;
    static std::error_code decodePage(std::string_view bytes, const charset::PageEncoding& encoding,
                                      std::u16string& text);
    std::error_code rewriteWith(std::string_view bytes, const charset::PageEncoding& encoding,
                                std::u16string_view header, std::string& out);
    std::error_code rewriteDecodedWith(std::string_view bytes, const charset::PageEncoding& encoding,
                                       std::u16string_view header, std::string& out);
    std::error_code writeDecoded(std::string_view bytes, const charset::PageEncoding& encoding,
                                 std::u16string_view header, std::string_view declaration, std::string& out);
    std::error_code rewriteStrict(std::string_view bytes, const charset::PageEncoding& encoding, std::string& out);

    const engine::ProtectionOptions& m_options;
    std::u16string m_header;
    std::string m_headerBytes; // the header is ASCII, the same bytes in every set read as bytes
    charset::PageEncoder m_encoder;
    engine::PageNotes m_notes;
    ScriptPolicy m_policy;
    mutable charset::PageEncoding m_charsetEncoding;
    mutable std::unique_ptr<engine::PageCharset<char>> m_charset; // for m_charsetEncoding
};

} // namespace quillora::run
