// Second process for the single-instance test: "<name> raw" prints GetLastError right
// after CreateMutexA as the program's start does it; "<name> guard" prints whether
// SingleInstance found itself first.
#include "platform/SingleInstance.h"

#include <windows.h>

#include <cstdio>
#include <cstring>

int main(int argc, char **argv) {
    if (argc != 3) {
        return 2;
    }
    if (std::strcmp(argv[2], "raw") == 0) {
        HANDLE mutex = CreateMutexA(nullptr, TRUE, argv[1]);
        const DWORD error = GetLastError();
        std::printf("%lu\n", mutex == nullptr ? 0xFFFFFFFFul : static_cast<unsigned long>(error));
        if (mutex != nullptr) {
            if (error != ERROR_ALREADY_EXISTS) {
                ReleaseMutex(mutex);
            }
            CloseHandle(mutex);
        }
        return 0;
    }
    const zevlo::platform::SingleInstance guard(argv[1]);
    std::printf("%s\n", guard.IsFirst() ? "first" : "second");
    return 0;
}
