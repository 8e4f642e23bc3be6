#include "TextConvert.h"

#include "PageDecoder.h"
#include "Utf16.h"
#include "Utf8Sequences.h"

namespace quillora::charset {

std::string toUtf8(std::u16string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        char bytes[4];
        out.append(bytes, utf8::writeCodePoint(utf16::codePointAt(text, i), bytes));
    }
    return out;
}

std::u16string fromUtf8(std::string_view text) {
    std::u16string out;
    PageDecoder::decodeUtf8AsBrowsers(text, out);
    return out;
}

} // namespace quillora::charset
