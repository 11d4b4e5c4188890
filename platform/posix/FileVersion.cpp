#include "platform/FileVersion.h"

namespace zevlo::platform {

// Executables here carry no version resource: every build knows its own version, so the
// path is not read.
std::string GetFileVersionText(const std::string & /*path*/) {
    return ZEVLO_VERSION_TEXT;
}

} // namespace zevlo::platform
