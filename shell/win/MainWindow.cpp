#include "shell/win/MainWindow.h"

#include "form/FormRules.h"
#include "form/TfrmMain.h"
#include "platform/TerminationSignals.h"
#include "shell/win/FileDialogs.h"
#include "shell/win/LogWindow.h"
#include "shell/win/Resource.h"

#include <commctrl.h>
#include <uxtheme.h>

#include <iterator>

namespace zevlo::win {

namespace {

using form::Control;

constexpr UINT kStartUpMessage = WM_APP + 1;
constexpr UINT_PTR kTimer1 = 1;
constexpr UINT kTrayIconId = 1;
constexpr COLORREF kAlertColour = RGB(255, 0, 0);

struct Binding {
    Control control;
    int id;
};

// Each control's window (or menu command), in the order of form::Control.
constexpr Binding kBindings[] = {
    {Control::cmbUpdInterval, IDC_cmbUpdInterval},
    {Control::chkStartWithWin, IDC_chkStartWithWin},
    {Control::chkRememberPause, IDC_chkRememberPause},
    {Control::lblUser, IDC_lblUser},
    {Control::edtUser, IDC_edtUser},
    {Control::lblPass, IDC_lblPass},
    {Control::edtPass, IDC_edtPass},
    {Control::edtHostname, IDC_edtHostname},
    {Control::spnMaxLog, IDC_spnMaxLog},
    {Control::btnViewLog, IDC_btnViewLog},
    {Control::cmbProtocol, IDC_cmbProtocol},
    {Control::edtPort, IDC_edtPort},
    {Control::edtServer, IDC_edtServer},
    {Control::edtBaseURI, IDC_edtBaseURI},
    {Control::cmbMethod, IDC_cmbMethod},
    {Control::cmbAuthType, IDC_cmbAuthType},
    {Control::btnForceUpdate, IDC_btnForceUpdate},
    {Control::lblCProtocol, IDC_lblCProtocol},
    {Control::cmbCProtocol, IDC_cmbCProtocol},
    {Control::lblCPort, IDC_lblCPort},
    {Control::edtCPort, IDC_edtCPort},
    {Control::lblCServer, IDC_lblCServer},
    {Control::edtCServer, IDC_edtCServer},
    {Control::lblCBaseURI, IDC_lblCBaseURI},
    {Control::edtCBaseURI, IDC_edtCBaseURI},
    {Control::lblCMethod, IDC_lblCMethod},
    {Control::cmbCMethod, IDC_cmbCMethod},
    {Control::lblCAuthType, IDC_lblCAuthType},
    {Control::cmbCAuthType, IDC_cmbCAuthType},
    {Control::chkCustomIP, IDC_chkCustomIP},
    {Control::edtCustomChkIP, IDC_edtCustomChkIP},
    {Control::spdCOpenDir, IDC_spdCOpenDir},
    {Control::lblPaused, IDC_lblPaused},
    {Control::btnUnpause, IDC_btnUnpause},
    {Control::btnSaveConfig, IDC_btnSaveConfig},
    {Control::btnTerminate, IDC_btnTerminate},
    {Control::mnuShow, IDM_mnuShow},
    {Control::mnuTerminate, IDM_mnuTerminate},
    {Control::mnuPause, IDM_mnuPause},
};
static_assert(std::size(kBindings) == form::kControlCount);
constexpr bool InControlOrder() {
    for (std::size_t i = 0; i < std::size(kBindings); ++i) {
        if (static_cast<std::size_t>(kBindings[i].control) != i)
            return false;
    }
    return true;
}
static_assert(InControlOrder());

constexpr int kMenuFirst = static_cast<int>(Control::mnuShow);

bool IsMenuItem(Control control) {
    return form::KindOf(control) == form::ControlKind::MenuItem;
}

bool FindControl(int id, Control &control) {
    for (const Binding &binding : kBindings) {
        if (binding.id == id) {
            control = binding.control;
            return true;
        }
    }
    return false;
}

// Lists of a control, pages and the shown text of lists.
LRESULT Send(HWND window, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
    return SendMessageA(window, message, wParam, lParam);
}

// A typed character as the form logic takes it: a code point.
char32_t TypedCharacter(HWND field, WPARAM wParam) {
    if (IsWindowUnicode(field))
        return static_cast<char32_t>(wParam);
    const char byte = static_cast<char>(wParam & 0xFF);
    wchar_t wide = 0;
    if (MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, &byte, 1, &wide, 1) != 1)
        return U'\uFFFD'; // half of a double-byte character: no digit, no control character
    return static_cast<char32_t>(wide);
}

BOOL CALLBACK AddMonitorArea(HMONITOR monitor, HDC, LPRECT, LPARAM areas) {
    MONITORINFO info{};
    info.cbSize = sizeof info;
    if (GetMonitorInfoA(monitor, &info)) {
        const RECT &work = info.rcWork;
        reinterpret_cast<std::vector<form::Rect> *>(areas)->push_back(
            {work.left, work.top, work.right - work.left, work.bottom - work.top});
    }
    return TRUE;
}

// The offset between a window's screen position and its position in workspace
// coordinates (those of WINDOWPLACEMENT), which leave out a taskbar at the top or left.
POINT WorkspaceOffset(HWND window) {
    MONITORINFO info{};
    info.cbSize = sizeof info;
    if (!GetMonitorInfoA(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), &info))
        return {0, 0};
    return {info.rcWork.left - info.rcMonitor.left, info.rcWork.top - info.rcMonitor.top};
}

