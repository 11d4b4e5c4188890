#include "platform/Console.h"

#include <windows.h>

#include <iostream>

namespace zevlo::platform {

bool ReadLineWithoutEcho(std::string &line) {
    const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    DWORD saved = 0;
    const bool console = input != nullptr && input != INVALID_HANDLE_VALUE && GetConsoleMode(input, &saved);
    if (console)
        SetConsoleMode(input, saved & ~static_cast<DWORD>(ENABLE_ECHO_INPUT));
    const bool read = static_cast<bool>(std::getline(std::cin, line));
    if (console) {
        SetConsoleMode(input, saved);
        std::cerr << '\n'; // the line end the user typed was not shown
    }
    if (read && !line.empty() && line.back() == '\r')
        line.pop_back();
    return read;
}

} // namespace zevlo::platform
