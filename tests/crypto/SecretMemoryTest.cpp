#include "crypto/SecretMemory.h"

#include <gtest/gtest.h>

namespace quillora::crypto {
namespace {

// The buffer is looked at after the wipe through its own pointer: the string keeps it, emptied.
TEST(Wipe, OverwritesTheWholeBufferAndEmptiesTheString) {
    std::string secret(100, 's');
    secret.resize(10); // bytes beyond the size still hold the secret
    const char* buffer = secret.data();
    const std::size_t capacity = secret.capacity();
    wipe(secret);
    EXPECT_TRUE(secret.empty());
    ASSERT_EQ(secret.data(), buffer);
    for (std::size_t i = 0; i < capacity; ++i)
        ASSERT_EQ(buffer[i], '\0') << i;
}

TEST(Wipe, TextsOfCodeUnitsAndShortOnesToo) {
    std::u16string secret(u"a long enough password to live on the heap");
    const char16_t* buffer = secret.data();
    const std::size_t size = secret.size();
    wipe(secret);
    EXPECT_TRUE(secret.empty());
    for (std::size_t i = 0; i < size; ++i)
        ASSERT_EQ(buffer[i], u'\0') << i;
    std::string shortOne("pw"); // kept inside the string object itself
    const char* inside = shortOne.data();
    wipe(shortOne);
    EXPECT_EQ(inside[0], '\0');
    EXPECT_EQ(inside[1], '\0');
}

} // namespace
} // namespace quillora::crypto
