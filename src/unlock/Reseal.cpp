#include "Reseal.h"

#include "UnlockPage.h"
#include "crypto/Base64.h"
#include "crypto/PageCipher.h"
#include "crypto/SecretMemory.h"

#include <algorithm>
#include <optional>

namespace quillora::unlock {

namespace {

constexpr std::string_view kDataTag = "<script type=\"application/json\" id=\"qv-data\">";

/// A piece of the page's text, counted in characters (code units of a UTF-16 page).
struct Span {
    std::size_t begin = 0;
    std::size_t end = 0;
};

/// Where the data an unlock page carries stand, and the page's associated data.
struct Layout {
    Span head;  // from the data's "{" to the end of the slots (or of the rounds, in a page without slots)
    Span page;  // the sealed page's base64
    Span nonce; // the nonce's base64
    std::string associated;
};

/// The page as characters: the bytes themselves, or each UTF-16 code unit as one byte ("?" beyond ASCII, where
/// the data never stand).
class Characters {
public:
    explicit Characters(std::string_view bytes) : m_bytes(bytes) {
        m_wide = bytes.starts_with("\xFF\xFE") || bytes.starts_with("\xFE\xFF");
        m_bigEndian = bytes.starts_with("\xFE\xFF");
        if (!m_wide)
            return;
        m_narrowed.reserve(bytes.size() / 2);
        for (std::size_t at = 2; at + 1 < bytes.size(); at += 2) {
            const auto first = static_cast<unsigned char>(bytes[at]);
            const auto second = static_cast<unsigned char>(bytes[at + 1]);
            const unsigned unit = m_bigEndian ? (first << 8) | second : (second << 8) | first;
            m_narrowed += unit < 0x80 ? static_cast<char>(unit) : '?';
        }
    }

