#include "run/FrameAddress.h"

#include <gtest/gtest.h>

namespace quillora::run {
namespace {

struct AddressCase {
    const char* name;
    std::u16string address;
    std::optional<std::string> path;
};

class FrameAddressTest : public ::testing::TestWithParam<AddressCase> {};

TEST_P(FrameAddressTest, FollowsOnlyRelativePageAddresses) {
    EXPECT_EQ(FrameAddress::localPath(GetParam().address), GetParam().path);
}

INSTANTIATE_TEST_SUITE_P(Addresses, FrameAddressTest,
                         ::testing::Values(AddressCase{"Plain", u"menu.htm", "menu.htm"},
                                           AddressCase{"Html", u"sub/main.html", "sub/main.html"},
                                           AddressCase{"ParentSteps", u"../x.htm", "../x.htm"},
                                           AddressCase{"FragmentAndQuery", u"menu.htm?a=1#top", "menu.htm"},
                                           AddressCase{"Escapes", u"my%20page.htm", "my page.htm"},
                                           AddressCase{"EscapedUtf8", u"caf%C3%A9.htm", "caf\xC3\xA9.htm"},
                                           AddressCase{"RawNonAscii", u"caf\u00E9.htm", "caf\xC3\xA9.htm"},
                                           AddressCase{"BadEscapeKept", u"100%.htm", "100%.htm"},
                                           AddressCase{"Backslashes", u"sub\\menu.htm", "sub/menu.htm"},
                                           AddressCase{"OuterBlanks", u" \tmenu.htm\n", "menu.htm"},
                                           AddressCase{"Https", u"https://example.com/a.htm", std::nullopt},
                                           AddressCase{"Ftp", u"ftp://example.com/a.htm", std::nullopt},
                                           AddressCase{"File", u"file:///etc/a.htm", std::nullopt},
                                           AddressCase{"Javascript", u"javascript:x.htm", std::nullopt},
                                           AddressCase{"SchemeInCapitals", u"HTTPS://x/a.htm", std::nullopt},
                                           AddressCase{"DriveLetter", u"C:/site/a.htm", std::nullopt},
                                           AddressCase{"NetworkPath", u"//host/a.htm", std::nullopt},
                                           AddressCase{"NetworkPathBackslashes", u"\\\\host\\a.htm", std::nullopt},
                                           AddressCase{"Absolute", u"/etc/a.htm", std::nullopt},
                                           AddressCase{"ServerPage", u"menu.php", std::nullopt},
                                           AddressCase{"CapitalExtension", u"MENU.HTM", std::nullopt},
                                           AddressCase{"ExtensionInQueryOnly", u"menu.php?x=a.htm", std::nullopt},
                                           AddressCase{"OnlyFragment", u"#top", std::nullopt},
                                           AddressCase{"EscapedNul", u"a%00.htm", std::nullopt},
                                           AddressCase{"Empty", u"", std::nullopt}),
                         [](const auto& info) { return info.param.name; });

} // namespace
} // namespace quillora::run
