#include "platform/TerminationSignals.h"

#include <atomic>
#include <cerrno>
#include <csignal>

#include <fcntl.h>
#include <unistd.h>

namespace zevlo::platform {

namespace {

std::atomic<bool> received{false};
int signalPipe[2] = {-1, -1};

extern "C" void OnTerminationSignal(int) {
    const int savedErrno = errno;
    received.store(true);
    const char byte = 1;
    // A full pipe already holds a request; nothing else to do.
    [[maybe_unused]] const ssize_t written = write(signalPipe[1], &byte, 1);
    errno = savedErrno;
}

} // namespace

int InstallTerminationSignals() {
    static_assert(std::atomic<bool>::is_always_lock_free);
    if (signalPipe[0] >= 0)
        return signalPipe[0];
    if (pipe2(signalPipe, O_NONBLOCK | O_CLOEXEC) != 0) {
        signalPipe[0] = signalPipe[1] = -1;
        return -1;
    }
    struct sigaction action = {};
    action.sa_handler = OnTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int number : {SIGTERM, SIGINT, SIGHUP})
        sigaction(number, &action, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
    return signalPipe[0];
}

void DrainTerminationSignals(int descriptor) {
    char buffer[64];
    while (read(descriptor, buffer, sizeof buffer) > 0) {
    }
}

bool TerminationSignalReceived() {
    return received.load();
}

} // namespace zevlo::platform
