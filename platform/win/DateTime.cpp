#include "platform/DateTime.h"

#include <windows.h>

namespace zevlo::platform {

namespace {

SYSTEMTIME ToSystemTime(const std::tm &local) {
    SYSTEMTIME time{};
    time.wYear = static_cast<WORD>(local.tm_year + 1900);
    time.wMonth = static_cast<WORD>(local.tm_mon + 1);
    time.wDayOfWeek = static_cast<WORD>(local.tm_wday);
    time.wDay = static_cast<WORD>(local.tm_mday);
    time.wHour = static_cast<WORD>(local.tm_hour);
    time.wMinute = static_cast<WORD>(local.tm_min);
    time.wSecond = static_cast<WORD>(local.tm_sec);
    return time;
}

// Both formatters report the size with its terminating zero, and 0 on failure.
template <typename Format> std::string FormatWith(Format format) {
    const int size = format(nullptr, 0);
    if (size <= 0) {
        return {};
    }
    std::string text(static_cast<std::size_t>(size), '\0');
    const int written = format(text.data(), size);
    text.resize(written > 0 ? static_cast<std::size_t>(written - 1) : 0);
    return text;
}

} // namespace

std::tm ToLocalTime(std::chrono::system_clock::time_point when) {
    const std::time_t seconds = std::chrono::system_clock::to_time_t(when);
    std::tm local{};
    localtime_s(&local, &seconds);
    return local;
}

std::string ShortDateText(const std::tm &local) {
    const SYSTEMTIME time = ToSystemTime(local);
    return FormatWith([&time](char *buffer, int size) {
        return GetDateFormatA(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &time, nullptr, buffer, size);
    });
}

std::string LongTimeText(const std::tm &local) {
    const SYSTEMTIME time = ToSystemTime(local);
    return FormatWith([&time](char *buffer, int size) {
        return GetTimeFormatA(LOCALE_USER_DEFAULT, 0, &time, nullptr, buffer, size);
    });
}

std::string ShortTimeText(const std::tm &local) {
    const SYSTEMTIME time = ToSystemTime(local);
    return FormatWith([&time](char *buffer, int size) {
        return GetTimeFormatA(LOCALE_USER_DEFAULT, TIME_NOSECONDS, &time, nullptr, buffer, size);
    });
}

} // namespace zevlo::platform
