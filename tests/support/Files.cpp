#include "tests/support/Files.h"

#include <algorithm>
#include <cctype>
#include <stdexcept>

#ifdef _WIN32
#include <windows.h>
#else
#include <fstream>
#include <iterator>
#endif

namespace zevlo::test {

std::string ReadBytes(const std::string &path) {
#ifdef _WIN32
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return {};
    std::string bytes;
    char buffer[4096];
    DWORD count = 0;
    while (ReadFile(file, buffer, sizeof buffer, &count, nullptr) && count > 0)
        bytes.append(buffer, count);
    CloseHandle(file);
    return bytes;
#else
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
#endif
}

std::vector<std::string> Lines(const std::string &text) {
    std::vector<std::string> lines;
    for (std::size_t start = 0; start < text.size();) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        lines.push_back(text.substr(start, end - start));
        if (!lines.back().empty() && lines.back().back() == '\r')
            lines.back().pop_back();
        start = end + 1;
    }
    return lines;
}

std::optional<std::string> IniValue(const std::string &text, const std::string &key) {
    const auto same = [](char a, char b) {
        return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
    };
    for (const std::string &line : Lines(text))
        if (line.size() > key.size() && line[key.size()] == '=' &&
            std::equal(key.begin(), key.end(), line.begin(), same))
            return line.substr(key.size() + 1);
    return std::nullopt;
}

void WriteBytes(const std::string &path, std::string_view bytes) {
#ifdef _WIN32
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    bool written = file != INVALID_HANDLE_VALUE;
    for (std::size_t at = 0; written && at < bytes.size();) {
        DWORD count = 0;
        written = WriteFile(file, bytes.data() + at, static_cast<DWORD>(bytes.size() - at), &count, nullptr) != FALSE;
        at += count;
    }
    if (file != INVALID_HANDLE_VALUE)
        written = CloseHandle(file) != FALSE && written;
#else
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    const bool written = static_cast<bool>(out.flush());
#endif
    if (!written)
        throw std::runtime_error("cannot write " + path);
}

} // namespace zevlo::test
