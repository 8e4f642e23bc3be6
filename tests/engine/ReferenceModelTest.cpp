// The page transformation against a literal model of its rules: every search reads the current text afresh
// from its start, every replacement is made in place. The model is slow and plain; the product builds the page
// in one pass, places the header on the way and keeps memos in the e-mail mode, and must agree with it.
#include "engine/BehaviourScripts.h"
#include "engine/ContentEncoding.h"
#include "engine/MarkupScanner.h"
#include "engine/PageTransform.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <random>

namespace quillora::engine {
namespace {

void modelReplace(std::u16string& text, std::size_t from, std::size_t to, std::size_t& pos) {
    const std::u16string encoded = EncodeWithScripts(std::u16string_view(text).substr(from, to - from));
    text.replace(from, to - from, encoded);
    pos = from + encoded.size();
}

void modelEmailLinks(std::u16string& text) {
    for (std::size_t pos = 0;;) {
        const std::size_t m = findIgnoreCase(text, u"mailto:", pos);
        if (m == kNotFound) {
            return;
        }
        MarkupScanner scanner(text, MarkupScanner::Noscript::Markup);
        const std::size_t a = scanner.rfind("<a ", m);
        if (a == kNotFound) {
            pos = m + 7;
            continue;
        }
        const std::size_t e = scanner.find("</a>", a);
        if (e == kNotFound) {
            return;
        }
        modelReplace(text, a, e + 4, pos);
    }
}

void modelAllLinks(std::u16string& text) {
    for (std::size_t pos = 0;;) {
        MarkupScanner scanner(text, MarkupScanner::Noscript::Markup);
        const std::size_t a = scanner.find("<a ", pos);
        const std::size_t e = a == kNotFound ? kNotFound : scanner.find("</a>", a);
        if (e == kNotFound) {
            return;
        }
        modelReplace(text, a, e + 4, pos);
    }
}

// What the browser shows in the body from `from` up to `to` (text, or an element that is not head material) is
// hidden from its first such place.
bool modelHideShown(std::u16string& text, std::size_t from, std::size_t to, std::size_t& pos) {
    MarkupScanner scanner(text);
    const std::size_t shown = scanner.firstShown(from, to);
    if (shown == kNotFound) {
        return false;
    }
    modelReplace(text, shown, to, pos);
    return true;
}

void modelBodies(std::u16string& text) {
    std::size_t done = 0; // the text before it is what it will be
    for (std::size_t pos = 0;;) {
        MarkupScanner scanner(text);
        const std::size_t b = scanner.find("<body", pos, true);
        const std::size_t gt = b == kNotFound ? kNotFound : MarkupScanner::tagEnd(text, b);
        if (gt == kNotFound) {
            break;
        }
        if (modelHideShown(text, done, b, done)) {
            pos = done; // the body tag now stands there
            continue;
        }
        const std::size_t close = scanner.find("</body>", gt + 1);
        if (close == kNotFound) {
            // Without its end tag the body runs to "</html>", or to the end of the text, and is the last.
            const std::size_t html = scanner.find("</html", gt + 1, true);
            modelReplace(text, gt + 1, html == kNotFound ? text.size() : html, done);
            break;
        }
        modelReplace(text, gt + 1, close, pos);
        done = pos;
    }
    // What follows (or a page without a body tag) shows in the body too, up to an "</html>" that nothing shown
    // follows.
    MarkupScanner scanner(text);
    const std::size_t shown = scanner.firstShown(done, text.size());
    const std::size_t html = shown == kNotFound ? kNotFound : scanner.find("</html", shown, true);
    const bool htmlEnds = html != kNotFound && scanner.firstShown(html, text.size()) == kNotFound;
    modelHideShown(text, done, htmlEnds ? html : text.size(), done);
}

bool isAsciiLetter(char16_t c) {
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}

// Where a leading DOCTYPE ends: a browser passes over blanks, NULs and comments (bogus ones too) before it, and sees
// none when anything else comes first or a comment is never closed.
std::size_t modelDoctype(std::u16string_view text) {
    constexpr std::size_t npos = std::u16string_view::npos;
    const std::u16string_view blanks(u" \t\n\f\r\0", 6);
    for (std::size_t i = text.find_first_not_of(blanks); i != npos; i = text.find_first_not_of(blanks, i)) {
        const std::u16string_view rest = text.substr(i);
        std::size_t close = npos;
        if (matchesAt(rest, u"<!doctype", 0)) {
            const std::size_t gt = rest.find(u'>');
            return gt == npos ? 0 : i + gt + 1;
        }
        if (rest.starts_with(u"<!-->") || rest.starts_with(u"<!--->")) {
            close = rest.find(u'>') + 1;
        } else if (rest.starts_with(u"<!--")) {
            const std::size_t ends[] = {rest.find(u"-->", 4), rest.find(u"--!>", 4)};
            close = std::min(ends[0] == npos ? npos : ends[0] + 3, ends[1] == npos ? npos : ends[1] + 4);
        } else if (rest.starts_with(u"<?") || rest.starts_with(u"<!") ||
                   (rest.starts_with(u"</") && rest.size() > 2 && !isAsciiLetter(rest[2]))) {
            const std::size_t gt = rest.find(u'>', 2);
            close = gt == npos ? npos : gt + 1;
        }
        if (close == npos) {
            return 0;
        }
        i += close;
    }
    return 0;
}

// A browser honours a character-set declaration only in the first 1024 bytes (a unit counts as one here). The
// header moves behind the first declaring META tag when it pushed the tag out of them, unless a writer call of the
// page comes before the tag.
void modelCharsetInReach(std::u16string& text, std::size_t at, std::size_t length, std::size_t notice) {
    MarkupScanner scanner(text);
    for (std::size_t meta = scanner.find("<meta", 0, true); meta != kNotFound;
         meta = scanner.find("<meta", meta + 1, true)) {
        const std::size_t gt = MarkupScanner::tagEnd(text, meta);
        if (gt == kNotFound) {
            return;
        }
        if (findIgnoreCase(std::u16string_view(text).substr(meta, gt + 1 - meta), u"charset", 0) == kNotFound) {
            continue;
        }
        const std::size_t end = gt + 1;
        const std::u16string before = text.substr(0, at) + text.substr(at + length, end - at - length);
        if (meta < at || before.find(u"<SCRIPT LANGUAGE='JavaScript'><!--\r\nqv_d00(") != std::u16string::npos ||
            notice + end <= 1024 || notice + end - length > 1024) {
            return;
        }
        const std::u16string header = text.substr(at, length);
        text.erase(at, length);
        text.insert(end - length, header);
        return;
    }
}

std::u16string modelProtect(std::u16string text, const ProtectionOptions& options) {
    std::u16string charset;
    if (options.script(kScriptImageToolbar)) {
        InsertImageToolbarMeta(text);
    }
    switch (options.encryptionMode) {
    case EncryptionMode::EmailLinks:
        modelEmailLinks(text);
        break;
    case EncryptionMode::AllLinks:
        modelAllLinks(text);
        break;
    case EncryptionMode::BodyOnly:
        modelBodies(text);
        break;
    case EncryptionMode::WholePage: {
        MarkupScanner metaScanner(text);
        for (std::size_t meta = text.find(u"<meta charset=x>"); meta < 1024;
             meta = text.find(u"<meta charset=x>", meta + 1)) {
            if (metaScanner.isMarkup(meta)) {
                charset = u"<meta charset=x>";
                break;
            }
        }
        const std::size_t doctype = modelDoctype(text);
        text = text.substr(0, doctype) + EncodeWithScripts(std::u16string_view(text).substr(doctype));
        break;
    }
    }
    std::u16string header = charset + std::u16string(Bootstrap());
    BuildBehaviourScripts(header, options);
    MarkupScanner scanner(text);
    const std::size_t head = scanner.find("<head", 0, true);
    const std::size_t headEnd = head == kNotFound ? kNotFound : MarkupScanner::tagEnd(text, head);
    const std::size_t html = scanner.find("<html", 0, true);
    const std::size_t htmlEnd = html == kNotFound ? kNotFound : MarkupScanner::tagEnd(text, html);
    std::size_t at = 0;
    if (headEnd != kNotFound) {
        at = headEnd + 1;
    } else if (htmlEnd != kNotFound) {
        at = htmlEnd + 1;
        header = u"<head>" + header + u"</head>";
    } else {
        at = modelDoctype(text);
        header = u"<html><head>" + header + u"</head>";
    }
    text.insert(at, header);
    if (options.encryptionMode != EncryptionMode::WholePage) {
        modelCharsetInReach(text, at, header.size(), NoticeComment(options).size());
    }
    if (options.insertNotice) {
        text = u"<!-- " + options.noticeText + u"-->\r\n" + text;
    }
    return text;
}

const std::u16string kFragments[] = {
    u"<a href=x>",
    u"<A HREF=\"mailto:me\">",
    u"</a>",
    u"mailto:",
    u"<!--",
    u"-->",
    u"<script>",
    u"<script src=j.js>",
    u"</script>",
    u"<style>",
    u"</style>",
    u"<head>",
    u"<HEAD a='>'>",
    u"</head>",
    u"<body>",
    u"<body x=\">\">",
    u"</body>",
    u"<html>",
    u"<header>",
    u"text ",
    u"\u00E9\u20AC",
    u"<!DOCTYPE html>",
    u"<textarea>",
    u"</textarea>",
    u"<noscript>",
    u"</noscript>",
    u"<a\n",
    u"<meta charset=x>",
    u">",
    u"<script >w()",
    u" ",
    u"<frameset>",
    u"</html>",
    u"<meta charset=x>",
    u"<title>" + std::u16string(150, u'.') + u"</title>",
    u"\f",
    u"<?x?>",
};

std::u16string randomPage(std::mt19937& random) {
    std::u16string page;
    const int pieces = std::uniform_int_distribution<int>(0, 40)(random);
    for (int i = 0; i < pieces; ++i) {
        page += kFragments[std::uniform_int_distribution<std::size_t>(0, std::size(kFragments) - 1)(random)];
    }
    return page;
}

TEST(ProtectPageModel, AgreesWithTheLiteralRulesOnRandomPages) {
    std::mt19937 random(20261208);
    for (int round = 0; round < 20000; ++round) {
        const std::u16string page = randomPage(random);
        ProtectionOptions options;
        options.encryptionMode = static_cast<EncryptionMode>(round % 4);
        options.scripts[kScriptImageToolbar] = round % 3 == 0;
        options.scripts[kScriptDragDrop] = round % 5 == 0;
        options.scripts[kScriptPrinting] = round % 11 == 0;
        options.insertNotice = round % 7 == 0;
        std::u16string protectedPage = page;
        ProtectPage(protectedPage, options, BuildHeader(options), [](std::u16string_view) { return false; });
        ASSERT_EQ(protectedPage, modelProtect(page, options))
            << "round " << round << ", mode " << (round % 4) << ", page of " << page.size() << " units";
    }
}

TEST(ProtectPageModel, AMailtoAfterManyClosedLinksEncodesThemAll) {
    std::u16string page;
    for (int i = 0; i < 300; ++i) {
        page += u"<p><a href=x>x</a> <a href=\"mailto:a@b\">a</a></p>\n";
    }
    page += u"<script>location='mailto:'+who</script><a href=y>y</a> mailto:z";
    ProtectionOptions options;
    options.encryptionMode = EncryptionMode::EmailLinks;
    std::u16string protectedPage = page;
    ProtectPage(protectedPage, options, BuildHeader(options), [](std::u16string_view) { return false; });
    EXPECT_EQ(protectedPage, modelProtect(page, options));
    EXPECT_EQ(protectedPage.find(u"<a "), std::u16string::npos);
}

} // namespace
} // namespace quillora::engine
