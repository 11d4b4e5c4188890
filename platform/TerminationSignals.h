#pragma once

namespace zevlo::platform {

// Routes the system's requests to end the program (SIGTERM, SIGINT, SIGHUP) to a descriptor
// that an event loop can watch: the handler only writes a byte to it. Installed once,
// before the event loop exists, so that a request arriving during start-up waits there
// instead of killing the program unsaved. Also makes a child that exits before reading its
// input harmless (SIGPIPE ignored). Returns the descriptor to watch, or -1 where the system
// has no such signals (Windows ends a session through the window system) or on failure.
int InstallTerminationSignals();

// Makes SIGQUIT (Ctrl+\ on a terminal) a request to end the program as well, after
// InstallTerminationSignals: for the command-line modes, where the core dump it would cause
// leaves a terminal without its echo and nothing else of use. Nothing where the system has
// no such signal.
void AlsoEndOnQuit();

// Empties the descriptor after it became readable.
void DrainTerminationSignals(int descriptor);

// A request to end the program that does not come as a signal (the end of a Windows
// session): marks it as a signal would, so that a running child of the process runner is
// ended at once and no further one starts.
void RequestTermination();

// True once a request arrived, as a signal or through RequestTermination.
bool TerminationRequested();

} // namespace zevlo::platform
