#include "UnlockPage.h"

#include "MarkupText.h"
#include "SealedContent.h"
#include "UnlockScript.h"
#include "charset/ByteOrderMark.h"
#include "charset/CharsetSniffer.h"
#include "charset/DeclaredCharset.h"
#include "charset/EncodingLabels.h"
#include "charset/PageDecoder.h"
#include "charset/PageEncoder.h"
#include "charset/TextConvert.h"
#include "charset/Utf16.h"
#include "crypto/Base64.h"
#include "crypto/CryptoError.h"
#include "crypto/SecretMemory.h"

#include <algorithm>

namespace quillora::unlock {

namespace {

using namespace markup;

constexpr std::string_view kHtmlStart = "<html";
constexpr std::string_view kHeadStart = "><head>";
// The most an unlock page's html tag holds between its name and its ">": its lang and dir.
constexpr std::size_t kLongestHtmlAttributes = 64;
constexpr std::string_view kMarker = "<meta name=\"quillora-page\" content=\"encrypted\">\n";
constexpr std::string_view kHead = "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
                                   "<meta name=\"color-scheme\" content=\"light dark\">\n"
                                   "<title>";
constexpr std::string_view kStyle = "</title>\n<style>\n"
                                    ":root{color-scheme:light dark;font:1.125rem/1.5 system-ui,sans-serif}\n"
                                    "body{margin:0;padding:15vh 1.5rem}\n"
                                    "main{max-width:30rem;margin:0 auto}\n"
                                    "label{display:block;margin-bottom:.5rem}\n"
                                    "input,button{font:inherit;padding:.4rem .7rem}\n"
                                    "input{width:14rem;max-width:100%}\n"
                                    ".qv-check{display:block;margin:.5rem 0}\n"
                                    ".qv-check input{width:auto;margin:0 .5rem 0 0;padding:0}\n"
                                    "#qv-error{min-height:1.5em;color:#b3261e}\n"
                                    "@media (prefers-color-scheme:dark){#qv-error{color:#f2b8b5}}\n"
                                    "</style>\n</head><body><main>\n";
constexpr std::string_view kBodyEnd = "\n</body></html>\n";
constexpr std::string_view kNoticeStart = "<!-- ";
constexpr std::string_view kNoticeEnd = "-->\r\n";
// Notices longer than this are not looked past when telling an unlock page.
constexpr std::size_t kLongestNotice = std::size_t{1} << 20;

void appendReference(std::string& out, char32_t c) {
    out += "&#";
    out += std::to_string(static_cast<unsigned long>(c));
    out += ';';
}

/// Calls f with each code point of text; an unpaired surrogate comes as U+FFFD.
template <class F> void forEachCodePoint(std::u16string_view text, F f) {
    for (std::size_t i = 0; i < text.size(); ++i)
        f(charset::utf16::codePointAt(text, i));
}

// C1 controls are left out: a reference to one reads as a Windows-1252 character instead.
bool isLeftOut(char32_t c) {
    return (c < 0x20 && c != '\t' && c != '\n' && c != '\r') || (c >= 0x7F && c <= 0x9F);
}

/// Plain text as element content or a double-quoted attribute value, in ASCII.
void appendText(std::string& out, std::u16string_view text) {
    forEachCodePoint(text, [&out](char32_t c) {
        if (isLeftOut(c))
            return;
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        case '\'':
            out += "&#39;";
            break;
        default:
            if (c < 0x80)
                out += static_cast<char>(c);
            else
                appendReference(out, c);
        }
    });
}

/// A title element's content as written: its references stay, "<" and ">" become references so that nothing
/// can end the element, and everything outside ASCII becomes a reference.
void appendTitle(std::string& out, std::u16string_view title) {
    forEachCodePoint(title, [&out](char32_t c) {
        if (c == 0)
            appendReference(out, 0xFFFD);
        else if (c == '<')
            out += "&lt;";
        else if (c == '>')
            out += "&gt;";
        else if (c == '"') // a template may put the title in an attribute value
            out += "&quot;";
        else if (c >= 0x80 && c <= 0x9F)
            return;
        else if (c < 0x80)
            out += static_cast<char>(c);
        else
            appendReference(out, c);
    });
}

/// A path as ASCII that a URL's decoding reads back: bytes outside the unreserved ones (and '/') as %XX.
void appendPercentEncoded(std::string& out, std::string_view path) {
    constexpr std::string_view kHex = "0123456789ABCDEF";
    for (const char c : path) {
        const auto byte = static_cast<unsigned char>(c);
        if ((byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z') || (byte >= '0' && byte <= '9') ||
            std::string_view("-._~/").find(c) != std::string_view::npos) {
            out += c;
        } else {
            out += '%';
            out += kHex[byte >> 4];
            out += kHex[byte & 0xF];
        }
    }
}

bool percentDecoded(std::string_view text, std::string& out) {
    out.clear();
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            out += text[i];
            continue;
        }
        if (i + 2 >= text.size())
            return false;
        const auto hex = [](char c) {
            return c >= '0' && c <= '9'   ? c - '0'
                   : c >= 'A' && c <= 'F' ? c - 'A' + 10
                   : c >= 'a' && c <= 'f' ? c - 'a' + 10
                                          : -1;
        };
        const int high = hex(text[i + 1]);
        const int low = hex(text[i + 2]);
        if (high < 0 || low < 0)
            return false;
        out += static_cast<char>(high << 4 | low);
        i += 2;
    }
    return true;
}

