#include "ScriptPolicy.h"

#include "charset/TextConvert.h"
#include "crypto/Base64.h"
#include "crypto/Digest.h"
#include "engine/PageScripts.h"
#include "unlock/UnlockScript.h"

#include <algorithm>

namespace quillora::run {

namespace {

constexpr std::string_view kDirective = "script-src 'self'";

bool startsWithIgnoreCase(std::u16string_view text, std::string_view prefix) {
    if (text.size() < prefix.size())
        return false;
    return std::equal(prefix.begin(), prefix.end(), text.begin(), [](char a, char16_t b) {
        return a == (b >= u'A' && b <= u'Z' ? static_cast<char>(b - u'A' + u'a') : static_cast<char>(b));
    });
}

// The host (and port) of an address after its "//", as far as a policy source may name it.
std::string hostOf(std::u16string_view rest) {
    const std::size_t end = rest.find_first_of(u"/?#\\");
    const std::u16string_view host = rest.substr(0, end);
    std::string ascii;
    for (const char16_t c : host) {
        // A host a policy cannot name as written (credentials, blanks, other characters) allows nothing.
        if (c > 0x7E || c <= 0x20 || c == u'@' || c == u';' || c == u',' || c == u'\'' || c == u'"' || c == u'<' ||
            c == u'>')
            return {};
        ascii += static_cast<char>(c >= u'A' && c <= u'Z' ? c - u'A' + u'a' : c);
    }
    return ascii;
}

std::u16string_view trimmed(std::u16string_view text) {
    const auto isSpace = [](char16_t c) { return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r' || c == u'\f'; };
    while (!text.empty() && isSpace(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isSpace(text.back()))
        text.remove_suffix(1);
    return text;
}

} // namespace

std::string ScriptPolicy::hashOf(std::u16string_view text) {
    const auto digest = crypto::Digest::sha256(charset::toUtf8(text));
    return "'sha256-" +
           crypto::toBase64(std::string_view(reinterpret_cast<const char*>(digest.data()), digest.size())) + "'";
}

std::string ScriptPolicy::sourceOf(std::u16string_view address) {
    address = trimmed(address);
    for (const std::string_view scheme : {"https:", "http:"}) {
        if (startsWithIgnoreCase(address, scheme)) {
            std::u16string_view rest = address.substr(scheme.size());
            while (!rest.empty() && (rest.front() == u'/' || rest.front() == u'\\'))
                rest.remove_prefix(1);
            const std::string host = hostOf(rest);
            return host.empty() ? std::string() : std::string(scheme) + "//" + host;
        }
    }
    if (address.starts_with(u"//"))
        return hostOf(address.substr(2)); // the page's own scheme
    if (startsWithIgnoreCase(address, "data:"))
        return "data:";
    return {};
}

void ScriptPolicy::addSource(std::string source) {
    if (!source.empty() && m_known.insert(source).second)
        m_sources.push_back(std::move(source));
}

void ScriptPolicy::addScript(std::u16string_view text) {
    addSource(hashOf(text));
}

void ScriptPolicy::addPage(std::u16string_view page) {
    const engine::PageScripts scripts = engine::ReadPageScripts(page);
    for (const auto& text : scripts.inlineTexts)
        addScript(text);
    for (const auto& address : scripts.sources)
        addSource(sourceOf(address));
}

void ScriptPolicy::add(const ScriptPolicy& other) {
    for (const auto& source : other.m_sources)
        addSource(source);
}

void ScriptPolicy::addUnlockScript() {
    const std::string_view script = unlock::unlockScript();
    addScript(engine::NormalizeLineBreaks(std::u16string(script.begin(), script.end())));
}

bool ScriptPolicy::allows(std::u16string_view page) const {
    ScriptPolicy needed;
    needed.addPage(page);
    return std::all_of(needed.m_sources.begin(), needed.m_sources.end(),
                       [this](const std::string& source) { return m_known.count(source) != 0; });
}

std::string ScriptPolicy::text() const {
    std::string text(kDirective);
    for (const auto& source : m_sources) {
        text += ' ';
        text += source;
    }
    return text;
}

std::string ScriptPolicy::metaTag() const {
    return "<meta http-equiv=\"Content-Security-Policy\" content=\"" + text() + "\">";
}

} // namespace quillora::run
