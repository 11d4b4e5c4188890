#pragma once

#include <unistd.h>

namespace zevlo::platform {

// Owns one file descriptor (-1: none) and closes it when it goes; moved, never copied.
class UniqueFd {
public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) noexcept : fd_(fd) {}
    ~UniqueFd() { Close(); }
    UniqueFd(UniqueFd &&other) noexcept : fd_(other.Release()) {}
    UniqueFd &operator=(UniqueFd &&other) noexcept {
        if (this != &other)
            Reset(other.Release());
        return *this;
    }
    UniqueFd(const UniqueFd &) = delete;
    UniqueFd &operator=(const UniqueFd &) = delete;

    int Get() const noexcept { return fd_; }
    bool IsOpen() const noexcept { return fd_ >= 0; }

    // Closes now and says how close went (0 with none held), so that the delayed write
    // errors some file systems report only there are seen. Never retried on EINTR: the
    // descriptor is gone either way on Linux.
    int Close() noexcept {
        if (fd_ < 0)
            return 0;
        const int result = ::close(fd_);
        fd_ = -1;
        return result;
    }

    // Closes the one held, then holds `fd`.
    void Reset(int fd = -1) noexcept {
        Close();
        fd_ = fd;
    }

    // Gives the descriptor up without closing it.
    int Release() noexcept {
        const int fd = fd_;
        fd_ = -1;
        return fd;
    }

private:
    int fd_ = -1;
};

} // namespace zevlo::platform
