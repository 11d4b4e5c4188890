#include "platform/FolderLock.h"

#include <cerrno>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace zevlo::platform {

struct FolderLock::Handle {
    int fd = -1;
    ~Handle() {
        if (fd >= 0)
            close(fd); // releases the lock
    }
};

FolderLock::FolderLock(const std::string &folder) : folder_(folder), handle_(std::make_unique<Handle>()) {}

FolderLock::~FolderLock() = default;

bool FolderLock::TryLock() {
    if (held_)
        return true;
    if (handle_->fd < 0) {
        // The folder itself carries the lock: no file of ours is added to the user's folder.
        do
            handle_->fd = open(folder_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        while (handle_->fd < 0 && errno == EINTR);
        if (handle_->fd < 0)
            return false;
    }
    int locked;
    do
        locked = flock(handle_->fd, LOCK_EX | LOCK_NB);
    while (locked != 0 && errno == EINTR);
    held_ = locked == 0;
    return held_;
}

} // namespace zevlo::platform
