#include "crypto/PasswordCipher.h"

#include "crypto/Password.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>
#include <string_view>

namespace zevlo {

namespace {

constexpr std::string_view kPasswordPhrase = "qaltz";

constexpr std::size_t kDigestBits = 160;
constexpr std::size_t kLargestKeyBits = 256;
constexpr std::size_t kKeyBits = std::min(kDigestBits, kLargestKeyBits);
static_assert(kKeyBits != 0 && kKeyBits % 4 == 0 && kKeyBits <= kLargestKeyBits, "Invalid key size");
// 20 key bytes select the 6-word (AES-192) schedule; the last 4 key bytes stay zero.
static_assert(kKeyBits / 8 > 16 && kKeyBits / 8 <= sizeof(crypto::Aes192Key));

// Wipes a buffer of key material however the scope is left.
class WipeOnExit {
public:
    WipeOnExit(void *data, std::size_t size) : data_(data), size_(size) {}
    ~WipeOnExit() { crypto::SecureWipe(data_, size_); }
    WipeOnExit(const WipeOnExit &) = delete;
    WipeOnExit &operator=(const WipeOnExit &) = delete;

private:
    void *data_;
    std::size_t size_;
};

class WipeCipherOnExit {
public:
    explicit WipeCipherOnExit(PasswordCipher &cipher) : cipher_(cipher) {}
    ~WipeCipherOnExit() { cipher_.WipeCipher(); }
    WipeCipherOnExit(const WipeCipherOnExit &) = delete;
    WipeCipherOnExit &operator=(const WipeCipherOnExit &) = delete;

private:
    PasswordCipher &cipher_;
};

} // namespace

PasswordCipher::PasswordCipher() {
    WipeCipher();
}

PasswordCipher::~PasswordCipher() {
    if (Keyed())
        WipeCipher();
}

void PasswordCipher::DeriveKey() {
    if (Keyed())
        WipeCipher();
    crypto::Sha1Digest digest{};
    crypto::Aes192Key key{};
    WipeOnExit wipeDigest(digest.data(), digest.size());
    WipeOnExit wipeKey(key.data(), key.size());
    try {
        digest = crypto::Sha1(
            std::span(reinterpret_cast<const std::uint8_t *>(kPasswordPhrase.data()), kPasswordPhrase.size()));
        std::copy_n(digest.begin(), kKeyBits / 8, key.begin());
        encryptor_ = crypto::MakeAes192Encryptor(key);
        iv_.fill(0);
        encryptor_->EncryptBlock(iv_, iv_);
        cv_ = iv_;
    } catch (const std::exception &) {
        WipeCipher();
        throw std::runtime_error("Unable to allocate sufficient memory for hash digest");
    }
}

void PasswordCipher::RequireKeyed() const {
    if (!Keyed())
        throw std::runtime_error("Cipher not initialized");
}

void PasswordCipher::ResetChain() {
    RequireKeyed();
    cv_ = iv_;
}

std::uint8_t PasswordCipher::NextKeystreamByte() {
    encryptor_->EncryptBlock(cv_, keystream_);
    return keystream_[0];
}

void PasswordCipher::Cfb8Encrypt(std::string &bytes) {
    RequireKeyed();
    for (char &byte : bytes) {
        const auto cipherByte = static_cast<std::uint8_t>(static_cast<std::uint8_t>(byte) ^ NextKeystreamByte());
        std::memmove(cv_.data(), cv_.data() + 1, cv_.size() - 1);
        cv_.back() = cipherByte;
        byte = static_cast<char>(cipherByte);
    }
}

void PasswordCipher::Cfb8Decrypt(std::string &bytes) {
    RequireKeyed();
    for (char &byte : bytes) {
        const auto cipherByte = static_cast<std::uint8_t>(byte);
        const auto clearByte = static_cast<std::uint8_t>(cipherByte ^ NextKeystreamByte());
        std::memmove(cv_.data(), cv_.data() + 1, cv_.size() - 1);
        cv_.back() = cipherByte;
        byte = static_cast<char>(clearByte);
    }
}

void PasswordCipher::WipeCipher() {
    encryptor_.reset(); // the backend wipes the round keys
    crypto::SecureWipe(keystream_.data(), keystream_.size());
    crypto::SecureWipe(iv_.data(), iv_.size());
    crypto::SecureWipe(cv_.data(), cv_.size());
    iv_.fill(0xFF);
    cv_.fill(0xFF);
}

std::string PasswordCipher::EncryptPassword(std::string clear) {
    WipeCipherOnExit wipe(*this);
    DeriveKey();
    Cfb8Encrypt(clear); // in place: no second copy of the clear text
    return Base64Encode(clear);
}

std::string PasswordCipher::DecryptPassword(std::string stored) {
    WipeCipherOnExit wipe(*this);
    DeriveKey();
    std::string bytes = Base64Decode(stored);
    Cfb8Decrypt(bytes);
    return bytes;
}

} // namespace zevlo
