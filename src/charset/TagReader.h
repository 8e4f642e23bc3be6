#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace quillora::charset {

/// One attribute of a tag as the character-set prescan reads it: name and value in ASCII lower case.
struct TagAttribute {
    std::string name;
    std::string value;
};

/// A start or end tag met in page bytes.
struct MarkupTag {
    std::size_t at = 0; // where its "<" stands
    bool endTag = false;
    std::string name;             // in ASCII lower case
    std::size_t attributesAt = 0; // the first byte after the name
};

/// Page bytes (in a set that writes ASCII as ASCII) read tag by tag the way a browser's tokenizer reads them
/// while it looks for a character-set declaration: comments end where browsers end them, bogus comments and
/// DOCTYPEs at their ">", and the text of the raw-text elements (script, style, title, textarea, ...) is passed
/// over, so that a META tag inside any of them is none. Attributes are read as the prescan reads them.
class TagReader {
public:
    explicit TagReader(std::string_view bytes) : m_bytes(bytes) {}

    /// The next tag; false at the end of the bytes.
    bool next(MarkupTag& tag);

    /// Reads the attribute at position, which moves past it; false when the tag ends there instead (position then
    /// stands at its ">" or at the end of the bytes).
    static bool readAttribute(std::string_view bytes, std::size_t& position, TagAttribute& attribute);

private:
    std::size_t afterComment(std::size_t at) const;
    std::size_t afterTag(std::size_t attributes) const;
    std::size_t afterText(const MarkupTag& tag, std::size_t from) const;
    std::size_t afterScript(std::size_t from) const;

    std::string_view m_bytes;
    std::size_t m_position = 0;
};

} // namespace quillora::charset
