#include "WriterCallDecoder.h"

namespace quillora::fuzz {

namespace {

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

} // namespace quillora::fuzz
