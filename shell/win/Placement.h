#pragma once

// Where a top-level window stands, in the coordinates the form logic stores.

#include "form/MainView.h"

#include <windows.h>

#include <vector>

namespace zevlo::win {

// The window's top left corner on the screen; for a minimised window, where it comes back to.
form::Point WindowPosition(HWND window);
// Moves the window's top left corner there (a minimised window's place to come back to),
// keeping its size.
void MoveWindowTo(HWND window, form::Point topLeft);
// The usable area of every screen (without taskbars).
std::vector<form::Rect> ScreenWorkAreas();
// Gives the window its size, centred on the usable area of the primary screen.
void CentreOnWorkArea(HWND window, int width, int height);

} // namespace zevlo::win
