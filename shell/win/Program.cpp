#include "shell/win/Program.h"

#include "form/TfrmMain.h"
#include "form/WindowProgram.h"
#include "platform/DateTime.h"
#include "platform/ProcessRunner.h"
#include "shell/win/LogWindow.h"
#include "shell/win/MainWindow.h"
#include "shell/win/PortableCopy.h"
#include "shell/win/PumpingRunner.h"

#include <commctrl.h>

#include <optional>

namespace zevlo::win {

namespace {

// The Win32 parts of the window program's start.
class Win32Shell final : public form::WindowShell {
public:
    explicit Win32Shell(HINSTANCE instance) : instance_(instance) {}

    void StartToolkit() override {
        INITCOMMONCONTROLSEX controls{};
        controls.dwSize = sizeof controls;
        controls.dwICC = ICC_STANDARD_CLASSES | ICC_TAB_CLASSES | ICC_UPDOWN_CLASS;
        InitCommonControlsEx(&controls);
        // Before the data folder is chosen: the settings of a portable copy may move into it.
        OfferToTakeOverPortableCopy();
    }
    platform::IProcessRunner &Runner() override { return pumpingRunner_; }
    void BuildWindows() override {
        logWindow_.emplace(instance_);
        window_.emplace(instance_, *logWindow_);
    }
    form::IMainView &MainView() override { return *window_; }
    form::ILogView &LogView() override { return *logWindow_; }
    std::string ShortTime(std::chrono::system_clock::time_point when) const override {
        return platform::ShortTimeText(platform::ToLocalTime(when));
    }
    // The session's end reaches the main window's procedure, which hands it to the form.
    void Bind(form::TfrmMain &form) override {
        window_->Bind(form);
        logWindow_->Bind(form.frmLog());
    }
    void RunEventLoop(form::TfrmMain &) override {
        window_->PostStartUp();
        RunMessageLoop(*window_);
    }

private:
    HINSTANCE instance_;
    platform::ProcessRunner runner_;
    PumpingRunner pumpingRunner_{runner_};
    std::optional<LogWindow> logWindow_;
    std::optional<MainWindow> window_;
};

} // namespace

void RunMessageLoop(MainWindow &mainWindow) {
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        if (mainWindow.TranslateKey(message) || IsDialogMessageA(mainWindow.Handle(), &message))
            continue;
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

int RunWindowProgram(HINSTANCE instance) {
    Win32Shell shell(instance);
    return form::RunWindowProgram(shell);
}

} // namespace zevlo::win