UINT TrackMenuAt(HMENU menu, HWND owner, POINT at) {
    return static_cast<UINT>(
        TrackPopupMenu(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_NONOTIFY, at.x, at.y, 0, owner, nullptr));
}

} // namespace

MainWindow::MainWindow(HINSTANCE instance, LogWindow &logWindow) : instance_(instance), logWindow_(logWindow) {
    messageBox = [](HWND owner, const std::string &text, const std::string &caption, UINT flags) {
        return MessageBoxA(owner, text.c_str(), caption.c_str(), flags);
    };
    chooseFileToOpen = ChooseFileToOpenWithDialog;
    trackTrayMenu = TrackMenuAt;
    notifyIcon = [](DWORD message, NOTIFYICONDATAA &data) { return Shell_NotifyIconA(message, &data) != FALSE; };
    trayWindowPresent = [] { return FindWindowA("Shell_TrayWnd", nullptr) != nullptr; };
    menuItems_[0].text = "Show";
    menuItems_[1].text = "Terminate";
    menuItems_[2].text = "Pause";
    alert_[Index(Control::lblPaused)] = true;
    Build();
}

MainWindow::~MainWindow() {
    SetBusy(false);
    if (iconAdded_) {
        NOTIFYICONDATAA data = IconData(0);
        notifyIcon(NIM_DELETE, data);
    }
    if (frame_ != nullptr)
        DestroyWindow(frame_);
}

