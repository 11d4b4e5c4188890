#include "platform/TerminationSignals.h"

#include "platform/win/TerminationEvent.h"

namespace zevlo::platform {

// A windowed program gets no console signals; the end of the session reaches it through
// the window system, which calls RequestTermination.
int InstallTerminationSignals() {
    return -1;
}

void AlsoEndOnQuit() {}

void DrainTerminationSignals(int) {}

void RequestTermination() {
    SetEvent(win::TerminationEvent());
}

bool TerminationRequested() {
    const HANDLE event = win::TerminationEvent();
    return event != nullptr && WaitForSingleObject(event, 0) == WAIT_OBJECT_0;
}

HANDLE win::TerminationEvent() {
    // Made on first use and kept for the life of the process.
    static const HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    return event;
}

} // namespace zevlo::platform
