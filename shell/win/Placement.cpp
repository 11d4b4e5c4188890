#include "shell/win/Placement.h"

namespace zevlo::win {

namespace {

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

} // namespace

form::Point WindowPosition(HWND window) {
    if (IsIconic(window)) {
        WINDOWPLACEMENT placement{};
        placement.length = sizeof placement;
        if (GetWindowPlacement(window, &placement)) {
            const POINT offset = WorkspaceOffset(window);
            return {placement.rcNormalPosition.left + offset.x, placement.rcNormalPosition.top + offset.y};
        }
    }
    RECT area{};
    GetWindowRect(window, &area);
    return {area.left, area.top};
}

void MoveWindowTo(HWND window, form::Point topLeft) {
    if (IsIconic(window)) {
        WINDOWPLACEMENT placement{};
        placement.length = sizeof placement;
        if (GetWindowPlacement(window, &placement)) {
            const POINT offset = WorkspaceOffset(window);
            RECT &normal = placement.rcNormalPosition;
            OffsetRect(&normal, topLeft.x - offset.x - normal.left, topLeft.y - offset.y - normal.top);
            SetWindowPlacement(window, &placement);
        }
        return;
    }
    SetWindowPos(window, nullptr, topLeft.x, topLeft.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

std::vector<form::Rect> ScreenWorkAreas() {
    std::vector<form::Rect> areas;
    EnumDisplayMonitors(nullptr, nullptr, AddMonitorArea, reinterpret_cast<LPARAM>(&areas));
    return areas;
}

void CentreOnWorkArea(HWND window, int width, int height) {
    RECT work{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    SetWindowPos(window, nullptr, work.left + (work.right - work.left - width) / 2,
                 work.top + (work.bottom - work.top - height) / 2, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

} // namespace zevlo::win