bool isAscii(std::u16string_view text) {
    return std::all_of(text.begin(), text.end(), [](char16_t c) { return c < 0x80; });
}

/// The notice comment in the page's set (ASCII-compatible sets only).
std::error_code appendNotice(std::string& out, std::u16string_view comment, const charset::PageEncoding& encoding) {
    if (encoding.kind == charset::PageEncoding::Kind::Utf8) {
        out += charset::toUtf8(comment);
        return {};
    }
    if (isAscii(comment)) {
        out.append(comment.begin(), comment.end());
        return {};
    }
    charset::PageEncoder encoder;
    return encoder.encodeWhole(encoding, comment, out);
}

/// Widens the ASCII text to UTF-16 in the given byte order.
void appendWide(std::string& out, std::u16string_view text, bool bigEndian) {
    const std::size_t start = out.size();
    out.resize(start + text.size() * 2);
    char* p = out.data() + start;
    for (const char16_t c : text) {
        const char high = static_cast<char>(c >> 8);
        const char low = static_cast<char>(c & 0xFF);
        *p++ = bigEndian ? high : low;
        *p++ = bigEndian ? low : high;
    }
}

void appendWide(std::string& out, std::string_view ascii, bool bigEndian) {
    const std::size_t start = out.size();
    out.resize(start + ascii.size() * 2);
    char* p = out.data() + start;
    for (const char c : ascii) {
        *p++ = bigEndian ? '\0' : c;
        *p++ = bigEndian ? c : '\0';
    }
}

template <class Char> bool startsUnlockPage(std::basic_string_view<Char> text) {
    if (engine::matchesAt(text, kNoticeStart, 0)) {
        const std::size_t close = findAscii(text, "-->", kNoticeStart.size());
        if (close == std::basic_string_view<Char>::npos)
            return false;
        text.remove_prefix(close + 3);
        if (engine::matchesAt(text, "\r\n", 0))
            text.remove_prefix(2);
    }
    if (engine::matchesAt(text, "<!doctype", 0)) {
        const std::size_t gt = text.find(Char('>'));
        if (gt == std::basic_string_view<Char>::npos || !engine::matchesAt(text, ">\n", gt))
            return false;
        text.remove_prefix(gt + 2);
    }
    if (!engine::matchesAt(text, kHtmlStart, 0))
        return false;
    // Pages written before the html tag carried the page's language have nothing between its name and its ">".
    const std::size_t head = findAscii(text, kHeadStart, kHtmlStart.size());
    if (head == std::basic_string_view<Char>::npos || head - kHtmlStart.size() > kLongestHtmlAttributes)
        return false;
    const auto attributes = text.substr(kHtmlStart.size(), head - kHtmlStart.size());
    const bool plain = std::all_of(attributes.begin(), attributes.end(), [](Char c) {
        return (c >= Char('a') && c <= Char('z')) || (c >= Char('0') && c <= Char('9')) || c == Char('-') ||
               c == Char(' ') || c == Char('=') || c == Char('"');
    });
    return plain && (attributes.empty() || attributes.front() == Char(' ')) &&
           engine::matchesAt(text, kMarker, head + kHeadStart.size());
}

