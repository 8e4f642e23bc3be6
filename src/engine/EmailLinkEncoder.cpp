#include "EmailLinkEncoder.h"

#include "ContentEncoding.h"
#include "MarkupScanner.h"

#include <algorithm>
#include <iterator>
#include <list>
#include <optional>
#include <unordered_map>
#include <vector>

namespace quillora::engine {

namespace {

constexpr std::string_view kMailto = "mailto:";
constexpr std::string_view kAnchorOpen = "<a ";
constexpr std::string_view kAnchorClose = "</a>";

// The page as it stands after the replacements so far: pieces of the original text and pieces of new text.
// A "mailto:" outside a link makes the search reach back over the links before it one by one; the pieces let
// that happen without copying the page, and two memos keep each step from searching the same text again:
// which "mailto:" follows a piece, and back to which piece no link stands before a "mailto:".
template <typename Unit> class PieceText {
public:
    using Text = std::basic_string_view<Unit>;

    struct Piece {
        std::size_t id;
        std::size_t begin, end;        // range of the original text, when it is not new text
        std::basic_string<Unit> owned; // new text
        bool isOwned = false;
        std::optional<bool> hasMailto = std::nullopt;
    };
    using Iter = typename std::list<Piece>::iterator;
    struct Position {
        Iter piece;
        std::size_t offset;
    };

    PieceText(Text original, const PageCharset<Unit>& charset)
        : m_original(original), m_charset(charset), m_scanner(original, BasicMarkupScanner<Unit>::Noscript::Markup) {
        addPiece(m_pieces.end(), Piece{0, 0, original.size(), {}, false});
    }

    Position start() { return Position{m_pieces.begin(), 0}; }
    std::optional<Position> findMailto(Position from);
    std::optional<Position> rfindAnchor(Position before);
    std::optional<Position> findAnchorClose(Position from);
    /// Replaces [from, to) by its encoding; returns the position just after the new text.
    Position encode(Position from, Position to);
    /// True when p lies in one of the pieces from `first` through `last`.
    static bool within(Position p, Position first, Position last) {
        for (Iter it = first.piece;; ++it) {
            if (it == p.piece) {
                return true;
            }
            if (it == last.piece) {
                return false;
            }
        }
    }
    /// No link stands before this "mailto:"; nor will one, since the text there only ever loses links.
    void noLinkBefore(Position mailto) { m_floor = mark(mailto); }
    /// No link stands between the start of piece `from` and the "mailto:".
    void noLinkBetween(Position from, Position mailto) { m_linkFree = Span{mark(from), mark(mailto)}; }
    void appendTo(BasicPageBuilder<Unit>& out) const;

private:
    // A position that stays recognisable while pieces come and go.
    struct Mark {
        std::size_t id;
        std::size_t offset;
        bool operator==(const Mark&) const = default;
    };
    struct Span {
        Mark from, to;
    };

    Iter addPiece(Iter before, Piece piece) {
        piece.id = m_nextId++;
        const Iter it = m_pieces.insert(before, std::move(piece));
        m_byId[it->id] = it;
        return it;
    }
    void erasePiece(Iter it) {
        m_byId.erase(it->id);
        m_pieces.erase(it);
    }
    Mark mark(Position p) const { return Mark{p.piece->id, p.offset}; }
    std::optional<Position> find(const Mark& m) const {
        const auto it = m_byId.find(m.id);
        return it == m_byId.end() ? std::nullopt : std::optional<Position>(Position{it->second, m.offset});
    }
    Text view(const Piece& piece) const {
        return piece.isOwned ? Text(piece.owned) : m_original.substr(piece.begin, piece.end - piece.begin);
    }
    std::size_t findIn(const Piece& piece, std::string_view key, std::size_t from);
    std::size_t rfindIn(const Piece& piece, std::string_view key, std::size_t before, std::size_t floor);
    void forgetMarksIn(const std::vector<std::size_t>& ids, const Piece& first, std::size_t offset);

    Text m_original;
    const PageCharset<Unit>& m_charset;
    BasicMarkupScanner<Unit> m_scanner;
    std::list<Piece> m_pieces;
    std::unordered_map<std::size_t, Iter> m_byId;
    std::size_t m_nextId = 0;
    std::optional<Mark> m_floor;       // no link before it
    std::optional<Span> m_mailtoAfter; // no "mailto:" from the start of `from` up to the one at `to`
    std::optional<Span> m_linkFree;    // no link from the start of `from` up to the "mailto:" at `to`
};

template <typename Unit>
std::size_t PieceText<Unit>::findIn(const Piece& piece, std::string_view key, std::size_t from) {
    const Text text = view(piece);
    std::size_t found;
    if (piece.isOwned) {
        found = BasicMarkupScanner<Unit>(text).find(key, from);
    } else {
        found = m_scanner.find(key, piece.begin + from, false, piece.end);
        found = found == kNotFound ? kNotFound : found - piece.begin;
    }
    return found;
}

template <typename Unit>
std::size_t PieceText<Unit>::rfindIn(const Piece& piece, std::string_view key, std::size_t before, std::size_t floor) {
    if (piece.isOwned) {
        const std::size_t found = BasicMarkupScanner<Unit>(Text(piece.owned)).rfind(key, before, floor);
        return found != kNotFound && found + key.size() <= piece.owned.size() ? found : kNotFound;
    }
    const std::size_t found = m_scanner.rfind(key, piece.begin + before, piece.begin + floor);
    return found != kNotFound && found + key.size() <= piece.end ? found - piece.begin : kNotFound;
}

template <typename Unit> auto PieceText<Unit>::findMailto(Position from) -> std::optional<Position> {
    const std::optional<Span> known = m_mailtoAfter;
    std::optional<Position> found;
    for (Iter it = from.piece; it != m_pieces.end() && !found; ++it) {
        const std::size_t start = it == from.piece ? from.offset : 0;
        if (start == 0 && known && it->id == known->from.id) {
            if ((found = find(known->to))) {
                break;
            }
        }
        if (start == 0 && it->hasMailto == false) {
            continue;
        }
        const std::size_t p = findIgnoreCase(view(*it), kMailto, start);
        if (start == 0) {
            it->hasMailto = p != kNotFound;
        }
        if (p != kNotFound) {
            found = Position{it, p};
        }
    }
    m_mailtoAfter.reset();
    if (found && from.offset == 0) {
        m_mailtoAfter = Span{mark(from), mark(*found)};
    }
    return found;
}

template <typename Unit> auto PieceText<Unit>::rfindAnchor(Position before) -> std::optional<Position> {
    Iter it = before.piece;
    std::size_t limit = before.offset;
    if (m_linkFree && m_linkFree->to == mark(before)) {
        // Nothing from the memo's piece up to this "mailto:" can be a link: go on before that piece.
        const auto from = find(m_linkFree->from);
        if (from && from->piece != m_pieces.begin()) {
            it = std::prev(from->piece);
            limit = view(*it).size();
        } else if (from) {
            return std::nullopt;
        }
    }
    for (;; limit = view(*--it).size()) {
        const bool atFloor = m_floor && it->id == m_floor->id;
        const std::size_t floor = atFloor ? m_floor->offset : 0;
        if (limit > floor) {
            if (const std::size_t p = rfindIn(*it, kAnchorOpen, limit, floor); p != kNotFound) {
                return Position{it, p};
            }
        }
        if (atFloor || it == m_pieces.begin()) {
            return std::nullopt;
        }
    }
}

template <typename Unit> auto PieceText<Unit>::findAnchorClose(Position from) -> std::optional<Position> {
    for (Iter it = from.piece; it != m_pieces.end(); ++it) {
        const std::size_t p = findIn(*it, kAnchorClose, it == from.piece ? from.offset : 0);
        if (p != kNotFound && p + kAnchorClose.size() <= view(*it).size()) {
            return Position{it, p};
        }
    }
    return std::nullopt;
}

template <typename Unit>
void PieceText<Unit>::forgetMarksIn(const std::vector<std::size_t>& ids, const Piece& first, std::size_t offset) {
    const auto changed = [&](const Mark& m) {
        return (m.id == first.id && m.offset > offset) ||
               (m.id != first.id && std::find(ids.begin(), ids.end(), m.id) != ids.end());
    };
    if (m_floor && changed(*m_floor)) {
        m_floor.reset();
    }
    // A memo that starts in a changed piece no longer describes the text after its start.
    for (auto* memo : {&m_mailtoAfter, &m_linkFree}) {
        if (*memo && (std::find(ids.begin(), ids.end(), (*memo)->from.id) != ids.end() || changed((*memo)->to))) {
            memo->reset();
        }
    }
}

template <typename Unit> auto PieceText<Unit>::encode(Position from, Position to) -> Position {
    std::basic_string<Unit> span;
    std::vector<std::size_t> changed;
    for (Iter it = from.piece;; ++it) {
        changed.push_back(it->id);
        const Text text = view(*it);
        const std::size_t begin = it == from.piece ? from.offset : 0;
        const std::size_t end = it == to.piece ? to.offset : text.size();
        span += text.substr(begin, end - begin);
        if (it == to.piece) {
            break;
        }
    }
    // The tail after the span becomes a piece of its own; the pieces between go; the first piece keeps only
    // what comes before the span (possibly nothing), so marks in front of the span stay valid.
    const Piece& last = *to.piece;
    Piece tail = last.isOwned ? Piece{0, 0, 0, last.owned.substr(to.offset), true}
                              : Piece{0, last.begin + to.offset, last.end, {}, false};
    forgetMarksIn(changed, *from.piece, from.offset);
    for (Iter it = std::next(from.piece), stop = std::next(to.piece); it != stop;) {
        erasePiece(it++);
    }
    const Iter next = std::next(from.piece);
    if (from.piece->isOwned) {
        from.piece->owned.resize(from.offset);
    } else {
        from.piece->end = from.piece->begin + from.offset;
    }
    from.piece->hasMailto.reset();
    std::basic_string<Unit> encoded;
    AppendEncodedWithScripts(encoded, Text(span), m_charset);
    addPiece(next, Piece{0, 0, 0, std::move(encoded), true});
    if (!view(tail).empty()) {
        addPiece(next, std::move(tail));
    }
    return Position{std::next(from.piece, 2), 0};
}

template <typename Unit> void PieceText<Unit>::appendTo(BasicPageBuilder<Unit>& out) const {
    for (const Piece& piece : m_pieces) {
        if (piece.isOwned) {
            out.append(piece.owned);
        } else {
            out.copy(piece.begin, piece.end);
        }
    }
}

} // namespace

template <typename Unit> void EncodeEmailLinks(std::basic_string_view<Unit> text, BasicPageBuilder<Unit>& out) {
    using Page = PieceText<Unit>;
    Page page(text, out.charset());
    typename Page::Position pos = page.start();
    while (const auto mailto = page.findMailto(pos)) {
        const auto anchor = page.rfindAnchor(*mailto);
        if (!anchor) {
            page.noLinkBefore(*mailto);
            pos = typename Page::Position{mailto->piece, mailto->offset + kMailto.size()};
            continue;
        }
        const auto close = page.findAnchorClose(*anchor);
        if (!close) {
            break;
        }
        // A link closed before the "mailto:" leaves it where it is, and no other link stands between them.
        const bool mailtoStays = !page.within(*mailto, *anchor, *close);
        pos = page.encode(*anchor, typename Page::Position{close->piece, close->offset + kAnchorClose.size()});
        if (mailtoStays) {
            page.noLinkBetween(pos, *mailto);
        }
    }
    page.appendTo(out);
}

template void EncodeEmailLinks(std::u16string_view, BasicPageBuilder<char16_t>&);
template void EncodeEmailLinks(std::string_view, BasicPageBuilder<char>&);

} // namespace quillora::engine
