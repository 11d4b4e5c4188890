#include "form/FormRules.h"

#include "engine/Endpoints.h"
#include "engine/TextRules.h"

#include <array>
#include <cmath>
#include <cstdlib>

namespace zevlo::form {

namespace {

constexpr std::array<int, 6> kIntervalMinutes{5, 10, 15, 20, 30, 60};

} // namespace

int IntervalMinutes(int entry) {
    return entry >= 0 && entry < static_cast<int>(kIntervalMinutes.size())
               ? kIntervalMinutes[static_cast<std::size_t>(entry)]
               : kIntervalMinutes[0];
}

int IntervalEntry(int minutes) {
    for (std::size_t i = 0; i < kIntervalMinutes.size(); ++i) {
        if (kIntervalMinutes[i] == minutes)
            return static_cast<int>(i);
    }
    return -1;
}

bool PortKeyAccepted(char32_t key) {
    return (key >= U'0' && key <= U'9') || key < 0x20 || key == 0x7f;
}

int ClampMaxLog(int lines) {
    return lines < kMaxLogMin ? kMaxLogMin : lines > kMaxLogMax ? kMaxLogMax : lines;
}

int MaxLogFromText(const std::string &text, int fallback) {
    const char *start = text.c_str();
    char *end = nullptr;
    const double value = std::strtod(start, &end);
    while (end != nullptr && (*end == ' ' || *end == '\t'))
        ++end;
    if (end == start || end == nullptr || *end != '\0' || !std::isfinite(value))
        return fallback;
    const double rounded = std::round(value);
    if (rounded <= kMaxLogMin)
        return kMaxLogMin;
    if (rounded >= kMaxLogMax)
        return kMaxLogMax;
    return static_cast<int>(rounded);
}

std::string TrayTipText(const std::string &state, const std::string &ending) {
    const std::string title = kApplicationTitle;
    if (state.empty())
        return title;
    return title + "\n" + text::OneLogLine(state, kTrayTipLimit - title.size() - 1 - ending.size()) + ending;
}

} // namespace zevlo::form
