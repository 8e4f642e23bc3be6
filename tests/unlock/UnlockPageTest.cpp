#include "unlock/UnlockPage.h"

#include "crypto/CryptoError.h"
#include "unlock/BuiltInTexts.h"
#include "unlock/UnlockScript.h"

#include <algorithm>
#include <cstdlib>
#include <gtest/gtest.h>

namespace quillora::unlock {
namespace {

using charset::PageEncoder;
using charset::PageEncoding;
using crypto::CryptoError;
using crypto::KeyWrap;
using crypto::PageCipher;
using crypto::SiteKey;
using crypto::SiteKeyFile;
using Kind = PageEncoding::Kind;

constexpr int kFewIterations = 1000;
const PageEncoding kUtf8{Kind::Utf8, "", false};
const PageEncoding kWindows1252{Kind::Windows1252, "", false};
const PageEncoding kShiftJis{Kind::Icu, "ibm-943_P15A-2003", false};
const PageEncoding kUtf8Bom{Kind::Utf8, "", true};
const PageEncoding kKoi8R{Kind::Icu, "KOI8-R", false};

std::string fromBase64(std::string_view text) {
    static const std::string kAlphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string bytes;
    unsigned value = 0;
    int bits = 0;
    for (const char c : text) {
        if (c == '=')
            break;
        value = (value << 6) | static_cast<unsigned>(kAlphabet.find(c));
        bits += 6;
        if (bits >= 8) {
            bits -= 8;
            bytes += static_cast<char>((value >> bits) & 0xFF);
        }
    }
    return bytes;
}

/// The number after "iterations": in the unlock page's data.
int iterationsOf(const std::string& page) {
    const std::string key = "\"iterations\":";
    const auto at = page.find(key);
    return at == std::string::npos ? 0 : std::atoi(page.c_str() + at + key.size());
}

/// The value of "name":"..." in the unlock page's data.
std::string dataField(const std::string& page, const std::string& name) {
    const std::string key = "\"" + name + "\":\"";
    const auto at = page.find(key);
    if (at == std::string::npos)
        return {};
    const auto begin = at + key.size();
    return page.substr(begin, page.find('"', begin) - begin);
}

/// The wrapped keys of "slots":["...",...] in the unlock page's data.
std::vector<KeyWrap::Wrapped> slotsOf(const std::string& page) {
    const std::string key = "\"slots\":[";
    std::vector<KeyWrap::Wrapped> slots;
    auto at = page.find(key);
    if (at == std::string::npos)
        return slots;
    at += key.size();
    while (page[at] == '"') {
        const auto end = page.find('"', at + 1);
        const std::string bytes = fromBase64(page.substr(at + 1, end - at - 1));
        KeyWrap::Wrapped wrapped{};
        EXPECT_EQ(bytes.size(), wrapped.size());
        std::copy_n(bytes.begin(), std::min(bytes.size(), wrapped.size()), wrapped.begin());
        slots.push_back(wrapped);
        at = page[end + 1] == ',' ? end + 2 : end + 1;
    }
    return slots;
}

class UnlockPageTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_FALSE(PageEncryptor::create(settings(), encryptor)); }

    virtual EncryptionSettings settings() const {
        EncryptionSettings settings;
        settings.password = u"P\u00E4ss \"w\" 'o' \\rd";
        settings.iterations = kFewIterations;
        return settings;
    }

    std::string encrypt(std::string_view page, const PageEncoding& encoding = kUtf8, std::u16string_view title = {},
                        std::u16string_view notice = {}) const {
        std::string unlock;
        EXPECT_FALSE(encryptor->encrypt(page, encoding, title, notice, unlock));
        return unlock;
    }

    /// The page an unlock page carries, opened as a browser opens it: with the key derived from the password
    /// and from the salt and iteration count the page names, which unwraps the content key from one of its slots.
    std::string opened(const std::string& unlock, std::u16string_view password = {}) const {
        const std::string salt = fromBase64(dataField(unlock, "salt"));
        SiteKey::Salt saltBytes{};
        EXPECT_EQ(salt.size(), saltBytes.size());
        std::copy_n(salt.begin(), std::min(salt.size(), saltBytes.size()), saltBytes.begin());
        SiteKey derived;
        EXPECT_FALSE(SiteKey::derive(password.empty() ? settings().password : std::u16string(password), saltBytes,
                                     iterationsOf(unlock), derived));
        SiteKey key;
        EXPECT_FALSE(SiteKeyFile::openSlots(derived, slotsOf(unlock), key));
        SealedPage sealed;
        EXPECT_TRUE(PageEncryptor::readSealed(unlock, sealed));
        EXPECT_EQ(fromBase64(dataField(unlock, "iv")).size(), sealed.nonce.size());
        std::string page;
        std::string original;
        EXPECT_TRUE(PageEncryptor::openContent(key, sealed, page, original));
        return page;
    }

