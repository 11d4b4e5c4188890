#pragma once

#include "form/LogView.h"
#include "form/MainView.h"
#include "platform/ProcessRunner.h"

#include <chrono>
#include <string>

namespace zevlo::form {

class TfrmMain;

// The name of the one-copy-per-user guard (a named mutex on Windows, a lock file on Linux).
inline constexpr const char *kInstanceName = "Zevlo_Mutex";

// A shell's part of the window program's start; RunWindowProgram calls it in this order.
class WindowShell {
public:
    virtual ~WindowShell() = default;
    // Brings the toolkit up once this copy is known to be the only one: a second copy leaves
    // without touching the display.
    virtual void StartToolkit() = 0;
    // Runs curl and the custom script.
    virtual platform::IProcessRunner &Runner() = 0;
    // Builds the two windows, hidden, once the data folder is this copy's. They live with the
    // shell, longer than the form.
    virtual void BuildWindows() = 0;
    virtual IMainView &MainView() = 0;
    virtual ILogView &LogView() = 0;
    // A time of day in the user's short format (hours and minutes), as the system shows it.
    virtual std::string ShortTime(std::chrono::system_clock::time_point when) const = 0;
    // Binds the windows to the form, and the program's ends to it: termination requests and
    // the desktop session (its save to SaveForSession, its end to Terminate).
    virtual void Bind(TfrmMain &form) = 0;
    // Queues form.StartUp() and runs the event loop until it ends.
    virtual void RunEventLoop(TfrmMain &form) = 0;
};

// The window program, the same for every shell: one copy per user, the data folder and its
// lock, the login entry, the form over the shell's windows, the event loop. The form's
// destruction at the end writes Settings.ini and log.txt. Returns the exit status.
int RunWindowProgram(WindowShell &shell);

} // namespace zevlo::form
