#include "WriterCallDecoder.h"

#include "engine/MarkupRules.h"

namespace quillora::fuzz {

namespace {

constexpr std::size_t kNone = std::u16string_view::npos;

char16_t lower(char16_t c) {
    return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + 32) : c;
}

std::size_t findNoCase(std::u16string_view text, std::u16string_view key, std::size_t from) {
    for (std::size_t i = from; i + key.size() <= text.size(); ++i) {
        std::size_t k = 0;
        while (k < key.size() && lower(text[i + k]) == key[k]) {
            ++k;
        }
        if (k == key.size()) {
            return i;
        }
    }
    return kNone;
}

bool isBlank(char16_t c) {
    return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n' || c == u'\f';
}

// The ">" that ends a start tag, read attribute by attribute as a browser reads it: a quote hides a ">" until it
// closes only where it opens a value, right after "=" and blanks that follow an attribute's name; in an unquoted
// value quotes and "=" are part of it, and "=" may begin a name. A quote never closed hides nothing. Walked one
// character at a time, apart from the engine's reading.
std::size_t startTagEnd(std::u16string_view raw) {
    enum { TagName, BeforeName, Name, AfterName, BeforeValue, Unquoted } state = TagName;
    for (std::size_t i = 0; i < raw.size(); ++i) {
        const char16_t c = raw[i];
        if (c == u'>') {
            return i;
        }
        const bool blank = isBlank(c);
        switch (state) {
        case TagName:
        case Unquoted:
            state = blank || (state == TagName && c == u'/') ? BeforeName : state;
            break;
        case BeforeName:
            state = blank || c == u'/' ? BeforeName : Name;
            break;
        case Name:
        case AfterName:
            if (c == u'=') {
                state = BeforeValue;
            } else if (c == u'/') {
                state = BeforeName;
            } else {
                state = blank ? AfterName : Name;
            }
            break;
        case BeforeValue:
            if (c == u'"' || c == u'\'') {
                const std::size_t close = raw.find(c, i + 1);
                if (close == kNone) {
                    return raw.find(u'>');
                }
                i = close;
                state = BeforeName;
            } else if (!blank) {
                state = Unquoted;
            }
            break;
        }
    }
    return kNone;
}

/// The value of an uppercase hexadecimal digit, -1 for anything else (lowercase digits are not canonical).
int hexValue(char16_t c) {
    if (c >= u'0' && c <= u'9') {
        return c - u'0';
    }
    if (c >= u'A' && c <= u'F') {
        return c - u'A' + 10;
    }
    return -1;
}

/// The value of `count` uppercase hex digits at pos, -1 when they are not all there.
long hexNumber(std::u16string_view s, std::size_t pos, std::size_t count) {
    if (pos + count > s.size()) {
        return -1;
    }
    long value = 0;
    for (std::size_t i = pos; i < pos + count; ++i) {
        const int digit = hexValue(s[i]);
        if (digit < 0) {
            return -1;
        }
        value = value * 16 + digit;
    }
    return value;
}

} // namespace

bool WriterCallDecoder::decodeEscapes(std::u16string_view escapes, std::u16string& text, std::string& error) {
    for (std::size_t i = 0; i < escapes.size();) {
        if (escapes[i] != u'%') {
            error = "a character outside an escape";
            return false;
        }
        if (i + 1 < escapes.size() && escapes[i + 1] == u'u') {
            // Units from 256 up take "%u" and four digits; a smaller unit written so is not the canonical form.
            const long unit = hexNumber(escapes, i + 2, 4);
            if (unit < 256) {
                error = "a malformed or non-canonical %u escape";
                return false;
            }
            text += static_cast<char16_t>(unit);
            i += 6;
            continue;
        }
        const long unit = hexNumber(escapes, i + 1, 2);
        if (unit < 0) {
            error = "a malformed % escape";
            return false;
        }
        text += static_cast<char16_t>(unit);
        i += 3;
    }
    return true;
}

bool WriterCallDecoder::split(std::u16string_view text, std::vector<OutputSegment>& segments, std::string& error) {
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::size_t call = text.find(kCallStart, pos);
        if (call != pos) {
            const std::size_t end = call == std::u16string_view::npos ? text.size() : call;
            segments.push_back({false, std::u16string(text.substr(pos, end - pos))});
            pos = end;
            continue;
        }
        const std::size_t escapes = call + kCallStart.size();
        const std::size_t quote = text.find(u'"', escapes);
        if (quote == std::u16string_view::npos || text.substr(quote, kCallEnd.size()) != kCallEnd) {
            error = "a writer call without its end";
            return false;
        }
        OutputSegment segment{true, {}};
        if (!decodeEscapes(text.substr(escapes, quote - escapes), segment.text, error)) {
            return false;
        }
        segments.push_back(std::move(segment));
        pos = quote + kCallEnd.size();
    }
    return true;
}

std::u16string WriterCallDecoder::join(const std::vector<OutputSegment>& segments) {
    std::u16string text;
    for (const OutputSegment& segment : segments) {
        text += segment.text;
    }
    return text;
}

bool WriterCallDecoder::runAll(std::u16string_view text, std::u16string& result, std::string& error) {
    result = text;
    while (result.find(kCallStart) != std::u16string::npos) {
        std::vector<OutputSegment> segments;
        if (!split(result, segments, error)) {
            return false;
        }
        result = join(segments);
    }
    return true;
}

bool WriterCallDecoder::isExternalScript(std::u16string_view raw) {
    const std::size_t gt = startTagEnd(raw);
    if (findNoCase(raw.substr(0, 8), u"<script ", 0) != 0 || gt == kNone) {
        return false;
    }
    // The element ends with the end tag that ends the script's text as the browser reads it ("<!--" and then
    // "<script>" inside it make the next "</script>" part of the text; the end tag may hold more before its ">").
    const std::size_t close = engine::scriptDataEnd(raw, gt + 1);
    const std::size_t closeEnd = close == raw.size() ? kNone : startTagEnd(raw.substr(close));
    return closeEnd != kNone && close + closeEnd + 1 == raw.size() &&
           findNoCase(raw.substr(0, gt), u"src=", 0) != kNone;
}

} // namespace quillora::fuzz
