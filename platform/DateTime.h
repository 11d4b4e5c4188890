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
// The user's time of day without seconds ("14:05", "2:05 PM"; POSIX: strftime %H:%M, as
// the C library has no short time; Windows: GetTimeFormatA with TIME_NOSECONDS).
std::string ShortTimeText(const std::tm &local);

} // namespace zevlo::platform
