#pragma once

#include <cstddef>
#include <string>

namespace zevlo::form {

// The interval list's minutes by entry (5 for no entry), and the entry for a number of
// minutes (-1: none).
int IntervalMinutes(int entry);
int IntervalEntry(int minutes);

// Whether a port field keeps a typed character: digits, backspace and the other control
// characters (so Ctrl+V, Enter and Tab still work). `key` is the character's code point.
bool PortKeyAccepted(char32_t key);

// "Log Max Lines": its range and step, and a shown or typed text as the stored number
// (rounded to the nearest integer, held within the range; not a number: `fallback`).
inline constexpr int kMaxLogMin = 100;
inline constexpr int kMaxLogMax = 5000;
inline constexpr int kMaxLogStep = 10;
int ClampMaxLog(int lines);
int MaxLogFromText(const std::string &text, int fallback);

// The tray icon's tip: the application's title and, below it, the state in one line, cut
// to fit the 127 bytes a Windows tip holds; `ending` (when the next try comes) is never cut.
inline constexpr std::size_t kTrayTipLimit = 127;
std::string TrayTipText(const std::string &state, const std::string &ending = {});

} // namespace zevlo::form
