#include "Doctype.h"

#include "MarkupRules.h"

namespace quillora::engine {

namespace {

template <typename Unit> using Text = std::basic_string_view<Unit>;

template <typename Unit> bool isPassedOver(Unit c) {
    return c == Unit(' ') || c == Unit('\t') || c == Unit('\n') || c == Unit('\f') || c == Unit('\r') || c == Unit(0);
}

template <typename Unit> bool isAsciiLetter(Unit c) {
    return (c >= Unit('a') && c <= Unit('z')) || (c >= Unit('A') && c <= Unit('Z'));
}

/// True when what opens at lt is a bogus comment, which runs to the next ">": "<?", "<!" that begins neither a
/// comment nor a DOCTYPE, "</" not followed by a letter.
template <typename Unit> bool opensBogusComment(Text<Unit> text, std::size_t lt) {
    if (matchesAt(text, "<?", lt))
        return true;
    if (matchesAt(text, "<!", lt))
        return !matchesAt(text, "<!--", lt) && !matchesAt(text, "<!doctype", lt);
    return matchesAt(text, "</", lt) && lt + 2 < text.size() && !isAsciiLetter(text[lt + 2]);
}

} // namespace

template <typename Unit> DoctypeSpan leadingDoctype(std::basic_string_view<Unit> text) {
    std::size_t i = 0;
    while (i < text.size()) {
        if (isPassedOver(text[i])) {
            ++i;
            continue;
        }
        std::size_t end = kNotFound;
        if (matchesAt(text, "<!doctype", i)) {
            const std::size_t gt = findChar(text, Unit('>'), i);
            return gt == kNotFound ? DoctypeSpan{} : DoctypeSpan{i, gt + 1};
        }
        if (matchesAt(text, "<!--", i)) {
            end = commentEnd(text, i);
        } else if (opensBogusComment(text, i)) {
            end = bogusCommentEnd(text, i);
        }
        // A comment never closed runs to the end of the page: no DOCTYPE follows it.
        if (end == kNotFound || end == text.size())
            return {};
        i = end;
    }
    return {};
}

template DoctypeSpan leadingDoctype(std::u16string_view);
template DoctypeSpan leadingDoctype(std::string_view);

} // namespace quillora::engine
