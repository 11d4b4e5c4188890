// Stands in for curl.exe in the program tests, found along PATH. Appends a record of its
// run to calls.txt beside itself ("call", then "arg:<hex>" per argument and "stdin:<hex>"),
// then answers as answers.txt beside it says: lines "<part of an argument>\t<answer>", the
// first match wins; the answer "hang" waits until the process is ended. Status 200 follows
// the answer as curl writes its --write-out text.
#include "tests/support/Files.h"
#include "tests/support/Hex.h"

#include <windows.h>

#include <cstdio>
#include <string>

namespace {

std::string ReadAll(HANDLE from) {
    std::string bytes;
    char buffer[4096];
    DWORD count = 0;
    while (ReadFile(from, buffer, sizeof buffer, &count, nullptr) && count > 0)
        bytes.append(buffer, count);
    return bytes;
}

void Append(const std::string &path, const std::string &text) {
    HANDLE file = CreateFileA(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                              0, nullptr);
    DWORD written = 0;
    WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(file);
}

// The --write-out text of the arguments, for the status and body, as curl would print it.
std::string WriteOut(int argc, char **argv, const std::string &status, std::size_t bodyBytes) {
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::string(argv[i]) != "-w")
            continue;
        std::string format = argv[i + 1];
        const auto replace = [&format](const std::string &name, const std::string &value) {
            for (std::size_t at = format.find(name); at != std::string::npos; at = format.find(name, at))
                format.replace(at, name.size(), value);
        };
        replace("%{http_code}", status);
        replace("%{size_download}", std::to_string(bodyBytes));
        return format;
    }
    return {};
}

} // namespace

int main(int argc, char **argv) {
    char self[MAX_PATH];
    const DWORD length = GetModuleFileNameA(nullptr, self, MAX_PATH);
    std::string folder(self, length);
    folder.resize(folder.find_last_of('\\') + 1);

    std::string record = "call\n";
    for (int i = 1; i < argc; ++i)
        record += "arg:" + zevlo::test::ToHex(argv[i]) + "\n";
    record += "stdin:" + zevlo::test::ToHex(ReadAll(GetStdHandle(STD_INPUT_HANDLE))) + "\n";
    Append(folder + "calls.txt", record);

    for (const std::string &line : zevlo::test::Lines(zevlo::test::ReadBytes(folder + "answers.txt"))) {
        const std::size_t tab = line.find('\t');
        if (tab == std::string::npos)
            continue;
        const std::string key = line.substr(0, tab);
        for (int i = 1; i < argc; ++i) {
            if (std::string(argv[i]).find(key) == std::string::npos)
                continue;
            std::string answer = line.substr(tab + 1);
            if (answer == "hang")
                Sleep(INFINITE);
            answer += WriteOut(argc, argv, "200", answer.size());
            std::fwrite(answer.data(), 1, answer.size(), stdout);
            return 0;
        }
    }
    return 7; // as curl when it could not connect
}
