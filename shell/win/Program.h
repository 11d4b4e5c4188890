#pragma once

#include <windows.h>

namespace zevlo::win {

// The window program: one copy per user, the data folder, the main window
// and the log viewer bound to the form logic, the event loop. Returns the exit status.
int RunWindowProgram(HINSTANCE instance);

class MainWindow;

// The event loop of the main window, with its own keys and the dialog keys (Tab between
// controls); returns when WM_QUIT arrives.
void RunMessageLoop(MainWindow &mainWindow);

} // namespace zevlo::win