    std::string_view text() const { return m_wide ? std::string_view(m_narrowed) : m_bytes; }
    /// The byte where a character starts.
    std::size_t byteAt(std::size_t character) const { return m_wide ? 2 + character * 2 : character; }
    /// ASCII text as the page's bytes.
    void append(std::string& out, std::string_view ascii) const {
        if (!m_wide) {
            out += ascii;
            return;
        }
        for (const char c : ascii) {
            out += m_bigEndian ? '\0' : c;
            out += m_bigEndian ? c : '\0';
        }
    }

private:
    std::string_view m_bytes;
    std::string m_narrowed;
    bool m_wide = false;
    bool m_bigEndian = false;
};

/// The end of the JSON string that starts at text[at] (its closing quote's position), or npos.
std::size_t stringEnd(std::string_view text, std::size_t at) {
    for (std::size_t i = at + 1; i < text.size(); ++i) {
        if (text[i] == '\\')
            ++i;
        else if (text[i] == '"')
            return i;
    }
    return std::string_view::npos;
}

/// The value of `,"name":"..."` within data (an offset into text), without reading what it means.
std::optional<Span> fieldValue(std::string_view text, Span data, std::string_view name) {
    const std::string key = ",\"" + std::string(name) + "\":\"";
    const std::size_t at = text.substr(data.begin, data.end - data.begin).find(key);
    if (at == std::string_view::npos)
        return std::nullopt;
    const std::size_t quote = data.begin + at + key.size() - 1;
    const std::size_t end = stringEnd(text, quote);
    if (end == std::string_view::npos || end >= data.end)
        return std::nullopt;
    return Span{quote + 1, end};
}

bool locate(std::string_view text, Layout& layout) {
    const std::size_t tag = text.find(kDataTag);
    if (tag == std::string_view::npos)
        return false;
    const std::size_t begin = tag + kDataTag.size();
    const std::size_t end = text.find("</script>", begin);
    if (end == std::string_view::npos)
        return false;
    const Span data{begin, end};
    constexpr std::string_view kRounds = ",\"iterations\":";
    const std::size_t rounds = text.find(kRounds, begin);
    if (rounds == std::string_view::npos || rounds >= end)
        return false;
    std::size_t headEnd = text.find_first_not_of("0123456789", rounds + kRounds.size());
    constexpr std::string_view kSlots = ",\"slots\":[";
    if (headEnd != std::string_view::npos && text.substr(headEnd, kSlots.size()) == kSlots) {
        headEnd = text.find(']', headEnd);
        if (headEnd != std::string_view::npos)
            ++headEnd;
    }
    const auto page = fieldValue(text, data, "page");
    const auto nonce = fieldValue(text, data, "iv");
    if (headEnd == std::string_view::npos || headEnd >= end || !page || !nonce || page->begin < headEnd ||
        nonce->begin < page->end)
        return false;
    layout.head = {begin, headEnd};
    layout.page = *page;
    layout.nonce = *nonce;
    return true;
}

std::string base64Of(const unsigned char* bytes, std::size_t size) {
    return crypto::toBase64(std::string_view(reinterpret_cast<const char*>(bytes), size));
}

/// The data's start for the target: salt, rounds and slots, as the unlock page writes them.
std::string headOf(const ResealTarget& target) {
    std::string head = "{\"salt\":\"";
    head += base64Of(target.content.salt().data(), target.content.salt().size());
    head += "\",\"iterations\":" + std::to_string(target.content.iterations());
    head += ",\"slots\":[";
    for (std::size_t i = 0; i < target.slots.size(); ++i) {
        head += i == 0 ? "\"" : ",\"";
        head += base64Of(target.slots[i].data(), target.slots[i].size());
        head += '"';
    }
    head += ']';
    return head;
}

/// Wipes the opened page when it goes, however the sealing ends.
struct Plain {
    std::string text;
    ~Plain() { crypto::wipe(text); }
};

} // namespace

Reseal::Outcome Reseal::reseal(std::string_view page, const crypto::SiteKey& oldKey, const ResealTarget& target,
                               std::string& out, std::error_code& error) {
    error.clear();
    out.clear();
    if (!PageEncryptor::isUnlockPage(page))
        return Outcome::NotUnlockPage;
    const Characters characters(page);
    const std::string_view text = characters.text();
    Layout layout;
    std::string sealed;
    std::string nonceBytes;
    crypto::PageCipher::Nonce nonce{};
    // The page's associated data is its path, as the unlock page reads it (none before pages were bound to it).
    SealedPage read;
    if (!PageEncryptor::readSealed(page, read))
        return Outcome::Damaged;
    if (!locate(text, layout) ||
        !crypto::fromBase64(text.substr(layout.page.begin, layout.page.end - layout.page.begin), sealed) ||
        !crypto::fromBase64(text.substr(layout.nonce.begin, layout.nonce.end - layout.nonce.begin), nonceBytes) ||
        nonceBytes.size() != nonce.size())
        return Outcome::Damaged;
    std::copy(nonceBytes.begin(), nonceBytes.end(), nonce.begin());
    layout.associated = read.path;
    Plain plain;
    if (crypto::PageCipher(oldKey.key()).open(sealed, nonce, layout.associated, plain.text))
        return Outcome::OtherKey;

    std::string newPage;
    std::string newNonce;
    const bool sameKey = oldKey.key() == target.content.key();
    if (!sameKey) {
        if ((error = crypto::SiteKey::randomBytes(nonce)))
            return Outcome::Failed;
        crypto::Base64Writer base64(newPage);
        error = crypto::PageCipher(target.content.key())
                    .seal(plain.text, nonce, layout.associated,
                          [&base64](std::string_view piece) { base64.append(piece); });
        if (error)
            return Outcome::Failed;
        base64.finish();
        newNonce = base64Of(nonce.data(), nonce.size());
    }

    const auto bytesBetween = [&](std::size_t from, std::size_t to) {
        out.append(page.substr(characters.byteAt(from), characters.byteAt(to) - characters.byteAt(from)));
    };
    out.reserve(page.size() + 256);
    out.append(page.substr(0, characters.byteAt(layout.head.begin)));
    characters.append(out, headOf(target));
    if (sameKey) {
        bytesBetween(layout.head.end, text.size());
    } else {
        bytesBetween(layout.head.end, layout.page.begin);
        characters.append(out, newPage);
        bytesBetween(layout.page.end, layout.nonce.begin);
        characters.append(out, newNonce);
        bytesBetween(layout.nonce.end, text.size());
    }
    // A UTF-16 page's odd last byte, if any, stays too.
    out.append(page.substr(std::min(page.size(), characters.byteAt(text.size()))));
    return Outcome::Resealed;
}

} // namespace quillora::unlock
