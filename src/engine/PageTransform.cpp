#include "PageTransform.h"

#include "BehaviourScripts.h"
#include "ContentEncoding.h"
#include "EmailLinkEncoder.h"
#include "LargeBuffer.h"
#include "MarkupScanner.h"
#include "PageBuilder.h"

namespace quillora::engine {

namespace {

constexpr std::u16string_view kAnchorOpen = u"<a ";
constexpr std::u16string_view kAnchorClose = u"</a>";
constexpr std::u16string_view kBodyClose = u"</body>";

/// Every writer call costs this much beyond its escapes (start and end of the script element).
constexpr std::size_t kWriterCallOverhead = 56;

constexpr std::u16string_view kImageToolbarMeta = u"<META HTTP-EQUIV=\"imagetoolbar\" CONTENT=\"no\">";

// Room for the protected page, so that it is never moved while it grows: every character escaped, plus a
// writer call for every tag that could start a link or a script.
std::size_t outputCapacity(std::u16string_view text, std::size_t extra) {
    std::size_t wide = 0;
    std::size_t tags = 0;
    for (const char16_t c : text) {
        wide += c >= 256;
        tags += c == u'<';
    }
    return 3 * (text.size() + wide) + kWriterCallOverhead * (tags + 1) + extra;
}

/// The length of a "<!DOCTYPE ...>" that opens the page after blanks, 0 when there is none.
std::size_t leadingDoctypeLength(std::u16string_view text) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == u' ' || text[i] == u'\t' || text[i] == u'\r' || text[i] == u'\n')) {
        ++i;
    }
    if (!matchesAt(text, u"<!doctype", i)) {
        return 0;
    }
    const std::size_t gt = findChar(text, u'>', i);
    return gt == kNotFound ? 0 : gt + 1;
}

/// The first META tag that declares a character set where a browser looks for one (its first 1024
/// characters), or nothing.
std::u16string charsetDeclaration(std::u16string_view text) {
    constexpr std::size_t kPrescan = 1024;
    MarkupScanner scanner(text);
    for (std::size_t at = scanner.find(u"<meta", 0, true, kPrescan + 4); at != kNotFound;
         at = scanner.find(u"<meta", at + 1, true, kPrescan + 4)) {
        const std::size_t gt = MarkupScanner::tagEnd(text, at);
        if (gt == kNotFound) {
            break;
        }
        const std::u16string_view tag = text.substr(at, gt + 1 - at);
        if (findIgnoreCase(tag, u"charset", 0) != kNotFound) {
            return std::u16string(tag);
        }
    }
    return {};
}

/// The end of the tag found by a key at pos, or kNotFound.
std::size_t tagEndAt(std::u16string_view text, std::size_t pos) {
    return pos == kNotFound ? kNotFound : MarkupScanner::tagEnd(text, pos);
}

// Links (mode 1) and bodies (mode 2) are replaced front to back, so the result is built in one pass: the text
// before a span is copied, the span is encoded. The markup after a replaced span reads as it did before.
void encodeLinks(std::u16string_view text, PageBuilder& out) {
    MarkupScanner scanner(text);
    std::size_t copied = 0;
    for (std::size_t pos = 0;;) {
        const std::size_t a = scanner.find(kAnchorOpen, pos);
        const std::size_t e = a == kNotFound ? kNotFound : scanner.find(kAnchorClose, a);
        if (e == kNotFound) {
            break;
        }
        const std::size_t end = e + kAnchorClose.size();
        out.copy(copied, a);
        out.encode(text.substr(a, end - a));
        copied = pos = end;
    }
    out.copy(copied, text.size());
}

void encodeBodies(std::u16string_view text, PageBuilder& out) {
    MarkupScanner scanner(text);
    std::size_t copied = 0;
    for (std::size_t pos = 0;;) {
        const std::size_t gt = tagEndAt(text, scanner.find(u"<body", pos, true));
        if (gt == kNotFound) {
            break;
        }
        const std::size_t content = gt + 1;
        const std::size_t close = scanner.find(kBodyClose, content);
        if (close == kNotFound) {
            // The search would go on from the second character after this tag, but no later body tag can find
            // a "</body>" either.
            break;
        }
        out.copy(copied, content);
        out.encode(text.substr(content, close - content));
        copied = pos = close;
    }
    out.copy(copied, text.size());
}

void encodeWholePage(std::u16string_view text, PageBuilder& out) {
    // A leading DOCTYPE stays first and readable, or the browser would render the page in quirks mode.
    const std::size_t doctype = leadingDoctypeLength(text);
    out.copy(0, doctype);
    out.encode(text.substr(doctype));
}

void encrypt(std::u16string_view text, EncryptionMode mode, PageBuilder& out) {
    switch (mode) {
    case EncryptionMode::EmailLinks:
        EncodeEmailLinks(text, out);
        break;
    case EncryptionMode::AllLinks:
        encodeLinks(text, out);
        break;
    case EncryptionMode::BodyOnly:
        encodeBodies(text, out);
        break;
    case EncryptionMode::WholePage:
        encodeWholePage(text, out);
        break;
    }
}

// Puts the header into the page: after the head tag, else in a new head after the html tag, else in a new
// head in front of the page (behind a leading DOCTYPE). `from` is where the page starts in out.
void placeHeader(std::u16string& out, std::size_t from, std::u16string_view header) {
    const std::u16string_view page = std::u16string_view(out).substr(from);
    MarkupScanner scanner(page);
    if (const std::size_t gt = tagEndAt(page, scanner.find(u"<head", 0, true)); gt != kNotFound) {
        out.insert(from + gt + 1, header);
        return;
    }
    std::u16string wrapped;
    wrapped.reserve(header.size() + 32);
    const std::size_t html = tagEndAt(page, scanner.find(u"<html", 0, true));
    std::size_t at = html == kNotFound ? leadingDoctypeLength(page) : html + 1;
    wrapped += html == kNotFound ? u"<html><head>" : u"<head>";
    wrapped += header;
    wrapped += u"</head>";
    out.insert(from + at, wrapped);
}

} // namespace

