// The way back from encryption: the originals the unlock pages carry come back byte for byte with a password of the
// site, and nothing else is touched.
#include "run/DecryptRun.h"

#include "RecordingReporter.h"
#include "run/ErrorNumbers.h"
#include "run/ProtectionRun.h"
#include "unlock/UnlockPage.h"

#include <gtest/gtest.h>

namespace quillora::run {
namespace {

using test::readBytes;

// Bytes a careless round trip would change: Windows-1252 letters, CR LF, a trailing blank, no end of line.
const std::string kOriginalA = "<html><head><title>caf\xe9</title></head>\r\n<body>Na\xefve text </body></html>";
const std::string kOriginalB = "<!DOCTYPE html>\n<html><body><p>b words</p></body></html>\n";
constexpr char16_t kPassword[] = u"a long enough password of the site";

class DecryptRunTest : public ::testing::Test {
protected:
    /// The site encrypted into "out" with scripts and a notice, so that the pages shown differ from their originals.
    void encryptSite() {
        temp.write("site/a.htm", kOriginalA);
        temp.write("site/sub/b.html", kOriginalB);
        engine::ProtectionOptions options;
        options.storageMode = engine::StorageMode::CopyToFolder;
        options.targetFolder = temp / "out";
        options.passwordProtect = true;
        options.encrypt = true;
        options.password = kPassword;
        options.insertNotice = true;
        options.scripts[engine::kScriptRightClick] = true;
        test::RecordingReporter protecting;
        ASSERT_EQ(ProtectionRun(options, protecting, disk).ProtectFiles({folder("site")}).written, 2u);
        ASSERT_TRUE(unlock::PageEncryptor::isUnlockPage(readBytes(temp / "out/a.htm")));
    }
    RunSummary decrypt(std::string_view relative, std::u16string password = kPassword, std::string target = {}) {
        reporter = {};
        return DecryptRun(reporter, disk, std::move(password), std::move(target)).Decrypt({folder(relative)});
    }
    SelectionEntry folder(std::string_view relative) const { return {temp / relative, true}; }
    std::vector<std::error_code> errors() const {
        std::vector<std::error_code> list;
        for (const auto& problem : reporter.problems)
            list.push_back(problem.problem.error);
        return list;
    }

    test::TempFolder temp;
    disk::PosixFileSystem disk;
    test::RecordingReporter reporter;
};

TEST_F(DecryptRunTest, TheOriginalsComeBackByteForByteIntoAFolderAndInPlace) {
    encryptSite();
    const auto copied = decrypt("out", kPassword, temp / "back");
    EXPECT_EQ(copied.written, 2u);
    EXPECT_TRUE(copied.allDone());
    EXPECT_EQ(readBytes(temp / "back/a.htm"), kOriginalA);
    EXPECT_EQ(readBytes(temp / "back/sub/b.html"), kOriginalB);
    EXPECT_TRUE(unlock::PageEncryptor::isUnlockPage(readBytes(temp / "out/a.htm"))) << "the unlock pages stay";

    EXPECT_EQ(decrypt("out").written, 2u);
    EXPECT_EQ(readBytes(temp / "out/a.htm"), kOriginalA);
    EXPECT_EQ(readBytes(temp / "out/sub/b.html"), kOriginalB);
    const auto again = decrypt("out");
    EXPECT_EQ(again.written, 0u) << "pages that are not encrypted are passed over";
    EXPECT_TRUE(again.allDone());
}

TEST_F(DecryptRunTest, AnotherPasswordADamagedPageAndAFileInTheTargetAreReportedAndLeftAlone) {
    encryptSite();
    const std::string unlockA = readBytes(temp / "out/a.htm");
    const auto wrong = decrypt("out", u"not the password of this site");
    EXPECT_EQ(wrong.written, 0u);
    EXPECT_EQ(errors(), (std::vector<std::error_code>{RunError::NotOpened, RunError::NotOpened}));
    EXPECT_EQ(readBytes(temp / "out/a.htm"), unlockA);

    // b's sealed bytes put into a's unlock page: its slot opens, but b's bytes are bound to b's path.
    unlock::SealedPage sealedB;
    ASSERT_TRUE(unlock::PageEncryptor::readSealed(readBytes(temp / "out/sub/b.html"), sealedB));
    const auto field = [](const std::string& unlock, std::string_view name) {
        std::string key(1, '"');
        key.append(name).append("\":\"");
        const std::size_t start = unlock.find(key) + key.size();
        return std::pair{start, unlock.find('"', start) - start};
    };
    const std::string unlockB = readBytes(temp / "out/sub/b.html");
    std::string swapped = unlockA;
    for (const std::string_view name : {"iv", "page"}) {
        const auto [at, length] = field(swapped, name);
        const auto [from, size] = field(unlockB, name);
        swapped.replace(at, length, unlockB, from, size);
    }
    temp.write("out/a.htm", swapped);
    temp.write("back/sub/b.html", "a file of the user's");
    const auto summary = decrypt("out", kPassword, temp / "back");
    EXPECT_EQ(summary.written, 0u);
    EXPECT_EQ(errors(), (std::vector<std::error_code>{RunError::Damaged, RunError::OutputExists}));
    EXPECT_EQ(readBytes(temp / "back/sub/b.html"), "a file of the user's");
    EXPECT_FALSE(std::filesystem::exists(temp / "back/a.htm"));
}

} // namespace
} // namespace quillora::run
