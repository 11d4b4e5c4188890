#include "crypto/CryptoBackend.h"

#include <openssl/crypto.h>
#include <openssl/err.h>
#include <openssl/evp.h>

#include <stdexcept>
#include <string>

namespace zevlo::crypto {

namespace {

[[noreturn]] void ThrowLibraryError(const char *what) {
    const unsigned long code = ERR_get_error();
    ERR_clear_error();
    std::string message = std::string("OpenSSL: ") + what;
    if (code != 0) {
        char text[256];
        ERR_error_string_n(code, text, sizeof text);
        message += ": ";
        message += text;
    }
    throw std::runtime_error(message);
}

class OpenSslAes192Encryptor final : public Aes192Encryptor {
public:
    explicit OpenSslAes192Encryptor(const Aes192Key &key) : context_(EVP_CIPHER_CTX_new()) {
        if (context_ == nullptr)
            ThrowLibraryError("cannot create a cipher context");
        // Keyed once; every EncryptBlock reuses the expanded key. ECB without padding is
        // exactly the forward block function.
        if (EVP_EncryptInit_ex(context_, EVP_aes_192_ecb(), nullptr, key.data(), nullptr) != 1 ||
            EVP_CIPHER_CTX_set_padding(context_, 0) != 1) {
            EVP_CIPHER_CTX_free(context_);
            ThrowLibraryError("cannot key AES-192");
        }
    }

    // Freeing the context cleanses its key schedule.
    ~OpenSslAes192Encryptor() override { EVP_CIPHER_CTX_free(context_); }

    OpenSslAes192Encryptor(const OpenSslAes192Encryptor &) = delete;
    OpenSslAes192Encryptor &operator=(const OpenSslAes192Encryptor &) = delete;

    void EncryptBlock(const AesBlock &in, AesBlock &out) override {
        AesBlock result;
        int written = 0;
        if (EVP_EncryptUpdate(context_, result.data(), &written, in.data(), static_cast<int>(in.size())) != 1 ||
            written != static_cast<int>(result.size()))
            ThrowLibraryError("AES block encryption failed");
        out = result;
        OPENSSL_cleanse(result.data(), result.size());
    }

private:
    EVP_CIPHER_CTX *context_;
};

} // namespace

Sha1Digest Sha1(std::span<const std::uint8_t> data) {
    Sha1Digest digest;
    unsigned int length = 0;
    if (EVP_Digest(data.data(), data.size(), digest.data(), &length, EVP_sha1(), nullptr) != 1 ||
        length != digest.size())
        ThrowLibraryError("SHA-1 failed");
    return digest;
}

std::unique_ptr<Aes192Encryptor> MakeAes192Encryptor(const Aes192Key &key) {
    return std::make_unique<OpenSslAes192Encryptor>(key);
}

void SecureWipe(void *data, std::size_t size) {
    OPENSSL_cleanse(data, size);
}

} // namespace zevlo::crypto