/// The index of the built-in texts for a page's language.
std::size_t languageIndex(const PageLanguage& language) {
    const auto languages = builtInLanguages();
    const BuiltInTexts& texts = builtInTexts(language.primary());
    return static_cast<std::size_t>(&texts - languages.data());
}

/// The user's text where there is one, else the built-in one.
std::u16string_view chosen(const std::u16string& given, std::u16string_view builtIn) {
    return given.empty() ? builtIn : std::u16string_view(given);
}

/// The password form and the notes for browsers that cannot open the page, in one language.
std::string formMarkup(const UnlockTexts& given, const BuiltInTexts& builtIn, bool remember) {
    std::string form = "<form id=\"qv-form\" hidden><label for=\"qv-password\">";
    appendText(form, chosen(given.prompt, builtIn.prompt));
    form += "</label>\n<input id=\"qv-password\" type=\"password\" autocomplete=\"current-password\" required>\n"
            "<label class=\"qv-check\"><input id=\"qv-show\" type=\"checkbox\" aria-controls=\"qv-password\">";
    appendText(form, builtIn.showPassword);
    form += "</label>\n";
    if (remember) {
        form += "<label class=\"qv-check\"><input id=\"qv-remember\" type=\"checkbox\">";
        appendText(form, builtIn.rememberMe);
        form += "</label>\n";
    }
    form += "<button type=\"submit\">";
    appendText(form, chosen(given.button, builtIn.button));
    form += "</button>\n<p id=\"qv-error\" role=\"alert\" data-wrong=\"";
    appendText(form, chosen(given.wrongPassword, builtIn.wrongPassword));
    form += "\"></p></form>\n<p id=\"qv-damaged\" role=\"alert\" hidden>";
    appendText(form, chosen(given.damaged, builtIn.damaged));
    form += "</p>\n<p id=\"qv-insecure\" hidden>";
    appendText(form, builtIn.insecure);
    form += "</p>\n<noscript><p>";
    appendText(form, builtIn.noScript);
    form += "</p></noscript>\n";
    return form;
}

bool isAsciiBytes(std::string_view bytes) {
    return std::all_of(bytes.begin(), bytes.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

} // namespace

std::u16string titleMarkup(std::u16string_view text) {
    std::u16string markup;
    markup.reserve(text.size());
    for (const char16_t c : text) {
        if (c == u'&')
            markup += u"&amp;";
        else
            markup += c;
    }
    return markup;
}

std::u16string commentSafe(std::u16string_view text) {
    std::u16string safe;
    safe.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == u'>' && i >= 2) {
            const std::u16string_view before = text.substr(0, i);
            if (before.ends_with(u"--") || before.ends_with(u"--!"))
                safe += u' ';
        }
        safe += text[i];
    }
    return safe;
}

PageEncryptor::PageEncryptor(const EncryptionSettings& settings, const crypto::SiteKey& key,
                             const std::vector<crypto::KeyWrap::Wrapped>& slots)
    : m_key(key), m_cipher(key.key()), m_salt(key.salt()), m_iterations(key.iterations()) {
    const std::string_view salt(reinterpret_cast<const char*>(key.salt().data()), key.salt().size());
    std::string data = "<script type=\"application/json\" id=\"qv-data\">{\"salt\":\"";
    data += crypto::toBase64(salt);
    data += "\",\"iterations\":" + std::to_string(key.iterations());
    data += ",\"slots\":[";
    for (std::size_t i = 0; i < slots.size(); ++i) {
        data += i == 0 ? "\"" : ",\"";
        data += crypto::toBase64(std::string_view(reinterpret_cast<const char*>(slots[i].data()), slots[i].size()));
        data += '"';
    }
    data += ']';
    if (settings.siteSalt) {
        data += ",\"site\":\"";
        data += crypto::toBase64(
            std::string_view(reinterpret_cast<const char*>(settings.siteSalt->data()), settings.siteSalt->size()));
        data += '"';
    }
    data += ",\"remember\":" + std::to_string(settings.rememberDays);
    data += ",\"label\":\"";
    for (std::size_t i = 0; i < kLanguages; ++i)
        buildLayout(m_layouts[i], settings, i, data);
}

