#include "run/EncryptedRunOptions.h"

#include <gtest/gtest.h>

namespace quillora::run {
namespace {

TEST(EncryptedRunOptions, ThePromptNeverReachesTheEngine) {
    engine::ProtectionOptions options;
    options.passwordProtect = true;
    options.password = u"it's";
    options.encrypt = true;
    options.rememberDays = 7;
    options.unlockButton = u"Go";
    const engine::ProtectionOptions forEngine = engineOptions(options);
    EXPECT_FALSE(forEngine.passwordProtect);
    EXPECT_EQ(forEngine.password, u"");
    const unlock::EncryptionSettings settings = encryptionSettings(options);
    EXPECT_EQ(settings.password, u"it's");
    EXPECT_EQ(settings.rememberDays, 7);
    EXPECT_EQ(settings.texts.button, u"Go");
    EXPECT_EQ(settings.iterations, 600000);

    options.encrypt = false;
    EXPECT_TRUE(engineOptions(options).passwordProtect) << "the prompt as it was when not encrypting";
    EXPECT_EQ(engineOptions(options).password, u"it's");
}

} // namespace
} // namespace quillora::run
