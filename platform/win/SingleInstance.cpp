#include "platform/SingleInstance.h"

#include <windows.h>

namespace zevlo::platform {

struct SingleInstance::Handle {
    HANDLE mutex = nullptr;
    bool owned = false;
};

SingleInstance::SingleInstance(const std::string &name) : handle_(std::make_unique<Handle>()) {
    handle_->mutex = CreateMutexA(nullptr, TRUE, name.c_str());
    const DWORD error = GetLastError();
    // With an existing mutex the initial ownership is not granted: that copy keeps it.
    // A mutex that exists but may not be opened (access denied) is another copy's too.
    first_ = handle_->mutex != nullptr && error != ERROR_ALREADY_EXISTS;
    handle_->owned = first_;
}

SingleInstance::~SingleInstance() {
    if (handle_->mutex != nullptr) {
        if (handle_->owned) {
            ReleaseMutex(handle_->mutex);
        }
        CloseHandle(handle_->mutex);
    }
}

} // namespace zevlo::platform
