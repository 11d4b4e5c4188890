#include "platform/Paths.h"
#include "platform/posix/XdgDirs.h"

#include <cerrno>
#include <cstdlib>
#include <vector>

#include <grp.h>
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

namespace {

std::string UserText(uid_t uid) {
    std::vector<char> buffer(16384);
    passwd entry{};
    passwd *found = nullptr;
    const std::string number = "uid " + std::to_string(uid);
    if (getpwuid_r(uid, &entry, buffer.data(), buffer.size(), &found) == 0 && found && found->pw_name)
        return std::string(found->pw_name) + " (" + number + ")";
    return number;
}

// Why the file is not the user's, or empty (also when nothing is there).
std::string ForeignFile(const std::string &path) {
    struct stat entry {};
    if (lstat(path.c_str(), &entry) != 0)
        return {}; // nothing there, or out of reach: reading it reports that
    const uid_t user = geteuid();
    if (entry.st_uid != user) {
        const char *what = S_ISLNK(entry.st_mode) ? "is a link of " : "belongs to ";
        return "\"" + path + "\" " + what + UserText(entry.st_uid) + ", not to " + UserText(user);
    }
    struct stat target {};
    if (S_ISLNK(entry.st_mode) && stat(path.c_str(), &target) == 0 && target.st_uid != user)
        return "\"" + path + "\" leads to a file of " + UserText(target.st_uid) + ", not of " + UserText(user);
    return {};
}

// True for the user's own private group (its name is the user's, it is the user's primary
// group and lists no one else), which a umask of 002 makes folders writable for.
bool IsUsersPrivateGroup(gid_t gid) {
    std::vector<char> buffer(16384);
    passwd user{};
    passwd *foundUser = nullptr;
    if (getpwuid_r(geteuid(), &user, buffer.data(), buffer.size(), &foundUser) != 0 || !foundUser ||
        user.pw_gid != gid || !user.pw_name)
        return false;
    const std::string name = user.pw_name;
    std::vector<char> groupBuffer(16384);
    group entry{};
    group *found = nullptr;
    if (getgrgid_r(gid, &entry, groupBuffer.data(), groupBuffer.size(), &found) != 0 || !found || !found->gr_name ||
        name != found->gr_name)
        return false;
    for (char **member = found->gr_mem; member != nullptr && *member != nullptr; ++member)
        if (name != *member)
            return false;
    return true;
}

// True when users other than the folder's owner may add, remove or rename its files.
bool OthersMayChange(const struct stat &folder) {
    if ((folder.st_mode & S_ISVTX) != 0)
        return false; // only a file's owner may remove or rename it
    const bool groupMay = (folder.st_mode & S_IWGRP) != 0 && !IsUsersPrivateGroup(folder.st_gid);
    return groupMay || (folder.st_mode & S_IWOTH) != 0;
}

} // namespace

std::string DataFolderRefusal(const std::string &dataDir) {
    const std::string dir = dataDir.empty() || dataDir.back() == '/' ? dataDir : dataDir + "/";
    struct stat folder {};
    if (stat(dir.c_str(), &folder) == 0 && S_ISDIR(folder.st_mode) && OthersMayChange(folder))
        return "the folder \"" + dir + "\" may be written to by other users and has no sticky bit";
    for (const char *name : {"Settings.ini", "log.txt"})
        if (std::string why = ForeignFile(dir + name); !why.empty())
            return why;
    return {};
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
