#include "platform/ProcessRunner.h"

#include "platform/TerminationSignals.h"
#include "platform/posix/ChildStreams.h"
#include "platform/posix/TerminationPipe.h"
#include "platform/posix/UniqueFd.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstring>
#include <mutex>
#include <utility>

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace zevlo::platform {

namespace {

// A child whose write end of the input pipe is gone must not end the program: a write
// then fails with EPIPE instead. Left alone when someone installed a handler already.
void IgnoreSigpipeOnce() {
    static std::once_flag once;
    std::call_once(once, [] {
        struct sigaction current {};
        if (sigaction(SIGPIPE, nullptr, &current) == 0 && current.sa_handler == SIG_DFL &&
            (current.sa_flags & SA_SIGINFO) == 0) {
            struct sigaction ignore {};
            ignore.sa_handler = SIG_IGN;
            sigemptyset(&ignore.sa_mask);
            sigaction(SIGPIPE, &ignore, nullptr);
        }
    });
}

// Moves a close-on-exec descriptor above the standard ones, so placing the child's
// stdio can never overwrite another of our descriptors (possible when the program
// runs with a standard descriptor closed).
bool KeepAboveStdio(UniqueFd &fd) {
    if (fd.Get() > STDERR_FILENO) {
        return true;
    }
    const int moved = fcntl(fd.Get(), F_DUPFD_CLOEXEC, STDERR_FILENO + 1);
    if (moved < 0) {
        return false;
    }
    fd.Reset(moved);
    return true;
}

bool MakePipe(UniqueFd &readEnd, UniqueFd &writeEnd) {
    int ends[2];
    if (pipe2(ends, O_CLOEXEC) != 0) {
        return false;
    }
    readEnd.Reset(ends[0]);
    writeEnd.Reset(ends[1]);
    return KeepAboveStdio(readEnd) && KeepAboveStdio(writeEnd);
}

bool SetNonBlocking(int fd) {
    const int flags = fcntl(fd, F_GETFL);
    return flags >= 0 && fcntl(fd, F_SETFL, flags | O_NONBLOCK) == 0;
}

// Every signal, including the ones glibc keeps for itself: its posix_spawn leaves those
// ignored in the child unless asked for their default, and ignored survives exec.
sigset_t AllSignals() {
    sigset_t all;
    sigfillset(&all);
#if defined(__GLIBC__) && defined(__SIGRTMIN)
    constexpr int bitsPerWord = 8 * sizeof(all.__val[0]);
    for (int sig = __SIGRTMIN; sig < SIGRTMIN; ++sig) {
        all.__val[(sig - 1) / bitsPerWord] |= 1UL << ((sig - 1) % bitsPerWord);
    }
#endif
    return all;
}

// Owns the attributes and file actions of one start.
class SpawnSetup {
public:
    SpawnSetup() {
        attrOk_ = posix_spawnattr_init(&attr_) == 0;
        actionsOk_ = posix_spawn_file_actions_init(&actions_) == 0;
    }
    ~SpawnSetup() {
        if (actionsOk_) {
            posix_spawn_file_actions_destroy(&actions_);
        }
        if (attrOk_) {
            posix_spawnattr_destroy(&attr_);
        }
    }
    SpawnSetup(const SpawnSetup &) = delete;
    SpawnSetup &operator=(const SpawnSetup &) = delete;

    // The child: its own process group, every signal at its default and none blocked
    // (ignored dispositions and the mask survive exec), stdio from us, nothing else open.
    bool Prepare(int stdinFd, int outputFd, int errorFd, const std::string &directory) {
        if (!attrOk_ || !actionsOk_) {
            return false;
        }
        const sigset_t all = AllSignals();
        sigset_t none;
        sigemptyset(&none);
        const short flags = POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK;
        if (posix_spawnattr_setflags(&attr_, flags) != 0 || posix_spawnattr_setpgroup(&attr_, 0) != 0 ||
            posix_spawnattr_setsigdefault(&attr_, &all) != 0 || posix_spawnattr_setsigmask(&attr_, &none) != 0) {
            return false;
        }
        if (stdinFd >= 0) {
            if (posix_spawn_file_actions_adddup2(&actions_, stdinFd, STDIN_FILENO) != 0) {
                return false;
            }
        } else if (posix_spawn_file_actions_addopen(&actions_, STDIN_FILENO, "/dev/null", O_RDONLY, 0) != 0) {
            return false;
        }
        if (posix_spawn_file_actions_adddup2(&actions_, outputFd, STDOUT_FILENO) != 0 ||
            posix_spawn_file_actions_adddup2(&actions_, errorFd, STDERR_FILENO) != 0) {
            return false;
        }
#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 34))
        // Descriptors that others in this process opened without close-on-exec stay here.
        if (posix_spawn_file_actions_addclosefrom_np(&actions_, STDERR_FILENO + 1) != 0) {
            return false;
        }
#endif
        // An empty folder text means the caller's own working folder.
        if (!directory.empty() && posix_spawn_file_actions_addchdir_np(&actions_, directory.c_str()) != 0) {
            return false;
        }
        return true;
    }

    const posix_spawnattr_t *Attr() const {
        return &attr_;
    }
    const posix_spawn_file_actions_t *Actions() const {
        return &actions_;
    }

private:
    posix_spawnattr_t attr_{};
    posix_spawn_file_actions_t actions_{};
    bool attrOk_ = false;
    bool actionsOk_ = false;
};

void KillGroup(pid_t child) {
    // The group id is the child's id; it stays reserved until we reap the child.
    kill(-child, SIGKILL);
}

int MillisecondsOf(std::chrono::milliseconds span) {
    return static_cast<int>(std::clamp<std::chrono::milliseconds::rep>(span.count(), 0, INT_MAX));
}

RunResult Ended(std::string output, int waitStatus) {
    if (WIFSIGNALED(waitStatus)) {
        return {std::move(output), ChildEnd::Signalled, WTERMSIG(waitStatus)};
    }
    return {std::move(output), ChildEnd::Exited, WIFEXITED(waitStatus) ? WEXITSTATUS(waitStatus) : 0};
}

// The folders to search: PATH, or the system's default when it is unset.
std::string SearchFolders() {
    if (const char *path = getenv("PATH")) {
        return path;
    }
    std::string folders(confstr(_CS_PATH, nullptr, 0), '\0');
    if (folders.empty()) {
        return "/bin:/usr/bin";
    }
    folders.resize(confstr(_CS_PATH, folders.data(), folders.size()) - 1);
    return folders;
}

// A bare program name looked up as the system's search would, but along the absolute
// entries of PATH only: an empty or relative entry ("::", ".") names the child's working
// folder, the program folder, where a planted executable could wait for the password.
// A name with a slash is taken as it is. Empty when nothing was found.
std::string FindProgram(const std::string &name) {
    if (name.empty() || name.find('/') != std::string::npos) {
        return name;
    }
    const std::string folders = SearchFolders();
    std::size_t start = 0;
    while (start <= folders.size()) {
        std::size_t end = folders.find(':', start);
        if (end == std::string::npos) {
            end = folders.size();
        }
        std::string candidate = folders.substr(start, end - start);
        start = end + 1;
        if (candidate.empty() || candidate.front() != '/') {
            continue;
        }
        if (candidate.back() != '/') {
            candidate.push_back('/');
        }
        candidate += name;
        struct stat info {};
        if (stat(candidate.c_str(), &info) == 0 && S_ISREG(info.st_mode) && access(candidate.c_str(), X_OK) == 0) {
            return candidate;
        }
    }
    return {};
}

// Runs the program; `separateErrors`: its standard error through a pipe of its own, else
// through the output's.
RunResult Run(const std::vector<std::string> &args, const std::string &program, const std::string &directory,
              const std::optional<std::string> &input, bool separateErrors, std::chrono::milliseconds limit) {
    if (TerminationRequested()) {
        return {"", ChildEnd::Terminated, 0};
    }
    RunResult notStarted;
    notStarted.startError = ENOENT;
    if (args.empty() || program.empty()) {
        return notStarted;
    }
    IgnoreSigpipeOnce();

    // A start that failed for want of descriptors or memory says so, not "not found".
    const auto setupFailed = [] {
        RunResult failed;
        failed.startError = errno != 0 ? errno : EAGAIN;
        return failed;
    };
    UniqueFd outputRead;
    UniqueFd outputWrite;
    UniqueFd errorsRead;
    UniqueFd errorsWrite;
    UniqueFd inputRead;
    UniqueFd inputWrite;
    if (!MakePipe(outputRead, outputWrite) || !SetNonBlocking(outputRead.Get())) {
        return setupFailed();
    }
    if (separateErrors && (!MakePipe(errorsRead, errorsWrite) || !SetNonBlocking(errorsRead.Get()))) {
        return setupFailed();
    }
    if (input && (!MakePipe(inputRead, inputWrite) || !SetNonBlocking(inputWrite.Get()))) {
        return setupFailed();
    }

    SpawnSetup setup;
    const int errorFd = separateErrors ? errorsWrite.Get() : outputWrite.Get();
    if (!setup.Prepare(input ? inputRead.Get() : -1, outputWrite.Get(), errorFd, directory)) {
        return setupFailed();
    }
    std::vector<char *> argv;
    argv.reserve(args.size() + 1);
    for (const auto &arg : args) {
        argv.push_back(const_cast<char *>(arg.c_str()));
    }
    argv.push_back(nullptr);

    // Exec and folder failures come back from posix_spawn itself, so a child that could
    // not start never looks like one that printed nothing.
    pid_t child = -1;
    const int started = posix_spawn(&child, program.c_str(), setup.Actions(), setup.Attr(), argv.data(), environ);
    // Our copies of the child's ends go at once, so end of data means the child side is done.
    outputWrite.Close();
    errorsWrite.Close();
    inputRead.Close();
    if (started != 0) {
        notStarted.startError = started;
        return notStarted;
    }

    const auto deadline = Clock::now() + limit;
    ChildStreams streams{std::move(outputRead), std::move(errorsRead), std::move(inputWrite)};
    // The termination descriptor is only watched, never read: the event loop's notifier
    // must still find the byte and run the termination routine.
    const int stop = TerminationReadEnd();
    Wait wait = Exchange(streams, input ? &*input : nullptr, deadline, stop);
    int waitStatus = 0;
    if (wait == Wait::Ended) {
        wait = ReapBefore(child, deadline, stop, waitStatus);
    }
    RunResult result;
    if (wait == Wait::Ended) {
        result = Ended(std::move(streams.output), waitStatus);
    } else {
        KillGroup(child);
        // What was printed before the end is still in the pipes; a descendant outside the
        // group may hold the write ends open, so take only what is there.
        TakeWhatIsThere(streams);
        Reap(child, waitStatus);
        result = wait == Wait::Terminated
                     ? RunResult{std::move(streams.output), ChildEnd::Terminated, 0}
                     : RunResult{std::move(streams.output), ChildEnd::TimedOut, MillisecondsOf(limit)};
    }
    result.errors = std::move(streams.errors);
    result.outputCut = streams.outputCut;
    result.errorsCut = streams.errorsCut;
    return result;
}

} // namespace

RunResult ProcessRunner::RunCommand(const std::string &command, const std::string &directory) {
    return Run({"/bin/sh", "-c", command}, "/bin/sh", directory, std::nullopt, false, limit_);
}

RunResult ProcessRunner::RunProgram(const std::vector<std::string> &args, const std::string &directory,
                                    const std::optional<std::string> &input) {
    return Run(args, args.empty() ? std::string() : FindProgram(args[0]), directory, input, true, limit_);
}

bool IsNotFoundError(int startError) {
    return startError == ENOENT;
}

std::string QuoteForInterpreter(const std::string &path) {
    std::string quoted = "'";
    for (const char c : path) {
        if (c == '\'') {
            quoted += "'\\''";
        } else {
            quoted += c;
        }
    }
    quoted += '\'';
    return quoted;
}

} // namespace zevlo::platform