void MainWindow::Build() {
    WNDCLASSEXA frameClass{};
    frameClass.cbSize = sizeof frameClass;
    frameClass.lpfnWndProc = FrameProc;
    frameClass.hInstance = instance_;
    frameClass.hIcon =
        static_cast<HICON>(LoadImageA(instance_, ResourceName(IDI_ZEVLO), IMAGE_ICON, GetSystemMetrics(SM_CXICON),
                                      GetSystemMetrics(SM_CYICON), LR_SHARED));
    smallIcon_ =
        static_cast<HICON>(LoadImageA(instance_, ResourceName(IDI_ZEVLO), IMAGE_ICON, GetSystemMetrics(SM_CXSMICON),
                                      GetSystemMetrics(SM_CYSMICON), LR_SHARED));
    if (smallIcon_ == nullptr)
        smallIcon_ = LoadIconA(nullptr, ResourceName(kIdiApplication));
    frameClass.hIconSm = smallIcon_;
    frameClass.hCursor = LoadCursorA(nullptr, ResourceName(kIdcArrow));
    frameClass.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
    frameClass.lpszClassName = kClassName;
    // A second window in the same process (tests) finds the class registered.
    RegisterClassExA(&frameClass);

    // A fixed size: no sizing border, no maximise or minimise box (closing hides it to the
    // tray); the close button of the title bar.
    constexpr DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
    frame_ = CreateWindowExA(WS_EX_CONTROLPARENT, kClassName, "", style, CW_USEDEFAULT, CW_USEDEFAULT, 300, 400,
                             nullptr, nullptr, instance_, this);
    client_ = CreateDialogParamA(instance_, ResourceName(IDD_MAIN), frame_, DialogProc, reinterpret_cast<LPARAM>(this));
    const int pageIds[] = {IDD_GENERAL, IDD_UPDATE, IDD_CHECKIP};
    for (std::size_t i = 0; i < pages_.size(); ++i) {
        pages_[i] = CreateDialogParamA(instance_, ResourceName(pageIds[i]), client_, DialogProc,
                                       reinterpret_cast<LPARAM>(this));
        // Under visual styles the pages take the tab control's background.
        EnableThemeDialogTexture(pages_[i], ETDT_ENABLETAB);
    }

    for (const Binding &binding : kBindings) {
        if (IsMenuItem(binding.control))
            continue;
        HWND found = GetDlgItem(client_, binding.id);
        for (std::size_t i = 0; found == nullptr && i < pages_.size(); ++i)
            found = GetDlgItem(pages_[i], binding.id);
        controls_[Index(binding.control)] = found;
    }

    HWND tabs = GetDlgItem(client_, IDC_TABS);
    const char *tabTexts[] = {"General", "Update Request", "Check IP"};
    for (int i = 0; i < 3; ++i) {
        TCITEMA item{};
        item.mask = TCIF_TEXT;
        item.pszText = const_cast<char *>(tabTexts[i]);
        Send(tabs, TCM_INSERTITEMA, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&item));
    }
    PlacePages();
    ShowPage(0);
    FillLists();

    // "Application paused": bold, in the alert colour; hidden until the form logic shows it.
    HWND paused = Window(Control::lblPaused);
    LOGFONTA font{};
    if (GetObjectA(reinterpret_cast<HGDIOBJ>(Send(paused, WM_GETFONT)), sizeof font, &font) == sizeof font) {
        font.lfWeight = FW_BOLD;
        boldFont_.Reset(CreateFontIndirectA(&font));
        Send(paused, WM_SETFONT, reinterpret_cast<WPARAM>(boldFont_.Get()), FALSE);
    }
    ::ShowWindow(paused, SW_HIDE);
    ::ShowWindow(Window(Control::btnUnpause), SW_HIDE);

    // Checked until the form logic shows the stored choice (it leaves it when it cannot read
    // the settings).
    Send(Window(Control::chkStartWithWin), BM_SETCHECK, BST_CHECKED);
    HWND arrows = GetDlgItem(pages_[0], IDC_spnMaxLogArrows);
    Send(arrows, UDM_SETRANGE32, form::kMaxLogMin, form::kMaxLogMax);
    UDACCEL step{0, form::kMaxLogStep};
    Send(arrows, UDM_SETACCEL, 1, reinterpret_cast<LPARAM>(&step));
    Send(arrows, UDM_SETPOS32, 0, form::kMaxLogMin);
    SetWindowTextA(Window(Control::spnMaxLog), std::to_string(form::kMaxLogMin).c_str());

    // The port fields ask the form logic before they take a typed character.
    SetWindowSubclass(Window(Control::edtPort), PortFieldProc, 1, reinterpret_cast<DWORD_PTR>(this));
    SetWindowSubclass(Window(Control::edtCPort), PortFieldProc, 1, reinterpret_cast<DWORD_PTR>(this));

    // The frame's client area is the dialog's size: both follow the dialog font.
    RECT clientRect{};
    GetWindowRect(client_, &clientRect);
    RECT frameRect{0, 0, clientRect.right - clientRect.left, clientRect.bottom - clientRect.top};
    AdjustWindowRectEx(&frameRect, style, FALSE, WS_EX_CONTROLPARENT);
    const int width = frameRect.right - frameRect.left;
    const int height = frameRect.bottom - frameRect.top;
    // Centred until a stored position says otherwise.
    RECT work{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    SetWindowPos(frame_, nullptr, work.left + (work.right - work.left - width) / 2,
                 work.top + (work.bottom - work.top - height) / 2, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
    SetWindowPos(client_, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    ::ShowWindow(client_, SW_SHOW);

    taskbarCreated_ = RegisterWindowMessageA("TaskbarCreated");
}

void MainWindow::FillLists() {
    for (const Binding &binding : kBindings) {
        if (form::KindOf(binding.control) != form::ControlKind::List)
            continue;
        HWND list = Window(binding.control);
        for (const std::string &entry : form::ListEntries(binding.control))
            Send(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(entry.c_str()));
        Send(list, CB_SETCURSEL, 0);
    }
}

void MainWindow::PlacePages() {
    HWND tabs = GetDlgItem(client_, IDC_TABS);
    RECT area{};
    GetWindowRect(tabs, &area);
    MapWindowPoints(nullptr, client_, reinterpret_cast<POINT *>(&area), 2);
    Send(tabs, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&area));
    for (HWND page : pages_) {
        // Right after the tab control: the pages come next when tabbing, and paint over its body.
        SetWindowPos(page, tabs, area.left, area.top, area.right - area.left, area.bottom - area.top, SWP_NOACTIVATE);
    }
}

void MainWindow::ShowPage(int page) {
    if (page < 0 || page >= static_cast<int>(pages_.size()))
        return;
    shownPage_ = page;
    Send(GetDlgItem(client_, IDC_TABS), TCM_SETCURSEL, static_cast<WPARAM>(page));
    for (std::size_t i = 0; i < pages_.size(); ++i)
        ::ShowWindow(pages_[i], static_cast<int>(i) == page ? SW_SHOW : SW_HIDE);
}

void MainWindow::PostStartUp() {
    PostMessageA(frame_, kStartUpMessage, 0, 0);
}

LRESULT CALLBACK MainWindow::FrameProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto *self = static_cast<MainWindow *>(reinterpret_cast<CREATESTRUCTA *>(lParam)->lpCreateParams);
        SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        self->frame_ = window;
    }
    MainWindow *self = WindowObject<MainWindow>(window, GWLP_USERDATA);
    if (self == nullptr)
        return DefWindowProcA(window, message, wParam, lParam);
    return self->OnFrameMessage(message, wParam, lParam);
}

