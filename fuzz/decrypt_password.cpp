// DecryptPassword takes whatever text Settings.ini holds: it must never fail, its result
// has as many bytes as the lenient decoding yields, and texts written by EncryptPassword
// come back exactly.
#include "crypto/Password.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

bool IsAlphabet(unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '+' || c == '/';
}

// Bytes per group: 1 when the third slot holds "=", 2 when only the fourth does, else 3.
// A foreign character leaves its slot as the previous group set it.
std::size_t DecodedLength(std::string_view text) {
    bool thirdIsPad = false;
    bool fourthIsPad = false;
    std::size_t length = 0;
    for (std::size_t group = 0; group + 4 <= text.size(); group += 4) {
        const auto third = static_cast<unsigned char>(text[group + 2]);
        const auto fourth = static_cast<unsigned char>(text[group + 3]);
        if (third == '=' || IsAlphabet(third))
            thirdIsPad = third == '=';
        if (fourth == '=' || IsAlphabet(fourth))
            fourthIsPad = fourth == '=';
        length += thirdIsPad ? 1 : fourthIsPad ? 2 : 3;
    }
    return length;
}

void Check(bool condition) {
    if (!condition)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    const std::string input(reinterpret_cast<const char *>(data), size);

    const std::string clear = zevlo::DecryptPassword(input);
    Check(clear.size() == DecodedLength(input));

    const std::string stored = zevlo::EncryptPassword(input);
    Check(stored.size() == 4 * ((size + 2) / 3));
    Check(zevlo::DecryptPassword(stored) == input);
    Check(zevlo::EncryptPassword(zevlo::DecryptPassword(stored)) == stored);
    return 0;
}
