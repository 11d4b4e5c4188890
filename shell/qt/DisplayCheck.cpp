#include "shell/qt/DisplayCheck.h"

#include <dlfcn.h>
#include <sys/stat.h>

#include <cstdlib>
#include <cstring>
#include <vector>

namespace zevlo::qt {

namespace {

std::string Environment(const char *name) {
    const char *value = std::getenv(name);
    return value != nullptr ? value : "";
}

// The value after an option Qt takes with one dash or two; empty when not given.
std::string ArgumentValue(int argc, char **argv, const char *name) {
    std::string value;
    for (int i = 1; i + 1 < argc; ++i) {
        const char *arg = argv[i];
        if (arg[0] == '-' && arg[1] == '-')
            ++arg;
        if (std::strcmp(arg, name) == 0)
            value = argv[++i];
    }
    return value;
}

// The plugin names of a platform list such as "wayland;xcb" or "vnc:size=800x600".
std::vector<std::string> PlatformNames(const std::string &list) {
    std::vector<std::string> names;
    std::size_t start = 0;
    while (start <= list.size()) {
        const std::size_t end = std::min(list.find(';', start), list.size());
        std::string name = list.substr(start, end - start);
        name = name.substr(0, name.find(':'));
        for (char &c : name)
            c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
        if (!name.empty())
            names.push_back(name);
        start = end + 1;
    }
    return names;
}

bool IsSocket(const std::string &path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISSOCK(info.st_mode);
}

bool WaylandReachable(const DisplayRequest &request) {
    if (request.waylandSocketGiven)
        return true;
    // As libwayland looks for it: a path, or a name in the runtime folder, "wayland-0" unset.
    const std::string name = request.wayland.empty() ? "wayland-0" : request.wayland;
    if (name.front() == '/')
        return IsSocket(name);
    return !request.runtimeDir.empty() && IsSocket(request.runtimeDir + "/" + name);
}

} // namespace

DisplayRequest DisplayRequestFor(int argc, char **argv) {
    DisplayRequest request;
    request.platform = ArgumentValue(argc, argv, "-platform");
    if (request.platform.empty())
        request.platform = Environment("QT_QPA_PLATFORM");
    request.x11 = ArgumentValue(argc, argv, "-display");
    if (request.x11.empty())
        request.x11 = Environment("DISPLAY");
    request.wayland = Environment("WAYLAND_DISPLAY");
    request.waylandSocketGiven = !Environment("WAYLAND_SOCKET").empty();
    request.runtimeDir = Environment("XDG_RUNTIME_DIR");
    request.sessionType = Environment("XDG_SESSION_TYPE");
    return request;
}

bool DisplayReachable(const DisplayRequest &request, const std::function<bool(const std::string &)> &x11Accepts) {
    std::vector<std::string> platforms = PlatformNames(request.platform);
    // Qt's own choice: X11, with Wayland first in a Wayland session.
    if (platforms.empty())
        platforms = request.sessionType == "wayland" ? std::vector<std::string>{"wayland", "xcb"}
                                                     : std::vector<std::string>{"xcb"};
    for (const std::string &platform : platforms) {
        if (platform == "xcb") {
            if (!request.x11.empty() && x11Accepts(request.x11))
                return true;
        } else if (platform.rfind("wayland", 0) == 0) {
            if (WaylandReachable(request))
                return true;
        } else {
            return true;
        }
    }
    return false;
}

bool X11Accepts(const std::string &display) {
    void *xcb = dlopen("libxcb.so.1", RTLD_NOW | RTLD_LOCAL);
    // Without the library nothing can be asked: Qt's platform will tell.
    if (xcb == nullptr)
        return true;
    using Connect = void *(*)(const char *, int *);
    using HasError = int (*)(void *);
    using Disconnect = void (*)(void *);
    const auto connect = reinterpret_cast<Connect>(dlsym(xcb, "xcb_connect"));
    const auto hasError = reinterpret_cast<HasError>(dlsym(xcb, "xcb_connection_has_error"));
    const auto disconnect = reinterpret_cast<Disconnect>(dlsym(xcb, "xcb_disconnect"));
    bool accepted = true;
    if (connect != nullptr && hasError != nullptr && disconnect != nullptr) {
        void *connection = connect(display.c_str(), nullptr);
        accepted = hasError(connection) == 0;
        disconnect(connection);
    }
    dlclose(xcb);
    return accepted;
}

} // namespace zevlo::qt
