#pragma once

#include "platform/Paths.h"

#include <string>

namespace zevlo::test {

// The path of a helper program of these tests (zevlo_argv_echo, ...), built beside the test
// executable.
inline std::string HelperPath(const std::string &name) {
    return platform::DirectoryOf(platform::ExecutablePath()) + name + ".exe";
}

} // namespace zevlo::test
