#include "platform/InstalledCopy.h"

namespace zevlo::platform {

bool IsInstalledCopy(const std::string &programDir) {
    static_cast<void>(programDir);
    // Installed by root into /usr/bin, the program's folder is writable for root and would
    // otherwise receive root's files.
#ifdef ZEVLO_PACKAGED
    return true;
#else
    return false;
#endif
}

} // namespace zevlo::platform
