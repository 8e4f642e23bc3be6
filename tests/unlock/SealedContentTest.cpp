// What an unlock page seals: the page shown and its original, both given back exactly, in little room.
#include "unlock/SealedContent.h"

#include <gtest/gtest.h>
#include <random>

namespace quillora::unlock {
namespace {

std::string randomBytes(std::size_t size) {
    std::mt19937 random(7);
    std::string bytes(size, '\0');
    for (auto& byte : bytes)
        byte = static_cast<char>(random() & 0xFF);
    return bytes;
}

TEST(SealedContent, GivesBackTheShownPageAndTheOriginalExactly) {
    const std::string page = "<html><head><title>t</title></head><body>caf\xe9\r\n</body></html>";
    const std::pair<std::string, std::string> cases[] = {
        {page, page},                                                        // nothing inserted
        {"<!-- notice -->\r\n" + page, page},                                // before the page
        {page.substr(0, 12) + "<script>x</script>" + page.substr(12), page}, // inside it
        {page + "<script>y</script>", page},                                 // after it
        {"\xEF\xBB\xBF<!-- n -->" + page.substr(0, 6) + "<s>" + page.substr(6, 30) + "<t>" + page.substr(36), page},
        {std::string(40, 'a') + page, page},                          // an insertion that repeats the original's start
        {"<script>" + page.substr(0, 40) + "</script>" + page, page}, // an insertion holding the original's start
        {"hidden: %3Chtml%3E", page},                                 // another text: both kept whole
        {page.substr(10), page},                                      // bytes left out: both kept whole
        {"", page},
        {page, ""},
        {"", ""},
    };
    for (const auto& [shown, original] : cases) {
        std::string gotShown;
        std::string gotOriginal;
        ASSERT_TRUE(SealedContent::unpack(SealedContent::pack(shown, original), gotShown, gotOriginal)) << shown;
        EXPECT_EQ(gotShown, shown);
        EXPECT_EQ(gotOriginal, original);
    }
}

TEST(SealedContent, KeepsAnOriginalWithInsertionsOnceAndDeflatesText) {
    const std::string original = randomBytes(64 * 1024); // does not deflate: what is kept shows in the size
    const std::string shown = original.substr(0, 100) + "<script>inserted</script>" + original.substr(100);
    EXPECT_LT(SealedContent::pack(shown, original).size(), original.size() + 1024) << "the original kept once";

    std::string text;
    for (int i = 0; i < 500; ++i)
        text += "<p>Paragraph " + std::to_string(i) + " of an ordinary page of text.</p>\n";
    EXPECT_LT(SealedContent::pack(text, text).size(), text.size() / 4);
}

// One thread deflates page after page in the room the largest page needed: a small page after a large one, and one
// after the room was given back, each comes back as it was.
TEST(SealedContent, PagesOfEverySizeOneAfterAnotherComeBackAsTheyWere) {
    std::string large;
    while (large.size() < (std::size_t{17} << 20))
        large += "<p>Paragraph " + std::to_string(large.size()) + " of a page of many megabytes.</p>\n";
    for (const std::string& page : {randomBytes(200 * 1024), large, std::string("<p>x</p>"), randomBytes(3000)}) {
        std::string shown;
        std::string original;
        ASSERT_TRUE(SealedContent::unpack(SealedContent::pack(page, page), shown, original)) << page.size();
        EXPECT_TRUE(shown == page && original == page) << page.size();
    }
}

TEST(SealedContent, RefusesDamagedOrForeignBytes) {
    const std::string packed = SealedContent::pack("<p>shown</p>", "<p>original</p>");
    std::string shown;
    std::string original;
    EXPECT_FALSE(SealedContent::unpack(packed.substr(0, packed.size() - 1), shown, original)) << "cut short";
    std::string changed = packed;
    changed[changed.size() / 2] ^= 0x10;
    EXPECT_FALSE(SealedContent::unpack(changed, shown, original)) << "a byte changed";
    EXPECT_FALSE(SealedContent::unpack(packed + "x", shown, original)) << "bytes after the end";
    EXPECT_FALSE(SealedContent::unpack("<p>not deflated</p>", shown, original));
    EXPECT_FALSE(SealedContent::unpack("", shown, original));
}

} // namespace
} // namespace quillora::unlock
