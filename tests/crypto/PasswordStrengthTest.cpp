#include "crypto/PasswordStrength.h"

#include <gtest/gtest.h>

namespace quillora::crypto {
namespace {

using Level = PasswordStrength::Level;

struct Estimate {
    const char16_t* password;
    Level level;
};

class PasswordStrengthTest : public ::testing::TestWithParam<Estimate> {};

TEST_P(PasswordStrengthTest, SortsPasswordsByHowAnAttackerWouldGuessThem) {
    const auto strength = PasswordStrength::of(GetParam().password);
    EXPECT_EQ(strength.level(), GetParam().level) << strength.bits();
    EXPECT_EQ(strength.wholeBits(), static_cast<int>(strength.bits()));
}

INSTANTIATE_TEST_SUITE_P(
    Passwords, PasswordStrengthTest,
    ::testing::Values(Estimate{u"", Level::TooWeak}, Estimate{u"a", Level::TooWeak},
                      Estimate{u"password", Level::TooWeak}, Estimate{u"Password1", Level::TooWeak},
                      Estimate{u"qwertyuiop", Level::TooWeak}, Estimate{u"hunter2hunter2", Level::TooWeak},
                      Estimate{u"open sesame", Level::TooWeak}, Estimate{u"blue-cactus-river", Level::Weak},
                      Estimate{u"Tr0ub4dor&3", Level::Weak}, Estimate{u"correct horse battery staple", Level::Strong},
                      Estimate{u"kX9#mQ2$vL", Level::Strong}));

TEST(PasswordStrength, TheFloorAndTheMarkSplitTheLevels) {
    EXPECT_LT(PasswordStrength::kFloorBits, PasswordStrength::kStrongBits);
    EXPECT_GE(PasswordStrength::of(u"blue-cactus-river").bits(), PasswordStrength::kFloorBits);
    EXPECT_LT(PasswordStrength::of(u"blue-cactus-river").bits(), PasswordStrength::kStrongBits);
}

TEST(PasswordStrength, ComposedAndDecomposedFormsAreOnePassword) {
    // The key is derived from the NFC form: the estimate is of what an attacker guesses.
    EXPECT_EQ(PasswordStrength::of(u"Cr\u00E8me br\u00FBl\u00E9e").bits(),
              PasswordStrength::of(u"Cre\u0300me bru\u0302le\u0301e").bits());
}

} // namespace
} // namespace quillora::crypto
