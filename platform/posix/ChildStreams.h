#pragma once

// Following a started child to its end: what passes through its pipes, then its exit.

#include "platform/posix/UniqueFd.h"

#include <chrono>
#include <string>

#include <sys/types.h>

namespace zevlo::platform {

using Clock = std::chrono::steady_clock;

// What ended the wait for a child.
enum class Wait { Ended, TimedOut, Terminated };

// Our ends of a started child's pipes, all non-blocking (closed: not in use), and what the
// child wrote, as far as the bound keeps it.
struct ChildStreams {
    UniqueFd outputRead;
    UniqueFd errorsRead;
    UniqueFd inputWrite;
    std::string output{};
    std::string errors{};
    bool outputCut = false;
    bool errorsCut = false;
};

// Writes `input` (none: nullptr) to the child and reads both its streams until each reported
// end of data (Ended), the deadline passed or poll failed (TimedOut), or `stop` became readable
// (Terminated; -1: none to watch, and it is never read). A child that closes its input or
// stops reading is not an error. The input's end is closed on return; a read end still open
// then may hold more.
Wait Exchange(ChildStreams &streams, const std::string *input, Clock::time_point deadline, int stop);

// Takes what the read ends still open hold now, without waiting for more.
void TakeWhatIsThere(ChildStreams &streams);

// Waits until the child has ended (its wait status in `status`), the deadline passed, or
// `stop` became readable (-1: none to watch). A child that is no longer ours to wait for
// (someone reaped it) counts as having exited with status 0.
Wait ReapBefore(pid_t child, Clock::time_point deadline, int stop, int &status);

// Waits for the child however long it takes, as ReapBefore counts its end.
void Reap(pid_t child, int &status);

} // namespace zevlo::platform