void PageEncryptor::buildLayout(Layout& layout, const EncryptionSettings& settings, std::size_t language,
                                std::string_view dataStart) const {
    using Slot = UnlockTemplate::Slot;
    const std::string form = formMarkup(settings.texts, builtInLanguages()[language], settings.rememberDays > 0);
    layout = {};
    if (!settings.pageTemplate) {
        std::string body(kStyle);
        body += form;
        layout.before = {{std::string(kHead), Slot::Title}, {std::move(body), Slot::None}};
        layout.dataStart = "</main>\n";
        layout.dataStart += dataStart;
        layout.after = {{std::string(kBodyEnd), Slot::None}};
        return;
    }
    // The form is the same in every page of one language: it joins the text around it.
    std::vector<UnlockTemplate::Piece>* part = &layout.before;
    std::string text;
    for (const auto& piece : settings.pageTemplate->pieces()) {
        text += piece.text;
        if (piece.slot == Slot::Form) {
            text += form;
        } else if (piece.slot == Slot::Data) {
            layout.dataStart = dataStart;
            part->push_back({std::exchange(text, {}), Slot::None});
            part = &layout.after;
            text.push_back('\n');
        } else if (piece.slot != Slot::None) {
            part->push_back({std::exchange(text, {}), piece.slot});
        }
    }
    part->push_back({std::move(text), Slot::None});
}

void PageEncryptor::appendPieces(std::string& out, const std::vector<UnlockTemplate::Piece>& pieces,
                                 std::u16string_view title, const PageLanguage& language) {
    using Slot = UnlockTemplate::Slot;
    for (const auto& piece : pieces) {
        out += piece.text;
        if (piece.slot == Slot::Title)
            appendTitle(out, title);
        else if (piece.slot == Slot::Lang)
            out += language.lang;
        else if (piece.slot == Slot::Dir)
            out += language.dir.empty() ? std::string_view("ltr") : std::string_view(language.dir);
    }
}

std::error_code PageEncryptor::create(const EncryptionSettings& settings, std::unique_ptr<PageEncryptor>& out) {
    if (settings.password.empty() || settings.rememberDays < 0 || settings.rememberDays > engine::kMaxRememberDays ||
        settings.iterations < 1)
        return crypto::CryptoError::BadParameter;
    crypto::SiteKeyFile file;
    crypto::SiteKey content;
    if (const auto error = crypto::SiteKeyFile::create(settings.password, settings.iterations, {}, file, content))
        return error;
    out.reset(new PageEncryptor(settings, content, file.wrappedKeys()));
    return {};
}

std::error_code PageEncryptor::create(const EncryptionSettings& settings, const crypto::SiteKey& content,
                                      const std::vector<crypto::KeyWrap::Wrapped>& slots,
                                      std::unique_ptr<PageEncryptor>& out) {
    if (settings.rememberDays < 0 || settings.rememberDays > engine::kMaxRememberDays || content.iterations() < 1 ||
        slots.empty())
        return crypto::CryptoError::BadParameter;
    out.reset(new PageEncryptor(settings, content, slots));
    return {};
}

