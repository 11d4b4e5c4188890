// The main window as the form logic's view: its calls reach the controls, the tray icon, the
// frame's placement and the boxes.
#include "shell/win/MainWindow.h"

#include "form/TfrmMain.h"
#include "shell/win/LogWindow.h"
#include "shell/win/Placement.h"
#include "shell/win/Resource.h"

#include <commctrl.h>

#include <array>

namespace zevlo::win {

using form::Control;

std::string MainWindow::Text(Control control) const {
    return TrayIcon::IsItem(control) ? tray_.Text(control) : controls_.Text(control);
}

void MainWindow::SetText(Control control, const std::string &text) {
    if (TrayIcon::IsItem(control)) {
        tray_.SetText(control, text);
        return;
    }
    // An edit tells of every change, the program's own too: those are no user's acts.
    settingText_ = true;
    controls_.SetText(control, text);
    settingText_ = false;
}

int MainWindow::Entry(Control control) const {
    return controls_.Entry(control);
}

void MainWindow::SetEntry(Control control, int entry) {
    controls_.SetEntry(control, entry);
}

bool MainWindow::Checked(Control control) const {
    return controls_.Checked(control);
}

void MainWindow::SetChecked(Control control, bool checked) {
    controls_.SetChecked(control, checked);
}

void MainWindow::SetEnabled(Control control, bool enabled) {
    if (TrayIcon::IsItem(control))
        tray_.SetEnabled(control, enabled);
    else
        controls_.SetEnabled(control, enabled);
}

void MainWindow::SetVisible(Control control, bool visible) {
    if (TrayIcon::IsItem(control))
        tray_.SetVisible(control, visible);
    else
        controls_.SetVisible(control, visible);
}

void MainWindow::SetAlert(Control control, bool alert) {
    controls_.SetAlert(control, alert);
}

namespace {

// A tool of the tooltip window: the control's own window, its mouse messages watched.
TTTOOLINFOA ToolFor(HWND control, char *text) {
    TTTOOLINFOA tool{};
    tool.cbSize = sizeof tool;
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = GetParent(control);
    tool.uId = reinterpret_cast<UINT_PTR>(control);
    tool.lpszText = text;
    return tool;
}

} // namespace

void MainWindow::SetToolTip(Control control, const std::string &text) {
    HWND target = Window(control);
    if (target == nullptr)
        return;
    if (toolTips_ == nullptr && !text.empty())
        toolTips_ = CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                                    CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, frame_, nullptr,
                                    instance_, nullptr);
    if (toolTips_ == nullptr)
        return;
    std::string copy = text;
    TTTOOLINFOA tool = ToolFor(target, copy.data());
    Send(toolTips_, TTM_DELTOOLA, 0, reinterpret_cast<LPARAM>(&tool));
    if (!text.empty())
        Send(toolTips_, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&tool));
}

std::string MainWindow::ToolTip(Control control) const {
    HWND target = Window(control);
    if (toolTips_ == nullptr || target == nullptr)
        return {};
    // Both calls write into the tool's buffer.
    std::array<char, 256> text{};
    TTTOOLINFOA tool = ToolFor(target, text.data());
    if (Send(toolTips_, TTM_GETTOOLINFOA, 0, reinterpret_cast<LPARAM>(&tool)) == 0)
        return {};
    text.fill('\0');
    Send(toolTips_, TTM_GETTEXTA, text.size() - 1, reinterpret_cast<LPARAM>(&tool));
    return text.data();
}

HWND MainWindow::BoxOwner() const {
    // A box owned by a hidden or minimised window would not be seen.
    return IsWindowVisible(frame_) && !IsIconic(frame_) ? frame_ : nullptr;
}

form::BoxAnswer MainWindow::ShowBox(form::BoxKind kind, const std::string &caption, const std::string &text) {
    UINT flags = MB_OK | MB_ICONERROR;
    if (kind == form::BoxKind::Warning)
        flags = MB_OK | MB_ICONWARNING;
    else if (kind == form::BoxKind::Confirmation)
        flags = MB_YESNO | MB_ICONQUESTION;
    // A box of a program in the tray comes to the front.
    const int answer = messageBox(BoxOwner(), text, caption, flags | MB_SETFOREGROUND);
    if (kind != form::BoxKind::Confirmation)
        return form::BoxAnswer::Ok;
    return answer == IDYES ? form::BoxAnswer::Yes : form::BoxAnswer::No;
}

