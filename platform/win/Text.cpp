#include "platform/Text.h"

#include <windows.h>

namespace zevlo::platform {

std::string LowerCaseLocale(std::string_view text) {
    std::string lower(text);
    if (!lower.empty()) {
        CharLowerBuffA(lower.data(), static_cast<DWORD>(lower.size()));
    }
    return lower;
}

} // namespace zevlo::platform
