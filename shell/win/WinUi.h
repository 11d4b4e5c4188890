#pragma once

// Small owners and helpers over user32 and gdi32 for the shell's windows.

#include <windows.h>

#include <string>
#include <utility>

namespace zevlo::win {

// Owns a GDI object (font, brush); deletes it once.
class GdiObject {
public:
    GdiObject() = default;
    explicit GdiObject(HGDIOBJ object) : object_(object) {}
    ~GdiObject() { Reset(); }
    GdiObject(GdiObject &&other) noexcept : object_(std::exchange(other.object_, nullptr)) {}
    GdiObject &operator=(GdiObject &&other) noexcept {
        if (this != &other) {
            Reset();
            object_ = std::exchange(other.object_, nullptr);
        }
        return *this;
    }
    GdiObject(const GdiObject &) = delete;
    GdiObject &operator=(const GdiObject &) = delete;

    HGDIOBJ Get() const { return object_; }
    HFONT Font() const { return static_cast<HFONT>(object_); }
    void Reset(HGDIOBJ object = nullptr) {
        if (object_ != nullptr)
            DeleteObject(object_);
        object_ = object;
    }

private:
    HGDIOBJ object_ = nullptr;
};

// Owns a menu that is not attached to a window.
class UniqueMenu {
public:
    explicit UniqueMenu(HMENU menu) : menu_(menu) {}
    ~UniqueMenu() {
        if (menu_ != nullptr)
            DestroyMenu(menu_);
    }
    UniqueMenu(const UniqueMenu &) = delete;
    UniqueMenu &operator=(const UniqueMenu &) = delete;
    HMENU Get() const { return menu_; }

private:
    HMENU menu_;
};

// SendMessageA with the parameters most messages leave at zero.
inline LRESULT Send(HWND window, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
    return SendMessageA(window, message, wParam, lParam);
}

// A window's text in the ANSI code page.
inline std::string WindowText(HWND window) {
    const int length = GetWindowTextLengthA(window);
    if (length <= 0)
        return {};
    std::string text(static_cast<std::size_t>(length) + 1, '\0');
    const int copied = GetWindowTextA(window, text.data(), length + 1);
    text.resize(static_cast<std::size_t>(copied > 0 ? copied : 0));
    return text;
}

// The system's icon and cursors by number (IDI_APPLICATION, IDC_ARROW, IDC_WAIT are casts).
inline constexpr int kIdiApplication = 32512;
inline constexpr int kIdcArrow = 32512;
inline constexpr int kIdcWait = 32514;

// MAKEINTRESOURCEA without its C-style cast.
inline const char *ResourceName(int id) {
    return reinterpret_cast<const char *>(static_cast<ULONG_PTR>(static_cast<WORD>(id)));
}

// The object behind a window, kept in its user data (GWLP_USERDATA or DWLP_USER).
template <typename T> T *WindowObject(HWND window, int slot) {
    return reinterpret_cast<T *>(GetWindowLongPtrA(window, slot));
}

// A pixel length at 96 DPI on the screen's DPI (the program is system-DPI aware).
inline int ScaleForDpi(int pixelsAt96) {
    static const int dpi = [] {
        HDC screen = GetDC(nullptr);
        const int value = screen != nullptr ? GetDeviceCaps(screen, LOGPIXELSY) : 96;
        if (screen != nullptr)
            ReleaseDC(nullptr, screen);
        return value > 0 ? value : 96;
    }();
    return MulDiv(pixelsAt96, dpi, 96);
}

} // namespace zevlo::win