bool MainWindow::TrayAvailable() {
    return tray_.Available();
}

void MainWindow::SetTrayIcon(bool shown) {
    tray_.SetShown(shown);
}

void MainWindow::SetTrayTip(const std::string &tip) {
    tray_.SetTip(tip);
}

void MainWindow::StartTimer(int milliseconds) {
    SetTimer(frame_, kTimer1, static_cast<UINT>(milliseconds), nullptr);
}

void MainWindow::StopTimer() {
    KillTimer(frame_, kTimer1);
}

void MainWindow::StartCheckTimer(int milliseconds) {
    SetTimer(frame_, kCheckTimer, static_cast<UINT>(milliseconds), nullptr);
}

void MainWindow::StopCheckTimer() {
    KillTimer(frame_, kCheckTimer);
}

bool MainWindow::OnCheckEvent(UINT message, WPARAM wParam, LRESULT &result) {
    // A wake and an address change only arm the check timer: also while a request runs.
    switch (message) {
    case WM_POWERBROADCAST:
        if (form_ != nullptr && (wParam == PBT_APMRESUMEAUTOMATIC || wParam == PBT_APMRESUMESUSPEND))
            form_->SystemResumed();
        result = TRUE;
        return true;
    case kAddressMessage:
        if (addressWatch_ && addressWatch_->TakeChange() && form_ != nullptr)
            form_->AddressesChanged();
        result = 0;
        return true;
    case WM_TIMER:
        if (wParam != kCheckTimer)
            return false;
        // While a request runs it fires again later (that cycle's end sets it anew anyway);
        // otherwise it is a single shot, which the form arms again for the next time.
        if (!busy_ && form_ != nullptr) {
            KillTimer(frame_, kCheckTimer);
            form_->CheckTimerTimer();
        }
        result = 0;
        return true;
    case WM_DESTROY:
        // No notification may be posted to a window that is gone.
        addressWatch_.reset();
        return false;
    default:
        return false;
    }
}

void MainWindow::SetCaption(const std::string &caption) {
    SetWindowTextA(frame_, caption.c_str());
}

bool MainWindow::IsVisible() const {
    return IsWindowVisible(frame_) != FALSE;
}

bool MainWindow::IsMinimised() const {
    return IsIconic(frame_) != FALSE;
}

void MainWindow::ShowWindow() {
    ::ShowWindow(frame_, IsIconic(frame_) ? SW_RESTORE : SW_SHOW);
    SetForegroundWindow(frame_);
}

void MainWindow::ShowMinimised() {
    ::ShowWindow(frame_, SW_MINIMIZE);
}

void MainWindow::HideWindow() {
    ::ShowWindow(frame_, SW_HIDE);
}

form::Point MainWindow::Position() const {
    return WindowPosition(frame_);
}

void MainWindow::MoveTo(form::Point topLeft) {
    MoveWindowTo(frame_, topLeft);
}

std::vector<form::Rect> MainWindow::ScreenAreas() const {
    return ScreenWorkAreas();
}

void MainWindow::SetBusy(bool busy) {
    if (busy == busy_)
        return;
    busy_ = busy;
    if (busy) {
        cursorBeforeBusy_ = SetCursor(LoadCursorA(nullptr, ResourceName(kIdcWait)));
    } else {
        SetCursor(cursorBeforeBusy_ != nullptr ? cursorBeforeBusy_ : LoadCursorA(nullptr, ResourceName(kIdcArrow)));
        cursorBeforeBusy_ = nullptr;
    }
}

std::string MainWindow::ChooseFileToOpen(const std::string &current, const form::FileFilter &filter) {
    return chooseFileToOpen(frame_, current, filter);
}

void MainWindow::ShowLogViewer() {
    logWindow_.ShowModal(frame_);
}

void MainWindow::EndEventLoops() {
    // Every modal loop (message boxes, the log viewer) ends on WM_QUIT and posts it again,
    // down to the program's own loop.
    PostQuitMessage(0);
}

} // namespace zevlo::win
