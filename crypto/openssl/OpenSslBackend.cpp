#include "crypto/CryptoBackend.h"

// The plain block and digest functions, not EVP: EVP's provider set-up keeps about 2 MB of
// a program that lives all day in the notification area resident, for two primitives it
// uses a few times a day. Their inputs here are public (the key comes from a fixed phrase,
// the cipher's input is the IV and the stored ciphertext), so table lookups in them reveal
// nothing about the password.
#define OPENSSL_SUPPRESS_DEPRECATED
#include <openssl/aes.h>
#include <openssl/crypto.h>
#include <openssl/sha.h>

#include <stdexcept>

namespace zevlo::crypto {

namespace {

class OpenSslAes192Encryptor final : public Aes192Encryptor {
public:
    explicit OpenSslAes192Encryptor(const Aes192Key &key) {
        if (AES_set_encrypt_key(key.data(), 192, &schedule_) != 0)
            throw std::runtime_error("OpenSSL: cannot key AES-192");
    }

    ~OpenSslAes192Encryptor() override { OPENSSL_cleanse(&schedule_, sizeof schedule_); }

    OpenSslAes192Encryptor(const OpenSslAes192Encryptor &) = delete;
    OpenSslAes192Encryptor &operator=(const OpenSslAes192Encryptor &) = delete;

    // AES_encrypt reads the whole input block before writing, so in and out may be one block.
    void EncryptBlock(const AesBlock &in, AesBlock &out) override { AES_encrypt(in.data(), out.data(), &schedule_); }

private:
    AES_KEY schedule_{};
};

} // namespace

Sha1Digest Sha1(std::span<const std::uint8_t> data) {
    Sha1Digest digest;
    SHA_CTX state;
    if (SHA1_Init(&state) != 1 || SHA1_Update(&state, data.data(), data.size()) != 1 ||
        SHA1_Final(digest.data(), &state) != 1) {
        OPENSSL_cleanse(&state, sizeof state);
        throw std::runtime_error("OpenSSL: SHA-1 failed");
    }
    OPENSSL_cleanse(&state, sizeof state);
    return digest;
}

std::unique_ptr<Aes192Encryptor> MakeAes192Encryptor(const Aes192Key &key) {
    return std::make_unique<OpenSslAes192Encryptor>(key);
}

void SecureWipe(void *data, std::size_t size) {
    OPENSSL_cleanse(data, size);
}

} // namespace zevlo::crypto
