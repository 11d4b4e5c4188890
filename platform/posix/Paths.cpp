#include "platform/Paths.h"
#include "platform/posix/XdgDirs.h"

#include <cerrno>
#include <cstdlib>
#include <vector>

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zevlo::platform {

const char *PathSeparator() {
    return "/";
}

const char *NullDevice() {
    return "/dev/null";
}

const char *AllFilesPattern() {
    return "*";
}

std::string HomeDir() {
    if (const char *home = std::getenv("HOME"); home && *home) {
        return home;
    }
    std::vector<char> buffer(16384);
    passwd entry{};
    passwd *found = nullptr;
    if (getpwuid_r(geteuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found && found->pw_dir) {
        return found->pw_dir;
    }
    return {};
}

std::string XdgConfigHome() {
    // Relative values are to be ignored, as the base directory rules say.
    if (const char *config = std::getenv("XDG_CONFIG_HOME"); config && config[0] == '/') {
        std::string dir = config;
        while (dir.size() > 1 && dir.back() == '/') {
            dir.pop_back();
        }
        return dir;
    }
    const std::string home = HomeDir();
    if (home.empty()) {
        return {};
    }
    return (home.back() == '/' ? home : home + "/") + ".config";
}

std::string ExecutablePath() {
    std::string path(256, '\0');
    for (;;) {
        const ssize_t length = readlink("/proc/self/exe", path.data(), path.size());
        if (length < 0) {
            return {};
        }
        if (static_cast<std::size_t>(length) < path.size()) {
            path.resize(static_cast<std::size_t>(length));
            return path;
        }
        path.resize(path.size() * 2);
    }
}

std::string PerUserDataDir() {
    const std::string config = XdgConfigHome();
    return config.empty() ? std::string() : config + "/zevlo/";
}

bool IsOwnedByCurrentUser(const std::string &path) {
    // A link counts only when both the link and what it points at are ours: someone
    // else's link could lead to a file they wrote, and our own link to their file would
    // read their settings.
    struct stat entry {};
    if (path.empty() || lstat(path.c_str(), &entry) != 0 || entry.st_uid != geteuid()) {
        return false;
    }
    if (!S_ISLNK(entry.st_mode)) {
        return true;
    }
    struct stat target {};
    return stat(path.c_str(), &target) == 0 && target.st_uid == geteuid();
}

bool IsDirWritable(const std::string &dir) {
    struct stat info {};
    return !dir.empty() && stat(dir.c_str(), &info) == 0 && S_ISDIR(info.st_mode) &&
           access(dir.c_str(), W_OK | X_OK) == 0;
}

bool MakeDirs(const std::string &dir) {
    if (dir.empty()) {
        return false;
    }
    // Created folders are private to the user, as the base directory rules ask.
    std::size_t next = 0;
    while (next != std::string::npos) {
        next = dir.find('/', next + 1);
        const std::string part = dir.substr(0, next);
        if (part.empty() || part == "/") {
            continue;
        }
        if (mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) {
            return false;
        }
    }
    struct stat info {};
    return stat(dir.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

} // namespace zevlo::platform
