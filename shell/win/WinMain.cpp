#include "shell/cli/CommandLine.h"
#include "shell/win/Program.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

bool HasStandardHandle(DWORD which) {
    const HANDLE handle = GetStdHandle(which);
    return handle != nullptr && handle != INVALID_HANDLE_VALUE && GetFileType(handle) != FILE_TYPE_UNKNOWN;
}

// A window program has no console of its own: write into the one it was started from,
// unless its output already goes somewhere (a file, a pipe, the Task Scheduler's).
void UseParentConsole() {
    const bool output = HasStandardHandle(STD_OUTPUT_HANDLE);
    const bool error = HasStandardHandle(STD_ERROR_HANDLE);
    const bool input = HasStandardHandle(STD_INPUT_HANDLE);
    if ((output && error && input) || !AttachConsole(ATTACH_PARENT_PROCESS))
        return;
    if (!output)
        std::freopen("CONOUT$", "w", stdout);
    if (!error)
        std::freopen("CONOUT$", "w", stderr);
    if (!input)
        std::freopen("CONIN$", "r", stdin);
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    const zevlo::cli::Options options =
        zevlo::cli::ParseArguments(std::vector<std::string>(__argv + 1, __argv + __argc));
    if (options.mode != zevlo::cli::Mode::Window || !options.error.empty()) {
        UseParentConsole();
        return zevlo::cli::RunForProgram(options);
    }
    return zevlo::win::RunWindowProgram(instance);
}
