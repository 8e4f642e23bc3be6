#include "unlock/UnlockTemplate.h"

#include "unlock/UnlockPage.h"

#include <gtest/gtest.h>

namespace quillora::unlock {
namespace {

using charset::PageEncoding;
using Kind = PageEncoding::Kind;

const PageEncoding kUtf8{Kind::Utf8, "", false};

const std::string kTemplate = "<!DOCTYPE html>\n<html lang=\"en\"><head>\n<title>{{title}}</title>\n"
                              "<style>body{background:#123}</style>\n</head>\n<body class=\"{{dir}}\">\n"
                              "<h1 title=\"{{title}}\">Stra\xC3\x9F"
                              "e {{title}}</h1>\n<div lang=\"{{lang}}\">{{form}}</div>\n"
                              "</body>\n</html>\n";

struct Refusal {
    const char* name;
    std::string text;
    std::string named; // what the reason names
};

class UnlockTemplateRefusal : public ::testing::TestWithParam<Refusal> {};

TEST_P(UnlockTemplateRefusal, SaysWhatIsWrong) {
    UnlockTemplate pageTemplate;
    const std::string problem = UnlockTemplate::read(GetParam().text, pageTemplate);
    EXPECT_NE(problem.find(GetParam().named), std::string::npos) << problem;
    EXPECT_TRUE(pageTemplate.pieces().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Templates, UnlockTemplateRefusal,
    ::testing::Values(
        Refusal{"NoForm", "<title>{{title}}</title><p>hello", "no {{form}} placeholder"},
        Refusal{"NoTitle", "<title>Members</title>{{form}}", "no {{title}} placeholder"},
        Refusal{"FormTwice", "<title>{{title}}</title>{{form}}<p>{{form}}", "{{form}} placeholder more than once"},
        Refusal{"UnknownPlaceholder", "<title>{{title}}</title>{{from}}", "{{from}}, which is no placeholder"},
        Refusal{"NotUtf8", "<title>{{title}}</title>{{form}}\xE9t\xE9", "not UTF-8"},
        Refusal{"Script", "<title>{{title}}</title>{{form}}<SCRIPT>track()</SCRIPT>", "holds a script"},
        Refusal{"EventHandler", "<title>{{title}}</title><body onLoad=\"x()\">{{form}}", "attribute onload"},
        Refusal{"PolicyOfItsOwn",
                "<meta http-equiv=\"Content-Security-Policy\" content=\"script-src 'none'\">"
                "<title>{{title}}</title>{{form}}",
                "Content-Security-Policy of its own"},
        Refusal{"CharsetDeclared", "<head><meta charset=\"utf-8\"><title>{{title}}</title></head>{{form}}",
                "declares a character set"},
        Refusal{"NotAsciiInStyle", "<style>p::before{content:\"\xC2\xBB\"}</style><title>{{title}}</title>{{form}}",
                "inside a style element"}),
    [](const auto& info) { return info.param.name; });

TEST(UnlockTemplateRead, TakesWhatIsNoPlaceholderAsText) {
    UnlockTemplate pageTemplate;
    // Braces that name nothing (a style rule, a lone pair) stay as they are.
    EXPECT_EQ(UnlockTemplate::read("<title>{{title}}</title><style>a{{}</style>{{ x }} {{form}}", pageTemplate), "");
    ASSERT_EQ(pageTemplate.pieces().size(), 4u); // the last one after the data
    EXPECT_EQ(pageTemplate.pieces()[1].text, "</title><style>a{{}</style>{{ x }} ");
    EXPECT_EQ(pageTemplate.pieces()[1].slot, UnlockTemplate::Slot::Form);
    EXPECT_EQ(pageTemplate.pieces()[2].slot, UnlockTemplate::Slot::Data);
}

class UnlockTemplatePage : public ::testing::Test {
protected:
    void SetUp() override {
        UnlockTemplate pageTemplate;
        ASSERT_EQ(UnlockTemplate::read(kTemplate, pageTemplate), "");
        EncryptionSettings settings;
        settings.password = u"a password for the template";
        settings.iterations = 1000;
        settings.pageTemplate = pageTemplate;
        ASSERT_FALSE(PageEncryptor::create(settings, encryptor));
    }

    std::string encrypt(std::string_view page, const PageEncoding& encoding = kUtf8) const {
        std::string unlock;
        EXPECT_FALSE(encryptor->encrypt(page, encoding, u"R&amp;D \"plans\"", {}, unlock,
                                        "<meta http-equiv=\"Content-Security-Policy\" content=\"script-src 'self'\">"));
        return unlock;
    }

    std::unique_ptr<PageEncryptor> encryptor;
};

TEST_F(UnlockTemplatePage, FillsThePlaceholdersAndKeepsTheUnlockPagesOwnBeginning) {
    const std::string unlock = encrypt("<!doctype html><html lang=\"de\" dir=\"rtl\"><title>x</title>");
    // The template's own DOCTYPE and html tag give way to the page's.
    EXPECT_EQ(unlock.rfind("<!doctype html>\n<html lang=\"de\" dir=\"rtl\"><head><meta name=\"quillora-page\" "
                           "content=\"encrypted\">\n<meta http-equiv=\"Content-Security-Policy\"",
                           0),
              0u)
        << unlock.substr(0, 200);
    EXPECT_EQ(unlock.find("<html lang=\"en\">"), std::string::npos);
    EXPECT_NE(unlock.find("<title>R&amp;D &quot;plans&quot;</title>"), std::string::npos);
    EXPECT_NE(unlock.find("<h1 title=\"R&amp;D &quot;plans&quot;\">Stra&#223;e R&amp;D"), std::string::npos);
    EXPECT_NE(unlock.find("<body class=\"rtl\">"), std::string::npos);
    EXPECT_NE(unlock.find("<div lang=\"de\"><form id=\"qv-form\" hidden><label for=\"qv-password\">Geben Sie"),
              std::string::npos);
    // The data and the script stand before the body's end, the rest of the template after them.
    const auto data = unlock.find("<script type=\"application/json\" id=\"qv-data\">");
    const auto bodyEnd = unlock.find("</body>");
    ASSERT_NE(data, std::string::npos);
    EXPECT_LT(unlock.find("</div>"), data);
    EXPECT_LT(data, bodyEnd);
    EXPECT_EQ(unlock.substr(bodyEnd), "</body>\n</html>\n");
    EXPECT_TRUE(std::all_of(unlock.begin(), unlock.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; }));
    EXPECT_TRUE(PageEncryptor::isUnlockPage(unlock));
    SealedPage sealed;
    EXPECT_TRUE(PageEncryptor::readSealed(unlock, sealed));
    EXPECT_TRUE(PageEncryptor::opens(encryptor->key(), sealed));
}

TEST_F(UnlockTemplatePage, WithoutALanguageTheDirectionIsLeftToRightAndTheTextsEnglish) {
    const std::string unlock = encrypt("<p>no html tag");
    EXPECT_EQ(unlock.rfind("<html><head><meta name=\"quillora-page\"", 0), 0u);
    EXPECT_NE(unlock.find("<body class=\"ltr\">"), std::string::npos);
    EXPECT_NE(unlock.find("<div lang=\"\"><form id=\"qv-form\" hidden><label for=\"qv-password\">Enter"),
              std::string::npos);
}

TEST_F(UnlockTemplatePage, IsWrittenInUtf16WhereThePageIs) {
    std::string page = "\xFF\xFE";
    for (const char c : std::string_view("<html lang=\"es\"><title>t</title>"))
        page += {c, '\0'};
    const std::string unlock = encrypt(page, {Kind::Utf16LE, "", true});
    EXPECT_TRUE(PageEncryptor::isUnlockPage(unlock));
    std::string narrow;
    for (std::size_t i = 2; i + 1 < unlock.size(); i += 2)
        narrow += unlock[i + 1] == 0 ? unlock[i] : '?';
    EXPECT_NE(narrow.find("Stra&#223;e"), std::string::npos);
    EXPECT_NE(narrow.find("Introduzca la contrase&#241;a"), std::string::npos);
}

TEST(UnlockTemplateHead, WithoutAHeadTagTheWholeTemplateFollowsTheBeginning) {
    UnlockTemplate pageTemplate;
    ASSERT_EQ(UnlockTemplate::read("<title>{{title}}</title>\n<main>{{form}}</main>", pageTemplate), "");
    EncryptionSettings settings;
    settings.password = u"a password for the template";
    settings.iterations = 1000;
    settings.pageTemplate = pageTemplate;
    std::unique_ptr<PageEncryptor> encryptor;
    ASSERT_FALSE(PageEncryptor::create(settings, encryptor));
    std::string unlock;
    ASSERT_FALSE(encryptor->encrypt("<p>", kUtf8, u"T", {}, unlock));
    EXPECT_EQ(unlock.rfind("<html><head><meta name=\"quillora-page\" content=\"encrypted\">\n<title>T</title>\n<main>"
                           "<form",
                           0),
              0u)
        << unlock.substr(0, 200);
    EXPECT_TRUE(unlock.ends_with("</script>\n"));
}

} // namespace
} // namespace quillora::unlock
