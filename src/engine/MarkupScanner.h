#pragma once

#include "MarkupRules.h"
#include "TextSearch.h"

#include <cstddef>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

namespace quillora::engine {

/// Finds tag keys in page text the way a browser reads the markup. A key is passed over when it begins where the
/// browser reads no markup (a comment, a bogus comment such as "<?php ... ?>", the text of a raw-text element
/// such as script, style, title or xmp, an attribute value) or markup that is not the page's own: the contents of
/// a template and SVG or MathML drawings (set apart). The text is read from its start, lazily, as far as the
/// searches need. Unit is char16_t for code units, char for the bytes of a page whose set writes every ASCII
/// character as its one byte.
template <typename Unit> class BasicMarkupScanner {
public:
    using Text = std::basic_string_view<Unit>;

    /// How the contents of noscript are read: as the text they are while scripts run, or as the markup that a
    /// browser without scripts shows. Links are looked for in both: a link shown without scripts is hidden too.
    enum class Noscript { Text, Markup };

    explicit BasicMarkupScanner(Text text, Noscript noscript = Noscript::Text) : m_text(text), m_noscript(noscript) {}

    /// The first match of key at or after from, in the page's own markup, that ends by `end`; with wholeName the
    /// next character must end the tag name.
    std::size_t find(std::string_view key, std::size_t from, bool wholeName = false, std::size_t end = kNotFound);
    /// The last match of key in the page's own markup that begins before `before` and not before `floor`.
    std::size_t rfind(std::string_view key, std::size_t before, std::size_t floor = 0);
    /// True when pos lies in the page's own markup.
    bool isMarkup(std::size_t pos);
    /// True when pos lies in markup set apart from the page: a template's contents or a drawing.
    bool isSetApart(std::size_t pos);
    /// The first position from `from` up to `to` where the browser shows something in the page's body: text other
    /// than white space, or the start tag of an element that is not head material; kNotFound when there is none.
    std::size_t firstShown(std::size_t from, std::size_t to);

    /// The ">" that ends the tag starting at tagStart, read as the browser reads attributes.
    static std::size_t tagEnd(Text text, std::size_t tagStart) { return readTag(text, tagStart).end; }

private:
    using Span = std::pair<std::size_t, std::size_t>; // [begin, end)

    /// An open element that changes how what follows is read: a template, an element of a drawing (the root svg or
    /// math first), or an element of a drawing whose contents are HTML again.
    enum class Scope : unsigned char { Template, Svg, Math, HtmlPoint };
    struct OpenElement {
        Scope scope;
        TagName name;
    };

    void scanThrough(std::size_t pos);
    std::size_t scanConstruct(std::size_t lt);
    std::size_t scanBang(std::size_t lt);
    std::size_t startTag(std::size_t lt, const TagExtent& tag, const TagName& name, unsigned roles);
    std::size_t endTag(std::size_t lt, std::size_t gt, const TagName& name);
    std::size_t contentsEnd(std::size_t contentStart, const TagName& name, unsigned roles) const;
    bool inDrawing() const;
    bool fontBreaksOut(std::size_t lt, std::size_t gt) const;
    void open(Scope scope, const TagName& name, std::size_t contentStart);
    void closeTo(std::size_t depth, std::size_t at);
    void leaveDrawing(std::size_t at);
    void skip(std::size_t begin, std::size_t end);
    const Span* skippedAt(std::size_t pos) const;
    std::optional<Span> apartAt(std::size_t pos) const;

    Text m_text;
    Noscript m_noscript;
    std::vector<Span> m_skipped;         // not markup
    std::vector<Span> m_apart;           // markup set apart (the outermost stretches)
    std::vector<OpenElement> m_open;     // templates, drawings and HTML inside drawings, innermost last
    std::size_t m_apartFrom = kNotFound; // where the stretch set apart that is still open began
    std::size_t m_frontier = 0;          // everything before it is classified
};

using MarkupScanner = BasicMarkupScanner<char16_t>;
using ByteMarkupScanner = BasicMarkupScanner<char>;

extern template class BasicMarkupScanner<char16_t>;
extern template class BasicMarkupScanner<char>;

} // namespace quillora::engine
