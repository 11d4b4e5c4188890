#include "shell/win/Program.h"

#include "form/ProgramFiles.h"
#include "form/TfrmMain.h"
#include "platform/Autostart.h"
#include "platform/ProcessRunner.h"
#include "platform/SingleInstance.h"
#include "shell/win/LogWindow.h"
#include "shell/win/MainWindow.h"
#include "shell/win/PortableCopy.h"
#include "shell/win/PumpingRunner.h"

#include <commctrl.h>

namespace zevlo::win {

void RunMessageLoop(HWND mainWindow) {
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        if (IsDialogMessageA(mainWindow, &message))
            continue;
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

int RunWindowProgram(HINSTANCE instance) {
    // Before anything else: a second copy leaves at once, without a window or a tray icon.
    platform::SingleInstance single("Zevlo_Mutex");
    if (!single.IsFirst())
        return 0;
    // Before the data folder is chosen: the settings of a portable copy may move into it.
    OfferToTakeOverPortableCopy();

    INITCOMMONCONTROLSEX controls{};
    controls.dwSize = sizeof controls;
    controls.dwICC = ICC_STANDARD_CLASSES | ICC_TAB_CLASSES | ICC_UPDOWN_CLASS;
    InitCommonControlsEx(&controls);

    const form::ProgramFiles files;
    platform::ProcessRunner runner;
    PumpingRunner pumpingRunner(runner);
    const std::unique_ptr<platform::IAutostart> autostart = platform::MakeUserAutostart();
    form::MainServices services = files.Services();
    services.runner = &pumpingRunner;
    services.autostart = autostart.get();

    LogWindow logWindow(instance);
    MainWindow window(instance, logWindow);
    {
        form::TfrmMain form(window, logWindow, std::move(services));
        window.Bind(form);
        logWindow.Bind(form.frmLog());
        window.PostStartUp();
        RunMessageLoop(window.Handle());
        // The form's destruction writes Settings.ini and log.txt; errors go to standard error.
    }
    return 0;
}

} // namespace zevlo::win
