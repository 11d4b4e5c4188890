#include "platform/FolderLock.h"

#include <chrono>
#include <thread>

namespace zevlo::platform {

bool FolderLock::LockUnless(const std::function<bool()> &giveUp) {
    while (!TryLock()) {
        if (!error_.empty() || (giveUp && giveUp()))
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(250));
    }
    return true;
}

} // namespace zevlo::platform
