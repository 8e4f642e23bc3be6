#include "run/CopyManifest.h"

#include "RecordingReporter.h"

#include <gtest/gtest.h>

namespace quillora::run {
namespace {

using Kind = CopyManifest::Kind;
using Digest = CopyManifest::Digest;

constexpr Digest kOne = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
constexpr Digest kTwo = {0xf0, 0xe1, 0xd2, 0xc3, 0xb4, 0xa5, 0x96, 0x87, 0x78, 0x69, 0x5a, 0x4b, 0x3c, 0x2d, 0x1e, 0};

TEST(CopyManifest, ReadsBackWhatItWroteWhateverTheNamesHold) {
    CopyManifest manifest;
    manifest.salt = "00112233445566778899aabbccddeeff";
    manifest.keyCheck = "abc";
    manifest.entries()["a\tb\nc%d.html"] = {Kind::Page, "src/a\tb\nc%d.html", 12, 34, kOne, kTwo, 56, 78, false};
    manifest.entries()["plain.css"] = {Kind::Copy, "plain.css", 1, 2, {}, {}, 1, 2, false};
    manifest.entries()["frames.html"] = {Kind::Frameset, "frames.html", 3, 4, kTwo, CopyManifest::kStale, 3, 5, false};
    manifest.entries()["new.html"] = {Kind::Pending, "new.html", -1, 0, {}, {}, -1, 0, false};
    manifest.entries()["old.html"] = {Kind::Pending, "old.html", -1, 0, {}, {}, 9, 10, true};
    const std::string text = manifest.text();
    EXPECT_EQ(text.find('\n'), CopyManifest::kHeader.size());
    EXPECT_EQ(text.find("a\tb"), std::string::npos) << "a tab in a name is escaped";
    CopyManifest read;
    ASSERT_TRUE(read.parse(text));
    EXPECT_EQ(read.entries(), manifest.entries());
    EXPECT_EQ(read.salt, manifest.salt);
    EXPECT_EQ(read.keyCheck, manifest.keyCheck);
}

TEST(CopyManifest, AFileThatIsNotOneIsRefused) {
    const std::string kHex(32, 'a');
    CopyManifest manifest;
    for (const std::string& text : {std::string(), std::string("index.html\n"), std::string("quillora-manifest 2\n"),
                                    std::string("quillora-manifest 1\nP\ta\tb\n"),
                                    "quillora-manifest 1\nX\ta\tb\t1\t2\t" + kHex + "\t" + kHex + "\t3\t4\n",
                                    "quillora-manifest 1\nP\ta%zz\tb\t1\t2\t" + kHex + "\t" + kHex + "\t3\t4\n",
                                    "quillora-manifest 1\nP\ta\tb\tone\t2\t" + kHex + "\t" + kHex + "\t3\t4\n",
                                    "quillora-manifest 1\nP\ta\tb\t1\t2\tshort\t" + kHex + "\t3\t4\n"})
        EXPECT_FALSE(manifest.parse(text)) << text;
    EXPECT_TRUE(manifest.parse("quillora-manifest 1\nP\ta\tb\t1\t2\t" + kHex + "\t" + kHex + "\t3\t4\n"));
    EXPECT_EQ(manifest.entries().size(), 1u);
    EXPECT_TRUE(manifest.parse("quillora-manifest 1\n"));
    EXPECT_TRUE(manifest.entries().empty());
}

TEST(CopyManifest, AMissingFileIsAnEmptyManifestAndAStrangersFileIsAnError) {
    test::TempFolder temp;
    disk::PosixFileSystem disk;
    CopyManifest manifest;
    EXPECT_FALSE(manifest.read(disk, temp / "none"));
    temp.write("strange", "not a manifest");
    EXPECT_EQ(manifest.read(disk, temp / "strange"), std::errc::illegal_byte_sequence);
    manifest.entries()["a.html"] = {Kind::Page, "a.html", 1, 2, kOne, kTwo, 3, 4, false};
    ASSERT_FALSE(manifest.write(disk, temp / "written"));
    CopyManifest back;
    ASSERT_FALSE(back.read(disk, temp / "written"));
    EXPECT_EQ(back.entries(), manifest.entries());
}

} // namespace
} // namespace quillora::run
