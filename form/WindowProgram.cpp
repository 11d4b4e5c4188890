#include "form/WindowProgram.h"

#include "form/ProgramFiles.h"
#include "form/TfrmMain.h"
#include "platform/Autostart.h"
#include "platform/SingleInstance.h"

#include <memory>
#include <utility>

namespace zevlo::form {

int RunWindowProgram(WindowShell &shell) {
    // Before anything else: a second copy leaves at once, without a window or a tray icon.
    const platform::SingleInstance instance(kInstanceName);
    if (!instance.IsFirst())
        return 0;
    shell.StartToolkit();

    ProgramFiles files;
    const std::unique_ptr<platform::IAutostart> autostart = platform::MakeUserAutostart();
    MainServices services = files.Services();
    services.runner = &shell.Runner();
    services.autostart = autostart.get();
    services.shortTime = [&shell](std::chrono::system_clock::time_point when) { return shell.ShortTime(when); };

    shell.BuildWindows();
    TfrmMain form(shell.MainView(), shell.LogView(), std::move(services));
    shell.Bind(form);
    shell.RunEventLoop(form);
    // The form's destruction writes Settings.ini and log.txt; errors go to standard error.
    return 0;
}

} // namespace zevlo::form
