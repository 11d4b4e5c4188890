#pragma once

// The real main window and log viewer of the Win32 shell over the form logic, in temporary
// folders, with a scripted runner and a recorded login entry. Message boxes, the file
// dialogs, the tray and its menu go through the view's seams.

#include "form/TfrmMain.h"
#include "shell/win/LogWindow.h"
#include "shell/win/MainWindow.h"
#include "tests/support/NoAutostart.h"
#include "tests/support/ScriptedRunner.h"
#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>

#include <chrono>
#include <deque>
#include <memory>
#include <string>
#include <vector>

namespace zevlo::win::test {

using form::Control;

struct SeenBox {
    HWND owner;
    std::string text;
    std::string caption;
    UINT flags;
};

struct SeenIcon {
    DWORD message;
    NOTIFYICONDATAA data;
};

class ShellTest : public ::testing::Test {
protected:
    ShellTest() {
        INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES | ICC_TAB_CLASSES | ICC_UPDOWN_CLASS};
        InitCommonControlsEx(&controls);
        CreateDirectoryA(ProgramDir().c_str(), nullptr);
        CreateDirectoryA(DataDir().c_str(), nullptr);
        main_.messageBox = [this](HWND owner, const std::string &text, const std::string &caption, UINT flags) {
            boxes_.push_back({owner, text, caption, flags});
            if (answers_.empty())
                return (flags & MB_YESNO) != 0 ? IDNO : IDOK;
            const int answer = answers_.front();
            answers_.pop_front();
            return answer;
        };
        main_.trayWindowPresent = [this] { return trayPresent_; };
        main_.notifyIcon = [this](DWORD message, NOTIFYICONDATAA &data) {
            icons_.push_back({message, data});
            return message != NIM_ADD || trayAccepts_;
        };
        log_.messageBox = main_.messageBox;
        runner_.checkAnswer = runner_.updateAnswer = "198.51.100.7";
    }
    ~ShellTest() override { form_.reset(); }

    std::string ProgramDir() const { return folder_.Path() + "program\\"; }
    std::string DataDir() const { return folder_.Path() + "data\\"; }

    // The form logic over the windows, as the program starts it.
    void Start() {
        form::MainServices services;
        services.programDir = ProgramDir();
        services.dataDir = DataDir();
        services.executablePath = ProgramDir() + "Zevlo.exe";
        services.runner = &runner_;
        services.autostart = &autostart_;
        services.versionText = [] { return std::string("3.0.0.0"); };
        services.clock = [this] { return now_; };
        form_ = std::make_unique<form::TfrmMain>(main_, log_, services);
        main_.Bind(*form_);
        log_.Bind(form_->frmLog());
    }

    HWND Window(Control control) const { return main_.Window(control); }
    std::string Text(Control control) const { return WindowText(Window(control)); }
    bool Enabled(Control control) const { return IsWindowEnabled(Window(control)) != FALSE; }
    bool Shown(Control control) const { return (GetWindowLongPtrA(Window(control), GWL_STYLE) & WS_VISIBLE) != 0; }

    // What the user's acts send.
    void Click(Control control) { SendMessageA(Window(control), BM_CLICK, 0, 0); }
    void Choose(Control list, int entry) {
        HWND window = Window(list);
        SendMessageA(window, CB_SETCURSEL, static_cast<WPARAM>(entry), 0);
        SendMessageA(GetParent(window), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(window), CBN_SELCHANGE),
                     reinterpret_cast<LPARAM>(window));
    }
    void Type(Control field, char32_t character) {
        HWND window = Window(field);
        if (form::KindOf(field) == form::ControlKind::List) {
            COMBOBOXINFO parts{};
            parts.cbSize = sizeof parts;
            GetComboBoxInfo(window, &parts);
            window = parts.hwndItem;
        }
        SendMessageA(window, WM_CHAR, static_cast<WPARAM>(character), 1);
    }
    // The focus leaves a field: what its control tells the page.
    void Leave(Control field) {
        HWND window = Window(field);
        const WORD code = form::KindOf(field) == form::ControlKind::List ? CBN_KILLFOCUS : EN_KILLFOCUS;
        SendMessageA(GetParent(window), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(window), code),
                     reinterpret_cast<LPARAM>(window));
    }
    LRESULT TrayClick(UINT mouseMessage) {
        return SendMessageA(main_.Handle(), MainWindow::kTrayMessage, 1, static_cast<LPARAM>(mouseMessage));
    }

    zevlo::test::TempFolder folder_;
    zevlo::test::ScriptedRunner runner_;
    zevlo::test::NoAutostart autostart_;
    LogWindow log_{GetModuleHandleA(nullptr)};
    MainWindow main_{GetModuleHandleA(nullptr), log_};
    std::unique_ptr<form::TfrmMain> form_;
    std::vector<SeenBox> boxes_;
    std::deque<int> answers_;
    bool trayPresent_ = true;
    bool trayAccepts_ = true;
    std::vector<SeenIcon> icons_;
    // The form's clock, which only the test moves.
    std::chrono::system_clock::time_point now_ = std::chrono::system_clock::now();
};

} // namespace zevlo::win::test
