#pragma once

#include "BuiltInTexts.h"
#include "PageLanguage.h"
#include "PageTitle.h"
#include "UnlockTemplate.h"
#include "charset/PageEncoder.h"
#include "charset/PageEncoding.h"
#include "crypto/PageCipher.h"
#include "crypto/SiteKey.h"
#include "crypto/SiteKeyFile.h"
#include "engine/ProtectionOptions.h"

#include <array>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

namespace quillora::unlock {

/// The texts of the page that asks for the password that the user chose; each one left empty is the unlock page's
/// own in the page's language.
struct UnlockTexts {
    std::u16string prompt;
    std::u16string button;
    std::u16string wrongPassword;
    std::u16string damaged;
};

struct EncryptionSettings {
    std::u16string password;
    int rememberDays = 0; // 0: the browser keeps the key for its session only
    UnlockTexts texts;
    std::optional<UnlockTemplate> pageTemplate;    // the user's own unlock page, else the built-in one
    int iterations = crypto::SiteKey::kIterations; // fewer only where a test must be quick
    // A level's pages: the salt of the site's own key, beside which a browser keeps the level's key.
    std::optional<crypto::SiteKey::Salt> siteSalt;
};

/// What an unlock page this program wrote hands its browser: the salt and rounds of the passwords' keys, the site key's
/// slots (none in pages sealed with the password's key itself, as versions before the site key file wrote them), and
/// the sealed page with its nonce.
struct SealedPage {
    crypto::SiteKey::Salt salt{};
    int iterations = 0;
    std::vector<crypto::KeyWrap::Wrapped> slots;
    std::optional<crypto::SiteKey::Salt> site; // a level's page: the salt of the site's own key
    std::string path; // the page's path in its site, which its sealed bytes are bound to (none before format 2)
    int format = 1;   // 1: the shown page sealed as it is; 2: SealedContent, bound to the path
    crypto::PageCipher::Nonce nonce{};
    std::string sealed; // the ciphertext followed by its tag
};

/// Where a sealed page comes from: its original (the page as its author wrote it, when the page sealed is that
/// page protected; empty: the page sealed is its own original) and its path in the site ('/' between folders),
/// which the sealed bytes are bound to so that a page moved in place of another does not open.
struct PageSource {
    std::optional<std::string_view> original;
    std::string sitePath;
    // Where the unlock page loads the script its site shares (an ASCII address relative to the page; see
    // sharedScriptName); empty: the script stands in the page itself.
    std::string scriptAddress;
};

/// Turns protected pages into unlock pages: a small page in plain ASCII that carries the original's title, language
/// and direction, asks for the password (in the page's language where it is one of the built-in ones) and holds the
/// page sealed with AES-256-GCM (base64) under the site's content key, the content key's slots, and the script that
/// derives the password's key in the browser, unwraps the content key, decrypts the page and replaces the document with
/// it. One per run: every page shares the content key, so that one unlock in a browser opens them all. It encrypts one
/// page at a time (not from two threads at once).
class PageEncryptor {
public:
    /// A fresh site key in memory only (a fresh salt and content key, one slot for the password); refuses an empty
    /// password and a remember count out of range.
    static std::error_code create(const EncryptionSettings& settings, std::unique_ptr<PageEncryptor>& out);
    /// The site's content key (with the salt and rounds of its passwords) and its slots, as its key file keeps them.
    static std::error_code create(const EncryptionSettings& settings, const crypto::SiteKey& content,
                                  const std::vector<crypto::KeyWrap::Wrapped>& slots,
                                  std::unique_ptr<PageEncryptor>& out);