void PageEncryptor::appendAscii(std::string& out, const Preamble& preamble, const PageLanguage& language,
                                std::u16string_view title, std::string_view page, std::string_view policyMeta,
                                const PageSource& source, std::error_code& error) const {
    const std::string_view script = unlockScript();
    const Layout& layout = m_layouts[languageIndex(language)];
    std::size_t layoutSize = 0;
    for (const auto* part : {&layout.before, &layout.after})
        for (const auto& piece : *part)
            layoutSize += piece.text.size() + (piece.slot == UnlockTemplate::Slot::Title ? title.size() * 8 : 8);
    layoutSize += layout.dataStart.size() + 1024;
    out.reserve(out.size() + preamble.doctype.size() + 128 + kMarker.size() + policyMeta.size() + layoutSize +
                source.sitePath.size() * 3 +
                crypto::Base64Writer::encodedLength(page.size() + crypto::PageCipher::kTagBytes) + script.size() + 160);
    if (!preamble.doctype.empty()) {
        out += preamble.doctype;
        out += '\n';
    }
    out += kHtmlStart;
    out += language.attributes();
    out += kHeadStart;
    out += kMarker;
    if (!policyMeta.empty()) {
        out += policyMeta;
        out += '\n';
    }
    if (preamble.declare) {
        out += "<meta charset=\"";
        out += preamble.label;
        out += "\">\n";
    }
    appendPieces(out, layout.before, title, language);
    if (!source.scriptAddress.empty()) {
        // Shown until the shared script runs: a site published without it tells its readers why nothing opens.
        out += "<noscript><style>#qv-missing{display:none}</style></noscript><p id=\"qv-missing\">";
        std::u16string note(builtInLanguages()[languageIndex(language)].missingScript);
        const std::string name = sharedScriptName();
        note.replace(note.find(kScriptName), kScriptName.size(), std::u16string(name.begin(), name.end()));
        appendText(out, note);
        out += "</p>\n";
    }
    out += layout.dataStart;
    out += preamble.label;
    out += "\",\"path\":\"";
    appendPercentEncoded(out, source.sitePath);
    out += "\",\"format\":2,\"page\":\"";
    crypto::Base64Writer base64(out);
    std::string content = SealedContent::pack(page, source.original.value_or(page));
    crypto::PageCipher::Nonce nonce;
    error = crypto::SiteKey::randomBytes(nonce);
    if (!error)
        error = m_cipher.seal(content, nonce, source.sitePath,
                              [&base64](std::string_view sealed) { base64.append(sealed); });
    crypto::wipe(content);
    if (error)
        return;
    base64.finish();
    out += "\",\"iv\":\"";
    out += crypto::toBase64(std::string_view(reinterpret_cast<const char*>(nonce.data()), nonce.size()));
    out += "\"}</script>\n";
    if (source.scriptAddress.empty()) {
        out += "<script>";
        out += script;
        out += "</script>";
    } else {
        out += "<script src=\"";
        appendText(out, std::u16string(source.scriptAddress.begin(), source.scriptAddress.end()));
        out += "\"></script>";
    }
    appendPieces(out, layout.after, title, language);
}

PageEncryptor::Preamble PageEncryptor::preambleOf(std::string_view page, const charset::PageEncoding& encoding) {
    Preamble preamble;
    preamble.label = charset::labelForEncoding(encoding);
    constexpr std::size_t kLookedAt = 4096;
    if (encoding.isUtf16()) {
        // Browsers take no declaration of UTF-16 from a page: its byte-order mark says it.
        std::u16string text;
        // The protected page carries a mark even where the page read had none.
        const bool marked = page.starts_with("\xFF\xFE") || page.starts_with("\xFE\xFF");
        const std::size_t mark = encoding.byteOrderMark || marked ? 2 : 0;
        charset::PageDecoder::decodeUtf16(page.substr(std::min(mark, page.size()), kLookedAt),
                                          encoding.kind == charset::PageEncoding::Kind::Utf16BE, text);
        leadingDoctype(std::u16string_view(text), preamble.doctype);
        return preamble;
    }
    page = charset::ByteOrderMark::skip(page, encoding);
    leadingDoctype(page.substr(0, kLookedAt), preamble.doctype);
    // Declared as the protected page would be: as it declares itself, else as read when it is not all ASCII.
    // An undeclared page of ASCII is left to the browser's own default, as it would be.
    preamble.declare = encoding.byteOrderMark || charset::DeclaredCharset::of(page).has_value() || !isAsciiBytes(page);
    return preamble;
}

