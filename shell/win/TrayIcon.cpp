#include "shell/win/TrayIcon.h"

#include "shell/win/Resource.h"
#include "shell/win/WinUi.h"

#include <algorithm>

namespace zevlo::win {

namespace {

using form::Control;

constexpr UINT kTrayIconId = 1;

} // namespace

TrayIcon::TrayIcon(const NotifyIcon &notifyIcon, const TrackMenu &trackMenu, const TaskbarPresent &taskbarPresent)
    : notifyIcon_(notifyIcon), trackMenu_(trackMenu),
      taskbarPresent_(taskbarPresent), items_{{{Control::mnuShow, IDM_mnuShow, "Show"},
                                               {Control::mnuTerminate, IDM_mnuTerminate, "Terminate"},
                                               {Control::mnuPause, IDM_mnuPause, "Pause"}}} {}

TrayIcon::~TrayIcon() {
    SetShown(false);
}

void TrayIcon::Attach(HWND owner, HICON icon) {
    owner_ = owner;
    icon_ = icon;
    taskbarCreated_ = RegisterWindowMessageA("TaskbarCreated");
}

NOTIFYICONDATAA TrayIcon::IconData(UINT flags) const {
    NOTIFYICONDATAA data{};
    data.cbSize = sizeof data;
    data.hWnd = owner_;
    data.uID = kTrayIconId;
    data.uFlags = flags;
    data.uCallbackMessage = kCallbackMessage;
    data.hIcon = icon_;
    // szTip holds 127 bytes and the terminating zero; a line break shows as one.
    tip_.copy(data.szTip, sizeof data.szTip - 1);
    return data;
}

bool TrayIcon::Add() {
    NOTIFYICONDATAA data = IconData(NIF_MESSAGE | NIF_ICON | NIF_TIP);
    added_ = notifyIcon_(NIM_ADD, data);
    return added_;
}

bool TrayIcon::Available() {
    // Asked anew each time: a taskbar may come up after the program, or go.
    if (!taskbarPresent_())
        return false;
    if (added_)
        return true;
    // A taskbar that refuses the icon has no notification area to show it.
    const bool added = Add();
    if (added && !wanted_)
        SetShown(false);
    return added;
}

void TrayIcon::SetShown(bool shown) {
    wanted_ = shown;
    if (shown && !added_) {
        Add();
    } else if (!shown && added_) {
        NOTIFYICONDATAA data = IconData(0);
        notifyIcon_(NIM_DELETE, data);
        added_ = false;
    }
}

void TrayIcon::SetTip(const std::string &tip) {
    tip_ = tip.substr(0, sizeof NOTIFYICONDATAA{}.szTip - 1);
    if (added_) {
        NOTIFYICONDATAA data = IconData(NIF_TIP);
        notifyIcon_(NIM_MODIFY, data);
    }
}

bool TrayIcon::OnTaskbarCreated(UINT message) {
    if (taskbarCreated_ == 0 || message != taskbarCreated_)
        return false;
    added_ = false;
    if (wanted_)
        Add();
    return true;
}

bool TrayIcon::IsItem(Control control) {
    return form::KindOf(control) == form::ControlKind::MenuItem;
}

TrayIcon::Item &TrayIcon::Find(Control item) {
    return *std::find_if(items_.begin(), items_.end(), [item](const Item &each) { return each.control == item; });
}

const TrayIcon::Item &TrayIcon::Find(Control item) const {
    return *std::find_if(items_.begin(), items_.end(), [item](const Item &each) { return each.control == item; });
}

std::string TrayIcon::Text(Control item) const {
    return Find(item).text;
}

void TrayIcon::SetText(Control item, const std::string &text) {
    Find(item).text = text;
}

void TrayIcon::SetEnabled(Control item, bool enabled) {
    Find(item).enabled = enabled;
}

void TrayIcon::SetVisible(Control item, bool visible) {
    Find(item).visible = visible;
}

std::optional<Control> TrayIcon::ShowMenu() {
    UniqueMenu menu(CreatePopupMenu());
    for (const Item &item : items_) {
        if (item.visible)
            AppendMenuA(menu.Get(), MF_STRING | (item.enabled ? MF_ENABLED : MF_GRAYED), item.command,
                        item.text.c_str());
    }
    POINT at{};
    GetCursorPos(&at);
    // Without the foreground the menu would not close when the user clicks elsewhere.
    SetForegroundWindow(owner_);
    const UINT command = trackMenu_(menu.Get(), owner_, at);
    PostMessageA(owner_, WM_NULL, 0, 0);
    for (const Item &item : items_) {
        if (command != 0 && item.command == command)
            return item.control;
    }
    return std::nullopt;
}

} // namespace zevlo::win
