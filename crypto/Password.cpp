#include "crypto/Password.h"

#include "crypto/PasswordCipher.h"

#include <array>
#include <cstdint>

namespace zevlo {

namespace {

constexpr std::string_view kAlphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr std::uint8_t kPadMarker = 255;
constexpr int kForeign = -1;

constexpr std::array<int, 256> MakeSlotValues() {
    std::array<int, 256> values{};
    values.fill(kForeign);
    for (std::size_t i = 0; i < kAlphabet.size(); ++i)
        values[static_cast<unsigned char>(kAlphabet[i])] = static_cast<int>(i);
    values[static_cast<unsigned char>('=')] = kPadMarker;
    return values;
}

constexpr std::array<int, 256> kSlotValues = MakeSlotValues();

} // namespace

std::string EncryptPassword(const std::string &clear) {
    PasswordCipher cipher;
    return cipher.EncryptPassword(clear);
}

std::string DecryptPassword(const std::string &stored) {
    PasswordCipher cipher;
    return cipher.DecryptPassword(stored);
}

std::string Base64Encode(std::string_view bytes) {
    std::string text;
    text.reserve(4 * ((bytes.size() + 2) / 3));
    std::size_t i = 0;
    auto byteAt = [&](std::size_t at) { return static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at])); };
    for (; i + 3 <= bytes.size(); i += 3) {
        const std::uint32_t group = byteAt(i) << 16 | byteAt(i + 1) << 8 | byteAt(i + 2);
        text += kAlphabet[group >> 18];
        text += kAlphabet[(group >> 12) & 63];
        text += kAlphabet[(group >> 6) & 63];
        text += kAlphabet[group & 63];
    }
    const std::size_t rest = bytes.size() - i;
    if (rest == 1) {
        const std::uint32_t group = byteAt(i) << 16;
        text += kAlphabet[group >> 18];
        text += kAlphabet[(group >> 12) & 63];
        text += "==";
    } else if (rest == 2) {
        const std::uint32_t group = byteAt(i) << 16 | byteAt(i + 1) << 8;
        text += kAlphabet[group >> 18];
        text += kAlphabet[(group >> 12) & 63];
        text += kAlphabet[(group >> 6) & 63];
        text += '=';
    }
    return text;
}

std::string Base64Decode(std::string_view text) {
    // Slots persist across groups: a foreign character leaves its slot as the previous
    // group set it, and "=" is an ordinary value (255) in the arithmetic.
    std::array<unsigned, 4> slot{};
    std::string bytes;
    bytes.reserve(text.size() / 4 * 3);
    for (std::size_t group = 0; group + 4 <= text.size(); group += 4) {
        for (std::size_t i = 0; i < 4; ++i) {
            const int value = kSlotValues[static_cast<unsigned char>(text[group + i])];
            if (value != kForeign)
                slot[i] = static_cast<unsigned>(value);
        }
        const auto b1 = static_cast<char>((slot[0] * 4 + slot[1] / 16) & 0xFF);
        const auto b2 = static_cast<char>((slot[1] * 16 + slot[2] / 4) & 0xFF);
        const auto b3 = static_cast<char>((slot[2] * 64 + slot[3]) & 0xFF);
        bytes += b1;
        if (slot[2] == kPadMarker)
            continue;
        bytes += b2;
        if (slot[3] != kPadMarker)
            bytes += b3;
    }
    return bytes;
}

} // namespace zevlo