    /// The run's content key as a browser comes by it: the key derived from the password and the salt and rounds
    /// the encryptor names unwraps it from the page's slot.
    SiteKey runKey() const {
        SiteKey derived;
        EXPECT_FALSE(SiteKey::derive(settings().password, encryptor->salt(), encryptor->iterations(), derived));
        SiteKey key;
        EXPECT_FALSE(SiteKeyFile::openSlots(derived, slotsOf(encrypt("<p>")), key));
        return key;
    }

    std::unique_ptr<PageEncryptor> encryptor;
};

const std::string kPage = "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>Secret plans</title></head>"
                          "<body><p>Marzipan recipe: almonds and sugar.</p><script src=app.js></script></body></html>";

TEST_F(UnlockPageTest, CarriesThePageSealedAndNothingOfItReadable) {
    const std::string unlock = encrypt(kPage, kUtf8, u"Secret plans");
    EXPECT_EQ(opened(unlock), kPage);
    for (const char* word : {"Marzipan", "almonds", "sugar", "app.js"})
        EXPECT_EQ(unlock.find(word), std::string::npos) << word;
    // The base64 of the salt, the nonce and the sealed page is random: a short word may turn up in it by chance.
    const std::string outsideData = unlock.substr(0, unlock.find("id=\"qv-data\""));
    for (const char* secret : {"P\xC3\xA4ss", "\"w\"", "\\rd", "Pss"})
        EXPECT_EQ(outsideData.find(secret), std::string::npos) << secret;
    EXPECT_EQ(unlock.find("P\xC3\xA4ss \"w\""), std::string::npos) << "the password as typed, anywhere";
    EXPECT_NE(unlock.find("<title>Secret plans</title>"), std::string::npos) << "the title is meant to be read";
    EXPECT_TRUE(std::all_of(unlock.begin(), unlock.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; }));
}

TEST_F(UnlockPageTest, TheDataTellTheBrowserHowToDeriveAndRead) {
    const std::string unlock = encrypt(kPage, kShiftJis);
    const std::string salt = fromBase64(dataField(unlock, "salt"));
    ASSERT_EQ(salt.size(), SiteKey::kSaltBytes);
    EXPECT_EQ(opened(unlock), kPage) << "the key derived from the password, the salt and the count opens the page";
    EXPECT_EQ(dataField(unlock, "label"), "shift_jis");
    EXPECT_NE(unlock.find("\"iterations\":1000,\"slots\":[\""), std::string::npos);
    EXPECT_NE(unlock.find("\"],\"remember\":0,"), std::string::npos);
    EXPECT_EQ(slotsOf(unlock).size(), 1U);
    EXPECT_NE(unlock.find("<meta charset=\"shift_jis\">"), std::string::npos);
}

TEST_F(UnlockPageTest, EveryPageOfARunSharesTheSaltButNotTheNonce) {
    const std::string first = encrypt(kPage);
    const std::string second = encrypt(kPage);
    EXPECT_EQ(dataField(first, "salt"), dataField(second, "salt"));
    EXPECT_NE(dataField(first, "iv"), dataField(second, "iv"));
    EXPECT_NE(dataField(first, "page"), dataField(second, "page"));
    EXPECT_EQ(opened(second), kPage);
}

struct TitleCase {
    const char* name;
    std::u16string title;
    std::string written;
};

class UnlockTitle : public UnlockPageTest, public ::testing::WithParamInterface<TitleCase> {};

TEST_P(UnlockTitle, IsWrittenInAsciiAndCannotEndItsElement) {
    const std::string unlock = encrypt(kPage, kUtf8, GetParam().title);
    EXPECT_NE(unlock.find("<title>" + GetParam().written + "</title>"), std::string::npos) << unlock.substr(0, 400);
    EXPECT_EQ(unlock.find("</title>"), unlock.rfind("</title>"));
}

