#pragma once

#include <chrono>
#include <functional>
#include <thread>

namespace zevlo::test {

// Polls `condition` until it holds; false once the deadline passed.
inline bool WaitFor(const std::function<bool()> &condition,
                    std::chrono::milliseconds deadline = std::chrono::seconds(30)) {
    const auto end = std::chrono::steady_clock::now() + deadline;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

} // namespace zevlo::test
