#include "shell/win/MainWindow.h"

#include "form/TfrmMain.h"
#include "platform/TerminationSignals.h"
#include "shell/win/FileDialogs.h"
#include "shell/win/LogWindow.h"
#include "shell/win/MessageBoxes.h"
#include "shell/win/Placement.h"
#include "shell/win/Resource.h"

#include <commctrl.h>
#include <uxtheme.h>

namespace zevlo::win {

namespace {

using form::Control;

constexpr UINT kStartUpMessage = WM_APP + 1;
constexpr COLORREF kAlertColour = RGB(255, 0, 0);

static_assert(ControlMap::kWindowCount + TrayIcon::kItemCount == form::kControlCount,
              "every control is a window or an item of the tray menu");

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

UINT TrackMenuAt(HMENU menu, HWND owner, POINT at) {
    return static_cast<UINT>(
        TrackPopupMenu(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_NONOTIFY, at.x, at.y, 0, owner, nullptr));
}

HICON LoadProgramIcon(HINSTANCE instance, int widthMetric, int heightMetric) {
    return static_cast<HICON>(LoadImageA(instance, ResourceName(IDI_ZEVLO), IMAGE_ICON, GetSystemMetrics(widthMetric),
                                         GetSystemMetrics(heightMetric), LR_SHARED));
}

} // namespace

MainWindow::MainWindow(HINSTANCE instance, LogWindow &logWindow) : instance_(instance), logWindow_(logWindow) {
    messageBox = ShowMessageBox;
    chooseFileToOpen = ChooseFileToOpenWithDialog;
    trackTrayMenu = TrackMenuAt;
    notifyIcon = [](DWORD message, NOTIFYICONDATAA &data) { return Shell_NotifyIconA(message, &data) != FALSE; };
    trayWindowPresent = [] { return FindWindowA("Shell_TrayWnd", nullptr) != nullptr; };
    Build();
    addressWatch_ = std::make_unique<platform::AddressWatch>(frame_, kAddressMessage);
}

MainWindow::~MainWindow() {
    SetBusy(false);
    tray_.SetShown(false);
    if (frame_ != nullptr)
        DestroyWindow(frame_);
}

void MainWindow::Build() {
    WNDCLASSEXA frameClass{};
    frameClass.cbSize = sizeof frameClass;
    frameClass.lpfnWndProc = FrameProc;
    frameClass.hInstance = instance_;
    frameClass.hIcon = LoadProgramIcon(instance_, SM_CXICON, SM_CYICON);
    smallIcon_ = LoadProgramIcon(instance_, SM_CXSMICON, SM_CYSMICON);
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
    controls_.Bind({client_, pages_[0], pages_[1], pages_[2]});

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

    // The port fields ask the form logic before they take a typed character.
    SetWindowSubclass(Window(Control::edtPort), PortFieldProc, 1, reinterpret_cast<DWORD_PTR>(this));
    SetWindowSubclass(Window(Control::edtCPort), PortFieldProc, 1, reinterpret_cast<DWORD_PTR>(this));

    // The frame's client area is the dialog's size: both follow the dialog font.
    RECT clientRect{};
    GetWindowRect(client_, &clientRect);
    RECT frameRect{0, 0, clientRect.right - clientRect.left, clientRect.bottom - clientRect.top};
    AdjustWindowRectEx(&frameRect, style, FALSE, WS_EX_CONTROLPARENT);
    // Centred until a stored position says otherwise.
    CentreOnWorkArea(frame_, frameRect.right - frameRect.left, frameRect.bottom - frameRect.top);
    SetWindowPos(client_, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    ::ShowWindow(client_, SW_SHOW);

    tray_.Attach(frame_, smallIcon_);
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

bool MainWindow::TranslateKey(const MSG &message) {
    if (message.message != WM_KEYDOWN || (message.hwnd != frame_ && !IsChild(frame_, message.hwnd)))
        return false;
    const bool control = GetKeyState(VK_CONTROL) < 0;
    const bool shift = GetKeyState(VK_SHIFT) < 0;
    int step = 0;
    if (control && message.wParam == VK_TAB)
        step = shift ? -1 : 1;
    else if (control && !shift && (message.wParam == VK_NEXT || message.wParam == VK_PRIOR))
        step = message.wParam == VK_NEXT ? 1 : -1;
    if (step != 0) {
        const int count = static_cast<int>(pages_.size());
        ShowPage((shownPage_ + step + count) % count);
        // The focus on a page that went away would leave the keyboard nowhere.
        HWND focus = GetFocus();
        if (focus == nullptr || !IsWindowVisible(focus))
            SetFocus(GetDlgItem(client_, IDC_TABS));
        return true;
    }
    if (message.wParam == VK_ESCAPE && !control && !shift) {
        // A list that is open takes Escape to close itself.
        for (HWND window : {message.hwnd, GetParent(message.hwnd)}) {
            char name[16] = {};
            GetClassNameA(window, name, sizeof name);
            if (lstrcmpiA(name, "ComboBox") == 0 && Send(window, CB_GETDROPPEDSTATE) != FALSE)
                return false;
        }
        SendMessageA(frame_, WM_CLOSE, 0, 0);
        return true;
    }
    return false;
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

bool MainWindow::OnSessionEnd(UINT message, WPARAM wParam, LRESULT &result) {
    switch (message) {
    case WM_QUERYENDSESSION:
        // Saved now: another program may still cancel the logoff, or Windows may not wait.
        if (form_ != nullptr)
            form_->SaveForSession();
        result = TRUE;
        return true;
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
        result = 0;
        return true;
    default:
        return false;
    }
}

LRESULT MainWindow::OnFrameMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (tray_.OnTaskbarCreated(message))
        return 0;
    LRESULT result = 0;
    if (OnSessionEnd(message, wParam, result) || OnCheckEvent(message, wParam, result))
        return result;
    switch (message) {
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
    case WM_SIZE:
        // Minimised although the frame has no minimise box (Win+Down, the taskbar).
        if (wParam == SIZE_MINIMIZED)
            form_->FormMinimised();
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
        if (!controls_.DrawsInAlertColour(reinterpret_cast<HWND>(lParam)))
            return FALSE;
        const HDC dc = reinterpret_cast<HDC>(wParam);
        SetTextColor(dc, kAlertColour);
        // Over the page's own background, themed or not.
        SetBkMode(dc, TRANSPARENT);
        return reinterpret_cast<INT_PTR>(GetStockObject(NULL_BRUSH));
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
    if (busy_ || form_ == nullptr || !controls_.FindControl(id, control))
        return;
    switch (form::KindOf(control)) {
    case form::ControlKind::List:
        // The user's choice only: CB_SETCURSEL from the form logic sends no notification.
        // Text typed into an editable list counts once the focus leaves it.
        if (code == CBN_SELCHANGE || (code == CBN_KILLFOCUS && controls_.TakeUserEdit(control)))
            Acted(control);
        break;
    case form::ControlKind::Edit:
        // Typed or pasted (not the text the form logic sets): at every change, or once the
        // user leaves a field they changed.
        if (form::ActsWhileTyping(control) ? code == EN_CHANGE && !settingText_
                                           : code == EN_KILLFOCUS && controls_.TakeUserEdit(control))
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
        if (const std::optional<Control> picked = tray_.ShowMenu())
            Acted(*picked);
        break;
    default:
        break;
    }
}

} // namespace zevlo::win
