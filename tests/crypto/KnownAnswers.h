#pragma once

// Known answers produced by the openssl command line (OpenSSL 3.0), not by this code.

#include <cstdint>
#include <cstdio>
#include <span>
#include <string>

namespace zevlo::testing {

// printf qaltz | openssl dgst -sha1 -binary | xxd -p
inline const std::string kPhraseSha1Hex = "9308ca971a48f8013196863218028e6895f1cd8b";
// printf '' | openssl dgst -sha1 -binary | xxd -p
inline const std::string kEmptySha1Hex = "da39a3ee5e6b4b0d3255bfef95601890afd80709";
// printf abc | openssl dgst -sha1 -binary | xxd -p
inline const std::string kAbcSha1Hex = "a9993e364706816aba3e25717850c26c9cd0d89d";

// The digest followed by four zero bytes.
inline const std::string kKeyHex = "9308ca971a48f8013196863218028e6895f1cd8b00000000";
// head -c16 /dev/zero | openssl enc -aes-192-ecb -nopad -K $KEY | xxd -p
inline const std::string kIvHex = "68808ac737dd1ba3605084166497b46f";
// printf $IV | xxd -r -p | openssl enc -aes-192-ecb -nopad -K $KEY | xxd -p
inline const std::string kIvEncryptedHex = "e5a886bd7b8e6fe51b1d5137f8c044ac";
// head -c16 /dev/zero | openssl enc -aes-192-ecb -nopad -K 000000000000000000000000000000000000000000000000 | xxd -p
inline const std::string kZeroKeyZeroBlockHex = "aae06992acbf52a3e8f4a96ec9300bd7";

struct StoredPassword {
    std::string clear;
    std::string stored;
};

// printf '<clear>' | openssl enc -aes-192-cfb8 -K $KEY -iv $IV | openssl base64 -A
inline const StoredPassword kStoredPasswords[] = {
    {"", ""},
    {"a", "hA=="},
    {"ab", "hME="},
    {"abc", "hMG3"},
    {"0123456789abcde", "1Tat9mi7aw9/N1IFY+rI"},
    {"0123456789abcdef", "1Tat9mi7aw9/N1IFY+rINQ=="},
    {"0123456789abcdefg", "1Tat9mi7aw9/N1IFY+rINYc="},
    {"Sommer2024!", "trd9a+P4USyGgGQ="},
    // printf '\xe9t\xe9 \xff\x80\x7f\x00secret\xa0\xfe!' | ...
    {std::string("\xe9t\xe9 \xff\x80\x7f\x00secret\xa0\xfe!", 17), "DL0a6MRYXeL/+7SNdye+2Uc="},
};

inline std::string Hex(std::span<const std::uint8_t> bytes) {
    std::string text;
    for (std::uint8_t byte : bytes) {
        char pair[3];
        std::snprintf(pair, sizeof pair, "%02x", byte);
        text += pair;
    }
    return text;
}

} // namespace zevlo::testing
