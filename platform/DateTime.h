#pragma once

#include <chrono>
#include <ctime>
#include <string>

namespace zevlo::platform {

// Broken-down local time of the moment.
std::tm ToLocalTime(std::chrono::system_clock::time_point when);

// The user's short date and long time texts (POSIX: strftime %x and %X under LC_TIME;
// Windows: GetDateFormatA(DATE_SHORTDATE) and GetTimeFormatA).
std::string ShortDateText(const std::tm &local);
std::string LongTimeText(const std::tm &local);

} // namespace zevlo::platform