LRESULT MainWindow::OnFrameMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == taskbarCreated_ && taskbarCreated_ != 0) {
        // Explorer came back: its new taskbar knows no icon.
        iconAdded_ = false;
        if (iconWanted_)
            AddTrayIcon();
        return 0;
    }
    switch (message) {
    case WM_QUERYENDSESSION:
        // Saved now: another program may still cancel the logoff, or Windows may not wait.
        if (form_ != nullptr)
            form_->SaveForSession();
        return TRUE;
    case WM_ENDSESSION:
        if (wParam != FALSE) {
            // A running request ends at once; the engine drops the rest of its cycle.
            platform::RequestTermination();
            if (form_ != nullptr) {
                form_->Terminate();
                // Windows may end the process as soon as this returns.
                form_->SaveForSession();
            }
        }
        return 0;
    case WM_SETCURSOR:
        if (busy_) {
            SetCursor(LoadCursorA(nullptr, ResourceName(kIdcWait)));
            return TRUE;
        }
        break;
    case WM_ACTIVATE:
        // Focus comes back to the control that had it.
        if (LOWORD(wParam) == WA_INACTIVE) {
            HWND focus = GetFocus();
            focusBeforeDeactivation_ = focus != nullptr && IsChild(frame_, focus) ? focus : nullptr;
        } else {
            HWND target = focusBeforeDeactivation_ != nullptr && IsWindow(focusBeforeDeactivation_)
                              ? focusBeforeDeactivation_
                              : GetDlgItem(client_, IDC_TABS);
            SetFocus(target);
        }
        return 0;
    case WM_SETFOCUS:
        SetFocus(GetDlgItem(client_, IDC_TABS));
        return 0;
    default:
        break;
    }
    // While a request runs only sent messages arrive here, and none of them may run a handler
    // in the middle of the form logic's own.
    const bool handlersRun = !busy_ && form_ != nullptr;
    if (message == WM_CLOSE) {
        // The title-bar button and Alt+F4: the form logic hides the window when it refuses.
        // Never DefWindowProc's destruction: the window lives as long as the program.
        if (handlersRun && form_->FormCloseQuery())
            ::ShowWindow(frame_, SW_HIDE);
        return 0;
    }
    if (!handlersRun)
        return DefWindowProcA(frame_, message, wParam, lParam);
    switch (message) {
    case kStartUpMessage:
        form_->StartUp();
        return 0;
    case kTrayMessage:
        OnTrayMessage(static_cast<UINT>(lParam));
        return 0;
    case WM_TIMER:
        if (wParam == kTimer1)
            form_->Timer1Timer();
        return 0;
    case WM_COMMAND:
        // Enter on a focused push button presses it (the frame has no default button).
        if (LOWORD(wParam) == IDOK) {
            HWND focus = GetFocus();
            char className[16] = {};
            GetClassNameA(focus, className, sizeof className);
            const LONG_PTR type = GetWindowLongPtrA(focus, GWL_STYLE) & BS_TYPEMASK;
            if (lstrcmpiA(className, "Button") == 0 && (type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON))
                Send(focus, BM_CLICK);
        }
        return 0;
    default:
        return DefWindowProcA(frame_, message, wParam, lParam);
    }
}

