#pragma once

#include <functional>
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

    // True when the lock is ours now (also when it was already). False when another copy holds
    // it, or, with Error() saying why, when the folder cannot be locked at all.
    bool TryLock();
    // Tries again now and then until the lock is ours (true), or the folder cannot be locked or
    // `giveUp` says to stop (false).
    bool LockUnless(const std::function<bool()> &giveUp);
    bool Held() const { return held_; }
    // Why the last try could not lock the folder (it cannot be opened: "Cannot open folder
    // "<folder>". <system text>"); empty when it failed only because another copy holds it.
    const std::string &Error() const { return error_; }

private:
    struct Handle;
    std::string folder_;
    std::unique_ptr<Handle> handle_;
    bool held_ = false;
    std::string error_;
};

} // namespace zevlo::platform
