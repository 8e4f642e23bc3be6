// ProtectPage on arbitrary text with options taken from the input, in all four modes. The protected page, read
// as the browser runs it (writer calls replaced by what they write), must give the input back exactly, apart
// from the notice, the header (bootstrap and behaviour block, with the head it may come in, and in whole-page mode
// a copy of the page's character-set declaration in front of it) and the META tag. A body without its end tag is
// hidden to "</html>" or the end, body mode leaves nothing readable that the browser shows, every writer call
// stands where the page has markup (so that what it writes is read as the page was), and the header leaves the
// page's character-set declaration within reach.

#include "FuzzCheck.h"
#include "FuzzInput.h"
#include "ScriptLiteral.h"
#include "WriterCallDecoder.h"
#include "engine/BehaviourScripts.h"
#include "engine/ContentEncoding.h"
#include "engine/Doctype.h"
#include "engine/MarkupScanner.h"
#include "engine/PageTransform.h"
#include "engine/TextSearch.h"

#include <array>
#include <cstdint>
#include <utility>
#include <vector>

using namespace quillora;
using namespace quillora::fuzz;
using engine::EncryptionMode;

namespace {

constexpr std::u16string_view kMeta = u"<META HTTP-EQUIV=\"imagetoolbar\" CONTENT=\"no\">";
constexpr std::array<engine::ScriptIndex, 8> kScriptBits = {
    engine::kScriptRightClick, engine::kScriptTextSelection, engine::kScriptStatusBar,   engine::kScriptPrinting,
    engine::kScriptClipboard,  engine::kScriptDragDrop,      engine::kScriptBreakFrames, engine::kScriptImageToolbar,
};

struct Case {
    engine::ProtectionOptions options;
    unsigned failingFrame = 0; // the frame call that fails, counted from 1; 0 for none
    std::u16string page;
};

// Input layout: flags, script bits, length of the texts, the texts (notice, warning, password, split by NUL
// characters), then the page.
Case readCase(FuzzInput& input) {
    Case c;
    const std::uint8_t flags = input.takeByte();
    const std::uint8_t scripts = input.takeByte();
    c.options.encryptionMode = static_cast<EncryptionMode>(flags & 3);
    c.options.insertNotice = flags & 4;
    c.options.showRightClickWarning = flags & 8;
    c.options.passwordProtect = flags & 16;
    c.failingFrame = flags >> 5;
    for (std::size_t bit = 0; bit < kScriptBits.size(); ++bit) {
        c.options.scripts[kScriptBits[bit]] = (scripts >> bit) & 1;
    }
    const std::u16string texts = input.takeText(input.takeByte());
    std::array<std::u16string*, 3> targets = {&c.options.noticeText, &c.options.rightClickWarning, &c.options.password};
    std::size_t from = 0;
    for (std::u16string* target : targets) {
        const std::size_t end = std::min(texts.find(u'\0', from), texts.size());
        *target = texts.substr(std::min(from, texts.size()), end - std::min(from, end));
        from = end + 1;
    }
    c.page = input.takeRest();
    return c;
}

/// The frame-page operation: checks what it is handed and fails on the chosen call.
engine::FramePageOperation frameOperation(const Case& c, unsigned& calls) {
    return [&c, &calls](std::u16string_view address) {
        require(!address.empty(), "a frame page is handed on only with an address");
        return ++calls != c.failingFrame;
    };
}

/// The literal that follows `open` in the block must be closed on its line and read back as the typed text.
void requireLiteral(std::u16string_view block, std::u16string_view open, std::u16string_view after,
                    std::u16string_view typed, const char* property) {
    for (std::size_t at = block.find(open); at != std::u16string_view::npos; at = block.find(open, at + 1)) {
        const auto literal = ScriptLiteral::read(block, at + open.size());
        require(literal && literal->value == typed && block.substr(literal->end, after.size()) == after, property);
    }
}

/// The header is the bootstrap, then (with any behaviour chosen) the block in one writer call and an empty
/// one. Typed texts inside the block stay inside their script strings and cannot end the script element.
void checkHeader(const Case& c, std::u16string_view header) {
    require(header.substr(0, engine::Bootstrap().size()) == engine::Bootstrap(), "the header opens with the bootstrap");
    std::vector<OutputSegment> segments;
    std::string error;
    require(WriterCallDecoder::split(header.substr(engine::Bootstrap().size()), segments, error),
            "the behaviour block is well-formed writer calls");
    if (segments.empty()) {
        return;
    }
    require(segments.size() == 2 && segments[0].writerCall && segments[1].writerCall && segments[1].text.empty(),
            "the behaviour block is one writer call and an empty one");
    const std::u16string& block = segments[0].text;
    const std::size_t close = engine::findIgnoreCase(block, u"</script", 0);
    require(close + 9 == block.size(), "only the block's own end closes its script element");
    requireLiteral(block, u"alert('", u");", c.options.rightClickWarning, "the warning text survives as typed");
    requireLiteral(block, u"p!='", u")window.location='about:blank';", c.options.password,
                   "the password survives as typed");
}

/// The decoded page with one META tag taken out, when that gives the input.
bool equalsWithoutOneMeta(std::u16string_view decoded, std::u16string_view input) {
    if (decoded.size() != input.size() + kMeta.size()) {
        return false;
    }
    std::size_t same = 0;
    while (same < input.size() && decoded[same] == input[same]) {
        ++same;
    }
    for (std::size_t at = same >= kMeta.size() ? same - kMeta.size() : 0; at <= same; ++at) {
        if (decoded.substr(at, kMeta.size()) == kMeta && decoded.substr(0, at) == input.substr(0, at) &&
            decoded.substr(at + kMeta.size()) == input.substr(at)) {
            return true;
        }
    }
    return false;
}

/// In whole-page mode only external script elements and a leading DOCTYPE may stay readable, the DOCTYPE with what
/// the browser passes over before it (blanks, comments) as the page has it.
void checkWholePageHidden(const Case& c, const std::vector<OutputSegment>& segments) {
    for (std::size_t i = 0; i < segments.size(); ++i) {
        const OutputSegment& s = segments[i];
        if (s.writerCall || WriterCallDecoder::isExternalScript(s.text)) {
            continue;
        }
        const engine::DoctypeSpan doctype = engine::leadingDoctype(std::u16string_view(s.text));
        require(i == 0 && doctype.end == s.text.size() && std::u16string_view(c.page).starts_with(s.text) &&
                    engine::findChar(std::u16string_view(s.text), u'>', doctype.begin) + 1 == s.text.size(),
                "whole-page mode leaves only the DOCTYPE and external scripts readable");
    }
}

/// In whole-page mode a copy of the page's character-set declaration may stand right in front of the header, so
/// that the browser sees it before any writer call: the lengths it may have there (none first). The copy may hold
/// "<meta" inside an attribute value of its own, so every "<meta" before the header gives a candidate.
std::vector<std::size_t> charsetCopyLengths(const Case& c, std::u16string_view page, std::size_t at) {
    std::vector<std::size_t> lengths = {0};
    if (c.options.encryptionMode != EncryptionMode::WholePage || at == 0 || page[at - 1] != u'>') {
        return lengths;
    }
    for (std::size_t meta = engine::rfindIgnoreCase(page, u"<meta", at); meta != engine::kNotFound;
         meta = meta == 0 ? engine::kNotFound : engine::rfindIgnoreCase(page, u"<meta", meta)) {
        const std::u16string_view copy = page.substr(meta, at - meta);
        if (engine::findIgnoreCase(copy, u"charset", 0) == engine::kNotFound) {
            continue;
        }
        // The copy is taken after the image-toolbar tag went in, which an open quote may have drawn into it.
        std::u16string original(copy);
        if (const std::size_t tag = original.find(kMeta);
            c.options.script(engine::kScriptImageToolbar) && tag != std::u16string::npos) {
            original.erase(tag, kMeta.size());
        }
        if (c.page.find(copy) != std::u16string::npos || c.page.find(original) != std::u16string::npos) {
            lengths.push_back(copy.size());
        }
    }
    return lengths;
}

/// Tries the header with each head wrapper the placement may add; true when the page then reads back, with the
/// page as it stands without the header in `rest`.
bool readsBack(const Case& c, std::u16string_view page, std::size_t at, std::u16string_view header,
               std::u16string& accepted) {
    static constexpr std::array<std::pair<std::u16string_view, std::u16string_view>, 3> kWrappers = {{
        {u"", u""},
        {u"<head>", u"</head>"},
        {u"<html><head>", u"</head>"},
    }};
    const std::size_t end = at + header.size();
    for (const std::size_t added : charsetCopyLengths(c, page, at)) {
        const std::size_t from = at - added;
        for (const auto& [open, close] : kWrappers) {
            if (from < open.size() || page.substr(from - open.size(), open.size()) != open ||
                page.substr(end, close.size()) != close) {
                continue;
            }
            std::u16string rest(page.substr(0, from - open.size()));
            rest += page.substr(end + close.size());
            std::vector<OutputSegment> segments;
            std::string error;
            std::u16string decoded;
            if (!WriterCallDecoder::split(rest, segments, error) || !WriterCallDecoder::runAll(rest, decoded, error)) {
                continue; // the page's own markup around the header looked like a head the placement adds
            }
            const bool meta = c.options.script(engine::kScriptImageToolbar) && equalsWithoutOneMeta(decoded, c.page);
            if (decoded == c.page || meta) {
                if (c.options.encryptionMode == EncryptionMode::WholePage) {
                    checkWholePageHidden(c, segments);
                }
                accepted = std::move(rest);
                return true;
            }
        }
    }
    return false;
}

/// In body mode a body whose end tag is left out runs to "</html>" or the end of the page: all of it is hidden.
void checkOpenBodyHidden(const Case& c, std::u16string_view rest) {
    if (c.options.encryptionMode != EncryptionMode::BodyOnly || c.options.script(engine::kScriptImageToolbar)) {
        return;
    }
    engine::MarkupScanner scanner(c.page);
    const std::size_t body = scanner.find("<body", 0, true);
    const std::size_t gt = body == engine::kNotFound ? engine::kNotFound : engine::MarkupScanner::tagEnd(c.page, body);
    if (gt == engine::kNotFound || scanner.find("</body>", gt + 1) != engine::kNotFound) {
        return;
    }
    const std::size_t content = gt + 1;
    const std::size_t html = scanner.find("</html", content, true);
    const std::size_t end = html == engine::kNotFound ? c.page.size() : html;
    if (scanner.firstShown(0, body) != engine::kNotFound ||
        scanner.firstShown(end, c.page.size()) != engine::kNotFound) {
        return; // what shows around the body is hidden too, which moves the body's place
    }
    const std::size_t tail = c.page.size() - end;
    require(rest.size() >= content + tail &&
                rest.substr(0, content) == std::u16string_view(c.page).substr(0, content) &&
                rest.substr(rest.size() - tail) == std::u16string_view(c.page).substr(end),
            "an open body is encoded in its place");
    std::vector<OutputSegment> segments;
    std::string error;
    require(WriterCallDecoder::split(rest.substr(content, rest.size() - tail - content), segments, error),
            "an open body becomes well-formed writer calls");
    for (const OutputSegment& s : segments) {
        require(s.writerCall || WriterCallDecoder::isExternalScript(s.text),
                "an open body to \"</html>\" or the end stays hidden");
    }
    require(WriterCallDecoder::join(segments) == std::u16string_view(c.page).substr(content, end - content),
            "an open body's writer calls write it");
}

/// In body mode the browser finds nothing to show outside the writer calls.
void checkNothingShownReadable(const Case& c, std::u16string_view rest) {
    if (c.options.encryptionMode != EncryptionMode::BodyOnly) {
        return;
    }
    engine::MarkupScanner scanner(rest);
    require(scanner.firstShown(0, rest.size()) == engine::kNotFound, "body mode leaves nothing shown readable");
}

/// True when the construct before pos (a comment, a DOCTYPE) is closed by pos: a blank put there would be markup.
bool closedBefore(std::u16string_view page, std::size_t pos) {
    std::u16string probe(page.substr(0, pos));
    probe += u' ';
    return engine::MarkupScanner(probe).isMarkup(pos);
}

/// True when a writer call can stand at pos of the page: in its own markup, or at the start of a comment or DOCTYPE
/// just after markup or after another such construct.
bool standsInMarkup(engine::MarkupScanner& scanner, std::u16string_view page, std::size_t pos) {
    return pos == page.size() || scanner.isMarkup(pos) ||
           (page[pos] == u'<' && (pos == 0 || scanner.isMarkup(pos - 1) || closedBefore(page, pos)));
}

/// Every writer call stands where the page has markup and what it writes ends there too: the browser then reads
/// what it writes as it read the page, not as a script's text or a template's contents. (The e-mail mode may
/// encode a span again, so its writer calls do not map onto the page one to one.)
void checkWriterCallsInMarkup(const Case& c, std::u16string_view rest) {
    if (c.options.encryptionMode == EncryptionMode::EmailLinks || c.options.script(engine::kScriptImageToolbar)) {
        return;
    }
    std::vector<OutputSegment> segments;
    std::string error;
    require(WriterCallDecoder::split(rest, segments, error), "the page's writer calls are well-formed");
    // A link inside noscript is hidden for the browsers that show it, those without scripts.
    engine::MarkupScanner scanner(c.page, c.options.encryptionMode == EncryptionMode::AllLinks
                                              ? engine::MarkupScanner::Noscript::Markup
                                              : engine::MarkupScanner::Noscript::Text);
    std::size_t at = 0;
    for (const OutputSegment& s : segments) {
        if (s.writerCall) {
            require(standsInMarkup(scanner, c.page, at) && standsInMarkup(scanner, c.page, at + s.text.size()),
                    "a writer call stands where the page has markup");
        }
        at += s.text.size();
    }
}

/// Browsers honour a character-set declaration in the first 1024 bytes only (a unit counts as one here). The header
/// placed after the head tag may carry the page's declaration out of them only where a writer call of the page
/// before the declaration needs the header first.
void checkCharsetInReach(const Case& c, std::u16string_view out, std::size_t at, std::size_t length,
                         std::size_t notice) {
    if (c.options.encryptionMode == EncryptionMode::WholePage) {
        return;
    }
    engine::MarkupScanner scanner(out);
    const std::size_t head = scanner.find("<head", 0, true);
    if (head == engine::kNotFound || head > at || engine::MarkupScanner::tagEnd(out, head) + 1 != at) {
        return; // the header went into a head of its own
    }
    for (std::size_t meta = scanner.find("<meta", 0, true); meta != engine::kNotFound;
         meta = scanner.find("<meta", meta + 1, true)) {
        const std::size_t gt = engine::MarkupScanner::tagEnd(out, meta);
        if (gt == engine::kNotFound) {
            return;
        }
        if (engine::findIgnoreCase(out.substr(meta, gt + 1 - meta), "charset", 0) == engine::kNotFound) {
            continue;
        }
        const std::size_t end = notice + gt + 1;
        if (meta < at || end <= 1024 || end - length > 1024) {
            return;
        }
        // A declaration whose tag holds a writer call's start (an open quote reaching into it) counts as after it.
        std::u16string before(out.substr(0, at));
        before += out.substr(at + length, gt + 1 - at - length);
        require(before.find(WriterCallDecoder::kCallStart) != std::u16string::npos,
                "the header keeps the character-set declaration within the first 1024 bytes");
        return;
    }
}

bool mayConfuseTheDecoder(std::u16string_view page) {
    // Input that already holds a writer call or the whole bootstrap cannot be told from what the engine adds.
    return page.find(WriterCallDecoder::kCallStart) != std::u16string_view::npos ||
           page.find(engine::Bootstrap()) != std::u16string_view::npos;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput input(data, size);
    const Case c = readCase(input);
    unsigned calls = 0;
    std::u16string out = c.page;
    const std::u16string header = engine::BuildHeader(c.options);
    engine::ProtectPage(out, c.options, header, frameOperation(c, calls));

    unsigned again = 0;
    if (engine::FollowFrames(c.page, frameOperation(c, again))) {
        require(out == c.page, "a frameset is written unchanged");
        return 0;
    }
    checkHeader(c, header);
    if (mayConfuseTheDecoder(c.page)) {
        return 0;
    }
    const std::u16string notice = c.options.insertNotice ? u"<!-- " + c.options.noticeText + u"-->\r\n" : u"";
    require(out.compare(0, notice.size(), notice) == 0, "the notice comes first");
    const std::u16string_view page = std::u16string_view(out).substr(notice.size());
    const std::size_t at = page.find(header);
    require(at != std::u16string_view::npos, "the header is in the page");
    std::vector<OutputSegment> segments;
    std::string error;
    require(WriterCallDecoder::split(page, segments, error),
            "the header stays out of the writer calls, which are well-formed");
    std::u16string rest;
    require(readsBack(c, page, at, header, rest), "the protected page reads back as the input");
    checkOpenBodyHidden(c, rest);
    checkNothingShownReadable(c, rest);
    checkWriterCallsInMarkup(c, rest);
    checkCharsetInReach(c, page, at, header.size(), notice.size());
    return 0;
}
