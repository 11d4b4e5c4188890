#include "crypto/CryptoBackend.h"
#include "tests/crypto/KnownAnswers.h"

#include <gtest/gtest.h>

#include <span>
#include <string>
#include <string_view>

namespace zevlo::crypto {
namespace {

using namespace zevlo::testing;

template <std::size_t N> std::array<std::uint8_t, N> FromHex(std::string_view hex) {
    std::array<std::uint8_t, N> bytes{};
    for (std::size_t i = 0; i < N; ++i)
        bytes[i] = static_cast<std::uint8_t>(std::stoi(std::string(hex.substr(2 * i, 2)), nullptr, 16));
    return bytes;
}

std::span<const std::uint8_t> Bytes(std::string_view text) {
    return {reinterpret_cast<const std::uint8_t *>(text.data()), text.size()};
}

TEST(CryptoBackend, Sha1MatchesOpenSslCommandLine) {
    EXPECT_EQ(Hex(Sha1(Bytes("qaltz"))), kPhraseSha1Hex);
    EXPECT_EQ(Hex(Sha1(Bytes(""))), kEmptySha1Hex);
    EXPECT_EQ(Hex(Sha1(Bytes("abc"))), kAbcSha1Hex);
}

TEST(CryptoBackend, Aes192EncryptsSingleBlocksWithoutChaining) {
    auto encryptor = MakeAes192Encryptor(FromHex<24>(kKeyHex));
    const AesBlock zero{};
    AesBlock first;
    encryptor->EncryptBlock(zero, first);
    EXPECT_EQ(Hex(first), kIvHex);

    // A second block of the same key: no state carried over from the first.
    AesBlock again;
    encryptor->EncryptBlock(zero, again);
    EXPECT_EQ(Hex(again), kIvHex);

    // In place, as the IV is made.
    AesBlock block = first;
    encryptor->EncryptBlock(block, block);
    EXPECT_EQ(Hex(block), kIvEncryptedHex);
}

TEST(CryptoBackend, KeyedEncryptorsAreIndependent) {
    auto keyed = MakeAes192Encryptor(FromHex<24>(kKeyHex));
    auto other = MakeAes192Encryptor(Aes192Key{});
    AesBlock fromOther;
    other->EncryptBlock(AesBlock{}, fromOther);
    AesBlock fromKeyed;
    keyed->EncryptBlock(AesBlock{}, fromKeyed);
    EXPECT_EQ(Hex(fromKeyed), kIvHex);
    EXPECT_EQ(Hex(fromOther), kZeroKeyZeroBlockHex);
}

TEST(CryptoBackend, SecureWipeZeroes) {
    std::array<std::uint8_t, 24> buffer;
    buffer.fill(0xA5);
    SecureWipe(buffer.data(), buffer.size());
    EXPECT_EQ(buffer, (std::array<std::uint8_t, 24>{}));
}

} // namespace
} // namespace zevlo::crypto
