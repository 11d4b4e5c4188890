#pragma once

#include <string>
#include <string_view>

namespace zevlo::platform {

// Lower-cases with the user's 8-bit locale rules (not only A to Z): POSIX tolower under
// LC_CTYPE, Windows CharLowerBuffA.
std::string LowerCaseLocale(std::string_view text);

} // namespace zevlo::platform
