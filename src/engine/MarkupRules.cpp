#include "MarkupRules.h"

#include <algorithm>
#include <array>
#include <iterator>
#include <type_traits>
#include <utility>

namespace quillora::engine {

namespace {

template <typename Unit> using Text = std::basic_string_view<Unit>;

constexpr unsigned kBreakoutHead = kBreakout | kHeadMaterial;

// Sorted by name, for a binary search.
constexpr std::pair<std::string_view, unsigned> kRoles[] = {
    {"b", kBreakout},
    {"base", kHeadMaterial},
    {"basefont", kHeadMaterial},
    {"bgsound", kHeadMaterial},
    {"big", kBreakout},
    {"blockquote", kBreakout},
    {"body", kBreakoutHead},
    {"br", kBreakout},
    {"center", kBreakout},
    {"code", kBreakout},
    {"dd", kBreakout},
    {"desc", kSvgHtmlPoint},
    {"div", kBreakout},
    {"dl", kBreakout},
    {"dt", kBreakout},
    {"em", kBreakout},
    {"embed", kBreakout},
    {"font", kFontBreakout},
    {"foreignobject", kSvgHtmlPoint},
    {"frame", kHeadMaterial},
    {"frameset", kHeadMaterial},
    {"h1", kBreakout},
    {"h2", kBreakout},
    {"h3", kBreakout},
    {"h4", kBreakout},
    {"h5", kBreakout},
    {"h6", kBreakout},
    {"head", kBreakoutHead},
    {"hr", kBreakout},
    {"html", kHeadMaterial},
    {"i", kBreakout},
    {"iframe", kRawText},
    {"img", kBreakout},
    {"li", kBreakout},
    {"link", kHeadMaterial},
    {"listing", kBreakout},
    {"math", kForeignRoot},
    {"menu", kBreakout},
    {"meta", kBreakoutHead},
    {"mi", kMathHtmlPoint},
    {"mn", kMathHtmlPoint},
    {"mo", kMathHtmlPoint},
    {"ms", kMathHtmlPoint},
    {"mtext", kMathHtmlPoint},
    {"nobr", kBreakout},
    {"noembed", kRawText},
    {"noframes", kRawText | kHeadMaterial},
    {"noscript", kRawText | kHeadMaterial},
    {"ol", kBreakout},
    {"p", kBreakout},
    {"plaintext", kPlainText},
    {"pre", kBreakout},
    {"ruby", kBreakout},
    {"s", kBreakout},
    {"script", kScriptData | kHeadMaterial},
    {"small", kBreakout},
    {"span", kBreakout},
    {"strike", kBreakout},
    {"strong", kBreakout},
    {"style", kRawText | kHeadMaterial},
    {"sub", kBreakout},
    {"sup", kBreakout},
    {"svg", kForeignRoot},
    {"table", kBreakout},
    {"template", kTemplate | kHeadMaterial},
    {"textarea", kEscapableText},
    {"title", kEscapableText | kHeadMaterial | kSvgHtmlPoint},
    {"tt", kBreakout},
    {"u", kBreakout},
    {"ul", kBreakout},
    {"var", kBreakout},
    {"xmp", kRawText},
};

constexpr bool rolesSorted() {
    for (std::size_t i = 1; i < std::size(kRoles); ++i) {
        if (!(kRoles[i - 1].first < kRoles[i].first)) {
            return false;
        }
    }
    return true;
}
static_assert(rolesSorted(), "the names of one initial stand together");

/// The names of each initial letter: [begin, end) in kRoles.
struct InitialRange {
    unsigned char begin = 0;
    unsigned char end = 0;
};

constexpr std::array<InitialRange, 26> rangesByInitial() {
    std::array<InitialRange, 26> ranges{};
    for (std::size_t i = 0; i < std::size(kRoles); ++i) {
        InitialRange& range = ranges[static_cast<std::size_t>(kRoles[i].first[0] - 'a')];
        if (range.end == 0) {
            range.begin = static_cast<unsigned char>(i);
        }
        range.end = static_cast<unsigned char>(i + 1);
    }
    return ranges;
}

constexpr std::array<InitialRange, 26> kByInitial = rangesByInitial();

template <typename Unit> bool endsTagNameHere(Text<Unit> text, std::size_t pos) {
    return pos < text.size() && (isMarkupSpace(text[pos]) || text[pos] == Unit('/') || text[pos] == Unit('>'));
}

template <typename Unit> std::size_t skipSpace(Text<Unit> text, std::size_t i) {
    while (i < text.size() && isMarkupSpace(text[i])) {
        ++i;
    }
    return i;
}

/// True when "<" + name (or "</" + name when closing) stands at p as a whole tag name.
template <typename Unit> bool tagOf(Text<Unit> text, std::size_t p, std::string_view name, bool closing) {
    if (closing && (p + 1 >= text.size() || text[p + 1] != Unit('/'))) {
        return false;
    }
    const std::size_t at = p + (closing ? 2 : 1);
    return matchesAt(text, name, at) && endsTagNameHere(text, at + name.size());
}

/// True when "--" stands just before the ">" at p, both dashes at or after `floor`.
template <typename Unit> bool dashesBefore(Text<Unit> text, std::size_t p, std::size_t floor) {
    return p >= floor + 2 && text[p - 1] == Unit('-') && text[p - 2] == Unit('-');
}

} // namespace

unsigned elementRoles(std::string_view name) {
    if (name.empty() || name[0] < 'a' || name[0] > 'z') {
        return 0;
    }
    const InitialRange range = kByInitial[static_cast<std::size_t>(name[0] - 'a')];
    for (std::size_t i = range.begin; i < range.end; ++i) {
        if (kRoles[i].first.size() == name.size() && kRoles[i].first == name) {
            return kRoles[i].second;
        }
    }
    return 0;
}

bool mayHaveRoleInHtml(char initial) {
    // script, style, svg, textarea, title, template, xmp, iframe, noembed, noframes, noscript, plaintext, math
    switch (initial) {
    case 's':
    case 't':
    case 'x':
    case 'i':
    case 'n':
    case 'p':
    case 'm':
        return true;
    default:
        return false;
    }
}

template <typename Unit> TagName TagName::at(std::basic_string_view<Unit> text, std::size_t nameStart) {
    TagName name;
    for (std::size_t i = nameStart; i < text.size() && !endsTagNameHere(text, i); ++i) {
        const auto c = static_cast<std::make_unsigned_t<Unit>>(asciiLower(text[i]));
        if (name.m_length == kMaxLength || c == 0 || c > 127) {
            name.m_length = 0; // too long, or not ASCII: none of the names that matter
            return name;
        }
        name.m_name[name.m_length++] = static_cast<char>(c);
    }
    return name;
}

template <typename Unit> TagExtent readTag(std::basic_string_view<Unit> text, std::size_t lt) {
    // Most tags hold no quote: their first ">" ends them wherever it stands.
    const std::size_t gt = findChar(text, Unit('>'), lt + 1);
    if (gt != kNotFound && text[gt - 1] != Unit('/') &&
        findEither(text.substr(0, gt), Unit('"'), Unit('\''), lt + 1) == kNotFound) {
        return {gt, false};
    }
    const std::size_t n = text.size();
    std::size_t i = lt + 1;
    if (i < n && text[i] == Unit('/')) {
        ++i;
    }
    while (i < n && !endsTagNameHere(text, i)) {
        ++i;
    }
    bool slash = false;
    while (i < n) {
        const Unit c = text[i];
        if (isMarkupSpace(c) || c == Unit('/')) {
            slash = c == Unit('/');
            ++i;
            continue;
        }
        if (c == Unit('>')) {
            return {i, slash};
        }
        slash = false;
        // An attribute's name: its first character may be anything, "=" and quotes included.
        for (++i; i < n && !endsTagNameHere(text, i) && text[i] != Unit('='); ++i) {
        }
        i = skipSpace(text, i);
        if (i >= n || text[i] != Unit('=')) {
            continue;
        }
        i = skipSpace(text, i + 1);
        if (i < n && (text[i] == Unit('"') || text[i] == Unit('\''))) {
            const std::size_t close = findChar(text, text[i], i + 1);
            if (close == kNotFound) {
                return {findChar(text, Unit('>'), lt), false};
            }
            i = close + 1;
            continue;
        }
        // An unquoted value: quotes and "=" in it are part of it.
        while (i < n && !isMarkupSpace(text[i]) && text[i] != Unit('>')) {
            ++i;
        }
    }
    return {};
}

template <typename Unit> std::size_t commentEnd(std::basic_string_view<Unit> text, std::size_t lt) {
    const std::size_t dashes = findIgnoreCase(text, "-->", lt + 2);
    const std::size_t bang = findIgnoreCase(text, "--!>", lt + 4);
    const std::size_t end =
        std::min(dashes == kNotFound ? kNotFound : dashes + 3, bang == kNotFound ? kNotFound : bang + 4);
    return end == kNotFound ? text.size() : end;
}

template <typename Unit> std::size_t bogusCommentEnd(std::basic_string_view<Unit> text, std::size_t lt) {
    const std::size_t gt = findChar(text, Unit('>'), lt + 2);
    return gt == kNotFound ? text.size() : gt + 1;
}

template <typename Unit>
std::size_t rawTextEnd(std::basic_string_view<Unit> text, std::size_t from, std::string_view name) {
    char key[2 + TagName::kMaxLength] = {'<', '/'};
    std::copy(name.begin(), name.end(), key + 2);
    const std::string_view close(key, 2 + name.size());
    for (std::size_t p = findIgnoreCase(text, close, from); p != kNotFound; p = findIgnoreCase(text, close, p + 1)) {
        if (endsTagNameHere(text, p + close.size())) {
            return p;
        }
    }
    return text.size();
}

template <typename Unit> std::size_t scriptDataEnd(std::basic_string_view<Unit> text, std::size_t from) {
    enum { Plain, Escaped, DoubleEscaped } state = Plain;
    std::size_t dashFloor = from; // dashes before it belong to what came before
    for (std::size_t i = from;;) {
        if (state == Plain) {
            const std::size_t p = findChar(text, Unit('<'), i);
            if (p == kNotFound) {
                return text.size();
            }
            if (tagOf(text, p, "script", true)) {
                return p;
            }
            if (matchesAt(text, "<!--", p)) {
                state = Escaped;
                dashFloor = p + 2; // "<!-->" ends the escape at once
                i = p + 4;
            } else {
                i = p + 1;
            }
            continue;
        }
        const std::size_t p = findEither(text, Unit('<'), Unit('>'), i);
        if (p == kNotFound) {
            return text.size();
        }
        i = p + 1;
        if (text[p] == Unit('>')) {
            if (dashesBefore(text, p, dashFloor)) {
                state = Plain;
            }
        } else if (state == Escaped && tagOf(text, p, "script", true)) {
            return p;
        } else if (state == Escaped && tagOf(text, p, "script", false)) {
            state = DoubleEscaped;
            i = dashFloor = p + 8; // the name and the character that ends it
        } else if (state == DoubleEscaped && tagOf(text, p, "script", true)) {
            state = Escaped;
            i = dashFloor = p + 9;
        }
    }
}

template TagName TagName::at(std::u16string_view, std::size_t);
template TagName TagName::at(std::string_view, std::size_t);
template TagExtent readTag(std::u16string_view, std::size_t);
template TagExtent readTag(std::string_view, std::size_t);
template std::size_t commentEnd(std::u16string_view, std::size_t);
template std::size_t commentEnd(std::string_view, std::size_t);
template std::size_t bogusCommentEnd(std::u16string_view, std::size_t);
template std::size_t bogusCommentEnd(std::string_view, std::size_t);
template std::size_t rawTextEnd(std::u16string_view, std::size_t, std::string_view);
template std::size_t rawTextEnd(std::string_view, std::size_t, std::string_view);
template std::size_t scriptDataEnd(std::u16string_view, std::size_t);
template std::size_t scriptDataEnd(std::string_view, std::size_t);

} // namespace quillora::engine
