// Child for the runner tests. Prints each argument as the C runtime split it ("crt:")
// and as CommandLineToArgvW split it ("w:"), in hex so that every byte is visible;
// options instead: --copy-input (what arrives on standard input, untranslated), --folder
// (the working folder), --print N (N bytes), --print-both N (N times "e" to standard error,
// then N bytes), --stderr TEXT, --env NAME (the variable's value), --set-event VALUE (signals
// the event of that handle value, if it was inherited), --bytes HEX (those bytes,
// untranslated), --sleep MS, --spawn-sleeper MS (starts a copy of itself that sleeps, prints
// its process id, then sleeps as long itself), --close-and-sleep MS (prints "bye", closes its
// output and standard error, then sleeps).
#include "tests/support/Hex.h"

#include <windows.h>

#include <shellapi.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

std::string Narrow(const wchar_t *wide) {
    const int size = WideCharToMultiByte(CP_ACP, 0, wide, -1, nullptr, 0, nullptr, nullptr);
    std::string text(static_cast<std::size_t>(size > 0 ? size : 1), '\0');
    WideCharToMultiByte(CP_ACP, 0, wide, -1, text.data(), size, nullptr, nullptr);
    text.resize(std::strlen(text.c_str()));
    return text;
}

void PrintLetters(const char *count) {
    for (int i = 0; i < std::atoi(count); ++i)
        std::putchar('a' + i % 26);
}

int SpawnSleeper(const char *milliseconds) {
    char self[MAX_PATH];
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    std::string line = std::string("\"") + self + "\" --sleep " + milliseconds;
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    // Inherits our standard handles, the runner's pipe among them.
    if (!CreateProcessA(self, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process)) {
        std::printf("spawn failed %lu\n", GetLastError());
        return 1;
    }
    std::printf("sleeper %lu\n", process.dwProcessId);
    std::fflush(stdout);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    Sleep(static_cast<DWORD>(std::atoi(milliseconds)));
    return 0;
}

} // namespace

int main(int argc, char **argv) {
    if (argc == 3 && std::strcmp(argv[1], "--sleep") == 0) {
        std::printf("sleeping\n");
        std::fflush(stdout);
        Sleep(static_cast<DWORD>(std::atoi(argv[2])));
        return 0;
    }
    if (argc == 3 && std::strcmp(argv[1], "--spawn-sleeper") == 0) {
        return SpawnSleeper(argv[2]);
    }
    if (argc == 3 && std::strcmp(argv[1], "--close-and-sleep") == 0) {
        std::printf("bye\n");
        std::fflush(stdout);
        CloseHandle(GetStdHandle(STD_OUTPUT_HANDLE));
        CloseHandle(GetStdHandle(STD_ERROR_HANDLE));
        Sleep(static_cast<DWORD>(std::atoi(argv[2])));
        return 0;
    }
    if (argc == 3 && std::strcmp(argv[1], "--print") == 0) {
        PrintLetters(argv[2]);
        return 0;
    }
    if (argc == 3 && std::strcmp(argv[1], "--print-both") == 0) {
        for (int i = 0; i < std::atoi(argv[2]); ++i)
            std::fputc('e', stderr);
        std::fflush(stderr);
        PrintLetters(argv[2]);
        return 0;
    }
    if (argc == 3 && std::strcmp(argv[1], "--env") == 0) {
        const char *value = std::getenv(argv[2]);
        std::printf("%s\n", value != nullptr ? value : "(unset)");
        return 0;
    }
    if (argc == 3 && std::strcmp(argv[1], "--bytes") == 0) {
        const std::string hex = argv[2];
        std::string bytes;
        for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
            bytes.push_back(static_cast<char>(std::strtol(hex.substr(i, 2).c_str(), nullptr, 16)));
        }
        DWORD written = 0;
        WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
        return 0;
    }
    if (argc == 3 && std::strcmp(argv[1], "--set-event") == 0) {
        // Signals the event whose handle value the parent passed, if this process has it.
        const auto value = static_cast<std::uintptr_t>(std::strtoull(argv[2], nullptr, 10));
        std::printf("%s", SetEvent(reinterpret_cast<HANDLE>(value)) ? "set" : "absent");
        return 0;
    }
    if (argc == 3 && std::strcmp(argv[1], "--stderr") == 0) {
        std::fprintf(stderr, "%s", argv[2]);
        return 0;
    }
    if (argc == 2 && std::strcmp(argv[1], "--copy-input") == 0) {
        char buffer[4096];
        DWORD count = 0;
        DWORD written = 0;
        while (ReadFile(GetStdHandle(STD_INPUT_HANDLE), buffer, sizeof buffer, &count, nullptr) && count > 0) {
            WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), buffer, count, &written, nullptr);
        }
        return 0;
    }
    if (argc == 2 && std::strcmp(argv[1], "--folder") == 0) {
        char folder[MAX_PATH];
        GetCurrentDirectoryA(MAX_PATH, folder);
        std::printf("%s\n", folder);
        return 0;
    }
    for (int i = 1; i < argc; ++i) {
        std::printf("crt:%s\n", zevlo::test::ToHex(argv[i]).c_str());
    }
    int count = 0;
    wchar_t **wide = CommandLineToArgvW(GetCommandLineW(), &count);
    for (int i = 1; wide != nullptr && i < count; ++i) {
        std::printf("w:%s\n", zevlo::test::ToHex(Narrow(wide[i])).c_str());
    }
    LocalFree(wide);
    return 0;
}
