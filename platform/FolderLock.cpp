#include "platform/FolderLock.h"

#include <thread>

namespace zevlo::platform {

bool FolderLock::LockWithin(std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!TryLock()) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(250));
    }
    return true;
}

} // namespace zevlo::platform
