#include "tests/support/Hex.h"

#include "tests/support/Files.h"

namespace zevlo::test {

namespace {

std::string FromHex(const std::string &hex) {
    std::string bytes;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
        bytes.push_back(static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    return bytes;
}

} // namespace

std::string ToHex(std::string_view bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string text;
    for (const unsigned char c : bytes) {
        text.push_back(digits[c >> 4]);
        text.push_back(digits[c & 15]);
    }
    return text;
}

std::vector<std::string> HexLines(const std::string &output, const std::string &prefix) {
    std::vector<std::string> values;
    for (const std::string &line : Lines(output))
        if (line.rfind(prefix, 0) == 0)
            values.push_back(FromHex(line.substr(prefix.size())));
    return values;
}

} // namespace zevlo::test