INT_PTR CALLBACK MainWindow::DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrA(dialog, DWLP_USER, lParam);
        return FALSE; // the frame sets the focus
    }
    MainWindow *self = WindowObject<MainWindow>(dialog, DWLP_USER);
    return self != nullptr ? self->OnDialogMessage(dialog, message, wParam, lParam) : FALSE;
}

INT_PTR MainWindow::OnDialogMessage(HWND, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CTLCOLORSTATIC: {
        const HWND label = reinterpret_cast<HWND>(lParam);
        for (std::size_t i = 0; i < controls_.size(); ++i) {
            if (controls_[i] == label && alert_[i] && IsWindowEnabled(label)) {
                const HDC dc = reinterpret_cast<HDC>(wParam);
                SetTextColor(dc, kAlertColour);
                // Over the page's own background, themed or not.
                SetBkMode(dc, TRANSPARENT);
                return reinterpret_cast<INT_PTR>(GetStockObject(NULL_BRUSH));
            }
        }
        return FALSE;
    }
    case WM_NOTIFY: {
        const auto *header = reinterpret_cast<const NMHDR *>(lParam);
        if (header->idFrom == IDC_TABS && header->code == TCN_SELCHANGE)
            ShowPage(static_cast<int>(Send(header->hwndFrom, TCM_GETCURSEL)));
        return FALSE;
    }
    case WM_COMMAND:
        if (lParam != 0)
            OnCommand(LOWORD(wParam), HIWORD(wParam));
        return TRUE;
    default:
        return FALSE;
    }
}

void MainWindow::OnCommand(int id, int code) {
    Control control{};
    if (busy_ || form_ == nullptr || !FindControl(id, control))
        return;
    switch (form::KindOf(control)) {
    case form::ControlKind::List:
        // The user's choice only: CB_SETCURSEL from the form logic sends no notification.
        if (code == CBN_SELCHANGE)
            Acted(control);
        break;
    case form::ControlKind::CheckBox:
    case form::ControlKind::Button:
        // BM_SETCHECK from the form logic sends no notification either.
        if (code == BN_CLICKED)
            Acted(control);
        break;
    default:
        break;
    }
}

void MainWindow::Acted(Control control) {
    if (form_ != nullptr)
        form_->UserActed(control);
}

LRESULT CALLBACK MainWindow::PortFieldProc(HWND field, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                           DWORD_PTR data) {
    auto *self = reinterpret_cast<MainWindow *>(data);
    if (message == WM_CHAR && self->form_ != nullptr && !self->form_->edtPortKeyPress(TypedCharacter(field, wParam)))
        return 0;
    if (message == WM_NCDESTROY)
        RemoveWindowSubclass(field, PortFieldProc, id);
    return DefSubclassProc(field, message, wParam, lParam);
}

