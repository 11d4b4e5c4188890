#pragma once

#include "form/MainView.h"
#include "platform/AddressWatch.h"
#include "shell/win/ControlMap.h"
#include "shell/win/TrayIcon.h"
#include "shell/win/WinUi.h"

#include <windows.h>

#include <shellapi.h>

#include <array>
#include <functional>
#include <memory>
#include <string>

namespace zevlo::form {
class TfrmMain;
}

namespace zevlo::win {

class LogWindow;

// The main window in Win32: a frame of class "ZevloMainWindow" holding the dialog of the
// tab control and the bottom bar, one child dialog per tab page, the tray icon with its
// menu, and Timer1. Passes the user's acts and the window's messages to the form logic and
// its calls to the controls and the tray; which control does what, and when, is the form
// logic's business.
class MainWindow final : public form::IMainView {
public:
    static constexpr const char *kClassName = "ZevloMainWindow";
    // The tray icon's callback message.
    static constexpr UINT kTrayMessage = TrayIcon::kCallbackMessage;
    // Posted when the machine's addresses may have changed.
    static constexpr UINT kAddressMessage = WM_APP + 2;

    // Builds the windows, hidden; they live until destruction.
    MainWindow(HINSTANCE instance, LogWindow &logWindow);
    ~MainWindow() override;
    MainWindow(const MainWindow &) = delete;
    MainWindow &operator=(const MainWindow &) = delete;

    // Handlers go to `form` from here on; before, nothing calls them.
    void Bind(form::TfrmMain &form) { form_ = &form; }
    // Queues form.StartUp(), which runs once the event loop does.
    void PostStartUp();

    HWND Handle() const { return frame_; }
    // The child window of a control; null for the tray menu's items.
    HWND Window(form::Control control) const { return controls_.Window(control); }
    // The dialog of a tab page (0 General, 1 Update Request, 2 Check IP).
    HWND Page(int page) const { return pages_[static_cast<std::size_t>(page)]; }
    // Brings a tab page forward, as a click on its tab does (0 General, 1 Update Request, 2 Check IP).
    void ShowPage(int page);
    // The window's own keys, from wherever the focus is in it, before the dialog keys: Ctrl+Tab
    // and Ctrl+PageDown the next page, Ctrl+Shift+Tab and Ctrl+PageUp the one before, Escape
    // what the close button does. True when `message` was one of them.
    bool TranslateKey(const MSG &message);
    int ShownPage() const { return shownPage_; }
    bool Alert(form::Control control) const { return controls_.Alert(control); }
    bool TrayIconAdded() const { return tray_.Added(); }
    // The tooltip a control shows, as the tooltip window holds it; empty for none.
    std::string ToolTip(form::Control control) const;

    // The calls that open something modal or reach the shell, replaced by tests.
    std::function<int(HWND owner, const std::string &text, const std::string &caption, UINT flags)> messageBox;
    std::function<std::string(HWND owner, const std::string &current, const form::FileFilter &filter)> chooseFileToOpen;
    // Shows the tray menu at `at` and returns the command picked (0: none).
    TrayIcon::TrackMenu trackTrayMenu;
    TrayIcon::NotifyIcon notifyIcon;
    // Whether the desktop has a taskbar with a notification area.
    TrayIcon::TaskbarPresent trayWindowPresent;

    // IMainView
    std::string Text(form::Control control) const override;
    void SetText(form::Control control, const std::string &text) override;
    int Entry(form::Control control) const override;
    void SetEntry(form::Control control, int entry) override;
    bool Checked(form::Control control) const override;
    void SetChecked(form::Control control, bool checked) override;
    void SetEnabled(form::Control control, bool enabled) override;
    void SetVisible(form::Control control, bool visible) override;
    void SetAlert(form::Control control, bool alert) override;
    void SetToolTip(form::Control control, const std::string &text) override;
    form::BoxAnswer ShowBox(form::BoxKind kind, const std::string &caption, const std::string &text) override;
    bool TrayAvailable() override;
    void SetTrayIcon(bool shown) override;
    void SetTrayTip(const std::string &tip) override;
    void StartTimer(int milliseconds) override;
    void StopTimer() override;
    void StartCheckTimer(int milliseconds) override;
    void StopCheckTimer() override;
    void SetCaption(const std::string &caption) override;
    bool IsVisible() const override;
    bool IsMinimised() const override;
    void ShowWindow() override;
    void ShowMinimised() override;
    void HideWindow() override;
    form::Point Position() const override;
    void MoveTo(form::Point topLeft) override;
    std::vector<form::Rect> ScreenAreas() const override;
    void SetBusy(bool busy) override;
    std::string ChooseFileToOpen(const std::string &current, const form::FileFilter &filter) override;
    void ShowLogViewer() override;
    void EndEventLoops() override;
    void FormGone() override { form_ = nullptr; }

private:
    static constexpr UINT_PTR kTimer1 = 1;
    static constexpr UINT_PTR kCheckTimer = 2;

    static LRESULT CALLBACK FrameProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    static INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK PortFieldProc(HWND field, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                          DWORD_PTR data);

    void Build();
    void PlacePages();
    LRESULT OnFrameMessage(UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR OnDialogMessage(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
    // The end of the Windows session; true when `message` was one of its messages.
    bool OnSessionEnd(UINT message, WPARAM wParam, LRESULT &result);
    // Waking from sleep, an address change and the check timer; true when `message` was one.
    bool OnCheckEvent(UINT message, WPARAM wParam, LRESULT &result);
    void OnCommand(int id, int code);
    void OnTrayMessage(UINT mouseMessage);
    void Acted(form::Control control);
    HWND BoxOwner() const;

    HINSTANCE instance_;
    LogWindow &logWindow_;
    form::TfrmMain *form_ = nullptr;
    HWND frame_ = nullptr;
    HWND client_ = nullptr; // the dialog of the tab control and the bottom bar
    std::array<HWND, 3> pages_{};
    int shownPage_ = 0;
    ControlMap controls_;
    std::unique_ptr<platform::AddressWatch> addressWatch_;
    TrayIcon tray_{notifyIcon, trackTrayMenu, trayWindowPresent};
    GdiObject boldFont_;
    HWND toolTips_ = nullptr; // owned by the frame, created with the first tooltip
    HICON smallIcon_ = nullptr;
    HWND focusBeforeDeactivation_ = nullptr;
    bool busy_ = false;
    bool settingText_ = false;
    HCURSOR cursorBeforeBusy_ = nullptr;
};

} // namespace zevlo::win
