#include "shell/win/LogWindow.h"

#include "form/TfrmLog.h"
#include "shell/win/FileDialogs.h"
#include "shell/win/MessageBoxes.h"
#include "shell/win/Resource.h"

#include <commctrl.h>

#include <algorithm>

namespace zevlo::win {

namespace {

constexpr UINT kShownMessage = WM_APP + 2;
constexpr int kClientWidth = 923;
constexpr int kClientHeight = 517;
constexpr int kButtonBarHeight = 41;
constexpr int kButtonMargin = 8;

// A zero byte would end the text in an edit control, hiding the rest of the line and every
// line after it. "<NUL>" is plain ASCII, so it reads the same in every ANSI code page and font.
constexpr const char *kZeroBytePlaceholder = "<NUL>";

int CALLBACK NoteFontFound(const LOGFONTA *, const TEXTMETRICA *, DWORD, LPARAM found) {
    *reinterpret_cast<bool *>(found) = true;
    return 0;
}

bool FontInstalled(const char *face) {
    LOGFONTA wanted{};
    wanted.lfCharSet = DEFAULT_CHARSET;
    lstrcpynA(wanted.lfFaceName, face, LF_FACESIZE);
    bool found = false;
    HDC screen = GetDC(nullptr);
    EnumFontFamiliesExA(screen, &wanted, NoteFontFound, reinterpret_cast<LPARAM>(&found), 0);
    ReleaseDC(nullptr, screen);
    return found;
}

// Courier New 9 pt; where it is missing (as under Wine), whatever fixed-pitch font the
// system maps to, so the columns of the log still line up.
HFONT CreateLogFont() {
    const int height = -ScaleForDpi(12); // 9 pt at 96 DPI
    const bool courierNew = FontInstalled("Courier New");
    return CreateFontA(height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                       CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, FIXED_PITCH | FF_MODERN, courierNew ? "Courier New" : "");
}

void PlaceAt(HWND window, int x, int y) {
    SetWindowPos(window, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

} // namespace

std::string LogViewText(const TextList &lines) {
    std::string text;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (i > 0)
            text += "\r\n";
        for (const char c : lines[i]) {
            if (c == '\0')
                text += kZeroBytePlaceholder;
            else
                text.push_back(c);
        }
    }
    return text;
}

LogWindow::LogWindow(HINSTANCE instance) : instance_(instance) {
    messageBox = ShowMessageBox;
    chooseSaveFile = ChooseSaveFileWithDialog;
}

LogWindow::~LogWindow() {
    if (dialog_ != nullptr)
        DestroyWindow(dialog_);
}

int LogWindow::ShowModal(HWND owner) {
    if (dialog_ != nullptr)
        return 0;
    owner_ = owner;
    ended_ = false;
    result_ = 0;
    dialog_ = CreateDialogParamA(instance_, ResourceName(IDD_LOG), owner, DialogProc, reinterpret_cast<LPARAM>(this));
    if (dialog_ == nullptr)
        return 0;
    if (owner != nullptr)
        EnableWindow(owner, FALSE);
    ::ShowWindow(dialog_, SW_SHOW);

    MSG message;
    while (!ended_) {
        const BOOL got = GetMessageA(&message, nullptr, 0, 0);
        if (got == 0) {
            // The program is ending: the loops outside see the quit message too.
            PostQuitMessage(static_cast<int>(message.wParam));
            break;
        }
        if (got == -1)
            break;
        if (!IsDialogMessageA(dialog_, &message)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
    }
    // The owner first, so that it gets the activation back.
    if (owner != nullptr)
        EnableWindow(owner, TRUE);
    DestroyWindow(dialog_);
    dialog_ = nullptr;
    memo_ = nullptr;
    return result_;
}

void LogWindow::End(int result) {
    result_ = result;
    ended_ = true;
}

INT_PTR CALLBACK LogWindow::DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrA(dialog, DWLP_USER, lParam);
        auto *self = reinterpret_cast<LogWindow *>(lParam);
        self->dialog_ = dialog;
        self->OnInit();
        return TRUE;
    }
    LogWindow *self = WindowObject<LogWindow>(dialog, DWLP_USER);
    return self != nullptr ? self->OnMessage(message, wParam, lParam) : FALSE;
}

void LogWindow::OnInit() {
    memo_ = GetDlgItem(dialog_, IDC_Memo1);
    if (font_.Get() == nullptr)
        font_.Reset(CreateLogFont());
    SendMessageA(memo_, WM_SETFONT, reinterpret_cast<WPARAM>(font_.Get()), FALSE);
    // The default limit of a multi-line edit (32K characters) is far below a long log.
    SendMessageA(memo_, EM_SETLIMITTEXT, 0, 0);
    SetWindowTextA(memo_, text_.c_str());
    SetWindowSubclass(memo_, MemoProc, 1, reinterpret_cast<DWORD_PTR>(this));

    // The client area in pixels at the screen's DPI; the buttons keep their template size.
    const int width = ScaleForDpi(kClientWidth);
    const int height = ScaleForDpi(kClientHeight);
    const int bar = ScaleForDpi(kButtonBarHeight);
    const int margin = ScaleForDpi(kButtonMargin);
    RECT frame{0, 0, width, height};
    AdjustWindowRectEx(&frame, static_cast<DWORD>(GetWindowLongPtrA(dialog_, GWL_STYLE)), FALSE,
                       static_cast<DWORD>(GetWindowLongPtrA(dialog_, GWL_EXSTYLE)));
    const int frameWidth = frame.right - frame.left;
    const int frameHeight = frame.bottom - frame.top;
    // Centred on the work area of the owner's screen.
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    GetMonitorInfoA(MonitorFromWindow(owner_ != nullptr ? owner_ : dialog_, MONITOR_DEFAULTTOPRIMARY), &monitor);
    const RECT &work = monitor.rcWork;
    SetWindowPos(dialog_, nullptr, work.left + std::max(0L, (work.right - work.left - frameWidth) / 2),
                 work.top + std::max(0L, (work.bottom - work.top - frameHeight) / 2), frameWidth, frameHeight,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    SetWindowPos(memo_, nullptr, 0, 0, width, height - bar, SWP_NOZORDER | SWP_NOACTIVATE);
    HWND close = GetDlgItem(dialog_, IDOK);
    HWND exportCsv = GetDlgItem(dialog_, IDC_btnExportCSV);
    RECT button{};
    GetWindowRect(close, &button);
    const int buttonHeight = button.bottom - button.top;
    const int buttonTop = height - bar + (bar - buttonHeight) / 2;
    PlaceAt(close, margin, buttonTop);
    GetWindowRect(exportCsv, &button);
    PlaceAt(exportCsv, width - margin - (button.right - button.left), buttonTop);

    // Once the viewer is on screen, so that a box about the file has a visible owner.
    PostMessageA(dialog_, kShownMessage, 0, 0);
}

INT_PTR LogWindow::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case kShownMessage:
        if (form_ != nullptr)
            form_->FormShow();
        return TRUE;
    case WM_CTLCOLORSTATIC:
        // Read-only, yet on the background of text, not of the dialog.
        if (reinterpret_cast<HWND>(lParam) == memo_) {
            const HDC dc = reinterpret_cast<HDC>(wParam);
            SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
            SetBkColor(dc, GetSysColor(COLOR_WINDOW));
            return reinterpret_cast<INT_PTR>(GetSysColorBrush(COLOR_WINDOW));
        }
        return FALSE;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDOK:
        case IDCANCEL:
            End(LOWORD(wParam));
            return TRUE;
        case IDC_btnExportCSV:
            if (HIWORD(wParam) == BN_CLICKED && form_ != nullptr)
                form_->btnExportCSVClick();
            return TRUE;
        default:
            return FALSE;
        }
    case WM_CLOSE:
        End(IDCANCEL);
        return TRUE;
    default:
        return FALSE;
    }
}