INSTANTIATE_TEST_SUITE_P(Titles, UnlockTitle,
                         ::testing::Values(TitleCase{"Plain", u"Price list", "Price list"},
                                           TitleCase{"ReferencesStayAsWritten", u"Fish &amp; chips &copy",
                                                     "Fish &amp; chips &copy"},
                                           TitleCase{"OutsideAscii", u"Caf\u00E9 \u2013 \u4E16\U0001F35E",
                                                     "Caf&#233; &#8211; &#19990;&#127838;"},
                                           TitleCase{"TagsCannotEndTheElement", u"a</title><script>x()</script>",
                                                     "a&lt;/title&gt;&lt;script&gt;x()&lt;/script&gt;"},
                                           TitleCase{"ControlsOfTheC1RangeAreLeftOut", u"a\u0085b\u0096c", "abc"},
                                           TitleCase{"LoneSurrogate", std::u16string(u"x") + u'\xDC00', "x&#65533;"}),
                         [](const auto& info) { return info.param.name; });

class CustomUnlockTexts : public UnlockPageTest {
protected:
    EncryptionSettings settings() const override {
        EncryptionSettings settings = UnlockPageTest::settings();
        settings.rememberDays = 30;
        settings.texts = {u"Kennwort \u00FCber <b>", u"\u00D6ffnen\" onclick=\"x", u"Falsch & 'nein'", u"Kaputt"};
        return settings;
    }
};

TEST_F(CustomUnlockTexts, AreAppliedAndStayInsideTheirElements) {
    const std::string unlock = encrypt(kPage);
    EXPECT_NE(unlock.find("<label for=\"qv-password\">Kennwort &#252;ber &lt;b&gt;</label>"), std::string::npos);
    EXPECT_NE(unlock.find("<button type=\"submit\">&#214;ffnen&quot; onclick=&quot;x</button>"), std::string::npos);
    EXPECT_NE(unlock.find("data-wrong=\"Falsch &amp; &#39;nein&#39;\""), std::string::npos);
    EXPECT_NE(unlock.find("\"remember\":30,"), std::string::npos);
}

TEST(UnlockTextsDefault, AreTheProductsOwnInEnglish) {
    const BuiltInTexts& texts = builtInTexts("");
    EXPECT_EQ(texts.prompt, u"Enter the password to open this page");
    EXPECT_EQ(texts.button, u"Open");
    EXPECT_EQ(texts.wrongPassword, u"Wrong password. Please try again.");
    EXPECT_EQ(texts.damaged,
              u"Sorry, this page is damaged and cannot be opened: it was changed after it was published.");
}

TEST_F(UnlockPageTest, TheNoticeStandsOnTopInThePagesOwnSet) {
    const std::u16string notice = u"\u00A9 2024 Caf\u00E9 --> end --!> x";
    EXPECT_EQ(encrypt(kPage, kUtf8, {}, notice).rfind("<!-- \xC2\xA9 2024 Caf\xC3\xA9 -- > end --! > x-->\r\n", 0), 0u);
    EXPECT_EQ(encrypt(kPage, kWindows1252, {}, notice).rfind("<!-- \xA9 2024 Caf\xE9 -- > end --! > x-->\r\n", 0), 0u);
    EXPECT_EQ(encrypt(kPage, kShiftJis, {}, notice).rfind("<!-- &#169; 2024 Caf&#233; -- > end --! > x-->\r\n", 0), 0u);
    const std::string bom = encrypt("\xEF\xBB\xBF" + kPage, kUtf8Bom, {}, u"n");
    EXPECT_EQ(bom.rfind("\xEF\xBB\xBF<!-- n-->\r\n<!DOCTYPE html>\n<html><head>", 0), 0u);
}

TEST(CommentSafe, OnlyWhatWouldEndTheCommentChanges) {
    EXPECT_EQ(commentSafe(u"a --> b"), u"a -- > b");
    EXPECT_EQ(commentSafe(u"a --!> b"), u"a --! > b");
    EXPECT_EQ(commentSafe(u"---->"), u"---- >");
    EXPECT_EQ(commentSafe(u"-> a > b - > <!-- c"), u"-> a > b - > <!-- c");
    EXPECT_EQ(commentSafe(u"(c) 2005 www.example.com"), u"(c) 2005 www.example.com");
}