std::error_code PageEncryptor::encrypt(std::string_view page, const charset::PageEncoding& encoding,
                                       std::u16string_view title, std::u16string_view notice, std::string& unlockPage,
                                       std::string_view policyMeta, const PageSource& source) const {
    unlockPage.clear();
    std::u16string comment;
    if (!notice.empty()) {
        comment.assign(kNoticeStart.begin(), kNoticeStart.end());
        comment += commentSafe(notice);
        comment.append(kNoticeEnd.begin(), kNoticeEnd.end());
    }
    const Preamble preamble = preambleOf(page, encoding);
    // A page hidden whole no longer shows its html tag: the original says the language.
    const PageLanguage pageLang = pageLanguage(source.original.value_or(page), encoding);
    std::error_code error;
    if (encoding.isUtf16()) {
        const bool bigEndian = encoding.kind == charset::PageEncoding::Kind::Utf16BE;
        std::string ascii;
        appendAscii(ascii, preamble, pageLang, title, page, policyMeta, source, error);
        if (error)
            return error;
        unlockPage.reserve(2 + comment.size() * 2 + ascii.size() * 2);
        // The mark is what tells the browser the page is in UTF-16: it goes first, whether the page had one or not.
        unlockPage += charset::ByteOrderMark::ofKind(encoding.kind);
        appendWide(unlockPage, std::u16string_view(comment), bigEndian);
        appendWide(unlockPage, std::string_view(ascii), bigEndian);
        return {};
    }
    unlockPage += charset::ByteOrderMark::of(encoding);
    if (const auto noticeError = appendNotice(unlockPage, comment, encoding))
        return noticeError;
    appendAscii(unlockPage, preamble, pageLang, title, page, policyMeta, source, error);
    if (error)
        unlockPage.clear();
    return error;
}

bool PageEncryptor::isUnlockPage(std::string_view bytes) {
    bytes = bytes.substr(0, kLongestNotice);
    const auto mark = charset::ByteOrderMark::find(bytes);
    if (mark && mark->kind != charset::PageEncoding::Kind::Utf8) {
        std::u16string text;
        charset::PageDecoder::decodeUtf16(charset::ByteOrderMark::skip(bytes, *mark),
                                          mark->kind == charset::PageEncoding::Kind::Utf16BE, text);
        return startsUnlockPage(std::u16string_view(text));
    }
    return startsUnlockPage(mark ? charset::ByteOrderMark::skip(bytes, *mark) : bytes);
}

