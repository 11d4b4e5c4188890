#pragma once

#include <windows.h>

#include <string>

namespace zevlo::win {

// MessageBoxA, with a text of several lines laid out as written: the system's box wraps a
// line wider than its own bound (under Wine about a third of the screen), which split the
// two lines of a message at odd places. The box is widened to its widest line instead.
int ShowMessageBox(HWND owner, const std::string &text, const std::string &caption, UINT flags);

} // namespace zevlo::win
