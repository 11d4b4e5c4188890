#pragma once

#include <functional>
#include <string>

namespace zevlo::qt {

// Where Qt will look for a display, as the arguments and the environment say.
struct DisplayRequest {
    std::string platform;    // -platform's value, else QT_QPA_PLATFORM; empty: Qt's own choice
    std::string x11;         // -display's value, else DISPLAY
    std::string wayland;     // WAYLAND_DISPLAY: a socket's name in runtimeDir, or its path
    bool waylandSocketGiven; // WAYLAND_SOCKET: a connection handed down
    std::string runtimeDir;  // XDG_RUNTIME_DIR
    std::string sessionType; // XDG_SESSION_TYPE
};

DisplayRequest DisplayRequestFor(int argc, char **argv);

// Whether Qt will find a display for `request` instead of aborting the process, which it
// does when its platform finds none. Platforms that need no display server (offscreen, vnc,
// a frame buffer) were chosen by the user and are taken as they are. `x11Accepts` tells
// whether an X server takes a connection to a display.
bool DisplayReachable(const DisplayRequest &request, const std::function<bool(const std::string &)> &x11Accepts);

// Whether the X server of `display` accepts a connection (through libxcb, loaded only here).
bool X11Accepts(const std::string &display);

} // namespace zevlo::qt
