#pragma once

#include "TextSearch.h"

#include <cstddef>
#include <string_view>

// The browser's tokenizer rules, one construct at a time: where a tag, a comment or the text of a raw-text element
// ends when the browser reads it. Each rule reads from a given position of page text (code units, or the bytes of a
// set that writes every ASCII character as its one byte) and needs nothing else.
namespace quillora::engine {

/// Where a tag ends (the position of its ">", kNotFound when it has none) and whether it closes itself ("/>").
struct TagExtent {
    std::size_t end = kNotFound;
    bool selfClosing = false;
};

/// The lower-case name of a tag, kept only while it is short enough to be one of the names that matter.
class TagName {
public:
    static constexpr std::size_t kMaxLength = 15;

    template <typename Unit> static TagName at(std::basic_string_view<Unit> text, std::size_t nameStart);
    std::string_view view() const { return {m_name, m_length}; }
    bool operator==(const TagName& other) const { return view() == other.view(); }

private:
    char m_name[kMaxLength] = {};
    std::size_t m_length = 0;
};

/// What an element's name tells about the text after its start tag and about where it belongs.
enum ElementRole : unsigned {
    kRawText = 1U << 0,       // contents are text up to the end tag (style, xmp, iframe, noembed, noframes, noscript)
    kEscapableText = 1U << 1, // the same, with character references (title, textarea)
    kScriptData = 1U << 2,    // script: text with the escape rules of "<!--"
    kPlainText = 1U << 3,     // plaintext: everything after it is text
    kTemplate = 1U << 4,      // contents belong to the template, not to the page
    kForeignRoot = 1U << 5,   // svg, math: their contents are not HTML
    kBreakout = 1U << 6,      // ends SVG or MathML content (an HTML element that cannot stand inside it)
    kSvgHtmlPoint = 1U << 7,  // inside SVG, contents are HTML again (foreignObject, desc, title)
    kMathHtmlPoint = 1U << 8, // inside MathML, contents are HTML again (mi, mo, mn, ms, mtext)
    kHeadMaterial = 1U << 9,  // shows nothing in the body by itself (head elements, html, head, body, frames)
    kFontBreakout = 1U << 10, // font: a breakout only with a color, face or size attribute
};

/// The roles of an element by its lower-case name (0 for any other name).
unsigned elementRoles(std::string_view name);
/// False when no element whose initial is this lower-case letter changes how HTML after its start tag is read (no
/// raw text, template or drawing): most tags are passed over without looking up their names.
bool mayHaveRoleInHtml(char initial);

/// True for the white space of markup: blank, tab, line feed, form feed, carriage return.
template <typename Unit> constexpr bool isMarkupSpace(Unit c) {
    return c == Unit(' ') || c == Unit('\t') || c == Unit('\n') || c == Unit('\f') || c == Unit('\r');
}

/// The tag that starts at lt ("<" and a letter, or "</" and a letter), read attribute by attribute: a quote
/// opens a value only where a value begins. A quote that is never closed does not hide the tag's end: the first
/// ">" after lt ends it then.
template <typename Unit> TagExtent readTag(std::basic_string_view<Unit> text, std::size_t lt);

/// The position just after the comment that starts at lt with "<!--": after "-->" or "--!>" (an empty "<!-->" and
/// "<!--->" end at once), or the end of the text.
template <typename Unit> std::size_t commentEnd(std::basic_string_view<Unit> text, std::size_t lt);

/// The position just after the bogus comment that starts at lt ("<?", "<!" or "</" and no letter): after its
/// first ">", or the end of the text.
template <typename Unit> std::size_t bogusCommentEnd(std::basic_string_view<Unit> text, std::size_t lt);

/// The position of the end tag "</name" (followed by a blank, "/" or ">") at or after from; the end of the text
/// when there is none. The text of a raw-text or escapable raw-text element runs up to it.
template <typename Unit>
std::size_t rawTextEnd(std::basic_string_view<Unit> text, std::size_t from, std::string_view name);

/// The position of the "</script" that ends a script's text starting at from, with the rules of "<!--" inside
/// scripts: after "<!--" a "<script" makes the next "</script" part of the text, until "-->". The end of the text
/// when there is none.
template <typename Unit> std::size_t scriptDataEnd(std::basic_string_view<Unit> text, std::size_t from);

} // namespace quillora::engine