TEST_F(UnlockPageTest, UnlockPagesInUtf16AreWrittenInTheirByteOrder) {
    const std::string page("\xFF\xFE<\0p\0>\0", 8);
    const std::string unlock = encrypt(page, {Kind::Utf16LE, "", true}, u"\u00E9", u"\u4E16");
    ASSERT_EQ(unlock.rfind(std::string("\xFF\xFE<\0!\0-\0-\0 \0\x16\x4E-\0-\0>\0\r\0\n\0<\0h\0", 28), 0), 0u);
    std::string narrow;
    for (std::size_t i = 2; i + 1 < unlock.size(); i += 2)
        narrow += unlock[i + 1] == 0 ? unlock[i] : '?';
    EXPECT_NE(narrow.find("<title>&#233;</title>"), std::string::npos);
    EXPECT_EQ(narrow.find("<meta charset"), std::string::npos) << "the byte-order mark tells the set";
    EXPECT_NE(narrow.find("\"label\":\"utf-16le\""), std::string::npos);
    EXPECT_EQ(opened(narrow), page);
    EXPECT_TRUE(PageEncryptor::isUnlockPage(unlock));
    // A page read without a mark (known by its XML declaration) is protected with one.
    const std::string unmarked =
        encrypt(std::string("\xFF\xFE<\0!\0D\0O\0C\0T\0Y\0P\0E\0 \0h\0t\0m\0l\0>\0", 32), {Kind::Utf16LE, "", false});
    EXPECT_EQ(unmarked.rfind(std::string("\xFF\xFE<\0!\0D\0O\0C\0T\0Y\0P\0E\0 \0h\0t\0m\0l\0>\0", 32), 0), 0u);
    const std::string bigEndian = encrypt(std::string("\xFE\xFF\0<", 4), {Kind::Utf16BE, "", true});
    EXPECT_EQ(bigEndian.rfind(std::string("\xFE\xFF\0<\0h\0t\0m\0l", 12), 0), 0u);
    EXPECT_TRUE(PageEncryptor::isUnlockPage(bigEndian));
}

struct ModeCase {
    const char* name;
    std::string page;
    const PageEncoding* encoding;
    std::string start; // the unlock page's beginning, up to its marker
    bool declared;
};

class UnlockPreamble : public UnlockPageTest, public ::testing::WithParamInterface<ModeCase> {};

TEST_P(UnlockPreamble, TakesOverTheDoctypeAndTheDeclarationOfThePage) {
    const std::string unlock = encrypt(GetParam().page, *GetParam().encoding);
    EXPECT_EQ(unlock.rfind(GetParam().start + "<html><head><meta name=\"quillora-page\"", 0), 0u)
        << unlock.substr(0, 120);
    EXPECT_EQ(unlock.find("<meta charset=") != std::string::npos, GetParam().declared);
}

const std::string kHtml4 = "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01 Transitional//EN\">";

INSTANTIATE_TEST_SUITE_P(
    Pages, UnlockPreamble,
    ::testing::Values(
        ModeCase{"Html5", kPage, &kUtf8, "<!DOCTYPE html>\n", true},
        ModeCase{"DoctypeAfterCommentAndBlanks", "<!-- (c) -->\r\n  " + kHtml4 + "<html>", &kWindows1252, kHtml4 + "\n",
                 false},
        ModeCase{"DoctypeAfterAProcessingInstruction", "<?xml version=\"1.0\"?>\f" + kHtml4 + "<html>", &kWindows1252,
                 kHtml4 + "\n", false},
        ModeCase{"DoctypeInsideAnUnclosedComment", "<!-- " + kHtml4 + "<html>", &kWindows1252, "", false},
        ModeCase{"NoDoctypeIsQuirksMode", "<html><head><title>x</title>", &kWindows1252, "", false},
        ModeCase{"UndeclaredButNotAscii", "<html><p>Caf\xE9", &kWindows1252, "", true},
        ModeCase{"DeclaredInAMetaTag",
                 "<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=Shift_JIS\">", &kShiftJis,
                 "", true},
        ModeCase{"UnknownDeclarationCountsAsNone", "<html><head><meta charset=\"klingon\">", &kWindows1252, "", false},
        ModeCase{"CommentedOutDeclarationCountsAsNone", "<html><head><!-- <meta charset=\"koi8-r\"> -->", &kWindows1252,
                 "", false},
        ModeCase{"DeclaredLateInTheHead",
                 "<html><head><!-- " + std::string(1100, '-') + " --><meta charset=\"koi8-r\"></head>", &kKoi8R, "",
                 true},
        ModeCase{"DeclaredByXml", "<?xml version=\"1.0\" encoding=\"koi8-r\"?><html>", &kKoi8R, "", true},
        ModeCase{"ByteOrderMark", "\xEF\xBB\xBF<!doctype html><p>", &kUtf8Bom, "\xEF\xBB\xBF<!doctype html>\n", true}),
    [](const auto& info) { return info.param.name; });

