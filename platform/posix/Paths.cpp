#include "platform/Paths.h"

namespace zevlo::platform {

const char* PathSeparator() { return "/"; }

} // namespace zevlo::platform