LRESULT CALLBACK LogWindow::MemoProc(HWND memo, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                     DWORD_PTR data) {
    if (message == WM_CONTEXTMENU) {
        // The viewer's own menu instead of the edit control's.
        reinterpret_cast<LogWindow *>(data)->ShowPopupMenu(lParam);
        return 0;
    }
    if (message == WM_NCDESTROY)
        RemoveWindowSubclass(memo, MemoProc, id);
    return DefSubclassProc(memo, message, wParam, lParam);
}

void LogWindow::ShowPopupMenu(LPARAM at) {
    POINT where{static_cast<short>(LOWORD(at)), static_cast<short>(HIWORD(at))};
    if (at == -1) {
        // From the keyboard: at the top left of the text.
        where = {0, 0};
        ClientToScreen(memo_, &where);
    }
    UniqueMenu menu(CreatePopupMenu());
    AppendMenuA(menu.Get(), MF_STRING, IDM_SelectAll1, "Select &All");
    AppendMenuA(menu.Get(), MF_STRING, IDM_Copy1, "C&opy");
    const UINT command = static_cast<UINT>(TrackPopupMenu(menu.Get(), TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_NONOTIFY,
                                                          where.x, where.y, 0, dialog_, nullptr));
    if (form_ == nullptr)
        return;
    if (command == IDM_SelectAll1)
        form_->SelectAll1Click();
    else if (command == IDM_Copy1)
        form_->Copy1Click();
}

void LogWindow::SetLines(const TextList &lines) {
    text_ = LogViewText(lines);
    if (memo_ != nullptr)
        SetWindowTextA(memo_, text_.c_str());
}

void LogWindow::SelectAll() {
    if (memo_ != nullptr)
        SendMessageA(memo_, EM_SETSEL, 0, -1);
}

void LogWindow::CopySelection() {
    if (memo_ != nullptr)
        SendMessageA(memo_, WM_COPY, 0, 0);
}

std::string LogWindow::ChooseSaveFile(const form::SaveDialog &dialog) {
    return chooseSaveFile(dialog_ != nullptr ? dialog_ : owner_, dialog);
}

void LogWindow::ShowBox(form::BoxKind, const std::string &caption, const std::string &text) {
    // Only file errors come here.
    messageBox(dialog_ != nullptr ? dialog_ : owner_, text, caption, MB_OK | MB_ICONERROR);
}

} // namespace zevlo::win
