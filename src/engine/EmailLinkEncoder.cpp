#include "EmailLinkEncoder.h"

#include "ContentEncoding.h"
#include "MarkupScanner.h"

#include <memory>
#include <optional>
#include <vector>

namespace quillora::engine {

namespace {

constexpr std::u16string_view kMailto = u"mailto:";
constexpr std::u16string_view kAnchorOpen = u"<a ";
constexpr std::u16string_view kAnchorClose = u"</a>";

// The page as it stands after the replacements so far: pieces of the original text and pieces of new text.
// A search that reaches back into text already handled sees it as it now is, without copying the page.
class PieceText {
public:
    struct Position {
        std::size_t piece;
        std::size_t offset;
        auto operator<=>(const Position&) const = default;
    };

    explicit PieceText(std::u16string_view original) : m_original(original), m_originalScanner(original) {
        m_pieces.push_back(Piece{0, original.size(), nullptr});
    }

    std::optional<Position> findMailto(Position from);
    /// The nearest link before `before` and not before floor.
    std::optional<Position> rfindAnchor(Position before, Position floor);
    std::optional<Position> findAnchorClose(Position from);
    /// Replaces [from, to) by its encoding; returns the position just after the new text.
    Position encode(Position from, Position to);
    void appendTo(PageBuilder& out) const;

private:
    struct Piece {
        std::size_t begin, end;                // range of the original text, when owned is null
        std::shared_ptr<std::u16string> owned; // new text
        std::optional<bool> hasMailto = std::nullopt;
    };

    std::u16string_view view(const Piece& piece) const {
        return piece.owned ? std::u16string_view(*piece.owned)
                           : m_original.substr(piece.begin, piece.end - piece.begin);
    }
    std::optional<std::size_t> findMarkup(std::size_t piece, std::u16string_view key, std::size_t from);
    std::optional<std::size_t> rfindMarkup(std::size_t piece, std::u16string_view key, std::size_t before,
                                           std::size_t floor);
    Piece slice(const Piece& piece, std::size_t from, std::size_t to) const;

    std::u16string_view m_original;
    MarkupScanner m_originalScanner;
    std::vector<Piece> m_pieces;
};

std::optional<PieceText::Position> PieceText::findMailto(Position from) {
    for (std::size_t i = from.piece; i < m_pieces.size(); ++i) {
        Piece& piece = m_pieces[i];
        const std::size_t start = i == from.piece ? from.offset : 0;
        if (start == 0 && piece.hasMailto == false) {
            continue;
        }
        const std::size_t p = findIgnoreCase(view(piece), kMailto, start);
        if (start == 0) {
            piece.hasMailto = p != kNotFound;
        }
        if (p != kNotFound) {
            return Position{i, p};
        }
    }
    return std::nullopt;
}

std::optional<std::size_t> PieceText::findMarkup(std::size_t piece, std::u16string_view key, std::size_t from) {
    const Piece& p = m_pieces[piece];
    const std::u16string_view text = view(p);
    std::size_t found;
    if (p.owned) {
        found = MarkupScanner(text).find(key, from);
    } else {
        found = m_originalScanner.find(key, p.begin + from, false, p.end);
        found = found == kNotFound ? kNotFound : found - p.begin;
    }
    if (found == kNotFound || found + key.size() > text.size()) {
        return std::nullopt;
    }
    return found;
}

std::optional<std::size_t> PieceText::rfindMarkup(std::size_t piece, std::u16string_view key, std::size_t before,
                                                  std::size_t floor) {
    const Piece& p = m_pieces[piece];
    const std::u16string_view text = view(p);
    std::size_t found;
    if (p.owned) {
        found = MarkupScanner(text).rfind(key, before, floor);
    } else {
        found = m_originalScanner.rfind(key, p.begin + before, p.begin + floor);
        found = found == kNotFound ? kNotFound : found - p.begin;
    }
    if (found == kNotFound || found + key.size() > text.size()) {
        return std::nullopt;
    }
    return found;
}

std::optional<PieceText::Position> PieceText::rfindAnchor(Position before, Position floor) {
    for (std::size_t i = before.piece + 1; i-- > floor.piece;) {
        const std::size_t limit = i == before.piece ? before.offset : view(m_pieces[i]).size();
        if (const auto p = rfindMarkup(i, kAnchorOpen, limit, i == floor.piece ? floor.offset : 0)) {
            return Position{i, *p};
        }
    }
    return std::nullopt;
}

std::optional<PieceText::Position> PieceText::findAnchorClose(Position from) {
    for (std::size_t i = from.piece; i < m_pieces.size(); ++i) {
        if (const auto p = findMarkup(i, kAnchorClose, i == from.piece ? from.offset : 0)) {
            return Position{i, *p};
        }
    }
    return std::nullopt;
}

PieceText::Piece PieceText::slice(const Piece& piece, std::size_t from, std::size_t to) const {
    if (piece.owned) {
        return Piece{0, 0, std::make_shared<std::u16string>(piece.owned->substr(from, to - from))};
    }
    return Piece{piece.begin + from, piece.begin + to, nullptr};
}

PieceText::Position PieceText::encode(Position from, Position to) {
    std::u16string span;
    for (std::size_t i = from.piece; i <= to.piece; ++i) {
        const std::u16string_view text = view(m_pieces[i]);
        const std::size_t begin = i == from.piece ? from.offset : 0;
        const std::size_t end = i == to.piece ? to.offset : text.size();
        span += text.substr(begin, end - begin);
    }
    std::vector<Piece> replacement;
    if (from.offset > 0) {
        replacement.push_back(slice(m_pieces[from.piece], 0, from.offset));
    }
    replacement.push_back(Piece{0, 0, std::make_shared<std::u16string>(EncodeWithScripts(span))});
    const std::size_t encoded = from.piece + replacement.size() - 1;
    const std::size_t tailSize = view(m_pieces[to.piece]).size();
    if (to.offset < tailSize) {
        replacement.push_back(slice(m_pieces[to.piece], to.offset, tailSize));
    }
    const auto first = m_pieces.begin() + static_cast<std::ptrdiff_t>(from.piece);
    m_pieces.erase(first, first + static_cast<std::ptrdiff_t>(to.piece - from.piece + 1));
    m_pieces.insert(m_pieces.begin() + static_cast<std::ptrdiff_t>(from.piece), replacement.begin(), replacement.end());
    return Position{encoded + 1, 0};
}

void PieceText::appendTo(PageBuilder& out) const {
    for (const Piece& piece : m_pieces) {
        if (piece.owned) {
            out.append(*piece.owned);
        } else {
            out.copy(piece.begin, piece.end);
        }
    }
}

} // namespace

void EncodeEmailLinks(std::u16string_view text, PageBuilder& out) {
    PieceText page(text);
    // Nothing before this position can hold a link: the text there only ever loses links.
    PieceText::Position noLinkBefore{0, 0};
    PieceText::Position pos{0, 0};
    while (const auto mailto = page.findMailto(pos)) {
        const auto anchor = page.rfindAnchor(*mailto, noLinkBefore);
        if (!anchor) {
            noLinkBefore = std::max(noLinkBefore, *mailto);
            pos = PieceText::Position{mailto->piece, mailto->offset + kMailto.size()};
            continue;
        }
        const auto close = page.findAnchorClose(*anchor);
        if (!close) {
            break;
        }
        pos = page.encode(*anchor, PieceText::Position{close->piece, close->offset + kAnchorClose.size()});
    }
    page.appendTo(out);
}

} // namespace quillora::engine
