#include "platform/FolderLock.h"

#include "platform/FileIO.h"
#include "platform/win/WinHandle.h"

#include <windows.h>

#include <cstdint>
#include <cstdio>

namespace zevlo::platform {

namespace {

// One name per folder however it is written: the full path, lower-cased, without a
// trailing separator, hashed (a mutex name may not hold a backslash).
std::string MutexNameFor(const std::string &folder) {
    char full[MAX_PATH * 4];
    const DWORD length = GetFullPathNameA(folder.c_str(), sizeof full, full, nullptr);
    std::string path = length > 0 && length < sizeof full ? std::string(full, length) : folder;
    while (path.size() > 3 && (path.back() == '\\' || path.back() == '/'))
        path.pop_back();
    std::uint64_t hash = 14695981039346656037ull; // FNV-1a
    for (char c : path) {
        const char lower = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c == '/' ? '\\' : c;
        hash = (hash ^ static_cast<unsigned char>(lower)) * 1099511628211ull;
    }
    char name[64];
    std::snprintf(name, sizeof name, "Local\\Zevlo_Data_%016llx", static_cast<unsigned long long>(hash));
    return name;
}

} // namespace

struct FolderLock::Handle {
    win::UniqueHandle mutex;
};

FolderLock::FolderLock(const std::string &folder) : folder_(folder), handle_(std::make_unique<Handle>()) {}

FolderLock::~FolderLock() {
    if (held_)
        ReleaseMutex(handle_->mutex.Get());
}

bool FolderLock::TryLock() {
    if (held_)
        return true;
    if (!handle_->mutex.Valid()) {
        handle_->mutex = win::UniqueHandle(CreateMutexA(nullptr, FALSE, MutexNameFor(folder_).c_str()));
        if (!handle_->mutex.Valid()) {
            const DWORD error = GetLastError();
            error_ = "Cannot open folder \"" + folder_ + "\". " + SystemErrorText(static_cast<int>(error));
            return false;
        }
    }
    const DWORD waited = WaitForSingleObject(handle_->mutex.Get(), 0);
    // An abandoned mutex is ours now: the copy that held it has ended.
    held_ = waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED;
    return held_;
}

} // namespace zevlo::platform
