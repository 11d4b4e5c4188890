#include "platform/SingleInstance.h"

#include "platform/posix/UniqueFd.h"

#include <cerrno>
#include <cstdlib>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zevlo::platform {

// Closing the descriptor releases the lock.
struct SingleInstance::Handle {
    UniqueFd fd;
};

namespace {

std::string UsableFolder(const char *dir) {
    if (!dir || dir[0] != '/') {
        return {};
    }
    struct stat info {};
    if (stat(dir, &info) != 0 || !S_ISDIR(info.st_mode) || access(dir, W_OK | X_OK) != 0) {
        return {};
    }
    std::string folder = dir;
    while (folder.size() > 1 && folder.back() == '/') {
        folder.pop_back();
    }
    return folder == "/" ? folder : folder + "/";
}

// $XDG_RUNTIME_DIR belongs to the user alone; the shared temp folder gets the user id in
// the name so that users do not share one guard.
std::string LockFilePath(const std::string &name) {
    if (const std::string runtime = UsableFolder(std::getenv("XDG_RUNTIME_DIR")); !runtime.empty()) {
        return runtime + name;
    }
    std::string temp = UsableFolder(std::getenv("TMPDIR"));
    if (temp.empty()) {
        temp = "/tmp/";
    }
    return temp + name + "-" + std::to_string(geteuid());
}

} // namespace

SingleInstance::SingleInstance(const std::string &name) {
    const std::string path = LockFilePath(name);
    int fd;
    do {
        fd = open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK, 0600);
    } while (fd < 0 && errno == EINTR);
    // When the guard cannot be had at all (a link or someone else's file planted in the
    // temp folder) the program runs unguarded rather than never start.
    first_ = true;
    if (fd < 0) {
        return;
    }
    auto handle = std::make_unique<Handle>();
    handle->fd.Reset(fd);
    struct stat info {};
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_uid != geteuid()) {
        return;
    }
    int locked;
    do {
        locked = flock(fd, LOCK_EX | LOCK_NB);
    } while (locked != 0 && errno == EINTR);
    if (locked == 0) {
        handle_ = std::move(handle);
    } else if (errno == EWOULDBLOCK) {
        first_ = false;
    }
}

SingleInstance::~SingleInstance() = default;

} // namespace zevlo::platform