namespace {

constexpr std::string_view kDataStart = "<script type=\"application/json\" id=\"qv-data\">{\"salt\":\"";

/// The text of a JSON field that follows at `at` as `,"name":` (or `"name":"` for a text), moving at past it.
bool readField(std::string_view data, std::size_t& at, std::string_view name, bool quoted, std::string_view& value) {
    const std::string key = std::string(",\"") + std::string(name) + (quoted ? "\":\"" : "\":");
    if (data.substr(at, key.size()) != key)
        return false;
    at += key.size();
    const std::size_t end = quoted ? data.find('"', at) : data.find_first_of(",}", at);
    if (end == std::string_view::npos)
        return false;
    value = data.substr(at, end - at);
    at = quoted ? end + 1 : end;
    return true;
}

template <std::size_t N> bool readBytes(std::string_view text, std::array<unsigned char, N>& out) {
    std::string bytes;
    if (!crypto::fromBase64(text, bytes) || bytes.size() != N)
        return false;
    std::copy(bytes.begin(), bytes.end(), out.begin());
    return true;
}

/// The slots that follow at `at` as `,"slots":["...",...]`, moving at past them; none (and at unmoved) in a page
/// written before the site key file.
bool readSlots(std::string_view data, std::size_t& at, std::vector<crypto::KeyWrap::Wrapped>& slots) {
    constexpr std::string_view kKey = ",\"slots\":[";
    slots.clear();
    if (data.substr(at, kKey.size()) != kKey)
        return true;
    const std::size_t end = data.find(']', at);
    if (end == std::string_view::npos)
        return false;
    std::string_view list = data.substr(at + kKey.size(), end - at - kKey.size());
    at = end + 1;
    while (!list.empty()) {
        const std::size_t close = list.find('"', 1);
        if (list.front() != '"' || close == std::string_view::npos)
            return false;
        crypto::KeyWrap::Wrapped wrapped{};
        if (!readBytes(list.substr(1, close - 1), wrapped))
            return false;
        slots.push_back(wrapped);
        list.remove_prefix(close + 1);
        if (!list.empty() && list.front() == ',')
            list.remove_prefix(1);
        else if (!list.empty())
            return false;
    }
    return !slots.empty();
}

bool readNumber(std::string_view text, int& out) {
    if (text.empty() || text.size() > 9 || text.find_first_not_of("0123456789") != std::string_view::npos)
        return false;
    out = std::stoi(std::string(text));
    return true;
}

/// The data of an unlock page whose bytes read as ASCII (every set but UTF-16 writes it so).
bool readSealedAscii(std::string_view page, SealedPage& out, bool withPage) {
    const std::size_t start = page.find(kDataStart);
    if (start == std::string_view::npos)
        return false;
    std::size_t at = start + kDataStart.size();
    const std::size_t saltEnd = page.find('"', at);
    std::string_view iterations;
    std::string_view remember;
    std::string_view label;
    std::string_view sealed;
    std::string_view nonce;
    if (saltEnd == std::string_view::npos || !readBytes(page.substr(at, saltEnd - at), out.salt))
        return false;
    at = saltEnd + 1;
    if (!readField(page, at, "iterations", false, iterations) || !readNumber(iterations, out.iterations) ||
        !readSlots(page, at, out.slots))
        return false;
    std::string_view site;
    out.site.reset();
    if (readField(page, at, "site", true, site) && !readBytes(site, out.site.emplace()))
        return false;
    if (!withPage)
        return true;
    if (!readField(page, at, "remember", false, remember) || !readField(page, at, "label", true, label))
        return false;
    std::string_view path;
    std::string_view format;
    out.format = 1;
    out.path.clear();
    if (readField(page, at, "path", true, path)) {
        if (!percentDecoded(path, out.path) || !readField(page, at, "format", false, format) ||
            !readNumber(format, out.format) || out.format != 2)
            return false;
    }
    if (!readField(page, at, "page", true, sealed) || !readField(page, at, "iv", true, nonce))
        return false;
    std::string bytes;
    if (!crypto::fromBase64(sealed, bytes) || !readBytes(nonce, out.nonce))
        return false;
    out.sealed = std::move(bytes);
    return true;
}

} // namespace

bool PageEncryptor::readSealed(std::string_view bytes, SealedPage& out, bool withPage) {
    if (!isUnlockPage(bytes))
        return false;
    const bool littleEndian = bytes.starts_with("\xFF\xFE");
    if (littleEndian || bytes.starts_with("\xFE\xFF")) {
        std::u16string text;
        charset::PageDecoder::decodeUtf16(bytes.substr(2), !littleEndian, text);
        std::string ascii;
        ascii.reserve(text.size());
        for (const char16_t c : text)
            ascii += c < 0x80 ? static_cast<char>(c) : '?';
        return readSealedAscii(ascii, out, withPage);
    }
    return readSealedAscii(bytes, out, withPage);
}

bool PageEncryptor::keyFor(const crypto::SiteKey& derived, const SealedPage& page, crypto::SiteKey& key) {
    if (page.slots.empty()) {
        key = derived;
        return opens(derived, page);
    }
    return !crypto::SiteKeyFile::openSlots(derived, page.slots, key) && opens(key, page);
}

bool PageEncryptor::opens(const crypto::SiteKey& key, const SealedPage& page) {
    if (key.salt() != page.salt || key.iterations() != page.iterations)
        return false;
    const crypto::PageCipher cipher(key.key());
    std::string plain;
    const bool opened = !cipher.open(page.sealed, page.nonce, page.path, plain);
    crypto::wipe(plain);
    return opened;
}

bool PageEncryptor::openContent(const crypto::SiteKey& key, const SealedPage& page, std::string& shown,
                                std::string& original) {
    if (key.salt() != page.salt || key.iterations() != page.iterations)
        return false;
    const crypto::PageCipher cipher(key.key());
    std::string plain;
    if (cipher.open(page.sealed, page.nonce, page.path, plain))
        return false;
    bool opened = true;
    if (page.format == 1) {
        shown = plain;
        original = plain;
    } else {
        opened = SealedContent::unpack(plain, shown, original);
    }
    crypto::wipe(plain);
    return opened;
}

} // namespace quillora::unlock
