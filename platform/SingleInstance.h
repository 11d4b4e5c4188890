#pragma once

#include <memory>
#include <string>

namespace zevlo::platform {

// Holds the one-instance-per-user guard for as long as it lives (a named mutex on
// Windows; an flock on a file named after it in $XDG_RUNTIME_DIR or the temp folder).
class SingleInstance {
public:
    explicit SingleInstance(const std::string &name);
    ~SingleInstance();
    SingleInstance(const SingleInstance &) = delete;
    SingleInstance &operator=(const SingleInstance &) = delete;

    // False when another copy already holds the guard.
    bool IsFirst() const { return first_; }

private:
    struct Handle;
    std::unique_ptr<Handle> handle_;
    bool first_ = false;
};

} // namespace zevlo::platform
