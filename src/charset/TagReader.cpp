#include "TagReader.h"

#include <algorithm>
#include <array>

namespace quillora::charset {

namespace {

constexpr std::size_t kNone = std::string_view::npos;

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

bool isLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

char lowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

/// Whether the bytes hold key (lower case) at i, ASCII letters compared without regard to case.
bool holdsAt(std::string_view bytes, std::size_t i, std::string_view key) {
    if (i > bytes.size() || bytes.size() - i < key.size())
        return false;
    for (std::size_t k = 0; k < key.size(); ++k) {
        if (lowerAscii(bytes[i + k]) != key[k])
            return false;
    }
    return true;
}

/// Whether a tag name that ends at i really ends there (a blank, "/", ">" or the end of the bytes follows).
bool endsName(std::string_view bytes, std::size_t i) {
    return i >= bytes.size() || isBlank(bytes[i]) || bytes[i] == '/' || bytes[i] == '>';
}

/// Whether the bytes hold the end tag of the named element at i ("</name" and the end of the name).
bool holdsEndTag(std::string_view bytes, std::size_t i, std::string_view name) {
    return holdsAt(bytes, i, "</") && holdsAt(bytes, i + 2, name) && endsName(bytes, i + 2 + name.size());
}

/// Where the end tag of the named element next stands from a position on; the end of the bytes when nowhere.
std::size_t findEndTag(std::string_view bytes, std::string_view name, std::size_t from) {
    for (std::size_t at = bytes.find("</", from); at != kNone; at = bytes.find("</", at + 1)) {
        if (holdsEndTag(bytes, at, name))
            return at;
    }
    return bytes.size();
}

// The elements whose contents the tokenizer reads as text up to their own end tag. A browser running scripts
// reads noscript so too, but Chromium looks for declarations inside it (Firefox does not): its reading is
// the one followed here, as it is the prescan's.
constexpr std::array<std::string_view, 7> kTextElements = {"title",  "textarea", "style",   "xmp",
                                                           "iframe", "noembed",  "noframes"};

} // namespace

bool TagReader::readAttribute(std::string_view bytes, std::size_t& position, TagAttribute& attribute) {
    const std::size_t size = bytes.size();
    std::size_t& p = position;
    while (p < size && (isBlank(bytes[p]) || bytes[p] == '/'))
        ++p;
    if (p >= size || bytes[p] == '>')
        return false;
    attribute.name.clear();
    attribute.value.clear();
    // The name runs to "=", a blank, "/" or ">"; an "=" that starts it belongs to it.
    for (; p < size; ++p) {
        const char c = bytes[p];
        if (c == '=' && !attribute.name.empty())
            break;
        if (isBlank(c) || c == '/' || c == '>')
            break;
        attribute.name += lowerAscii(c);
    }
    while (p < size && isBlank(bytes[p]))
        ++p;
    if (p >= size)
        return false;
    if (bytes[p] != '=')
        return true; // a name without a value; what stands here begins the next attribute
    ++p;
    while (p < size && isBlank(bytes[p]))
        ++p;
    if (p >= size)
        return false;
    if (bytes[p] == '"' || bytes[p] == '\'') {
        const std::size_t close = bytes.find(bytes[p], p + 1);
        if (close == kNone) {
            p = size;
            return false;
        }
        for (std::size_t i = p + 1; i < close; ++i)
            attribute.value += lowerAscii(bytes[i]);
        p = close + 1;
        return true;
    }
    for (; p < size && !isBlank(bytes[p]) && bytes[p] != '>'; ++p)
        attribute.value += lowerAscii(bytes[p]);
    return p < size;
}

bool TagReader::next(MarkupTag& tag) {
    const std::size_t size = m_bytes.size();
    while (m_position < size) {
        const std::size_t lt = m_bytes.find('<', m_position);
        if (lt == kNone || lt + 1 >= size)
            break;
        const char c = m_bytes[lt + 1];
        if (holdsAt(m_bytes, lt, "<!--")) {
            m_position = afterComment(lt);
            continue;
        }
        const bool endTag = c == '/';
        const std::size_t name = endTag ? lt + 2 : lt + 1;
        if (name >= size || !isLetter(m_bytes[name])) {
            // "<!" and "<?" open a bogus comment (a DOCTYPE reads alike), and so does "</" before anything but a
            // letter, except that "</>" is simply dropped. Any other "<" is text.
            const bool bogus = c == '!' || c == '?' || (endTag && name < size && m_bytes[name] != '>');
            const std::size_t gt = bogus ? m_bytes.find('>', name) : kNone;
            m_position = bogus ? (gt == kNone ? size : gt + 1) : (endTag ? name + 1 : lt + 1);
            continue;
        }
        std::size_t nameEnd = name;
        while (!endsName(m_bytes, nameEnd))
            ++nameEnd;
        tag.at = lt;
        tag.endTag = endTag;
        tag.name.assign(m_bytes.substr(name, nameEnd - name));
        std::transform(tag.name.begin(), tag.name.end(), tag.name.begin(), lowerAscii);
        tag.attributesAt = nameEnd;
        m_position = afterTag(nameEnd);
        if (m_position > size)
            break; // a tag the bytes end inside is no tag
        if (!endTag)
            m_position = afterText(tag, m_position);
        return true;
    }
    m_position = size;
    return false;
}

std::size_t TagReader::afterComment(std::size_t at) const {
    // "<!-->" and "<!--->" are whole comments; any other ends at "-->" or "--!>", with more dashes allowed.
    std::size_t p = at + 4;
    if (holdsAt(m_bytes, p, ">"))
        return p + 1;
    if (holdsAt(m_bytes, p, "->"))
        return p + 2;
    for (std::size_t dashes = m_bytes.find("--", p); dashes != kNone; dashes = m_bytes.find("--", p)) {
        std::size_t q = dashes + 2;
        while (q < m_bytes.size() && m_bytes[q] == '-')
            ++q;
        if (holdsAt(m_bytes, q, ">"))
            return q + 1;
        if (holdsAt(m_bytes, q, "!>"))
            return q + 2;
        p = q; // every "--" inside the run meets the same byte after it
    }
    return m_bytes.size();
}

std::size_t TagReader::afterTag(std::size_t attributes) const {
    std::size_t position = attributes;
    TagAttribute attribute;
    while (readAttribute(m_bytes, position, attribute)) {
    }
    return position < m_bytes.size() ? position + 1 : m_bytes.size() + 1;
}

std::size_t TagReader::afterText(const MarkupTag& tag, std::size_t from) const {
    if (tag.name == "script")
        return afterScript(from);
    if (tag.name == "plaintext")
        return m_bytes.size();
    if (std::find(kTextElements.begin(), kTextElements.end(), tag.name) != kTextElements.end())
        return findEndTag(m_bytes, tag.name, from);
    return from;
}

std::size_t TagReader::afterScript(std::size_t from) const {
    // A script's text ends at "</script", except where "<!--" opened an escaped part in which a nested
    // "<script" hides the next "</script" (until "-->"), as the tokenizer reads it.
    enum class State { Data, Escaped, DoubleEscaped } state = State::Data;
    for (std::size_t i = from; i < m_bytes.size(); ++i) {
        if (m_bytes[i] != '<' && m_bytes[i] != '-')
            continue;
        if (state != State::Data && holdsAt(m_bytes, i, "-->")) {
            state = State::Data;
        } else if (state == State::Data && holdsAt(m_bytes, i, "<!--")) {
            state = State::Escaped;
            i += 1; // the dashes of "<!--" may close it again at once ("<!-->")
        } else if (holdsEndTag(m_bytes, i, "script")) {
            if (state != State::DoubleEscaped)
                return i;
            state = State::Escaped;
        } else if (state == State::Escaped && holdsAt(m_bytes, i, "<script") && endsName(m_bytes, i + 7)) {
            state = State::DoubleEscaped;
        }
    }
    return m_bytes.size();
}

} // namespace quillora::charset
