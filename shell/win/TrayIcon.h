#pragma once

#include "form/Controls.h"

#include <windows.h>

#include <shellapi.h>

#include <array>
#include <cstddef>
#include <functional>
#include <optional>
#include <string>

namespace zevlo::win {

// The notification-area icon of the main window: its data, its addition, change and removal,
// its return after Explorer restarts, and its menu, whose items are the tray's controls
// (mnuShow, mnuTerminate, mnuPause) with their texts, enabled and visible states.
class TrayIcon {
public:
    // The message the icon sends to its window.
    static constexpr UINT kCallbackMessage = WM_USER + 1;
    static constexpr std::size_t kItemCount = 3;

    using NotifyIcon = std::function<bool(DWORD message, NOTIFYICONDATAA &data)>;
    using TrackMenu = std::function<UINT(HMENU menu, HWND owner, POINT at)>;
    using TaskbarPresent = std::function<bool()>;

    // The shell is reached through the three calls, which are read at each use (tests replace
    // them).
    TrayIcon(const NotifyIcon &notifyIcon, const TrackMenu &trackMenu, const TaskbarPresent &taskbarPresent);
    ~TrayIcon();
    TrayIcon(const TrayIcon &) = delete;
    TrayIcon &operator=(const TrayIcon &) = delete;

    // The window that gets the icon's messages, and the icon it shows.
    void Attach(HWND owner, HICON icon);

    // Whether a notification area is there to show the icon; asked anew each time.
    bool Available();
    void SetShown(bool shown);
    void SetTip(const std::string &tip);
    bool Added() const { return added_; }
    // True when `message` is Explorer's announcement of a new taskbar, which knows no icon:
    // the icon is added again when it is wanted.
    bool OnTaskbarCreated(UINT message);

    static bool IsItem(form::Control control);
    std::string Text(form::Control item) const;
    void SetText(form::Control item, const std::string &text);
    void SetEnabled(form::Control item, bool enabled);
    void SetVisible(form::Control item, bool visible);
    // Shows the menu of the visible items at the cursor; the item the user picked, if any.
    std::optional<form::Control> ShowMenu();

private:
    struct Item {
        form::Control control;
        UINT command;
        std::string text;
        bool enabled = true;
        bool visible = true;
    };

    Item &Find(form::Control item);
    const Item &Find(form::Control item) const;
    NOTIFYICONDATAA IconData(UINT flags) const;
    bool Add();

    const NotifyIcon &notifyIcon_;
    const TrackMenu &trackMenu_;
    const TaskbarPresent &taskbarPresent_;
    HWND owner_ = nullptr;
    HICON icon_ = nullptr;
    UINT taskbarCreated_ = 0;
    bool wanted_ = false;
    bool added_ = false;
    std::string tip_;
    std::array<Item, kItemCount> items_;
};

} // namespace zevlo::win
