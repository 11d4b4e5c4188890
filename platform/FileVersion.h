#pragma once

#include <string>

namespace zevlo::platform {

// The file version of the executable as four dot-separated numbers ("3.0.0.0");
// empty when the file has no version information. POSIX executables carry none: there it
// is the version this build was made with, whatever the path.
std::string GetFileVersionText(const std::string &path);

} // namespace zevlo::platform