TEST_F(UnlockPageTest, TellsItsOwnPagesFromOthers) {
    EXPECT_TRUE(PageEncryptor::isUnlockPage(encrypt(kPage)));
    EXPECT_TRUE(PageEncryptor::isUnlockPage(encrypt(kPage, kShiftJis, {}, u"n --> x")));
    EXPECT_TRUE(PageEncryptor::isUnlockPage(encrypt("<p>", kWindows1252)));
    for (const std::string& other :
         {kPage, std::string(), std::string("<html><head><meta name=\"quillora-page\" content=\"encrypted\">"),
          std::string("<!DOCTYPE html>\n<html><head><title>x</title><meta name=\"quillora-page\" "
                      "content=\"encrypted\">\n"),
          std::string("<!-- never closed <html><head><meta name=\"quillora-page\" content=\"encrypted\">\n")})
        EXPECT_FALSE(PageEncryptor::isUnlockPage(other)) << other;
    EXPECT_TRUE(PageEncryptor::isUnlockPage("<html><head><meta name=\"quillora-page\" content=\"encrypted\">\n"));
}

TEST(PageEncryptorCreate, RefusesWhatCannotMakeAnUnlockPage) {
    std::unique_ptr<PageEncryptor> encryptor;
    EncryptionSettings settings;
    EXPECT_EQ(PageEncryptor::create(settings, encryptor), CryptoError::BadParameter) << "an empty password";
    settings.password = std::u16string(u"x");
    settings.iterations = kFewIterations;
    settings.rememberDays = -1;
    EXPECT_EQ(PageEncryptor::create(settings, encryptor), CryptoError::BadParameter);
    settings.rememberDays = engine::kMaxRememberDays + 1;
    EXPECT_EQ(PageEncryptor::create(settings, encryptor), CryptoError::BadParameter);
    EXPECT_FALSE(encryptor);
    settings.rememberDays = engine::kMaxRememberDays;
    EXPECT_FALSE(PageEncryptor::create(settings, encryptor));
    EXPECT_TRUE(encryptor);
}

TEST_F(UnlockPageTest, ItsDataReadBackTellTheKeyAndOpenOnlyWithIt) {
    const PageEncoding utf16{Kind::Utf16LE, "", true};
    const std::string wide("\xFF\xFE<\0p\0>\0", 8);
    for (const auto& [page, encoding] :
         std::vector<std::pair<std::string, PageEncoding>>{{kPage, kUtf8}, {kPage, kUtf8Bom}, {wide, utf16}}) {
        const std::string unlock = encrypt(page, encoding, u"Title", u"(c) Notice \u00E9");
        SealedPage sealed;
        ASSERT_TRUE(PageEncryptor::readSealed(unlock, sealed));
        EXPECT_EQ(sealed.salt, encryptor->salt());
        EXPECT_EQ(sealed.iterations, kFewIterations);
        EXPECT_TRUE(PageEncryptor::opens(runKey(), sealed));
        SiteKey other;
        ASSERT_FALSE(SiteKey::derive(u"another password", sealed.salt, sealed.iterations, other));
        EXPECT_FALSE(PageEncryptor::opens(other, sealed));
        SealedPage named;
        ASSERT_TRUE(PageEncryptor::readSealed(unlock, named, false));
        EXPECT_EQ(named.salt, sealed.salt);
        EXPECT_TRUE(named.sealed.empty()) << "only the key's name was asked for";
    }
}

