#include "crypto/CryptoBackend.h"

#include <windows.h>

#include <bcrypt.h>

#include <algorithm>
#include <stdexcept>
#include <string>
#include <vector>

namespace zevlo::crypto {

namespace {

[[noreturn]] void ThrowStatus(const char *what, NTSTATUS status) {
    char code[16];
    wsprintfA(code, "0x%08lX", static_cast<unsigned long>(status));
    throw std::runtime_error(std::string("CNG: ") + what + " (" + code + ")");
}

void Check(NTSTATUS status, const char *what) {
    if (!BCRYPT_SUCCESS(status)) {
        ThrowStatus(what, status);
    }
}

class Provider {
public:
    explicit Provider(const wchar_t *algorithm) {
        Check(BCryptOpenAlgorithmProvider(&handle_, algorithm, nullptr, 0), "cannot open the algorithm provider");
    }
    ~Provider() { BCryptCloseAlgorithmProvider(handle_, 0); }
    Provider(const Provider &) = delete;
    Provider &operator=(const Provider &) = delete;

    BCRYPT_ALG_HANDLE Get() const { return handle_; }

    DWORD ObjectLength() const {
        DWORD length = 0;
        ULONG written = 0;
        Check(BCryptGetProperty(handle_, BCRYPT_OBJECT_LENGTH, reinterpret_cast<PUCHAR>(&length), sizeof length,
                                &written, 0),
              "cannot read the object length");
        return length;
    }

private:
    BCRYPT_ALG_HANDLE handle_ = nullptr;
};

// Memory the library keeps key or hash state in; wiped before it is given back.
class SecretBuffer {
public:
    explicit SecretBuffer(std::size_t size) : bytes_(size) {}
    ~SecretBuffer() { SecureWipe(bytes_.data(), bytes_.size()); }
    SecretBuffer(const SecretBuffer &) = delete;
    SecretBuffer &operator=(const SecretBuffer &) = delete;

    PUCHAR Data() { return bytes_.data(); }
    ULONG Size() const { return static_cast<ULONG>(bytes_.size()); }

private:
    std::vector<UCHAR> bytes_;
};

class CngAes192Encryptor final : public Aes192Encryptor {
public:
    explicit CngAes192Encryptor(const Aes192Key &key)
        : provider_(BCRYPT_AES_ALGORITHM), keyObject_(provider_.ObjectLength()) {
        // ECB on single blocks is the bare forward block function.
        Check(BCryptSetProperty(provider_.Get(), BCRYPT_CHAINING_MODE,
                                reinterpret_cast<PUCHAR>(const_cast<wchar_t *>(BCRYPT_CHAIN_MODE_ECB)),
                                sizeof(BCRYPT_CHAIN_MODE_ECB), 0),
              "cannot choose ECB");
        Check(BCryptGenerateSymmetricKey(provider_.Get(), &key_, keyObject_.Data(), keyObject_.Size(),
                                         const_cast<PUCHAR>(key.data()), static_cast<ULONG>(key.size()), 0),
              "cannot key AES-192");
    }

    ~CngAes192Encryptor() override { BCryptDestroyKey(key_); }

    CngAes192Encryptor(const CngAes192Encryptor &) = delete;
    CngAes192Encryptor &operator=(const CngAes192Encryptor &) = delete;

    void EncryptBlock(const AesBlock &in, AesBlock &out) override {
        AesBlock input = in; // out may be in
        AesBlock result;
        ULONG written = 0;
        const NTSTATUS status = BCryptEncrypt(key_, input.data(), static_cast<ULONG>(input.size()), nullptr, nullptr, 0,
                                              result.data(), static_cast<ULONG>(result.size()), &written, 0);
        SecureWipe(input.data(), input.size());
        if (!BCRYPT_SUCCESS(status) || written != result.size()) {
            SecureWipe(result.data(), result.size());
            ThrowStatus("AES block encryption failed", status);
        }
        out = result;
        SecureWipe(result.data(), result.size());
    }

private:
    Provider provider_;
    SecretBuffer keyObject_; // outlives the key handle: declared before it
    BCRYPT_KEY_HANDLE key_ = nullptr;
};

} // namespace

Sha1Digest Sha1(std::span<const std::uint8_t> data) {
    Provider provider(BCRYPT_SHA1_ALGORITHM);
    SecretBuffer hashObject(provider.ObjectLength());
    BCRYPT_HASH_HANDLE hash = nullptr;
    Check(BCryptCreateHash(provider.Get(), &hash, hashObject.Data(), hashObject.Size(), nullptr, 0, 0),
          "cannot start SHA-1");
    Sha1Digest digest;
    NTSTATUS status = 0;
    for (auto rest = data; BCRYPT_SUCCESS(status) && !rest.empty();) {
        const auto chunk = rest.first(std::min<std::size_t>(rest.size(), 1u << 30));
        status = BCryptHashData(hash, const_cast<PUCHAR>(chunk.data()), static_cast<ULONG>(chunk.size()), 0);
        rest = rest.subspan(chunk.size());
    }
    if (BCRYPT_SUCCESS(status)) {
        status = BCryptFinishHash(hash, digest.data(), static_cast<ULONG>(digest.size()), 0);
    }
    BCryptDestroyHash(hash);
    if (!BCRYPT_SUCCESS(status)) {
        ThrowStatus("SHA-1 failed", status);
    }
    return digest;
}

std::unique_ptr<Aes192Encryptor> MakeAes192Encryptor(const Aes192Key &key) {
    return std::make_unique<CngAes192Encryptor>(key);
}

void SecureWipe(void *data, std::size_t size) {
    SecureZeroMemory(data, size);
}

} // namespace zevlo::crypto
