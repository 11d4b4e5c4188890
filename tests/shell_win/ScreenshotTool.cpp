// Renders the Windows program's three tabs, the log viewer and the tray icon with its menu
// into BMP files for the README (scripts/screenshots converts them):
//   zevlo_win_screenshots <output folder>
// Runs in a Wine virtual desktop (which has a taskbar with a notification area) on a
// virtual X server. The real windows
// are built through their seams in a temporary folder with sample settings and a sample
// log; no request is made (the sample is paused and the runner answers nothing). Captures
// are taken from the screen, as the user would see them.
#include "data/Tdm.h"
#include "form/TfrmMain.h"
#include "shell/win/LogWindow.h"
#include "shell/win/MainWindow.h"
#include "tests/program/ScreenshotSample.h"
#include "tests/support/Files.h"
#include "tests/support/TempFolder.h"

#include <windows.h>

#include <commctrl.h>

#include <chrono>
#include <cstdio>
#include <exception>
#include <string>
#include <vector>

namespace {

using zevlo::screenshot::NoAutostart;
using zevlo::screenshot::SampleLog;
using zevlo::screenshot::SampleSettings;
using zevlo::screenshot::SilentRunner;

using namespace zevlo;

// Lets the windows paint for a while.
void Settle(int milliseconds) {
    const ULONGLONG end = GetTickCount64() + static_cast<ULONGLONG>(milliseconds);
    while (GetTickCount64() < end) {
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
        Sleep(20);
    }
}

// A part of the screen as a 24-bit BMP file.
bool SaveScreen(const RECT &area, const std::string &path) {
    const int width = area.right - area.left;
    const int height = area.bottom - area.top;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, area.left, area.top, SRCCOPY);
    SelectObject(memory, old);

    BITMAPINFOHEADER header{};
    header.biSize = sizeof header;
    header.biWidth = width;
    header.biHeight = height;
    header.biPlanes = 1;
    header.biBitCount = 24;
    header.biCompression = BI_RGB;
    const DWORD rowBytes = static_cast<DWORD>((width * 3 + 3) & ~3);
    std::vector<char> pixels(static_cast<std::size_t>(rowBytes) * static_cast<std::size_t>(height));
    GetDIBits(memory, bitmap, 0, static_cast<UINT>(height), pixels.data(), reinterpret_cast<BITMAPINFO *>(&header),
              DIB_RGB_COLORS);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);

    BITMAPFILEHEADER file{};
    file.bfType = 0x4D42; // "BM"
    file.bfOffBits = sizeof file + sizeof header;
    file.bfSize = file.bfOffBits + static_cast<DWORD>(pixels.size());
    std::string bytes(reinterpret_cast<const char *>(&file), sizeof file);
    bytes.append(reinterpret_cast<const char *>(&header), sizeof header);
    bytes.append(pixels.data(), pixels.size());
    try {
        zevlo::test::WriteBytes(path, bytes);
    } catch (const std::exception &) {
        std::printf("FAILED %s\n", path.c_str());
        return false;
    }
    std::printf("wrote %s\n", path.c_str());
    return true;
}

bool SaveWindow(HWND window, const std::string &path) {
    RECT area{};
    GetWindowRect(window, &area);
    return SaveScreen(area, path);
}

// What a timer does while a modal loop (the log viewer, the tray menu) runs.
std::string g_outDir;
win::LogWindow *g_viewer = nullptr;

void CALLBACK CaptureViewer(HWND, UINT, UINT_PTR timer, DWORD) {
    KillTimer(nullptr, timer);
    SaveWindow(g_viewer->Handle(), g_outDir + "windows-log.bmp");
    PostMessageA(g_viewer->Handle(), WM_COMMAND, IDOK, 0);
}

void CALLBACK CaptureTray(HWND, UINT, UINT_PTR timer, DWORD) {
    KillTimer(nullptr, timer);
    const int width = GetSystemMetrics(SM_CXSCREEN);
    const int height = GetSystemMetrics(SM_CYSCREEN);
    SaveScreen({width - 260, height - 110, width, height}, g_outDir + "windows-tray.bmp");
    EndMenu();
}

} // namespace

int main(int argc, char **argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: zevlo_win_screenshots <output folder>\n");
        return 2;
    }
    g_outDir = argv[1];
    if (!g_outDir.empty() && g_outDir.back() != '\\')
        g_outDir.push_back('\\');
    CreateDirectoryA(g_outDir.c_str(), nullptr);

    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES | ICC_TAB_CLASSES | ICC_UPDOWN_CLASS};
    InitCommonControlsEx(&controls);

    zevlo::test::TempFolder folder;
    zevlo::test::WriteBytes(folder.Path() + "Settings.ini", SampleSettings());
    zevlo::test::WriteBytes(folder.Path() + "log.txt", SampleLog());

    SilentRunner runner;
    NoAutostart autostart;
    form::MainServices services;
    services.programDir = folder.Path();
    services.dataDir = folder.Path();
    services.executablePath = folder.Path() + "Zevlo.exe";
    services.runner = &runner;
    services.autostart = &autostart;
    services.versionText = [] { return std::string(ZEVLO_VERSION_TEXT); };

    const HINSTANCE instance = GetModuleHandleA(nullptr);
    win::LogWindow viewer(instance);
    win::MainWindow window(instance, viewer);
    form::TfrmMain form(window, viewer, services);
    window.Bind(form);
    viewer.Bind(form.frmLog());
    g_viewer = &viewer;
    Settle(1500);

    const char *names[] = {"windows-general.bmp", "windows-update-request.bmp", "windows-check-ip.bmp"};
    for (int page = 0; page < 3; ++page) {
        window.ShowPage(page);
        RedrawWindow(window.Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
        Settle(500);
        SaveWindow(window.Handle(), g_outDir + names[page]);
    }
    window.ShowPage(0);

    SetTimer(nullptr, 0, 1500, CaptureViewer);
    form.UserActed(form::Control::btnViewLog);

    // Closed to the tray; then a right click on the icon, which sits at the right end of the
    // taskbar of Wine's desktop.
    SendMessageA(window.Handle(), WM_CLOSE, 0, 0);
    Settle(800);
    // The menu opens at the cursor; the cursor stands above and left of the icon, so that the
    // menu leaves the icon in sight (Wine moves a menu that does not fit rather than flip it).
    RECT taskbar{0, GetSystemMetrics(SM_CYSCREEN), GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    if (HWND tray = FindWindowA("Shell_TrayWnd", nullptr))
        GetWindowRect(tray, &taskbar);
    SetCursorPos(taskbar.right - 120, taskbar.top - 62);
    SetTimer(nullptr, 0, 1500, CaptureTray);
    SendMessageA(window.Handle(), win::MainWindow::kTrayMessage, 1, WM_RBUTTONDOWN);

    form.Terminate();
    return 0;
}
