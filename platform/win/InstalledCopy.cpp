#include "platform/InstalledCopy.h"

#include "platform/win/InstalledCopy.h"

#include <windows.h>

namespace zevlo::platform {

namespace {

// The full, long form with backslashes, upper-cased, without a trailing separator.
std::string Canonical(const std::string &path) {
    std::string slashes = path;
    for (char &c : slashes) {
        if (c == '/') {
            c = '\\';
        }
    }
    std::string full(MAX_PATH, '\0');
    DWORD length = GetFullPathNameA(slashes.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
    if (length >= full.size()) {
        full.resize(length);
        length = GetFullPathNameA(slashes.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
    }
    full.resize(length < full.size() ? length : 0);
    if (full.empty()) {
        full = slashes;
    }
    // A short (8.3) name only where the path exists; otherwise it is kept as given.
    std::string longer(MAX_PATH, '\0');
    length = GetLongPathNameA(full.c_str(), longer.data(), static_cast<DWORD>(longer.size()));
    if (length >= longer.size()) {
        longer.resize(length);
        length = GetLongPathNameA(full.c_str(), longer.data(), static_cast<DWORD>(longer.size()));
    }
    if (length > 0 && length < longer.size()) {
        longer.resize(length);
        full = longer;
    }
    while (full.size() > 3 && full.back() == '\\') {
        full.pop_back();
    }
    CharUpperBuffA(full.data(), static_cast<DWORD>(full.size()));
    return full;
}

} // namespace

bool win::SamePath(const std::string &a, const std::string &b) {
    return !a.empty() && !b.empty() && Canonical(a) == Canonical(b);
}

bool IsInstalledCopy(const std::string &programDir) {
    char folder[MAX_PATH * 2] = {};
    DWORD size = sizeof folder;
    if (RegGetValueA(HKEY_CURRENT_USER, win::kProductKey, win::kInstallFolderValue, RRF_RT_REG_SZ, nullptr, folder,
                     &size) != ERROR_SUCCESS) {
        return false;
    }
    return win::SamePath(folder, programDir);
}

} // namespace zevlo::platform
