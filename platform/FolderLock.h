#pragma once

#include <chrono>
#include <memory>
#include <string>

namespace zevlo::platform {

// An exclusive lock on a data folder while one copy of the program uses its files (an flock
// on the folder itself on POSIX; a named mutex per folder on Windows). Held until destroyed.
class FolderLock {
public:
    explicit FolderLock(const std::string &folder);
    ~FolderLock();
    FolderLock(const FolderLock &) = delete;
    FolderLock &operator=(const FolderLock &) = delete;

    // True when the lock is ours now (also when it was already).
    bool TryLock();
    // Tries again now and then until `limit` has passed.
    bool LockWithin(std::chrono::milliseconds limit);
    bool Held() const { return held_; }

private:
    struct Handle;
    std::string folder_;
    std::unique_ptr<Handle> handle_;
    bool held_ = false;
};

} // namespace zevlo::platform
