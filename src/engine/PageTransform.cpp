#include "PageTransform.h"

#include "BehaviourScripts.h"
#include "ContentEncoding.h"
#include "EncryptionModes.h"
#include "HeaderPlacement.h"
#include "LargeBuffer.h"
#include "MarkupScanner.h"
#include "PageBuilder.h"

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace quillora::engine {

namespace {

template <typename Unit> using Text = std::basic_string_view<Unit>;

/// Every writer call costs this much beyond its escapes (start and end of the script element).
constexpr std::size_t kWriterCallOverhead = 56;

constexpr std::string_view kImageToolbarMeta = "<META HTTP-EQUIV=\"imagetoolbar\" CONTENT=\"no\">";

// Room for the protected page, so that it is never moved while it grows: every character escaped, plus a
// writer call for every tag that could start a link or a script.
std::size_t outputCapacity(std::u16string_view text) {
    std::size_t wide = 0;
    std::size_t tags = 0;
    for (const char16_t c : text) {
        wide += c >= 256;
        tags += c == u'<';
    }
    return 3 * (text.size() + wide) + kWriterCallOverhead * (tags + 1);
}

// In bytes: a byte from 0x80 up may stand for a code unit escaped in six bytes, or for a part of one.
std::size_t outputCapacity(std::string_view text) {
    const std::size_t n = text.size();
    std::size_t high = 0;
    std::size_t tags = 0;
    std::size_t i = 0;
#ifdef __SSE2__
    // Each byte lane counts up to 255 hits before the lanes are summed.
    const __m128i lt = _mm_set1_epi8('<');
    const __m128i zero = _mm_setzero_si128();
    while (i + 16 <= n) {
        __m128i highLanes = zero;
        __m128i tagLanes = zero;
        const std::size_t stop = std::min(n - (n - i) % 16, i + std::size_t{16} * 255);
        for (; i < stop; i += 16) {
            const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text.data() + i));
            highLanes = _mm_sub_epi8(highLanes, _mm_cmplt_epi8(block, zero));
            tagLanes = _mm_sub_epi8(tagLanes, _mm_cmpeq_epi8(block, lt));
        }
        const __m128i highSums = _mm_sad_epu8(highLanes, zero);
        const __m128i tagSums = _mm_sad_epu8(tagLanes, zero);
        high += static_cast<std::size_t>(_mm_cvtsi128_si32(highSums) + _mm_extract_epi16(highSums, 4));
        tags += static_cast<std::size_t>(_mm_cvtsi128_si32(tagSums) + _mm_extract_epi16(tagSums, 4));
    }
#endif
    for (; i < n; ++i) {
        high += static_cast<unsigned char>(text[i]) >= 0x80;
        tags += text[i] == '<';
    }
    return 3 * (n + high) + kWriterCallOverhead * (tags + 1);
}

template <typename Unit> void appendAscii(std::basic_string<Unit>& out, std::string_view ascii) {
    out.append(ascii.begin(), ascii.end());
}

/// True when the image-toolbar tag goes into this page: it has a head tag and no such tag yet.
template <typename Unit> bool imageToolbarGoesIn(Text<Unit> text) {
    if (findIgnoreCase(text, "<meta http-equiv=\"imagetoolbar", 0) != kNotFound) {
        return false;
    }
    BasicMarkupScanner<Unit> scanner(text);
    return tagEndAt(text, scanner.find("<head", 0, true)) != kNotFound;
}

// The usual page has its head before anything that gets encoded: then the head tag found in the source is
// the one the finished page would show, and the header (and image-toolbar tag) go in while the page is built.
template <typename Unit>
bool protectInOnePass(const PageParts<Unit>& page, const ProtectionOptions& options, const PageCharset<Unit>& charset,
                      std::basic_string<Unit>& out) {
    const Text<Unit> text = page.text;
    BasicMarkupScanner<Unit> scanner(text);
    const std::size_t headEnd = tagEndAt(text, scanner.find("<head", 0, true));
    if (headEnd == kNotFound) {
        return false;
    }
    std::basic_string<Unit> insertion(page.declaration);
    insertion += page.header;
    if (options.script(kScriptImageToolbar) &&
        findIgnoreCase(text, "<meta http-equiv=\"imagetoolbar", 0) == kNotFound) {
        appendAscii(insertion, kImageToolbarMeta);
    }
    out += page.notice;
    const std::size_t pageStart = out.size();
    BasicPageBuilder<Unit> builder(out, text, charset);
    builder.insertWhileCopying(headEnd + 1, insertion);
    applyEncryptionMode(text, options.encryptionMode, builder);
    if (!builder.inserted()) {
        return false;
    }
    keepCharsetInReach(out, pageStart, Placement{builder.insertedAt(), page.declaration.size() + page.header.size()},
                       builder.firstEncoded(), page.bytesBefore, charset);
    return true;
}

