#pragma once

namespace zevlo::platform {

// The read end of the pipe that a termination request writes to, or -1 before
// InstallTerminationSignals. The process runner polls it beside its child and never
// reads it: the event loop's notifier still has to find the byte.
int TerminationReadEnd();

} // namespace zevlo::platform
