#include "platform/Console.h"

#include "platform/TerminationSignals.h"

#include <windows.h>

#include <iostream>

namespace zevlo::platform {

namespace {

// Ctrl+C and Ctrl+Break while the prompt waits: the reading ends (the console read returns
// empty-handed) instead of the process, so the console gets its echo back.
BOOL WINAPI OnConsoleBreak(DWORD event) {
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT)
        return FALSE;
    RequestTermination();
    return TRUE;
}

} // namespace

SecretInput ReadSecretLine(const std::string &prompt, std::string &line) {
    line.clear();
    const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    DWORD saved = 0;
    const bool console = input != nullptr && input != INVALID_HANDLE_VALUE && GetConsoleMode(input, &saved);
    if (console) {
        std::cerr << prompt << std::flush;
        SetConsoleCtrlHandler(OnConsoleBreak, TRUE);
        SetConsoleMode(input, saved & ~static_cast<DWORD>(ENABLE_ECHO_INPUT));
    }
    const bool read = static_cast<bool>(std::getline(std::cin, line));
    if (console) {
        SetConsoleMode(input, saved);
        SetConsoleCtrlHandler(OnConsoleBreak, FALSE);
        std::cerr << '\n'; // the line end the user typed was not shown
    }
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    if (TerminationRequested())
        return SecretInput::Cancelled;
    return read || !line.empty() ? SecretInput::Read : SecretInput::None;
}

} // namespace zevlo::platform