void MainWindow::OnTrayMessage(UINT mouseMessage) {
    switch (mouseMessage) {
    case WM_LBUTTONDOWN:
        form_->mnuShowClick();
        break;
    case WM_RBUTTONDOWN:
        form_->popTrayPopup();
        ShowTrayMenu();
        break;
    default:
        break;
    }
}

void MainWindow::ShowTrayMenu() {
    UniqueMenu menu(CreatePopupMenu());
    for (std::size_t i = 0; i < menuItems_.size(); ++i) {
        const MenuItem &item = menuItems_[i];
        if (item.visible)
            AppendMenuA(menu.Get(), MF_STRING | (item.enabled ? MF_ENABLED : MF_GRAYED),
                        static_cast<UINT_PTR>(kBindings[static_cast<std::size_t>(kMenuFirst) + i].id),
                        item.text.c_str());
    }
    POINT at{};
    GetCursorPos(&at);
    // Without the foreground the menu would not close when the user clicks elsewhere.
    SetForegroundWindow(frame_);
    const UINT command = trackTrayMenu(menu.Get(), frame_, at);
    PostMessageA(frame_, WM_NULL, 0, 0);
    Control control{};
    if (command != 0 && FindControl(static_cast<int>(command), control))
        Acted(control);
}

MainWindow::MenuItem *MainWindow::Item(Control control) {
    return IsMenuItem(control) ? &menuItems_[Index(control) - static_cast<std::size_t>(kMenuFirst)] : nullptr;
}

const MainWindow::MenuItem *MainWindow::Item(Control control) const {
    return IsMenuItem(control) ? &menuItems_[Index(control) - static_cast<std::size_t>(kMenuFirst)] : nullptr;
}

std::string MainWindow::Text(Control control) const {
    if (const MenuItem *item = Item(control))
        return item->text;
    // Edits, labels, buttons, the spin edit's field and the shown text of lists alike.
    return WindowText(Window(control));
}

void MainWindow::SetText(Control control, const std::string &text) {
    if (MenuItem *item = Item(control)) {
        item->text = text;
        return;
    }
    HWND window = Window(control);
    switch (form::KindOf(control)) {
    case form::ControlKind::List:
        if (form::IsEditableList(control))
            SetWindowTextA(window, text.c_str());
        return;
    case form::ControlKind::SpinEdit: {
        HWND arrows = GetDlgItem(pages_[0], IDC_spnMaxLogArrows);
        const int current = static_cast<int>(Send(arrows, UDM_GETPOS32));
        const int value = form::MaxLogFromText(text, current);
        Send(arrows, UDM_SETPOS32, 0, value);
        SetWindowTextA(window, std::to_string(value).c_str());
        return;
    }
    default:
        SetWindowTextA(window, text.c_str());
        return;
    }
}

int MainWindow::Entry(Control control) const {
    if (form::KindOf(control) != form::ControlKind::List)
        return -1;
    const LRESULT entry = Send(Window(control), CB_GETCURSEL);
    return entry == CB_ERR ? -1 : static_cast<int>(entry);
}

void MainWindow::SetEntry(Control control, int entry) {
    if (form::KindOf(control) == form::ControlKind::List)
        Send(Window(control), CB_SETCURSEL, static_cast<WPARAM>(entry));
}

bool MainWindow::Checked(Control control) const {
    return form::KindOf(control) == form::ControlKind::CheckBox && Send(Window(control), BM_GETCHECK) == BST_CHECKED;
}

void MainWindow::SetChecked(Control control, bool checked) {
    if (form::KindOf(control) == form::ControlKind::CheckBox)
        Send(Window(control), BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED);
}

void MainWindow::SetEnabled(Control control, bool enabled) {
    if (MenuItem *item = Item(control)) {
        item->enabled = enabled;
        return;
    }
    EnableWindow(Window(control), enabled ? TRUE : FALSE);
    if (control == Control::spnMaxLog)
        EnableWindow(GetDlgItem(pages_[0], IDC_spnMaxLogArrows), enabled ? TRUE : FALSE);
}

void MainWindow::SetVisible(Control control, bool visible) {
    if (MenuItem *item = Item(control)) {
        item->visible = visible;
        return;
    }
    ::ShowWindow(Window(control), visible ? SW_SHOWNA : SW_HIDE);
    if (control == Control::spnMaxLog)
        ::ShowWindow(GetDlgItem(pages_[0], IDC_spnMaxLogArrows), visible ? SW_SHOWNA : SW_HIDE);
}

