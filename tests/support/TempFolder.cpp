#include "tests/support/TempFolder.h"

#include <chrono>
#include <cstdlib>
#include <random>
#include <stdexcept>
#include <system_error>

namespace zevlo::test {

TempFolder::TempFolder(const std::filesystem::path &parent) {
    // Some random_device implementations repeat themselves; the clock and the count make
    // every try differ anyway.
    std::random_device random;
    for (unsigned attempt = 0; attempt < 100; ++attempt) {
        const auto ticks = std::chrono::steady_clock::now().time_since_epoch().count();
        root_ = parent / ("zevlo-test-" + std::to_string(random()) + "-" + std::to_string(ticks) + "-" +
                          std::to_string(attempt));
        std::error_code error;
        if (!std::filesystem::create_directory(root_, error))
            continue;
#ifndef _WIN32
        std::filesystem::permissions(root_, std::filesystem::perms::owner_all, std::filesystem::perm_options::replace);
#endif
        path_ = (root_ / "").string();
        return;
    }
    throw std::runtime_error("cannot make a temporary folder in " + parent.string());
}

TempFolder::~TempFolder() {
    if (std::getenv("ZEVLO_KEEP_TEST_FILES"))
        return;
    std::error_code ignored;
    std::filesystem::remove_all(root_, ignored);
}

} // namespace zevlo::test