TEST_F(UnlockPageTest, APageIsBoundToItsPathAndCarriesItsOriginal) {
    const std::string original = "<html><body>caf\xe9</body></html>";
    const std::string shown = "<!-- n -->" + original;
    std::string unlock;
    ASSERT_FALSE(encryptor->encrypt(shown, kUtf8, u"T", {}, unlock, {}, {original, "blog/a b\xc3\xa9.html", {}}));
    EXPECT_NE(unlock.find(R"("path":"blog/a%20b%C3%A9.html","format":2,"page":")"), std::string::npos)
        << "the path as a URL would write it, ASCII like the rest of the page";
    SealedPage sealed;
    ASSERT_TRUE(PageEncryptor::readSealed(unlock, sealed));
    EXPECT_EQ(sealed.path, "blog/a b\xc3\xa9.html");
    EXPECT_EQ(sealed.format, 2);
    std::string gotShown;
    std::string gotOriginal;
    ASSERT_TRUE(PageEncryptor::openContent(runKey(), sealed, gotShown, gotOriginal));
    EXPECT_EQ(gotShown, shown);
    EXPECT_EQ(gotOriginal, original);
    EXPECT_EQ(opened(unlock), shown) << "opened as a browser opens it";
    sealed.path = "blog/another.html";
    EXPECT_FALSE(PageEncryptor::opens(runKey(), sealed)) << "bound to its path";
    EXPECT_FALSE(PageEncryptor::openContent(runKey(), sealed, gotShown, gotOriginal));
}

TEST_F(UnlockPageTest, DamagedOrForeignDataAreNotReadAsSealed) {
    const std::string unlock = encrypt(kPage);
    SealedPage sealed;
    EXPECT_FALSE(PageEncryptor::readSealed(kPage, sealed));
    const auto rounds = unlock.find("\"iterations\":");
    std::string damaged = unlock.substr(0, rounds) + "\"rounds\":" + unlock.substr(rounds + 13);
    EXPECT_FALSE(PageEncryptor::readSealed(damaged, sealed));
    const auto saltEnd = unlock.find("\",\"iterations\"");
    damaged = unlock.substr(0, saltEnd) + "!" + unlock.substr(saltEnd);
    EXPECT_FALSE(PageEncryptor::readSealed(damaged, sealed)) << "not base64";
    damaged = unlock;
    const auto page = damaged.find("\"page\":\"") + 8;
    damaged[page] = damaged[page] == 'A' ? 'B' : 'A';
    ASSERT_TRUE(PageEncryptor::readSealed(damaged, sealed));
    EXPECT_FALSE(PageEncryptor::opens(runKey(), sealed)) << "a changed byte fails its tag";
}

TEST_F(UnlockPageTest, ASiteKeyWithTwoSlotsOpensWithEitherPasswordAndKeepsItsContentKey) {
    SiteKeyFile file;
    SiteKey content;
    ASSERT_FALSE(SiteKeyFile::create(u"first", kFewIterations, "a", file, content));
    SiteKey second;
    ASSERT_FALSE(SiteKey::derive(u"second", file.salt(), kFewIterations, second));
    KeyWrap::Wrapped wrapped{};
    ASSERT_FALSE(KeyWrap::wrap(second.key(), content.key(), wrapped));
    auto slots = file.wrappedKeys();
    slots.push_back(wrapped);
    std::unique_ptr<PageEncryptor> site;
    ASSERT_FALSE(PageEncryptor::create(settings(), content, slots, site));
    std::string unlock;
    ASSERT_FALSE(site->encrypt(kPage, kUtf8, u"T", {}, unlock));
    EXPECT_EQ(slotsOf(unlock).size(), 2U);
    EXPECT_EQ(opened(unlock, u"first"), kPage);
    EXPECT_EQ(opened(unlock, u"second"), kPage);
    SealedPage sealed;
    ASSERT_TRUE(PageEncryptor::readSealed(unlock, sealed));
    EXPECT_TRUE(PageEncryptor::opens(content, sealed)) << "sealed with the content key itself";
    SiteKey key;
    EXPECT_TRUE(PageEncryptor::keyFor(second, sealed, key));
    EXPECT_EQ(key.key(), content.key());
    SiteKey third;
    ASSERT_FALSE(SiteKey::derive(u"third", file.salt(), kFewIterations, third));
    EXPECT_FALSE(PageEncryptor::keyFor(third, sealed, key));
    EXPECT_EQ(PageEncryptor::create(settings(), content, {}, site), CryptoError::BadParameter) << "no slot";
}

TEST_F(UnlockPageTest, APageWithoutSlotsOpensWithThePasswordsKeyItself) {
    // Pages written before the site key file sealed with the password's key and carried no slots.
    const std::string unlock = encrypt(kPage);
    const auto start = unlock.find(",\"slots\":[");
    const std::string old = unlock.substr(0, start) + unlock.substr(unlock.find(']', start) + 1);
    SealedPage sealed;
    ASSERT_TRUE(PageEncryptor::readSealed(old, sealed));
    EXPECT_TRUE(sealed.slots.empty());
    // Such a page opens with the key it was sealed with, taken as the password's (here, the content key)...
    SiteKey key;
    EXPECT_TRUE(PageEncryptor::keyFor(runKey(), sealed, key));
    EXPECT_EQ(key.key(), runKey().key());
    // ...and not with the password's key of a site key, which opens only through a slot.
    SiteKey derived;
    ASSERT_FALSE(SiteKey::derive(settings().password, encryptor->salt(), kFewIterations, derived));
    EXPECT_FALSE(PageEncryptor::keyFor(derived, sealed, key));
    const std::string broken =
        unlock.substr(0, start) + ",\"slots\":[\"AAAA\"]" + unlock.substr(unlock.find(']', start) + 1);
    EXPECT_FALSE(PageEncryptor::readSealed(broken, sealed)) << "a slot of the wrong size";
}

TEST(TitleMarkup, ATypedTitleReadsAsTyped) {
    EXPECT_EQ(titleMarkup(u"Tom & Jerry"), u"Tom &amp; Jerry");
    EXPECT_EQ(titleMarkup(u"&amp;"), u"&amp;amp;");
    EXPECT_EQ(titleMarkup(u"Plain <b>"), u"Plain <b>") << "the title element's writer keeps < and > harmless";
}

} // namespace
} // namespace quillora::unlock

