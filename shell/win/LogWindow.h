#pragma once

#include "form/LogView.h"
#include "shell/win/WinUi.h"

#include <windows.h>

#include <functional>
#include <string>

namespace zevlo::form {
class TfrmLog;
}

namespace zevlo::win {

// The modal log viewer in Win32 over the form logic's TfrmLog: a read-only text of the
// lines with a popup menu, and a button bar with "Close" and "Export to CSV".
class LogWindow final : public form::ILogView {
public:
    explicit LogWindow(HINSTANCE instance);
    ~LogWindow() override;
    LogWindow(const LogWindow &) = delete;
    LogWindow &operator=(const LogWindow &) = delete;

    void Bind(form::TfrmLog &form) { form_ = &form; }

    // Shows the viewer over `owner`, which is disabled meanwhile, and returns when it is
    // closed (IDOK from "Close", IDCANCEL from Escape or the title bar) or when the event
    // loop is ended (0; WM_QUIT is posted again for the loops outside).
    int ShowModal(HWND owner);

    // While shown: the dialog and its text.
    HWND Handle() const { return dialog_; }
    HWND Memo() const { return memo_; }

    // The calls that open something modal, replaced by tests.
    std::function<int(HWND owner, const std::string &text, const std::string &caption, UINT flags)> messageBox;
    std::function<std::string(HWND owner, const form::SaveDialog &dialog)> chooseSaveFile;

    // ILogView
    void SetLines(const TextList &lines) override;
    void SelectAll() override;
    void CopySelection() override;
    std::string ChooseSaveFile(const form::SaveDialog &dialog) override;
    void ShowBox(form::BoxKind kind, const std::string &caption, const std::string &text) override;
    void FormGone() override { form_ = nullptr; }

private:
    static INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK MemoProc(HWND memo, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                     DWORD_PTR data);
    INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void OnInit();
    void ShowPopupMenu(LPARAM at);
    void End(int result);

    HINSTANCE instance_;
    form::TfrmLog *form_ = nullptr;
    HWND dialog_ = nullptr;
    HWND memo_ = nullptr;
    HWND owner_ = nullptr;
    GdiObject font_;
    std::string text_;
    bool ended_ = false;
    int result_ = 0;
};

// The text the viewer shows for the lines: joined by CR LF, a zero byte as "<NUL>".
std::string LogViewText(const TextList &lines);

} // namespace zevlo::win
