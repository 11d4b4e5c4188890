#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace zevlo::test {

// The helper programs print what they received in hex, so that every byte survives the way.

// "0a1b...": two lower-case digits a byte.
std::string ToHex(std::string_view bytes);

// The values of the lines "<prefix><hex>" in such a program's output, decoded, in order.
std::vector<std::string> HexLines(const std::string &output, const std::string &prefix);

} // namespace zevlo::test
