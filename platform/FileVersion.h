#pragma once

#include <string>

namespace zevlo::platform {

// The file version of the executable as four dot-separated numbers ("3.0.0.0");
// empty when the file has no version information.
std::string GetFileVersionText(const std::string& path);

} // namespace zevlo::platform
