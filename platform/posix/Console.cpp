#include "platform/Console.h"

#include "platform/TerminationSignals.h"
#include "platform/posix/TerminationPipe.h"

#include <cerrno>

#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace zevlo::platform {

namespace {

void WriteToStandardError(const std::string &text) {
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t written = write(STDERR_FILENO, text.data() + done, text.size() - done);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return;
        done += static_cast<std::size_t>(written);
    }
}

// One byte at a time, so that nothing after the line is taken from a pipe, and never blocked
// in a read: a termination request (its handler returns, and reads restart) must end the wait.
SecretInput ReadLineUnlessEnded(std::string &line) {
    const int ended = TerminationReadEnd();
    for (;;) {
        if (TerminationRequested())
            return SecretInput::Cancelled;
        pollfd watched[2] = {{STDIN_FILENO, POLLIN, 0}, {ended, POLLIN, 0}};
        if (poll(watched, ended >= 0 ? 2 : 1, -1) < 0) {
            if (errno == EINTR)
                continue;
            return SecretInput::None;
        }
        if (ended >= 0 && watched[1].revents != 0)
            return SecretInput::Cancelled;
        if (watched[0].revents == 0)
            continue;
        char byte = 0;
        const ssize_t got = read(STDIN_FILENO, &byte, 1);
        if (got < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        if (got <= 0)
            return got == 0 && !line.empty() ? SecretInput::Read : SecretInput::None;
        if (byte == '\n')
            return SecretInput::Read;
        line += byte;
    }
}

} // namespace

SecretInput ReadSecretLine(const std::string &prompt, std::string &line) {
    line.clear();
    termios saved{};
    const bool terminal = isatty(STDIN_FILENO) == 1 && tcgetattr(STDIN_FILENO, &saved) == 0;
    if (terminal) {
        termios quiet = saved;
        quiet.c_lflag &= static_cast<tcflag_t>(~ECHO);
        quiet.c_lflag |= ECHONL; // the user still sees the line end
        tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
        // Only now: whatever is typed once the question shows stays hidden.
        WriteToStandardError(prompt);
    }
    const SecretInput result = ReadLineUnlessEnded(line);
    if (terminal) {
        tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved);
        if (result != SecretInput::Read)
            WriteToStandardError("\n"); // what follows starts on a line of its own
    }
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    return result;
}

} // namespace zevlo::platform
