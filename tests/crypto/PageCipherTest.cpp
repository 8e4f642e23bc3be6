#include "crypto/PageCipher.h"

#include "crypto/CryptoError.h"

#include <gtest/gtest.h>

namespace quillora::crypto {
namespace {

std::string fromHex(std::string_view hex) {
    std::string bytes;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
        bytes += static_cast<char>(std::stoi(std::string(hex.substr(i, 2)), nullptr, 16));
    return bytes;
}

template <class Array> Array arrayFromHex(std::string_view hex) {
    const std::string bytes = fromHex(hex);
    Array array{};
    std::copy(bytes.begin(), bytes.end(), array.begin());
    return array;
}

std::string sealAll(const PageCipher& cipher, std::string_view plain, const PageCipher::Nonce& nonce,
                    std::string_view additional = {}) {
    std::string sealed;
    EXPECT_FALSE(cipher.seal(plain, nonce, additional, [&](std::string_view piece) { sealed += piece; }));
    return sealed;
}

struct GcmVector {
    const char* name;
    const char* key;
    const char* nonce;
    const char* plain;
    const char* additional;
    const char* sealed; // ciphertext followed by the tag
};

class GcmKnownAnswer : public ::testing::TestWithParam<GcmVector> {};

TEST_P(GcmKnownAnswer, SealsAndOpensAsPublished) {
    const auto& vector = GetParam();
    const PageCipher cipher(arrayFromHex<SiteKey::Key>(vector.key));
    const auto nonce = arrayFromHex<PageCipher::Nonce>(vector.nonce);
    const std::string plain = fromHex(vector.plain);
    const std::string additional = fromHex(vector.additional);
    EXPECT_EQ(sealAll(cipher, plain, nonce, additional), fromHex(vector.sealed));

    std::string opened;
    ASSERT_FALSE(cipher.open(fromHex(vector.sealed), nonce, additional, opened));
    EXPECT_EQ(opened, plain);
}

constexpr const char* kZeroKey = "0000000000000000000000000000000000000000000000000000000000000000";
constexpr const char* kKey = "feffe9928665731c6d6a8f9467308308feffe9928665731c6d6a8f9467308308";
constexpr const char* kPlain = "d9313225f88406e5a55909c5aff5269a86a7a9531534f7da2e4c303d8a318a72"
                               "1c3c0c95956809532fcf0e2449a6b525b16aedf5aa0de657ba637b391aafd255";
constexpr const char* kCipher = "522dc1f099567d07f47f37a32a84427d643a8cdcbfe5c0c97598a2bd2555d1aa"
                                "8cb08e48590dbb3da7b08b1056828838c5f61e6393ba7a0abcc9f662898015ad";

// The published AES-GCM known answers 13 to 16 (McGrew and Viega), the ones with a 256-bit key and a
// 96-bit nonce.
INSTANTIATE_TEST_SUITE_P(
    GcmSpecification, GcmKnownAnswer,
    ::testing::Values(GcmVector{"Case13", kZeroKey, "000000000000000000000000", "", "",
                                "530f8afbc74536b9a963b4f1c4cb738b"},
                      GcmVector{"Case14", kZeroKey, "000000000000000000000000", "00000000000000000000000000000000", "",
                                "cea7403d4d606b6e074ec5d3baf39d18d0d1c8a799996bf0265b98b5d48ab919"},
                      GcmVector{"Case15", kKey, "cafebabefacedbaddecaf888", kPlain, "",
                                "522dc1f099567d07f47f37a32a84427d643a8cdcbfe5c0c97598a2bd2555d1aa"
                                "8cb08e48590dbb3da7b08b1056828838c5f61e6393ba7a0abcc9f662898015ad"
                                "b094dac5d93471bdec1a502270e3cc6c"},
                      GcmVector{"Case16", kKey, "cafebabefacedbaddecaf888",
                                "d9313225f88406e5a55909c5aff5269a86a7a9531534f7da2e4c303d8a318a72"
                                "1c3c0c95956809532fcf0e2449a6b525b16aedf5aa0de657ba637b39",
                                "feedfacedeadbeeffeedfacedeadbeefabaddad2",
                                "522dc1f099567d07f47f37a32a84427d643a8cdcbfe5c0c97598a2bd2555d1aa"
                                "8cb08e48590dbb3da7b08b1056828838c5f61e6393ba7a0abcc9f662"
                                "76fc6ece0f4e1768cddf8853bb2d551b"}),
    [](const auto& info) { return info.param.name; });

class PageCipherTest : public ::testing::Test {
protected:
    const PageCipher cipher{arrayFromHex<SiteKey::Key>(kKey)};
    const PageCipher::Nonce nonce = arrayFromHex<PageCipher::Nonce>("cafebabefacedbaddecaf888");
};

TEST_F(PageCipherTest, AChangedByteOrTagOrNonceIsRefused) {
    const std::string sealed = sealAll(cipher, fromHex(kPlain), nonce);
    for (const std::size_t at : {std::size_t{0}, std::size_t{63}, sealed.size() - 1}) {
        std::string changed = sealed;
        changed[at] = static_cast<char>(changed[at] ^ 1);
        std::string opened = "left over";
        EXPECT_EQ(cipher.open(changed, nonce, {}, opened), CryptoError::AuthenticationFailed) << at;
        EXPECT_EQ(opened, "") << "nothing of a refused page is handed out";
    }
    PageCipher::Nonce other = nonce;
    other[11] ^= 1;
    std::string opened;
    EXPECT_EQ(cipher.open(sealed, other, {}, opened), CryptoError::AuthenticationFailed);
    EXPECT_EQ(cipher.open(sealed.substr(0, 15), nonce, {}, opened), CryptoError::AuthenticationFailed);
    const PageCipher otherKey{arrayFromHex<SiteKey::Key>(kZeroKey)};
    EXPECT_EQ(otherKey.open(sealed, nonce, {}, opened), CryptoError::AuthenticationFailed);
}

TEST_F(PageCipherTest, ALargePageIsSealedInPiecesAsInOne) {
    std::string page;
    for (int i = 0; page.size() < 300 * 1024 + 7; ++i)
        page += "<p>Line " + std::to_string(i) + " of a large page</p>\n";
    std::size_t pieces = 0;
    std::string sealed;
    ASSERT_FALSE(cipher.seal(page, nonce, {}, [&](std::string_view piece) {
        ++pieces;
        sealed += piece;
        EXPECT_TRUE(piece.size() % 3 == 0 || sealed.size() >= page.size()) << "whole base64 groups until the end";
    }));
    EXPECT_GT(pieces, 2u);
    EXPECT_EQ(sealed.size(), page.size() + PageCipher::kTagBytes);
    std::string opened;
    ASSERT_FALSE(cipher.open(sealed, nonce, {}, opened));
    EXPECT_EQ(opened, page);
}

TEST_F(PageCipherTest, EveryPageGetsAFreshNonce) {
    PageCipher::Nonce first{};
    PageCipher::Nonce second{};
    std::string a;
    std::string b;
    ASSERT_FALSE(cipher.seal("same page", first, [&](std::string_view piece) { a += piece; }));
    ASSERT_FALSE(cipher.seal("same page", second, [&](std::string_view piece) { b += piece; }));
    EXPECT_NE(first, second);
    EXPECT_NE(a, b);
    std::string opened;
    ASSERT_FALSE(cipher.open(b, second, {}, opened));
    EXPECT_EQ(opened, "same page");
}

} // namespace
} // namespace quillora::crypto