void MainWindow::SetAlert(Control control, bool alert) {
    if (IsMenuItem(control) || alert_[Index(control)] == alert)
        return;
    alert_[Index(control)] = alert;
    RedrawLabel(Window(control));
}

void MainWindow::RedrawLabel(HWND label) {
    // The label draws over its parent's background: that is painted anew beneath it.
    HWND parent = GetParent(label);
    RECT area{};
    GetWindowRect(label, &area);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT *>(&area), 2);
    RedrawWindow(parent, &area, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
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

NOTIFYICONDATAA MainWindow::IconData(UINT flags) const {
    NOTIFYICONDATAA data{};
    data.cbSize = sizeof data;
    data.hWnd = frame_;
    data.uID = kTrayIconId;
    data.uFlags = flags;
    data.uCallbackMessage = kTrayMessage;
    data.hIcon = smallIcon_;
    // szTip holds 127 bytes and the terminating zero; a line break shows as one.
    tip_.copy(data.szTip, sizeof data.szTip - 1);
    return data;
}

bool MainWindow::AddTrayIcon() {
    NOTIFYICONDATAA data = IconData(NIF_MESSAGE | NIF_ICON | NIF_TIP);
    iconAdded_ = notifyIcon(NIM_ADD, data);
    return iconAdded_;
}

bool MainWindow::TrayAvailable() {
    // Asked anew each time: a taskbar may come up after the program, or go.
    if (!trayWindowPresent())
        return false;
    if (iconAdded_)
        return true;
    // A taskbar that refuses the icon has no notification area to show it.
    const bool added = AddTrayIcon();
    if (added && !iconWanted_)
        SetTrayIcon(false);
    return added;
}

void MainWindow::SetTrayIcon(bool shown) {
    iconWanted_ = shown;
    if (shown && !iconAdded_) {
        AddTrayIcon();
    } else if (!shown && iconAdded_) {
        NOTIFYICONDATAA data = IconData(0);
        notifyIcon(NIM_DELETE, data);
        iconAdded_ = false;
    }
}

void MainWindow::SetTrayTip(const std::string &tip) {
    tip_ = tip.substr(0, sizeof NOTIFYICONDATAA{}.szTip - 1);
    if (iconAdded_) {
        NOTIFYICONDATAA data = IconData(NIF_TIP);
        notifyIcon(NIM_MODIFY, data);
    }
}

void MainWindow::StartTimer(int milliseconds) {
    SetTimer(frame_, kTimer1, static_cast<UINT>(milliseconds), nullptr);
}

void MainWindow::StopTimer() {
    KillTimer(frame_, kTimer1);
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
    if (IsIconic(frame_)) {
        WINDOWPLACEMENT placement{};
        placement.length = sizeof placement;
        if (GetWindowPlacement(frame_, &placement)) {
            const POINT offset = WorkspaceOffset(frame_);
            return {placement.rcNormalPosition.left + offset.x, placement.rcNormalPosition.top + offset.y};
        }
    }
    RECT area{};
    GetWindowRect(frame_, &area);
    return {area.left, area.top};
}

void MainWindow::MoveTo(form::Point topLeft) {
    if (IsIconic(frame_)) {
        WINDOWPLACEMENT placement{};
        placement.length = sizeof placement;
        if (GetWindowPlacement(frame_, &placement)) {
            const POINT offset = WorkspaceOffset(frame_);
            RECT &normal = placement.rcNormalPosition;
            OffsetRect(&normal, topLeft.x - offset.x - normal.left, topLeft.y - offset.y - normal.top);
            SetWindowPlacement(frame_, &placement);
        }
        return;
    }
    SetWindowPos(frame_, nullptr, topLeft.x, topLeft.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

std::vector<form::Rect> MainWindow::ScreenAreas() const {
    std::vector<form::Rect> areas;
    EnumDisplayMonitors(nullptr, nullptr, AddMonitorArea, reinterpret_cast<LPARAM>(&areas));
    return areas;
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
