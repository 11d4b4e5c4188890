#include "platform/posix/ChildStreams.h"

#include "platform/ProcessRunner.h"

#include <algorithm>
#include <cerrno>

#include <poll.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

namespace zevlo::platform {

namespace {

// Each read asks for at most this many bytes: enough that a child printing without end is
// read and dropped at the speed it writes.
constexpr std::size_t kReadChunk = 16384;

int MillisecondsUntil(Clock::time_point deadline) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return static_cast<int>(std::clamp<decltype(left)>(left, 0, 1000 * 60 * 60));
}

// Reads what is there now, keeping what the bound allows; false once the pipe reports end
// of data or breaks.
bool ReadAvailable(int fd, std::string &output, bool &cut) {
    char buffer[kReadChunk];
    for (;;) {
        const ssize_t got = read(fd, buffer, kReadChunk);
        if (got > 0) {
            KeepBounded(output, cut, buffer, static_cast<std::size_t>(got));
            continue;
        }
        if (got < 0 && errno == EINTR) {
            continue;
        }
        return got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK);
    }
}

// Writes as much of the input as the pipe takes now; false once nothing more is to be
// written (all done, or the child closed its end: not an error for us).
bool WriteAvailable(int fd, const std::string &input, std::size_t &written) {
    while (written < input.size()) {
        const ssize_t put = write(fd, input.data() + written, input.size() - written);
        if (put > 0) {
            written += static_cast<std::size_t>(put);
            continue;
        }
        if (put < 0 && errno == EINTR) {
            continue;
        }
        return put < 0 && (errno == EAGAIN || errno == EWOULDBLOCK);
    }
    return false;
}

bool TryReap(pid_t child, int &status) {
    status = 0;
    for (;;) {
        const pid_t done = waitpid(child, &status, WNOHANG);
        if (done < 0 && errno == EINTR) {
            continue;
        }
        return done != 0; // reaped, or not ours to wait for any more
    }
}

} // namespace

Wait Exchange(ChildStreams &streams, const std::string *input, Clock::time_point deadline, int stop) {
    std::size_t written = 0;
    if (input && !WriteAvailable(streams.inputWrite.Get(), *input, written)) {
        streams.inputWrite.Close();
    }

    Wait wait = Wait::Ended;
    while (streams.outputRead.IsOpen() || streams.errorsRead.IsOpen()) {
        // A closed descriptor is -1, which poll skips.
        pollfd entries[4] = {{streams.outputRead.Get(), POLLIN, 0},
                             {streams.inputWrite.Get(), POLLOUT, 0},
                             {stop, POLLIN, 0},
                             {streams.errorsRead.Get(), POLLIN, 0}};
        const int ready = poll(entries, 4, MillisecondsUntil(deadline));
        if (ready < 0) {
            if (errno == EINTR) {
                continue;
            }
            wait = Wait::TimedOut; // cannot wait properly any more: end the child rather than hang
            break;
        }
        if (ready == 0) {
            wait = Wait::TimedOut;
            break;
        }
        if (entries[2].revents != 0) {
            wait = Wait::Terminated;
            break;
        }
        if (entries[1].revents != 0 && !WriteAvailable(streams.inputWrite.Get(), *input, written)) {
            streams.inputWrite.Close();
        }
        if (entries[0].revents != 0 && !ReadAvailable(streams.outputRead.Get(), streams.output, streams.outputCut)) {
            streams.outputRead.Close();
        }
        if (entries[3].revents != 0 && !ReadAvailable(streams.errorsRead.Get(), streams.errors, streams.errorsCut)) {
            streams.errorsRead.Close();
        }
    }
    streams.inputWrite.Close();
    return wait;
}

void TakeWhatIsThere(ChildStreams &streams) {
    if (streams.outputRead.IsOpen()) {
        ReadAvailable(streams.outputRead.Get(), streams.output, streams.outputCut);
    }
    if (streams.errorsRead.IsOpen()) {
        ReadAvailable(streams.errorsRead.Get(), streams.errors, streams.errorsCut);
    }
}

void Reap(pid_t child, int &status) {
    status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
}

Wait ReapBefore(pid_t child, Clock::time_point deadline, int stop, int &status) {
    if (TryReap(child, status)) {
        return Wait::Ended;
    }
#ifdef SYS_pidfd_open
    const int pidfd = static_cast<int>(syscall(SYS_pidfd_open, child, 0));
    if (pidfd >= 0) {
        UniqueFd owned(pidfd);
        for (;;) {
            pollfd entries[2] = {{pidfd, POLLIN, 0}, {stop, POLLIN, 0}};
            const int ready = poll(entries, 2, MillisecondsUntil(deadline));
            if (ready < 0 && errno == EINTR) {
                continue;
            }
            if (ready > 0 && entries[0].revents != 0) {
                Reap(child, status);
                return Wait::Ended;
            }
            if (ready > 0) {
                return Wait::Terminated;
            }
            return TryReap(child, status) ? Wait::Ended : Wait::TimedOut;
        }
    }
#endif
    // No process descriptors here: look again now and then, watching for a request meanwhile.
    auto pause = std::chrono::milliseconds(1);
    while (Clock::now() < deadline) {
        pollfd entry{stop, POLLIN, 0};
        if (poll(&entry, 1, std::min(static_cast<int>(pause.count()), MillisecondsUntil(deadline))) > 0) {
            return Wait::Terminated;
        }
        if (TryReap(child, status)) {
            return Wait::Ended;
        }
        pause = std::min(pause * 2, std::chrono::milliseconds(20));
    }
    return Wait::TimedOut;
}

} // namespace zevlo::platform
