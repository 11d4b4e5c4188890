#include "crypto/Password.h"
#include "crypto/PasswordCipher.h"
#include "tests/crypto/KnownAnswers.h"

#include <gtest/gtest.h>

#include <random>
#include <stdexcept>
#include <string>

namespace zevlo {
namespace {

using namespace zevlo::testing;
using namespace std::string_literals;

const std::string kWipedBlockHex(32, 'f');

TEST(Password, EncryptsToTheOpenSslTextAndBack) {
    for (const StoredPassword &known : kStoredPasswords) {
        EXPECT_EQ(EncryptPassword(known.clear), known.stored) << known.clear.size() << " bytes";
        EXPECT_EQ(DecryptPassword(known.stored), known.clear) << known.clear.size() << " bytes";
    }
}

TEST(PasswordCipher, DeriveKeySetsTheIvFromTheKeyAndStartsTheChainThere) {
    PasswordCipher cipher;
    cipher.DeriveKey();
    EXPECT_TRUE(cipher.Keyed());
    EXPECT_EQ(Hex(cipher.Iv()), kIvHex);
    EXPECT_EQ(Hex(cipher.Cv()), kIvHex);
}

TEST(PasswordCipher, StartsWipedAndIsWipedAfterEveryCall) {
    PasswordCipher cipher;
    EXPECT_FALSE(cipher.Keyed());
    EXPECT_EQ(Hex(cipher.Iv()), kWipedBlockHex);

    EXPECT_EQ(cipher.EncryptPassword("abc"), "hMG3");
    EXPECT_FALSE(cipher.Keyed());
    EXPECT_EQ(Hex(cipher.Iv()), kWipedBlockHex);
    EXPECT_EQ(Hex(cipher.Cv()), kWipedBlockHex);

    EXPECT_EQ(cipher.DecryptPassword("hMG3"), "abc");
    EXPECT_FALSE(cipher.Keyed());
    EXPECT_EQ(Hex(cipher.Cv()), kWipedBlockHex);

    // Nothing chains from one call into the next.
    EXPECT_EQ(cipher.EncryptPassword("abc"), "hMG3");
}

TEST(PasswordCipher, RefusesToWorkUnkeyed) {
    PasswordCipher cipher;
    std::string bytes = "abc";
    try {
        cipher.Cfb8Encrypt(bytes);
        ADD_FAILURE() << "no exception";
    } catch (const std::runtime_error &error) {
        EXPECT_STREQ(error.what(), "Cipher not initialized");
    }
    EXPECT_THROW(cipher.Cfb8Decrypt(bytes), std::runtime_error);
    EXPECT_THROW(cipher.ResetChain(), std::runtime_error);
    EXPECT_EQ(bytes, "abc");
}

TEST(PasswordCipher, TheChainCarriesAcrossStepsUntilReset) {
    // "0123456789abcdefg" under CFB-8 from the IV, bytes from the openssl text "1Tat...NYc=".
    const std::string whole = Base64Decode(kStoredPasswords[6].stored);
    PasswordCipher cipher;
    cipher.DeriveKey();
    std::string head = "0123456789";
    std::string tail = "abcdefg";
    cipher.Cfb8Encrypt(head);
    cipher.Cfb8Encrypt(tail);
    EXPECT_EQ(head + tail, whole);

    cipher.ResetChain();
    std::string bytes = whole;
    cipher.Cfb8Decrypt(bytes);
    EXPECT_EQ(bytes, "0123456789abcdefg");
    cipher.WipeCipher();
}

TEST(Password, AnyTextDecryptsWithoutComplaint) {
    // "hA==hME=" decodes to 84 84 c1; printf '\x84\x84\xc1' | openssl enc -d -aes-192-cfb8 -K $KEY -iv $IV | xxd -p
    EXPECT_EQ(DecryptPassword("hA==hME="), "\x61\x27\x8c"s);
    EXPECT_EQ(DecryptPassword("h"), "");
    EXPECT_EQ(DecryptPassword("hMG"), "");
    EXPECT_EQ(DecryptPassword("hMG3hM"), "abc");
}

TEST(Password, RoundTripsEveryByteAndLength) {
    std::mt19937 random(20240611);
    std::uniform_int_distribution<int> byteValue(0, 255);
    for (std::size_t length = 0; length <= 70; ++length) {
        std::string clear;
        for (std::size_t i = 0; i < length; ++i)
            clear += static_cast<char>(byteValue(random));
        const std::string stored = EncryptPassword(clear);
        EXPECT_EQ(stored.size(), 4 * ((length + 2) / 3));
        EXPECT_EQ(DecryptPassword(stored), clear) << "length " << length;
    }
}

TEST(Password, SharedPrefixGivesSharedCiphertext) {
    const std::string base = "correct horse battery";
    for (std::size_t k = 0; k < base.size(); ++k) {
        std::string other = base;
        other[k] = static_cast<char>(other[k] ^ 0x20);
        const std::string a = Base64Decode(EncryptPassword(base));
        const std::string b = Base64Decode(EncryptPassword(other));
        EXPECT_EQ(a.substr(0, k), b.substr(0, k)) << "prefix " << k;
        EXPECT_NE(a[k], b[k]) << "prefix " << k;
    }
}

TEST(Password, AlteredCharacterGarblesOnlyTheFollowingSixteenBytes) {
    std::string clear;
    for (int i = 0; i < 48; ++i)
        clear += static_cast<char>('A' + i % 26);
    std::string stored = EncryptPassword(clear);
    // Character 20 is the first of group 5: it holds the top bits of ciphertext byte 15.
    stored[20] = stored[20] == 'Q' ? 'R' : 'Q';
    const std::string garbled = DecryptPassword(stored);
    ASSERT_EQ(garbled.size(), clear.size());
    EXPECT_EQ(garbled.substr(0, 15), clear.substr(0, 15));
    EXPECT_NE(garbled[15], clear[15]);
    EXPECT_NE(garbled.substr(16, 16), clear.substr(16, 16));
    // CFB-8 recovers once the altered byte has left the 16-byte register.
    EXPECT_EQ(garbled.substr(32), clear.substr(32));
}

} // namespace
} // namespace zevlo
