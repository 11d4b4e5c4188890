#pragma once

#include "platform/Paths.h"

#include <windows.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace zevlo::testing {

// The helper programs are built beside the test executable.
inline std::string HelperPath(const std::string &name) {
    return platform::DirectoryOf(platform::ExecutablePath()) + name + ".exe";
}

// A fresh folder under the temp folder, removed with everything in it.
class TempFolder {
public:
    TempFolder() {
        char base[MAX_PATH];
        GetTempPathA(MAX_PATH, base);
        static int counter = 0;
        path_ = std::string(base) + "zevlo-test-" + std::to_string(GetCurrentProcessId()) + "-" +
                std::to_string(++counter) + "\\";
        CreateDirectoryA(path_.c_str(), nullptr);
    }
    ~TempFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    TempFolder(const TempFolder &) = delete;
    TempFolder &operator=(const TempFolder &) = delete;

    // With its trailing backslash.
    const std::string &Path() const { return path_; }

private:
    std::string path_;
};

// Sets an environment variable for the scope and puts the old value back.
class ScopedEnvironment {
public:
    ScopedEnvironment(std::string name, const std::optional<std::string> &value) : name_(std::move(name)) {
        char buffer[32767];
        const DWORD length = GetEnvironmentVariableA(name_.c_str(), buffer, sizeof buffer);
        if (length > 0 && length < sizeof buffer) {
            old_ = std::string(buffer, length);
        }
        SetEnvironmentVariableA(name_.c_str(), value ? value->c_str() : nullptr);
    }
    ~ScopedEnvironment() { SetEnvironmentVariableA(name_.c_str(), old_ ? old_->c_str() : nullptr); }
    ScopedEnvironment(const ScopedEnvironment &) = delete;
    ScopedEnvironment &operator=(const ScopedEnvironment &) = delete;

private:
    std::string name_;
    std::optional<std::string> old_;
};

inline std::string FromHex(const std::string &hex) {
    std::string bytes;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
        bytes.push_back(static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    }
    return bytes;
}

// The values of the lines "<prefix><hex>" in the child's output, decoded.
inline std::vector<std::string> HexLines(const std::string &output, const std::string &prefix) {
    std::vector<std::string> values;
    std::size_t start = 0;
    while (start < output.size()) {
        std::size_t end = output.find('\n', start);
        if (end == std::string::npos) {
            end = output.size();
        }
        std::string line = output.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (line.rfind(prefix, 0) == 0) {
            values.push_back(FromHex(line.substr(prefix.size())));
        }
        start = end + 1;
    }
    return values;
}

inline void WriteFileBytes(const std::string &path, const std::string &bytes) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
}

} // namespace zevlo::testing
