#include "shell/win/MessageBoxes.h"

#include "shell/win/WinUi.h"

#include <algorithm>
#include <climits>
#include <vector>

namespace zevlo::win {

namespace {

// The dialog item of the text in the system's message box.
constexpr int kBoxTextId = 0xFFFF;

// The text whose box opens next on this thread, until the box took it.
thread_local const std::string *textAwaitingItsBox = nullptr;

std::vector<std::string> LinesOf(const std::string &text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = text.find('\n', start);
        std::string line = text.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(line);
        if (end == std::string::npos)
            return lines;
        start = end + 1;
    }
}

// The width of the widest line in the label's font.
int WidestLine(HWND label, const std::string &text) {
    HDC dc = GetDC(label);
    const HGDIOBJ before = SelectObject(dc, reinterpret_cast<HGDIOBJ>(Send(label, WM_GETFONT)));
    int widest = 0;
    for (const std::string &line : LinesOf(text)) {
        RECT area{0, 0, 0, 0};
        DrawTextA(dc, line.c_str(), static_cast<int>(line.size()), &area,
                  DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX | DT_EXPANDTABS);
        widest = std::max(widest, static_cast<int>(area.right));
    }
    SelectObject(dc, before);
    ReleaseDC(label, dc);
    return widest;
}

RECT RectInParent(HWND child, HWND parent) {
    RECT area{};
    GetWindowRect(child, &area);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT *>(&area), 2);
    return area;
}

// Widens the box and its text to the widest line. The buttons keep their place as the
// system put them: centred stays centred, at the right edge stays there.
void WidenToItsLines(HWND box, const std::string &text) {
    HWND label = GetDlgItem(box, kBoxTextId);
    if (label == nullptr || WindowText(label) != text)
        return;
    const RECT labelArea = RectInParent(label, box);
    const int grow = WidestLine(label, text) + 2 - (labelArea.right - labelArea.left);
    if (grow <= 0)
        return;
    RECT client{};
    GetClientRect(box, &client);
    std::vector<HWND> buttons;
    long left = LONG_MAX;
    long right = 0;
    for (HWND child = GetWindow(box, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
        char name[16] = {};
        GetClassNameA(child, name, sizeof name);
        if (lstrcmpiA(name, "Button") != 0)
            continue;
        const RECT area = RectInParent(child, box);
        left = std::min(left, area.left);
        right = std::max(right, area.right);
        buttons.push_back(child);
    }
    const long leftGap = left;
    const long rightGap = client.right - right;
    const int shift = !buttons.empty() && std::abs(leftGap - rightGap) <= 2 ? grow / 2 : rightGap < leftGap ? grow : 0;
    for (HWND button : buttons) {
        const RECT area = RectInParent(button, box);
        SetWindowPos(button, nullptr, area.left + shift, area.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    SetWindowPos(label, nullptr, 0, 0, labelArea.right - labelArea.left + grow, labelArea.bottom - labelArea.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    RECT frame{};
    GetWindowRect(box, &frame);
    SetWindowPos(box, nullptr, frame.left - grow / 2, frame.top, frame.right - frame.left + grow,
                 frame.bottom - frame.top, SWP_NOZORDER | SWP_NOACTIVATE);
}

LRESULT CALLBACK OnActivation(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_ACTIVATE && textAwaitingItsBox != nullptr) {
        const std::string *text = textAwaitingItsBox;
        textAwaitingItsBox = nullptr;
        WidenToItsLines(reinterpret_cast<HWND>(wParam), *text);
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

} // namespace

int ShowMessageBox(HWND owner, const std::string &text, const std::string &caption, UINT flags) {
    if (text.find('\n') == std::string::npos)
        return MessageBoxA(owner, text.c_str(), caption.c_str(), flags);
    // The box is laid out before it shows: it is changed when it is first activated.
    textAwaitingItsBox = &text;
    HHOOK hook = SetWindowsHookExA(WH_CBT, OnActivation, nullptr, GetCurrentThreadId());
    const int answer = MessageBoxA(owner, text.c_str(), caption.c_str(), flags);
    if (hook != nullptr)
        UnhookWindowsHookEx(hook);
    textAwaitingItsBox = nullptr;
    return answer;
}

} // namespace zevlo::win
