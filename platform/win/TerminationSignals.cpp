#include "platform/TerminationSignals.h"

namespace zevlo::platform {

// A windowed program gets no console signals; the end of the session reaches it through
// the window system (the application's commit-data request).
int InstallTerminationSignals() {
    return -1;
}

void DrainTerminationSignals(int) {}

bool TerminationSignalReceived() {
    return false;
}

} // namespace zevlo::platform