namespace quillora::unlock {
namespace {

struct LanguageTexts {
    const char* name;
    std::string htmlTag;
    std::string prompt;   // the start of the label
    std::string damaged;  // the start of the damaged-page note
    std::string noScript; // the start of the noscript note
};

class UnlockLanguage : public UnlockPageTest, public ::testing::WithParamInterface<LanguageTexts> {};

TEST_P(UnlockLanguage, TheBuiltInTextsFollowThePagesLanguage) {
    const std::string unlock = encrypt("<!DOCTYPE html>\n" + GetParam().htmlTag + "<head><title>t</title>");
    EXPECT_NE(unlock.find("<label for=\"qv-password\">" + GetParam().prompt), std::string::npos);
    EXPECT_NE(unlock.find("<p id=\"qv-damaged\" role=\"alert\" hidden>" + GetParam().damaged), std::string::npos);
    EXPECT_NE(unlock.find("<noscript><p>" + GetParam().noScript), std::string::npos);
    EXPECT_EQ(unlock.find("id=\"qv-remember\""), std::string::npos) << "only where the run remembers keys";
    EXPECT_NE(unlock.find("<input id=\"qv-show\" type=\"checkbox\" aria-controls=\"qv-password\">"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(
    Languages, UnlockLanguage,
    ::testing::Values(
        LanguageTexts{"English", "<html lang=\"en-GB\">", "Enter the password to open this page", "Sorry, this page",
                      "This page is encrypted."},
        LanguageTexts{"German", "<html lang=\"DE-at\">", "Geben Sie das Passwort ein, um diese Seite zu &#246;ffnen",
                      "Diese Seite ist leider besch&#228;digt", "Diese Seite ist verschl&#252;sselt."},
        LanguageTexts{"French", "<html lang=fr>", "Saisissez le mot de passe pour ouvrir cette page",
                      "D&#233;sol&#233;, cette page", "Cette page est chiffr&#233;e."},
        LanguageTexts{"Spanish", "<html lang=es-MX>", "Introduzca la contrase&#241;a para abrir esta p&#225;gina",
                      "Lo sentimos", "Esta p&#225;gina est&#225; cifrada."},
        LanguageTexts{"Japanese", "<html lang=ja>",
                      "&#12371;&#12398;&#12506;&#12540;&#12472;&#12434;&#38283;&#12367;&#12395;&#12399;",
                      "&#30003;&#12375;&#35379;", "&#12371;&#12398;&#12506;&#12540;&#12472;"},
        LanguageTexts{"OtherLanguagesFallBackToEnglish", "<html lang=pt-BR>", "Enter the password to open this page",
                      "Sorry, this page", "This page is encrypted."},
        LanguageTexts{"NoLanguageIsEnglish", "<html>", "Enter the password to open this page", "Sorry, this page",
                      "This page is encrypted."},
        // "jav" (Javanese) is not "ja": the whole primary subtag counts.
        LanguageTexts{"PrefixOfAnotherLanguage", "<html lang=jav>", "Enter the password to open this page",
                      "Sorry, this page", "This page is encrypted."}),
    [](const auto& info) { return info.param.name; });

TEST_F(CustomUnlockTexts, WinInEveryLanguageWhileTheRestFollowsIt) {
    for (const char* tag : {"<html lang=de>", "<html lang=ja>", "<html>"}) {
        SCOPED_TRACE(tag);
        const std::string unlock = encrypt(std::string(tag) + "<title>t</title>");
        EXPECT_NE(unlock.find("<label for=\"qv-password\">Kennwort &#252;ber &lt;b&gt;</label>"), std::string::npos);
        EXPECT_NE(unlock.find("<p id=\"qv-damaged\" role=\"alert\" hidden>Kaputt</p>"), std::string::npos);
        // Unchecked: remembering is the visitor's choice.
        EXPECT_NE(unlock.find("<input id=\"qv-remember\" type=\"checkbox\">"), std::string::npos);
    }
    EXPECT_NE(encrypt("<html lang=de>").find("Passwort anzeigen</label>"), std::string::npos);
}

TEST_F(UnlockPageTest, KeepsThePagesLanguageAndDirectionAndIsStillRecognised) {
    const std::string rtl = encrypt("<!DOCTYPE html>\n<html lang=\"ar-EG\" dir=\"rtl\"><head><title>x</title>");
    EXPECT_EQ(rtl.rfind("<!DOCTYPE html>\n<html lang=\"ar-eg\" dir=\"rtl\"><head><meta name=\"quillora-page\"", 0), 0u);
    EXPECT_TRUE(PageEncryptor::isUnlockPage(rtl));
    SealedPage sealed;
    EXPECT_TRUE(PageEncryptor::readSealed(rtl, sealed));
    const std::string utf16("\xFF\xFE<\0h\0t\0m\0l\0 \0l\0a\0n\0g\0=\0\"\0d\0e\0\"\0>\0", 34);
    const std::string wide = encrypt(utf16, {Kind::Utf16LE, "", true});
    EXPECT_EQ(wide.rfind(std::string("\xFF\xFE<\0h\0t\0m\0l\0 \0l\0a\0n\0g\0=\0\"\0d\0e\0\"\0>\0<\0h\0", 38), 0), 0u);
    EXPECT_TRUE(PageEncryptor::isUnlockPage(wide));
    // Pages written before the html tag carried a language, and what only looks like an unlock page.
    EXPECT_TRUE(PageEncryptor::isUnlockPage("<!doctype html>\n<html><head><meta name=\"quillora-page\" "
                                            "content=\"encrypted\">\n"));
    for (const std::string& other :
         {std::string("<html lang=\"de\"><head><title>x</title><meta name=\"quillora-page\" content=\"encrypted\">\n"),
          std::string("<html lang=\"de\"><body><head><meta name=\"quillora-page\" content=\"encrypted\">\n"),
          std::string("<html lang=\"de\" onload=\"x()\"><head><meta name=\"quillora-page\" content=\"encrypted\">\n"),
          std::string("<html-x><head><meta name=\"quillora-page\" content=\"encrypted\">\n"),
          "<html " + std::string(80, 'a') + "><head><meta name=\"quillora-page\" content=\"encrypted\">\n"})
        EXPECT_FALSE(PageEncryptor::isUnlockPage(other)) << other;
}

} // namespace
} // namespace quillora::unlock

namespace quillora::unlock {
namespace {

TEST_F(UnlockPageTest, APageOfASharedScriptLoadsItAndSaysInItsLanguageWhenItIsMissing) {
    const std::string german = "<html lang=\"de\"><head><title>T</title></head><body>Text</body></html>";
    std::string shared;
    ASSERT_FALSE(encryptor->encrypt(german, kUtf8, u"T", {}, shared, {},
                                    {std::nullopt, "sub/a.html", "../" + sharedScriptName()}));
    EXPECT_NE(shared.find("<script src=\"../" + sharedScriptName() + "\"></script>"), std::string::npos);
    EXPECT_EQ(shared.find(std::string(unlockScript().substr(0, 40))), std::string::npos) << "not carried as well";
    const std::size_t note = shared.find("<p id=\"qv-missing\">");
    ASSERT_NE(note, std::string::npos);
    const std::string text = shared.substr(note, shared.find("</p>", note) - note);
    EXPECT_NE(text.find("das Skript"), std::string::npos) << text;
    EXPECT_NE(text.find(sharedScriptName()), std::string::npos) << text;
    EXPECT_TRUE(PageEncryptor::isUnlockPage(shared));

    std::string inline_;
    ASSERT_FALSE(encryptor->encrypt(german, kUtf8, u"T", {}, inline_));
    EXPECT_EQ(inline_.find("<p id=\"qv-missing\""), std::string::npos);
    EXPECT_NE(inline_.find(std::string(unlockScript())), std::string::npos);
    EXPECT_TRUE(isSharedScriptName(sharedScriptName()));
    EXPECT_FALSE(isSharedScriptName("quillora-unlock-ABCDEF012345.js"));
    EXPECT_FALSE(isSharedScriptName("quillora-unlock-abc.js"));
}

} // namespace
} // namespace quillora::unlock
