#include "platform/Text.h"

#include <cctype>

namespace zevlo::platform {

std::string LowerCaseLocale(std::string_view text) {
    std::string lower(text);
    for (char &c : lower) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return lower;
}

} // namespace zevlo::platform
