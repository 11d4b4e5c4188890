#include "platform/Console.h"

#include <iostream>

#include <termios.h>
#include <unistd.h>

namespace zevlo::platform {

bool ReadLineWithoutEcho(std::string &line) {
    termios saved{};
    const bool terminal = isatty(STDIN_FILENO) == 1 && tcgetattr(STDIN_FILENO, &saved) == 0;
    if (terminal) {
        termios quiet = saved;
        quiet.c_lflag &= static_cast<tcflag_t>(~ECHO);
        quiet.c_lflag |= ECHONL; // the user still sees the line end
        tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
    }
    const bool read = static_cast<bool>(std::getline(std::cin, line));
    if (terminal)
        tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved);
    if (read && !line.empty() && line.back() == '\r')
        line.pop_back();
    return read;
}

} // namespace zevlo::platform
