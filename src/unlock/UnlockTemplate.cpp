#include "UnlockTemplate.h"

#include "charset/DeclaredCharset.h"
#include "charset/TagReader.h"
#include "charset/TextConvert.h"
#include "charset/Utf16.h"

#include <algorithm>
#include <array>
#include <utility>

namespace quillora::unlock {

namespace {

constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";

struct Placeholder {
    std::string_view name;
    UnlockTemplate::Slot slot;
};
constexpr std::array<Placeholder, 4> kPlaceholders = {
    Placeholder{"{{title}}", UnlockTemplate::Slot::Title}, Placeholder{"{{form}}", UnlockTemplate::Slot::Form},
    Placeholder{"{{lang}}", UnlockTemplate::Slot::Lang}, Placeholder{"{{dir}}", UnlockTemplate::Slot::Dir}};

bool isUtf8(std::string_view text) {
    return charset::toUtf8(charset::fromUtf8(text)) == text;
}

bool isAscii(std::string_view text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

/// What the template's markup holds that decides where the unlock page's parts go, or why it cannot serve.
struct Markup {
    std::size_t headEnd = std::string_view::npos; // just after the head start tag
    std::size_t bodyEnd = std::string_view::npos; // at the last body end tag
    std::string problem;
};

Markup readMarkup(std::string_view text) {
    Markup markup;
    charset::TagReader reader(text);
    charset::MarkupTag tag;
    std::size_t styleFrom = std::string_view::npos;
    while (reader.next(tag)) {
        if (styleFrom != std::string_view::npos && !isAscii(text.substr(styleFrom, tag.at - styleFrom)))
            markup.problem = "it holds characters outside ASCII inside a style element; please write them as CSS "
                             "escapes (\\e9 for \u00E9)";
        styleFrom = std::string_view::npos;
        if (tag.endTag) {
            if (tag.name == "body")
                markup.bodyEnd = tag.at;
            continue;
        }
        if (tag.name == "script")
            markup.problem = "it holds a script; an unlock page runs its own script only";
        else if (tag.name == "style")
            styleFrom = tag.attributesAt;
        std::size_t position = tag.attributesAt;
        charset::TagAttribute attribute;
        while (charset::TagReader::readAttribute(text, position, attribute)) {
            if (attribute.name.starts_with("on"))
                markup.problem = "it holds the event handler attribute " + attribute.name +
                                 "; an unlock page runs its own script only";
            // A policy of its own would refuse the unlock script: the page could never be opened.
            else if (tag.name == "meta" && attribute.name == "http-equiv" &&
                     attribute.value == "content-security-policy")
                markup.problem = "it sets a Content-Security-Policy of its own, which would keep the unlock script "
                                 "from running; --csp gives each unlock page a policy that allows it";
        }
        if (tag.name == "head" && markup.headEnd == std::string_view::npos)
            markup.headEnd = std::min(text.size(), position + 1);
        if (!markup.problem.empty())
            return markup;
    }
    if (styleFrom != std::string_view::npos && !isAscii(text.substr(styleFrom)))
        markup.problem = "it holds characters outside ASCII inside a style element; please write them as CSS escapes "
                         "(\\e9 for \u00E9)";
    return markup;
}

/// Template text in ASCII: every other character a decimal reference (C1 controls, which a reference would read as
/// Windows-1252 characters, are left out).
std::string asciiText(std::string_view utf8) {
    if (isAscii(utf8))
        return std::string(utf8);
    const std::u16string text = charset::fromUtf8(utf8);
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char32_t c = charset::utf16::codePointAt(text, i);
        if (c < 0x80)
            out += static_cast<char>(c);
        else if (c > 0x9F)
            out += "&#" + std::to_string(static_cast<unsigned long>(c)) + ';';
    }
    return out;
}

/// Cuts text into pieces at its placeholders; false with the problem for a name in braces it does not know.
bool splitPlaceholders(std::string_view text, std::vector<UnlockTemplate::Piece>& pieces, std::string& problem) {
    std::string plain;
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t open = text.find("{{", at);
        if (open == std::string_view::npos) {
            plain += text.substr(at);
            break;
        }
        plain += text.substr(at, open - at);
        const std::size_t close = text.find("}}", open + 2);
        const std::string_view name = text.substr(open, close == std::string_view::npos ? 2 : close + 2 - open);
        const auto known = std::find_if(kPlaceholders.begin(), kPlaceholders.end(),
                                        [name](const Placeholder& p) { return p.name == name; });
        if (known != kPlaceholders.end()) {
            pieces.push_back({std::exchange(plain, {}), known->slot});
            at = close + 2;
            continue;
        }
        const std::string_view inner = name.substr(2, name.size() > 4 ? name.size() - 4 : 0);
        const bool looksLikeOne = close != std::string_view::npos && !inner.empty() && inner.size() <= 20 &&
                                  std::all_of(inner.begin(), inner.end(), [](char c) {
                                      return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '-' || c == '_';
                                  });
        if (looksLikeOne) {
            problem = "it holds " + std::string(name) +
                      ", which is no placeholder; the placeholders are {{title}}, {{form}}, {{lang}} and {{dir}}";
            return false;
        }
        plain += "{{";
        at = open + 2;
    }
    pieces.push_back({std::move(plain), UnlockTemplate::Slot::None});
    return true;
}

std::string checkSlots(const std::vector<UnlockTemplate::Piece>& pieces) {
    const auto count = [&pieces](UnlockTemplate::Slot slot) {
        return std::count_if(pieces.begin(), pieces.end(), [slot](const auto& p) { return p.slot == slot; });
    };
    const auto forms = count(UnlockTemplate::Slot::Form);
    if (forms == 0)
        return "it has no {{form}} placeholder, which says where the password form goes";
    if (forms > 1)
        return "it has the {{form}} placeholder more than once; the password form goes in one place";
    if (count(UnlockTemplate::Slot::Title) == 0)
        return "it has no {{title}} placeholder, which says where the page's title goes (at least in its title "
               "element)";
    return {};
}

} // namespace

std::string UnlockTemplate::read(std::string_view utf8, UnlockTemplate& out) {
    out.m_pieces.clear();
    if (utf8.starts_with(kUtf8Mark))
        utf8.remove_prefix(kUtf8Mark.size());
    if (!isUtf8(utf8))
        return "it is not UTF-8 text";
    const Markup markup = readMarkup(utf8);
    if (!markup.problem.empty())
        return markup.problem;
    if (charset::DeclaredCharset::of(utf8))
        return "it declares a character set; please leave the declaration out, as each unlock page declares its "
               "page's own";
    const std::size_t start = markup.headEnd == std::string_view::npos ? 0 : markup.headEnd;
    const std::size_t data =
        markup.bodyEnd == std::string_view::npos || markup.bodyEnd < start ? utf8.size() : markup.bodyEnd;
    std::vector<Piece> pieces;
    std::string problem;
    if (!splitPlaceholders(asciiText(utf8.substr(start, data - start)), pieces, problem))
        return problem;
    pieces.back().slot = Slot::Data;
    if (!splitPlaceholders(asciiText(utf8.substr(data)), pieces, problem))
        return problem;
    if (problem = checkSlots(pieces); !problem.empty())
        return problem;
    out.m_pieces = std::move(pieces);
    return {};
}

} // namespace quillora::unlock
