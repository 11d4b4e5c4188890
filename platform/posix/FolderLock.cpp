#include "platform/FolderLock.h"

#include "platform/FileIO.h"
#include "platform/posix/UniqueFd.h"

#include <cerrno>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace zevlo::platform {

// Closing the descriptor releases the lock.
struct FolderLock::Handle {
    UniqueFd fd;
};

FolderLock::FolderLock(const std::string &folder) : folder_(folder), handle_(std::make_unique<Handle>()) {}

FolderLock::~FolderLock() = default;

bool FolderLock::TryLock() {
    if (held_)
        return true;
    if (!handle_->fd.IsOpen()) {
        // The folder itself carries the lock: no file of ours is added to the user's folder.
        int fd;
        do
            fd = open(folder_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        while (fd < 0 && errno == EINTR);
        if (fd < 0) {
            // No lock can ever be had then: unlike another copy's lock, waiting will not help.
            const int error = errno;
            error_ = "Cannot open folder \"" + folder_ + "\". " + SystemErrorText(error);
            return false;
        }
        error_.clear();
        handle_->fd.Reset(fd);
    }
    int locked;
    do
        locked = flock(handle_->fd.Get(), LOCK_EX | LOCK_NB);
    while (locked != 0 && errno == EINTR);
    held_ = locked == 0;
    return held_;
}

} // namespace zevlo::platform
