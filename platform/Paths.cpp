#include "platform/Paths.h"

namespace zevlo::platform {

std::string DirectoryOf(const std::string& path) {
    // Windows takes both separators; POSIX only "/".
    const char* separators = PathSeparator()[0] == '\\' ? "\\/" : "/";
    const auto cut = path.find_last_of(separators);
    return cut == std::string::npos ? std::string() : path.substr(0, cut + 1);
}

} // namespace zevlo::platform