    /// The unlock page for one protected page: page is the protected page's bytes as they would be written
    /// (byte-order mark included), encoding the set they are in, title the content of the original's title
    /// element as written (see pageTitle), notice the notice text when one is chosen (empty otherwise). The
    /// unlock page is written in the page's own set so that the opened page keeps it for its forms, scripts and
    /// style sheets; it is ASCII in every set but UTF-16 (only a notice may hold other characters). policyMeta, an
    /// ASCII META tag of a Content-Security-Policy, goes into the unlock page's head before any script: it must allow
    /// the unlock script and every script of the page it opens in its place. The unlock page takes its language and
    /// direction from the original (source.original, else page).
    std::error_code encrypt(std::string_view page, const charset::PageEncoding& encoding, std::u16string_view title,
                            std::u16string_view notice, std::string& unlockPage, std::string_view policyMeta = {},
                            const PageSource& source = {}) const;

    /// True for a file this class wrote (so that a run does not encrypt it again).
    static bool isUnlockPage(std::string_view bytes);
    /// Reads what an unlock page carries; false for bytes that are not one (or whose data is damaged). Without
    /// withPage only the salt and the rounds are read.
    static bool readSealed(std::string_view bytes, SealedPage& out, bool withPage = true);
    /// True when the key opens the sealed page (its tag matches): the page was encrypted with this key.
    static bool opens(const crypto::SiteKey& key, const SealedPage& page);
    /// The page a browser shows and the page's original, opened with the key; false when the key does not open it
    /// or what it holds is damaged. A page of format 1 holds only the page shown, which stands for its original too.
    static bool openContent(const crypto::SiteKey& key, const SealedPage& page, std::string& shown,
                            std::string& original);
    /// The key a password's derived key opens the page with: through one of the page's slots, or the derived key
    /// itself for a page without slots. False when it does not open the page.
    static bool keyFor(const crypto::SiteKey& derived, const SealedPage& page, crypto::SiteKey& key);

    /// The salt and rounds of the run's key, which its unlock pages name (the key itself stays in the cipher).
    const crypto::SiteKey::Salt& salt() const { return m_salt; }
    int iterations() const { return m_iterations; }

    /// The run's content key: an incremental copy checks a later run's key against it.
    const crypto::SiteKey& key() const { return m_key; }

private:
    PageEncryptor(const EncryptionSettings& settings, const crypto::SiteKey& key,
                  const std::vector<crypto::KeyWrap::Wrapped>& slots);

    /// What the unlock page takes over from the protected page so that a browser reads and shows the opened
    /// page as it would the protected page itself: its DOCTYPE (none: quirks mode) and its set's declaration.
    struct Preamble {
        std::string doctype;
        bool declare = false;
        std::string_view label;
    };
    static Preamble preambleOf(std::string_view page, const charset::PageEncoding& encoding);
    void appendAscii(std::string& out, const Preamble& preamble, const PageLanguage& language,
                     std::u16string_view title, std::string_view page, std::string_view policyMeta,
                     const PageSource& source, std::error_code& error) const;

    /// One language's unlock page around its data: `before` after the character set up to the end of the page's
    /// notes, `dataStart` up to the set's name in the page's data, `after` from the end of the unlock script on.
    struct Layout {
        std::vector<UnlockTemplate::Piece> before; // up to the page's notes
        std::string dataStart;                     // from there up to the set's name in the page's data
        std::vector<UnlockTemplate::Piece> after;
    };
    static constexpr std::size_t kLanguages = kBuiltInLanguageCount;
    void buildLayout(Layout& layout, const EncryptionSettings& settings, std::size_t language,
                     std::string_view dataStart) const;
    static void appendPieces(std::string& out, const std::vector<UnlockTemplate::Piece>& pieces,
                             std::u16string_view title, const PageLanguage& language);

    crypto::SiteKey m_key;
    crypto::PageCipher m_cipher;
    crypto::SiteKey::Salt m_salt{};
    int m_iterations = 0;
    std::array<Layout, kLanguages> m_layouts; // in the order of builtInLanguages()
};

/// Plain text (a title the user typed) as a title element's content, its "&" written as a reference so that it
/// reads as typed.
std::u16string titleMarkup(std::u16string_view text);

/// A notice text made safe inside "<!-- " and "-->": each ">" that would end the comment early (in "-->" or
/// "--!>") gets a blank put before it, so the notice still reads as written.
std::u16string commentSafe(std::u16string_view text);

} // namespace quillora::unlock