// In whole-page mode the header is placed by what the finished page shows. With nothing but a DOCTYPE readable
// in front of the writer calls there is no head or html tag to be found, unless a kept external script element
// holds one: then the header goes into a new html element behind the DOCTYPE, which can be written first.
template <typename Unit>
bool wholePageInOnePass(const PageParts<Unit>& page, const ProtectionOptions& options, const PageCharset<Unit>& charset,
                        std::basic_string<Unit>& out) {
    const Text<Unit> text = page.text;
    const std::size_t doctype = leadingDoctypeLength(text);
    if (doctype != 0 && findChar(text.substr(0, doctype), Unit('<'), findChar(text, Unit('<'), 0) + 1) != kNotFound) {
        return false;
    }
    if (options.script(kScriptImageToolbar) && imageToolbarGoesIn(text)) {
        return false;
    }
    // The page's character-set declaration would reach the browser only once parsing has begun, too late to
    // count: a copy of it stays readable in front of the header.
    std::basic_string<Unit> header =
        page.declaration.empty() ? charsetDeclaration(text, charset) : std::basic_string<Unit>(page.declaration);
    header += page.header;
    out += page.notice;
    out += text.substr(0, doctype);
    out += headerInNewHead(Text<Unit>(header), true);
    KeptElements kept;
    AppendEncodedWithScripts(out, text.substr(doctype), charset, &kept);
    for (const auto& [begin, end] : kept) {
        const Text<Unit> element = Text<Unit>(out).substr(begin, end - begin);
        if (findIgnoreCase(element, "<head", 0) != kNotFound || findIgnoreCase(element, "<html", 0) != kNotFound) {
            return false;
        }
    }
    return true;
}

// Any other page, step by step: image-toolbar tag, encryption mode, then the header placed by the finished page.
template <typename Unit>
void protectInSteps(const PageParts<Unit>& page, const ProtectionOptions& options, const PageCharset<Unit>& charset,
                    std::basic_string<Unit>& out) {
    Text<Unit> text = page.text;
    std::basic_string<Unit> withMeta;
    std::size_t metaAt = kNotFound;
    if (options.script(kScriptImageToolbar) && imageToolbarGoesIn(text)) {
        metaAt = tagEndAt(text, BasicMarkupScanner<Unit>(text).find("<head", 0, true)) + 1;
        withMeta.assign(text);
        InsertImageToolbarMeta(withMeta);
        text = withMeta;
    }
    const bool wholePage = options.encryptionMode == EncryptionMode::WholePage;
    std::basic_string<Unit> header(page.declaration);
    if (wholePage && header.empty()) {
        header = charsetDeclaration(text, charset);
    }
    header += page.header;
    out += page.notice;
    const std::size_t pageStart = out.size();
    BasicPageBuilder<Unit> builder(out, text, charset);
    if (metaAt != kNotFound) {
        builder.countAsWritten(metaAt, metaAt + kImageToolbarMeta.size());
    }
    applyEncryptionMode(text, options.encryptionMode, builder);
    const Placement placed = placeHeader(out, pageStart, Text<Unit>(header), builder.written());
    if (!wholePage) {
        std::size_t firstEncoded = builder.firstEncoded();
        if (firstEncoded != kNotFound && firstEncoded >= placed.at) {
            firstEncoded += placed.length;
        }
        keepCharsetInReach(out, pageStart, placed, firstEncoded, page.bytesBefore, charset);
    }
}

} // namespace

