#pragma once

#include "crypto/CryptoBackend.h"

#include <memory>
#include <string>
#include <string_view>

namespace zevlo {

// AES-192 in CFB-8, keyed from SHA-1 of a fixed phrase, IV = the key's encryption of a
// zero block. The cipher is keyed only for the length of one password operation and
// wiped at its end: between calls it holds no key material (IV and CV all 0xFF).
class PasswordCipher {
public:
    PasswordCipher();
    ~PasswordCipher();
    PasswordCipher(const PasswordCipher &) = delete;
    PasswordCipher &operator=(const PasswordCipher &) = delete;

    // Clear password bytes to the stored text and back. Each derives the key afresh and
    // wipes the cipher before returning, also when it throws.
    std::string EncryptPassword(std::string clear);
    std::string DecryptPassword(std::string stored);

    // The steps, public for the tests and the benchmark.
    // Throws std::runtime_error("Unable to allocate sufficient memory for hash digest")
    // when the backend fails.
    void DeriveKey();
    // Both start from the current CV and leave it after the last byte; they throw
    // std::runtime_error("Cipher not initialized") when the cipher is not keyed.
    void Cfb8Encrypt(std::string &bytes);
    void Cfb8Decrypt(std::string &bytes);
    // CV := IV.
    void ResetChain();
    void WipeCipher();

    bool Keyed() const { return encryptor_ != nullptr; }
    const crypto::AesBlock &Iv() const { return iv_; }
    const crypto::AesBlock &Cv() const { return cv_; }

private:
    void RequireKeyed() const;
    std::uint8_t NextKeystreamByte();

    std::unique_ptr<crypto::Aes192Encryptor> encryptor_; // owns the round keys
    crypto::AesBlock iv_;
    crypto::AesBlock cv_;
    crypto::AesBlock keystream_;
};

} // namespace zevlo
