#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace quillora::unlock {

/// The user's own unlock page: HTML in UTF-8 with placeholders that each unlock page fills in.
///   {{form}}  (required, once) the password form, with the notes for browsers that cannot open the page
///   {{title}} (required) the page's title, as its title element has it
///   {{lang}}  the page's language tag (empty when it names none), {{dir}} its direction ("ltr" when it names none)
/// Everything up to and including the template's head start tag gives way to the unlock page's own beginning (the
/// page's DOCTYPE, an html tag with its lang and dir, the marker, the policy and the set's declaration); without a
/// head tag the whole template follows that beginning. The page's data and the unlock script go before the last
/// body end tag, or at the end. The unlock page is written in each page's own set, so every character outside
/// ASCII becomes a character reference; where a reference would not read as the character (inside a style element)
/// the template is refused, as is one that holds a script or an event handler attribute (the unlock page runs its
/// own script only, and under a strict policy nothing else), sets a Content-Security-Policy (which would refuse the
/// unlock script) or declares a character set of its own.
class UnlockTemplate {
public:
    enum class Slot { None, Title, Form, Lang, Dir, Data };
    /// Text in ASCII, then what goes after it.
    struct Piece {
        std::string text;
        Slot slot = Slot::None;
    };

    /// Reads the template; on refusal returns why, in words that follow "The unlock template ... cannot be used: ".
    static std::string read(std::string_view utf8, UnlockTemplate& out);

    const std::vector<Piece>& pieces() const { return m_pieces; }

private:
    std::vector<Piece> m_pieces;
};

} // namespace quillora::unlock
