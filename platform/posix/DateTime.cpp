#include "platform/DateTime.h"

namespace zevlo::platform {

namespace {

std::string Format(const char *format, const std::tm &local) {
    char buffer[128];
    const std::size_t length = std::strftime(buffer, sizeof buffer, format, &local);
    return std::string(buffer, length);
}

} // namespace

std::tm ToLocalTime(std::chrono::system_clock::time_point when) {
    const std::time_t seconds = std::chrono::system_clock::to_time_t(when);
    std::tm local{};
    ::localtime_r(&seconds, &local);
    return local;
}

std::string ShortDateText(const std::tm &local) {
    return Format("%x", local);
}

std::string LongTimeText(const std::tm &local) {
    return Format("%X", local);
}

std::string ShortTimeText(const std::tm &local) {
    return Format("%H:%M", local);
}

} // namespace zevlo::platform
