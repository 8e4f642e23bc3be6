#include "HeaderPlacement.h"

#include "EncryptionModes.h"
#include "MarkupScanner.h"

#include <algorithm>

namespace quillora::engine {

namespace {

template <typename Unit> using Text = std::basic_string_view<Unit>;

template <typename Unit> void appendAscii(std::basic_string<Unit>& out, std::string_view ascii) {
    out.append(ascii.begin(), ascii.end());
}

} // namespace

template <typename Unit> std::basic_string<Unit> headerInNewHead(std::basic_string_view<Unit> header, bool withHtml) {
    std::basic_string<Unit> wrapped;
    wrapped.reserve(header.size() + 32);
    appendAscii(wrapped, withHtml ? "<html><head>" : "<head>");
    wrapped += header;
    appendAscii(wrapped, "</head>");
    return wrapped;
}

template <typename Unit>
Placement placeHeader(std::basic_string<Unit>& out, std::size_t from, std::basic_string_view<Unit> header,
                      const WrittenRanges& written) {
    const Text<Unit> page = Text<Unit>(out).substr(from);
    BasicMarkupScanner<Unit> scanner(page);
    const std::size_t head = tagEndAt(page, scanner.find("<head", 0, true));
    const std::size_t html = head == kNotFound ? tagEndAt(page, scanner.find("<html", 0, true)) : kNotFound;
    std::size_t at = from;
    if (head != kNotFound) {
        at += head + 1;
    } else {
        at += html == kNotFound ? leadingDoctypeLength(page) : html + 1;
    }
    // A quote left open in that tag may pair with a quote of a writer call: the tag then seems to end inside it,
    // where the header would never run. It goes in front of everything the engine wrote instead.
    if (std::any_of(written.begin(), written.end(), [at](const auto& r) { return r.first < at && at < r.second; })) {
        at = written.front().first;
    }
    if (head != kNotFound) {
        out.insert(at, header);
        return {at, header.size()};
    }
    const std::basic_string<Unit> wrapped = headerInNewHead(header, html == kNotFound);
    out.insert(at, wrapped);
    return {at, wrapped.size()};
}

template <typename Unit>
std::basic_string<Unit> charsetDeclaration(std::basic_string_view<Unit> text, const PageCharset<Unit>& charset) {
    // A key is never shorter in bytes than in units, so the search can stop at the same number of units.
    const std::size_t end = kPrescanBytes + 4;
    BasicMarkupScanner<Unit> scanner(text);
    for (std::size_t at = scanner.find("<meta", 0, true, end); at != kNotFound;
         at = scanner.find("<meta", at + 1, true, end)) {
        const std::size_t gt = BasicMarkupScanner<Unit>::tagEnd(text, at);
        if (gt == kNotFound || charset.writtenBytes(text.substr(0, at)) >= kPrescanBytes) {
            break;
        }
        const Text<Unit> tag = text.substr(at, gt + 1 - at);
        if (findIgnoreCase(tag, "charset", 0) != kNotFound) {
            return std::basic_string<Unit>(tag);
        }
    }
    return {};
}

template <typename Unit>
void keepCharsetInReach(std::basic_string<Unit>& out, std::size_t pageStart, Placement header, std::size_t firstEncoded,
                        std::size_t bytesBefore, const PageCharset<Unit>& charset) {
    const Text<Unit> page = Text<Unit>(out).substr(pageStart);
    const std::size_t headerEnd = header.at + header.length;
    // Only a declaration within reach without the header can be brought back; it ends by this many units.
    const std::size_t end = headerEnd - pageStart + kPrescanBytes + 5;
    BasicMarkupScanner<Unit> scanner(page);
    std::size_t metaEnd = kNotFound;
    for (std::size_t at = scanner.find("<meta", 0, true, end); at != kNotFound;
         at = scanner.find("<meta", at + 1, true, end)) {
        const std::size_t gt = BasicMarkupScanner<Unit>::tagEnd(page, at);
        if (gt == kNotFound) {
            return;
        }
        if (findIgnoreCase(page.substr(at, gt + 1 - at), "charset", 0) != kNotFound) {
            if (pageStart + at < header.at) {
                return; // the declaration comes first
            }
            metaEnd = pageStart + gt + 1;
            break;
        }
    }
    if (metaEnd == kNotFound || (firstEncoded != kNotFound && firstEncoded < metaEnd)) {
        return;
    }
    const Text<Unit> written = Text<Unit>(out).substr(0, metaEnd);
    const std::size_t withHeader = bytesBefore + charset.writtenBytes(written);
    const std::size_t headerBytes = charset.writtenBytes(written.substr(header.at, header.length));
    if (withHeader <= kPrescanBytes || withHeader - headerBytes > kPrescanBytes) {
        return;
    }
    const auto begin = out.begin();
    std::rotate(begin + static_cast<std::ptrdiff_t>(header.at), begin + static_cast<std::ptrdiff_t>(headerEnd),
                begin + static_cast<std::ptrdiff_t>(metaEnd));
}

template std::u16string headerInNewHead(std::u16string_view, bool);
template std::string headerInNewHead(std::string_view, bool);
template Placement placeHeader(std::u16string&, std::size_t, std::u16string_view, const WrittenRanges&);
template Placement placeHeader(std::string&, std::size_t, std::string_view, const WrittenRanges&);
template std::u16string charsetDeclaration(std::u16string_view, const PageCharset<char16_t>&);
template std::string charsetDeclaration(std::string_view, const PageCharset<char>&);
template void keepCharsetInReach(std::u16string&, std::size_t, Placement, std::size_t, std::size_t,
                                 const PageCharset<char16_t>&);
template void keepCharsetInReach(std::string&, std::size_t, Placement, std::size_t, std::size_t,
                                 const PageCharset<char>&);

} // namespace quillora::engine
