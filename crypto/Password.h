#pragma once

#include <string>
#include <string_view>

namespace zevlo {

// The stored form of the account password in Settings.ini (FSET_Pass): AES-192 in CFB-8
// keyed from SHA-1 of a fixed phrase, as Base64 text. Byte-exact: it is a file format.
std::string EncryptPassword(const std::string &clear);
std::string DecryptPassword(const std::string &stored);

// RFC 4648 Base64 without line breaks.
std::string Base64Encode(std::string_view bytes);
// Lenient decoding: groups of four, the rest ignored, "=" as the value 255, foreign
// characters keeping the previous group's slot (slots start at zero).
std::string Base64Decode(std::string_view text);

} // namespace zevlo
