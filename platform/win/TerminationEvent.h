#pragma once

#include <windows.h>

namespace zevlo::platform::win {

// The manual-reset event that RequestTermination sets, for the process runner's watcher
// to wait on beside its time-out. Null when it could not be made.
HANDLE TerminationEvent();

} // namespace zevlo::platform::win
