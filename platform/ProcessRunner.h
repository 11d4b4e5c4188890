#pragma once

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace zevlo::platform {

// How a child's run ended.
enum class ChildEnd {
    NotStarted, // it could not be started (not found, a missing folder, no resources)
    Exited,     // it ended on its own; `status` is its exit status
    Signalled,  // a signal from elsewhere ended it; `status` is the signal number
    TimedOut,   // it still ran at the runner's bound and was ended; `status` is the bound in milliseconds
    Terminated, // the program is ending: it was ended at once, or never started
};

struct RunResult {
    RunResult() = default;
    RunResult(std::string printed, ChildEnd how, int code) : output(std::move(printed)), end(how), status(code) {}

    // Exactly the bytes the child wrote, NUL bytes and line ends included, up to kKeptBytes;
    // what it wrote before it was ended, when it was. RunCommand: standard output and standard error
    // through one pipe, in the order written; RunProgram: standard output alone.
    std::string output;
    ChildEnd end = ChildEnd::NotStarted;
    int status = 0;
    // RunProgram: what the child wrote to standard error.
    std::string errors;
    // NotStarted: the system's error code (errno, GetLastError), 0 when there was none.
    int startError = 0;
    // The child wrote more than kKeptBytes to the stream: the rest was read and dropped.
    bool outputCut = false;
    bool errorsCut = false;
};

// What is kept of each stream of a child: the longest answer the program reads (64 KiB) and
// room for curl's status trailer after it. A child that prints without end costs no more.
inline constexpr std::size_t kKeptBytes = 64 * 1024 + 1024;

// Appends what still fits within kKeptBytes; marks `cut` when something did not.
inline void KeepBounded(std::string &kept, bool &cut, const char *bytes, std::size_t count) {
    const std::size_t room = kKeptBytes - std::min(kept.size(), kKeptBytes);
    kept.append(bytes, std::min(room, count));
    cut = cut || count > room;
}

// True for the start errors that mean the program (or its folder) is not there.
bool IsNotFoundError(int startError);
// (platform/FileIO.h's SystemErrorText words a code.)

// Starts child processes and returns what they wrote and how they ended. An empty
// `directory` means the caller's working folder. Blocks the calling thread.
class IProcessRunner {
public:
    virtual ~IProcessRunner() = default;

    // Runs `command` through the system's command interpreter (/bin/sh -c, cmd.exe /S /C)
    // in `directory`.
    virtual RunResult RunCommand(const std::string &command, const std::string &directory) = 0;

    // Starts args[0] with the argument list, without an interpreter. A bare name is looked
    // up along the absolute entries of PATH only, never in the working folder. With `input`
    // the bytes are written to the child's standard input, which is then closed; without it
    // the child's standard input is the null device. Its standard error comes back apart
    // from its output, so that a program's complaints never pass for its answer.
    virtual RunResult RunProgram(const std::vector<std::string> &args, const std::string &directory,
                                 const std::optional<std::string> &input) = 0;
};

// The system's runner. A child still running after `limit`, or when a termination request
// arrives (platform/TerminationSignals.h), is ended with its whole process tree; once a
// request has arrived, nothing more is started.
class ProcessRunner final : public IProcessRunner {
public:
    static constexpr std::chrono::milliseconds kDefaultLimit{60000};

    explicit ProcessRunner(std::chrono::milliseconds limit = kDefaultLimit) : limit_(limit) {}

    RunResult RunCommand(const std::string &command, const std::string &directory) override;
    RunResult RunProgram(const std::vector<std::string> &args, const std::string &directory,
                         const std::optional<std::string> &input) override;

private:
    std::chrono::milliseconds limit_;
};

// Quotes a path so the command interpreter takes it as one word ('...' for sh, "..." for cmd).
std::string QuoteForInterpreter(const std::string &path);

} // namespace zevlo::platform
