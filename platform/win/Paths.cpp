#include "platform/Paths.h"

#include "platform/win/Security.h"
#include "platform/win/WinHandle.h"

#include <windows.h>

#include <aclapi.h>
#include <shlobj.h>

namespace zevlo::platform {

namespace {

std::string WithSeparator(std::string folder) {
    if (!folder.empty() && folder.back() != '\\' && folder.back() != '/') {
        folder.push_back('\\');
    }
    return folder;
}

std::string Environment(const char *name) {
    const DWORD size = GetEnvironmentVariableA(name, nullptr, 0);
    if (size == 0) {
        return {};
    }
    std::string value(size, '\0');
    value.resize(GetEnvironmentVariableA(name, value.data(), size));
    return value;
}

bool IsDirectory(const std::string &path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

} // namespace

const char *PathSeparator() {
    return "\\";
}

const char *NullDevice() {
    return "NUL";
}

const char *AllFilesPattern() {
    return "*.*";
}

std::string ExecutablePath() {
    std::string path(MAX_PATH, '\0');
    for (;;) {
        const DWORD length = GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) {
            return {};
        }
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

std::string PerUserDataDir() {
    std::string appData = Environment("APPDATA");
    if (appData.empty()) {
        char folder[MAX_PATH];
        if (SHGetFolderPathA(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, folder) != S_OK) {
            return {};
        }
        appData = folder;
    }
    return WithSeparator(appData) + "Zevlo\\";
}

bool IsOwnedByCurrentUser(const std::string &path) {
    PSID owner = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetNamedSecurityInfoA(path.c_str(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr, nullptr,
                              nullptr, &descriptor) != ERROR_SUCCESS) {
        return false;
    }
    std::vector<BYTE> user = win::CurrentUserSid();
    const bool owned = owner != nullptr && !user.empty() && EqualSid(owner, user.data());
    LocalFree(descriptor);
    return owned;
}

// Windows folders carry access lists that the user's own folders keep closed to others: only
// the owners of the files are looked at.
std::string DataFolderRefusal(const std::string &dataDir) {
    const std::string dir = WithSeparator(dataDir);
    for (const char *name : {"Settings.ini", "log.txt"}) {
        const std::string path = dir + name;
        if (GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES && !IsOwnedByCurrentUser(path))
            return "\"" + path + "\" belongs to another user";
    }
    return {};
}

bool IsDirWritable(const std::string &dir) {
    // Access lists, inherited entries and read-only media all have their say: ask by trying.
    const std::string probe = WithSeparator(dir) + "~zevlo-write-probe-" + std::to_string(GetCurrentProcessId());
    win::UniqueHandle file(CreateFileA(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                       FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr));
    return file.Valid();
}

bool MakeDirs(const std::string &dir) {
    if (dir.empty()) {
        return false;
    }
    // Every prefix ending before a separator, then the whole path; a drive root or the
    // server part of a share simply fails to be created and is passed over.
    for (std::size_t i = 1; i < dir.size(); ++i) {
        if ((dir[i] == '\\' || dir[i] == '/') && dir[i - 1] != ':' && dir[i - 1] != '\\' && dir[i - 1] != '/') {
            const std::string prefix = dir.substr(0, i);
            if (!IsDirectory(prefix)) {
                CreateDirectoryA(prefix.c_str(), nullptr);
            }
        }
    }
    if (!IsDirectory(dir)) {
        CreateDirectoryA(dir.c_str(), nullptr);
    }
    return IsDirectory(dir);
}

} // namespace zevlo::platform