template <typename Unit>
std::basic_string<Unit> ReadAttributeValue(std::ptrdiff_t first, std::ptrdiff_t last,
                                           std::basic_string_view<Unit> text) {
    enum { Before, Quoted, Unquoted, Finished } state = Before;
    std::basic_string<Unit> value;
    if (first < 0) {
        first = 0;
    }
    last = std::min<std::ptrdiff_t>(last, static_cast<std::ptrdiff_t>(text.size()) - 1);
    for (std::ptrdiff_t i = first; i <= last && state != Finished; ++i) {
        const Unit c = text[static_cast<std::size_t>(i)];
        if (c == Unit(' ')) {
            if (state == Unquoted) {
                state = Finished;
            } else if (state == Quoted) {
                value += c;
            }
        } else if (c == Unit('\'') || c == Unit('"')) {
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
    const std::size_t begin = value.find_first_not_of(Unit(' '));
    if (begin == std::basic_string<Unit>::npos) {
        return {};
    }
    return value.substr(begin, value.find_last_not_of(Unit(' ')) - begin + 1);
}

std::u16string ReadAttributeValue(std::ptrdiff_t first, std::ptrdiff_t last, std::u16string_view text) {
    return ReadAttributeValue<char16_t>(first, last, text);
}

template <typename Unit> FrameScan ScanFrames(std::basic_string_view<Unit> text, const PageCharset<Unit>& charset) {
    BasicMarkupScanner<Unit> scanner(text);
    FrameScan scan;
    for (std::size_t pos = 0;;) {
        const std::size_t tag = scanner.find("<frame ", pos);
        if (tag == kNotFound) {
            return scan;
        }
        scan.frameset = true;
        const std::size_t gt = BasicMarkupScanner<Unit>::tagEnd(text, tag);
        const std::size_t src = findIgnoreCase(text, "src", tag);
        const std::size_t eq = src == kNotFound ? kNotFound : findChar(text, Unit('='), src);
        std::u16string address;
        if (gt != kNotFound && eq != kNotFound) {
            const std::basic_string<Unit> value = ReadAttributeValue<Unit>(static_cast<std::ptrdiff_t>(eq) + 1,
                                                                           static_cast<std::ptrdiff_t>(gt) - 1, text);
            address = charset.units(value);
        }
        if (address.empty()) {
            scan.complete = false;
            return scan;
        }
        scan.addresses.push_back(std::move(address));
        pos = gt;
    }
}

FrameScan ScanFrames(std::u16string_view text) {
    return ScanFrames(text, static_cast<const PageCharset<char16_t>&>(UnitText::instance()));
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
    std::u16string header(options.strictCsp ? StrictBootstrap() : Bootstrap());
    BuildBehaviourScripts(header, options);
    return header;
}

std::u16string NoticeComment(const ProtectionOptions& options) {
    return options.insertNotice ? u"<!-- " + options.noticeText + u"-->\r\n" : std::u16string();
}

void ProtectPage(std::u16string& text, const ProtectionOptions& options, std::u16string_view header,
                 const FramePageOperation& protectFrame) {
    if (FollowFrames(text, protectFrame)) {
        return;
    }
    TransformPage(text, options, header);
}

template <typename Unit>
PageNotes TransformPage(const PageParts<Unit>& page, const ProtectionOptions& options, const PageCharset<Unit>& charset,
                        std::basic_string<Unit>& out) {
    const std::size_t start = out.size();
    reserveText(out, start + outputCapacity(page.text) + page.header.size() + page.notice.size() + 2 * kPrescanBytes);
    const bool done = options.encryptionMode == EncryptionMode::WholePage
                          ? wholePageInOnePass(page, options, charset, out)
                          : protectInOnePass(page, options, charset, out);
    if (!done) {
        out.resize(start);
        protectInSteps(page, options, charset, out);
    }
    return PageNotes{linksLeftAsTheyAre(page.text, options.encryptionMode)};
}

void TransformPage(std::u16string& text, const ProtectionOptions& options, std::u16string_view header) {
    const std::u16string notice = NoticeComment(options);
    std::u16string out;
    TransformPage(PageParts<char16_t>{text, header, notice, 0}, options, UnitText::instance(), out);
    text = std::move(out);
}

template std::u16string ReadAttributeValue(std::ptrdiff_t, std::ptrdiff_t, std::u16string_view);
template std::string ReadAttributeValue(std::ptrdiff_t, std::ptrdiff_t, std::string_view);
template FrameScan ScanFrames(std::u16string_view, const PageCharset<char16_t>&);
template FrameScan ScanFrames(std::string_view, const PageCharset<char>&);
template PageNotes TransformPage(const PageParts<char16_t>&, const ProtectionOptions&, const PageCharset<char16_t>&,
                                 std::u16string&);
template PageNotes TransformPage(const PageParts<char>&, const ProtectionOptions&, const PageCharset<char>&,
                                 std::string&);

} // namespace quillora::engine
