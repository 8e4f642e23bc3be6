#include "PageScripts.h"

#include "MarkupRules.h"
#include "MarkupScanner.h"

#include <optional>

namespace quillora::engine {

namespace {

constexpr std::u16string_view kWriterCall = u"qv_d00(unescape(\"";
// Writer calls hold only writer calls' markup: a page written by one is read once more, and no deeper.
constexpr int kWrittenDepth = 2;

int hexDigit(char16_t c) {
    if (c >= u'0' && c <= u'9')
        return c - u'0';
    if (c >= u'a' && c <= u'f')
        return c - u'a' + 10;
    if (c >= u'A' && c <= u'F')
        return c - u'A' + 10;
    return -1;
}

// The escape of `digits` hexadecimal digits at text[at], or nothing when one is missing.
std::optional<char16_t> hexValue(std::u16string_view text, std::size_t at, std::size_t digits) {
    if (at + digits > text.size())
        return std::nullopt;
    unsigned value = 0;
    for (std::size_t i = at; i < at + digits; ++i) {
        const int digit = hexDigit(text[i]);
        if (digit < 0)
            return std::nullopt;
        value = value * 16 + static_cast<unsigned>(digit);
    }
    return static_cast<char16_t>(value);
}

// What unescape gives for a string: %uXXXX and %XX become their code units, anything else stays.
void appendUnescaped(std::u16string& out, std::u16string_view text) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == u'%') {
            if (i + 1 < text.size() && text[i + 1] == u'u') {
                if (const auto unit = hexValue(text, i + 2, 4)) {
                    out += *unit;
                    i += 5;
                    continue;
                }
            } else if (const auto unit = hexValue(text, i + 1, 2)) {
                out += *unit;
                i += 2;
                continue;
            }
        }
        out += text[i];
    }
}

// The value of the attribute `name` in a start tag (without its ">"), read attribute by attribute.
std::optional<std::u16string_view> attributeValue(std::u16string_view tag, std::u16string_view name) {
    std::size_t i = tag.find_first_of(u" \t\n\f\r/>");
    while (i != std::u16string_view::npos && i < tag.size()) {
        while (i < tag.size() && (isMarkupSpace(tag[i]) || tag[i] == u'/'))
            ++i;
        const std::size_t nameStart = i;
        while (i < tag.size() && !isMarkupSpace(tag[i]) && tag[i] != u'/' && tag[i] != u'=' && tag[i] != u'>')
            ++i;
        const std::u16string_view attribute = tag.substr(nameStart, i - nameStart);
        if (attribute.empty())
            return std::nullopt;
        while (i < tag.size() && isMarkupSpace(tag[i]))
            ++i;
        std::u16string_view value;
        if (i < tag.size() && tag[i] == u'=') {
            ++i;
            while (i < tag.size() && isMarkupSpace(tag[i]))
                ++i;
            if (i < tag.size() && (tag[i] == u'"' || tag[i] == u'\'')) {
                const std::size_t close = tag.find(tag[i], i + 1);
                const std::size_t end = close == std::u16string_view::npos ? tag.size() : close;
                value = tag.substr(i + 1, end - i - 1);
                i = end + 1;
            } else {
                const std::size_t start = i;
                while (i < tag.size() && !isMarkupSpace(tag[i]) && tag[i] != u'>')
                    ++i;
                value = tag.substr(start, i - start);
            }
        }
        if (attribute.size() == name.size() && findIgnoreCase(attribute, name, 0) == 0)
            return value;
    }
    return std::nullopt;
}

void readScripts(std::u16string_view page, PageScripts& scripts, int depth) {
    BasicMarkupScanner<char16_t> scanner(page);
    std::u16string written;
    for (std::size_t pos = 0;;) {
        const std::size_t lt = scanner.find("<script", pos, true);
        if (lt == kNotFound)
            break;
        const std::size_t gt = BasicMarkupScanner<char16_t>::tagEnd(page, lt);
        if (gt == kNotFound)
            break;
        const std::size_t end = scriptDataEnd(page, gt + 1);
        const std::u16string_view tag = page.substr(lt, gt - lt);
        if (const auto src = attributeValue(tag, u"src")) {
            scripts.sources.emplace_back(*src);
        } else {
            const std::u16string_view text = page.substr(gt + 1, end - gt - 1);
            scripts.inlineTexts.push_back(NormalizeLineBreaks(text));
            if (depth < kWrittenDepth)
                written += WrittenMarkup(text);
        }
        pos = end;
    }
    if (!written.empty())
        readScripts(written, scripts, depth + 1);
}

} // namespace

std::u16string NormalizeLineBreaks(std::u16string_view text) {
    std::u16string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == u'\r') {
            out += u'\n';
            if (i + 1 < text.size() && text[i + 1] == u'\n')
                ++i;
        } else {
            out += text[i];
        }
    }
    return out;
}

std::u16string WrittenMarkup(std::u16string_view script) {
    std::u16string out;
    for (std::size_t at = script.find(kWriterCall); at != std::u16string_view::npos;
         at = script.find(kWriterCall, at)) {
        at += kWriterCall.size();
        const std::size_t close = script.find(u'"', at);
        if (close == std::u16string_view::npos)
            break;
        appendUnescaped(out, script.substr(at, close - at));
        at = close;
    }
    return out;
}

PageScripts ReadPageScripts(std::u16string_view page) {
    PageScripts scripts;
    readScripts(page, scripts, 0);
    return scripts;
}

} // namespace quillora::engine
