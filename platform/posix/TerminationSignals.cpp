#include "platform/TerminationSignals.h"

#include "platform/posix/TerminationPipe.h"

#include <atomic>
#include <cerrno>
#include <csignal>

#include <fcntl.h>
#include <unistd.h>

namespace zevlo::platform {

namespace {

std::atomic<bool> received{false};
std::atomic<int> signalPipe[2] = {-1, -1};

// Safe in a signal handler: an atomic store and one write.
void MarkRequest() {
    const int savedErrno = errno;
    received.store(true);
    const int writeEnd = signalPipe[1].load();
    if (writeEnd >= 0) {
        const char byte = 1;
        // A full pipe already holds a request; nothing else to do.
        [[maybe_unused]] const ssize_t written = write(writeEnd, &byte, 1);
    }
    errno = savedErrno;
}

extern "C" void OnTerminationSignal(int) {
    MarkRequest();
}

} // namespace

int InstallTerminationSignals() {
    static_assert(std::atomic<bool>::is_always_lock_free && std::atomic<int>::is_always_lock_free);
    if (signalPipe[0] >= 0)
        return signalPipe[0];
    int ends[2];
    if (pipe2(ends, O_NONBLOCK | O_CLOEXEC) != 0)
        return -1;
    signalPipe[1] = ends[1];
    signalPipe[0] = ends[0];
    struct sigaction action = {};
    action.sa_handler = OnTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int number : {SIGTERM, SIGINT, SIGHUP})
        sigaction(number, &action, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
    return signalPipe[0];
}

void AlsoEndOnQuit() {
    if (signalPipe[0] < 0)
        return;
    struct sigaction action = {};
    action.sa_handler = OnTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGQUIT, &action, nullptr);
}

void DrainTerminationSignals(int descriptor) {
    char buffer[64];
    while (read(descriptor, buffer, sizeof buffer) > 0) {
    }
}

void RequestTermination() {
    MarkRequest();
}

bool TerminationRequested() {
    return received.load();
}

int TerminationReadEnd() {
    return signalPipe[0].load();
}

} // namespace zevlo::platform
