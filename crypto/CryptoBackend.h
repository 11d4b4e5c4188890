#pragma once

// The two primitives the password transform needs, taken from the system's crypto
// library: OpenSSL's libcrypto (crypto/openssl/) or Windows CNG (crypto/cng/). Exactly
// one implementation is compiled in; crypto/CMakeLists.txt picks it. Nothing here is
// written by hand.
//
// What an implementation must do:
// - Sha1: FIPS 180 SHA-1 of the bytes given (any length, empty included); the digest in
//   the standard byte order. Any intermediate hash state is released before returning.
// - MakeAes192Encryptor: key an AES-192 (FIPS 197, 12 rounds) forward block function
//   once with the 24 key bytes; the returned object then encrypts single 16-byte blocks
//   (ECB, no padding, no chaining) as often as asked, without re-keying per block. Its
//   destructor must wipe the expanded key schedule and any copy of the key.
// - SecureWipe: overwrite memory with zeros in a way the compiler cannot remove
//   (OPENSSL_cleanse, SecureZeroMemory).
// - Failures of the library (allocation, provider errors) throw std::runtime_error;
//   nothing else is reported. Outputs are only written on success.
// - No global state: any number of encryptors may live at once (one thread each).

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

namespace zevlo::crypto {

using Sha1Digest = std::array<std::uint8_t, 20>;
using Aes192Key = std::array<std::uint8_t, 24>;
using AesBlock = std::array<std::uint8_t, 16>;

Sha1Digest Sha1(std::span<const std::uint8_t> data);

class Aes192Encryptor {
public:
    virtual ~Aes192Encryptor() = default;
    // out may be the same object as in.
    virtual void EncryptBlock(const AesBlock &in, AesBlock &out) = 0;
};

std::unique_ptr<Aes192Encryptor> MakeAes192Encryptor(const Aes192Key &key);

void SecureWipe(void *data, std::size_t size);

} // namespace zevlo::crypto