std::u16string ReadAttributeValue(std::ptrdiff_t first, std::ptrdiff_t last, std::u16string_view text) {
    enum { Before, Quoted, Unquoted, Finished } state = Before;
    std::u16string value;
    if (first < 0) {
        first = 0;
    }
    last = std::min<std::ptrdiff_t>(last, static_cast<std::ptrdiff_t>(text.size()) - 1);
    for (std::ptrdiff_t i = first; i <= last && state != Finished; ++i) {
        const char16_t c = text[static_cast<std::size_t>(i)];
        if (c == u' ') {
            if (state == Unquoted) {
                state = Finished;
            } else if (state == Quoted) {
                value += c;
            }
        } else if (c == u'\'' || c == u'"') {
            if (state == Before) {
                state = Quoted;
            } else if (state == Quoted) {
                state = Finished;
            } else {
                value += c;
            }
        } else {
            if (state == Before) {
                state = Unquoted;
            }
            value += c;
        }
    }
    const std::size_t begin = value.find_first_not_of(u' ');
    if (begin == std::u16string::npos) {
        return {};
    }
    return value.substr(begin, value.find_last_not_of(u' ') - begin + 1);
}

FrameScan ScanFrames(std::u16string_view text) {
    MarkupScanner scanner(text);
    FrameScan scan;
    for (std::size_t pos = 0;;) {
        const std::size_t tag = scanner.find(u"<frame ", pos);
        if (tag == kNotFound) {
            return scan;
        }
        scan.frameset = true;
        const std::size_t gt = MarkupScanner::tagEnd(text, tag);
        const std::size_t src = findIgnoreCase(text, u"src", tag);
        const std::size_t eq = src == kNotFound ? kNotFound : findChar(text, u'=', src);
        std::u16string address;
        if (gt != kNotFound && eq != kNotFound) {
            address =
                ReadAttributeValue(static_cast<std::ptrdiff_t>(eq) + 1, static_cast<std::ptrdiff_t>(gt) - 1, text);
        }
        if (address.empty()) {
            scan.complete = false;
            return scan;
        }
        scan.addresses.push_back(std::move(address));
        pos = gt;
    }
}

bool FollowFrames(std::u16string_view text, const FramePageOperation& protectFrame) {
    const FrameScan scan = ScanFrames(text);
    for (const auto& address : scan.addresses) {
        if (!protectFrame(address)) {
            return false;
        }
    }
    return scan.frameset && scan.complete;
}

std::u16string BuildHeader(const ProtectionOptions& options) {
    std::u16string header(Bootstrap());
    BuildBehaviourScripts(header, options);
    return header;
}

namespace {

// The usual page has its head before anything that gets encoded: then the head tag found in the source is
// the one the finished page would show, and the header (and image-toolbar tag) go in while the page is built.
bool protectInOnePass(std::u16string& text, const ProtectionOptions& options, std::u16string_view notice,
                      std::u16string_view header) {
    if (options.encryptionMode == EncryptionMode::WholePage) {
        return false;
    }
    MarkupScanner scanner(text);
    const std::size_t headEnd = tagEndAt(text, scanner.find(u"<head", 0, true));
    if (headEnd == kNotFound) {
        return false;
    }
    std::u16string insertion(header);
    if (options.script(kScriptImageToolbar) &&
        findIgnoreCase(text, u"<meta http-equiv=\"imagetoolbar", 0) == kNotFound) {
        insertion += kImageToolbarMeta;
    }
    std::u16string out;
    reserveText(out, outputCapacity(text, insertion.size() + notice.size()));
    out += notice;
    PageBuilder builder(out, text);
    builder.insertWhileCopying(headEnd + 1, insertion);
    encrypt(text, options.encryptionMode, builder);
    if (!builder.inserted()) {
        return false;
    }
    text = std::move(out);
    return true;
}

} // namespace

void ProtectPage(std::u16string& text, const ProtectionOptions& options, std::u16string_view header,
                 const FramePageOperation& protectFrame) {
    if (FollowFrames(text, protectFrame)) {
        return;
    }
    TransformPage(text, options, header);
}

void TransformPage(std::u16string& text, const ProtectionOptions& options, std::u16string_view header) {
    std::u16string notice;
    if (options.insertNotice) {
        notice = u"<!-- " + options.noticeText + u"-->\r\n";
    }
    if (protectInOnePass(text, options, notice, header)) {
        return;
    }
    if (options.script(kScriptImageToolbar)) {
        InsertImageToolbarMeta(text);
    }
    // When the whole page is encoded its character-set declaration would reach the browser only once parsing
    // has begun, too late to count: a copy of it stays readable in front of the header.
    const std::u16string charset =
        options.encryptionMode == EncryptionMode::WholePage ? charsetDeclaration(text) : std::u16string();
    std::u16string out;
    reserveText(out, outputCapacity(text, charset.size() + header.size() + notice.size() + 32));
    out += notice;
    PageBuilder builder(out, text);
    encrypt(text, options.encryptionMode, builder);
    // The source is no longer needed; give its memory back before the header moves the result's tail.
    std::u16string().swap(text);
    if (charset.empty()) {
        placeHeader(out, notice.size(), header);
    } else {
        placeHeader(out, notice.size(), charset + std::u16string(header));
    }
    text = std::move(out);
}

} // namespace quillora::engine
