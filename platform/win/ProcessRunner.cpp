#include "platform/ProcessRunner.h"

#include "platform/TerminationSignals.h"
#include "platform/win/CommandLine.h"
#include "platform/win/TerminationEvent.h"
#include "platform/win/WinHandle.h"

#include <windows.h>

#include <algorithm>
#include <climits>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace zevlo::platform {

namespace {

using win::UniqueHandle;

// Handles meant for one child are inheritable for a moment; two runners starting
// children at the same time would hand each other's pipe ends to the wrong child, and
// a stray write end keeps a reader waiting for that other child to end.
std::mutex &StartLock() {
    static std::mutex lock;
    return lock;
}

std::string SystemFolderFile(const char *name) {
    char folder[MAX_PATH];
    const UINT length = GetSystemDirectoryA(folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) {
        return {};
    }
    std::string path(folder, length);
    if (path.back() != '\\') {
        path.push_back('\\');
    }
    return path + name;
}

// A folder of PATH that names one place whatever the current folder: "X:\..." or "\\server\...".
bool IsAbsoluteFolder(const std::string &folder) {
    const auto separator = [](char c) { return c == '\\' || c == '/'; };
    if (folder.size() >= 3 && folder[1] == ':' && separator(folder[2])) {
        return true;
    }
    return folder.size() >= 2 && separator(folder[0]) && separator(folder[1]);
}

// The program looked up along PATH alone: never the program's own folder nor the
// current folder, where a planted executable could wait. An empty or relative entry
// (";;", ".") would name the current folder, so only absolute entries are searched,
// one at a time, in their order.
std::string SearchAlongPath(const std::string &program) {
    const DWORD pathLength = GetEnvironmentVariableA("PATH", nullptr, 0);
    if (pathLength == 0) {
        return {};
    }
    std::string pathValue(pathLength, '\0');
    pathValue.resize(GetEnvironmentVariableA("PATH", pathValue.data(), pathLength));
    std::size_t start = 0;
    while (start <= pathValue.size()) {
        std::size_t end = pathValue.find(';', start);
        if (end == std::string::npos) {
            end = pathValue.size();
        }
        std::string folder = pathValue.substr(start, end - start);
        start = end + 1;
        // An entry may stand in quotes, as the command interpreter allows.
        if (folder.size() >= 2 && folder.front() == '"' && folder.back() == '"') {
            folder = folder.substr(1, folder.size() - 2);
        }
        if (!IsAbsoluteFolder(folder)) {
            continue;
        }
        std::string found(MAX_PATH, '\0');
        for (;;) {
            const DWORD length = SearchPathA(folder.c_str(), program.c_str(), ".exe", static_cast<DWORD>(found.size()),
                                             found.data(), nullptr);
            if (length == 0) {
                break;
            }
            if (length < found.size()) {
                found.resize(length);
                return found;
            }
            found.resize(length);
        }
    }
    return {};
}

DWORD ToTimeout(std::chrono::milliseconds limit) {
    const auto count = std::max<std::chrono::milliseconds::rep>(limit.count(), 0);
    return static_cast<DWORD>(std::min<std::chrono::milliseconds::rep>(count, INFINITE - 1));
}

// Ends the whole job when the child is still running at the deadline or when a
// termination request arrives; the reads of the calling thread block, so this has to
// happen elsewhere.
class Watcher {
public:
    Watcher(HANDLE job, HANDLE process, std::chrono::milliseconds limit)
        : done_(CreateEventA(nullptr, TRUE, FALSE, nullptr)) {
        const DWORD timeout = ToTimeout(limit);
        thread_ = std::thread([this, job, process, timeout] {
            const HANDLE events[2] = {done_.Get(), win::TerminationEvent()};
            const DWORD woke = WaitForMultipleObjects(events[1] != nullptr ? 2 : 1, events, FALSE, timeout);
            if (woke == WAIT_TIMEOUT) {
                cut_ = ChildEnd::TimedOut;
            } else if (woke == WAIT_OBJECT_0 + 1) {
                cut_ = ChildEnd::Terminated;
            } else {
                return; // the child is done (or the wait failed: it is left to end on its own)
            }
            if (job == nullptr || !TerminateJobObject(job, 1)) {
                TerminateProcess(process, 1);
            }
        });
    }
    ~Watcher() { Stop(); }
    Watcher(const Watcher &) = delete;
    Watcher &operator=(const Watcher &) = delete;

    // Ends the watch; how the watcher ended the child, if it did.
    std::optional<ChildEnd> Stop() {
        if (thread_.joinable()) {
            SetEvent(done_.Get());
            thread_.join();
        }
        return cut_;
    }

private:
    UniqueHandle done_;
    std::optional<ChildEnd> cut_; // written by the thread, read after it was joined
    std::thread thread_;
};

UniqueHandle MakeKillOnCloseJob() {
    UniqueHandle job(CreateJobObjectA(nullptr, nullptr));
    if (!job.Valid()) {
        return {};
    }
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    if (!SetInformationJobObject(job.Get(), JobObjectExtendedLimitInformation, &limits, sizeof limits)) {
        return {};
    }
    return job;
}

// The attribute list that limits a child's inherited handles to the ones given; the
// handles must stay open while it is used. Null when the system cannot build one.
class InheritList {
public:
    InheritList(HANDLE *handles, DWORD count) {
        SIZE_T size = 0;
        InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
        if (size == 0) {
            return;
        }
        storage_.resize(size);
        auto *list = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(storage_.data());
        if (!InitializeProcThreadAttributeList(list, 1, 0, &size)) {
            return;
        }
        if (!UpdateProcThreadAttribute(list, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, handles, count * sizeof(HANDLE),
                                       nullptr, nullptr)) {
            DeleteProcThreadAttributeList(list);
            return;
        }
        list_ = list;
    }
    ~InheritList() {
        if (list_ != nullptr) {
            DeleteProcThreadAttributeList(list_);
        }
    }
    InheritList(const InheritList &) = delete;
    InheritList &operator=(const InheritList &) = delete;

    LPPROC_THREAD_ATTRIBUTE_LIST Get() const { return list_; }

private:
    std::vector<unsigned char> storage_;
    LPPROC_THREAD_ATTRIBUTE_LIST list_ = nullptr;
};

void WriteAll(HANDLE pipe, const std::string &bytes) {
    std::size_t written = 0;
    while (written < bytes.size()) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - written, 1u << 20));
        DWORD count = 0;
        // A child that ended without reading its input breaks the pipe: not our failure.
        if (!WriteFile(pipe, bytes.data() + written, chunk, &count, nullptr) || count == 0) {
            return;
        }
        written += count;
    }
}

// Reads a pipe until every writer closed it, keeping what the bound allows and dropping the
// rest, zero bytes too. Large reads: a child printing without end is read as fast as it writes.
void ReadToEnd(HANDLE pipe, std::string &kept, bool &cut) {
    std::vector<char> buffer(16384);
    DWORD count = 0;
    while (ReadFile(pipe, buffer.data(), static_cast<DWORD>(buffer.size()), &count, nullptr) && count > 0) {
        KeepBounded(kept, cut, buffer.data(), count);
    }
}

// Reads a pipe to its end on a thread of its own: anonymous pipes have no overlapped reads,
// and a child that fills one pipe while we wait on the other would never end.
class PipeReader {
public:
    explicit PipeReader(HANDLE pipe) : pipe_(pipe) {
        if (pipe_ != nullptr) {
            thread_ = std::thread([this] { ReadToEnd(pipe_, text_, cut_); });
        }
    }
    ~PipeReader() { Join(); }
    PipeReader(const PipeReader &) = delete;
    PipeReader &operator=(const PipeReader &) = delete;

    // Waits for the end of the pipe (every writer closed it); what was kept of it.
    std::string Take(bool &cut) {
        Join();
        cut = cut_;
        return std::move(text_);
    }

private:
    void Join() {
        if (thread_.joinable()) {
            thread_.join();
        }
    }

    HANDLE pipe_;
    std::string text_; // written by the thread, read after it was joined
    bool cut_ = false;
    std::thread thread_;
};

int MillisecondsOf(std::chrono::milliseconds span) {
    return static_cast<int>(std::clamp<std::chrono::milliseconds::rep>(span.count(), 0, INT_MAX));
}

// `separateErrors`: the child's standard error through a pipe of its own, else through the output's.
RunResult RunChild(const std::string &applicationName, std::string commandLine, const std::string &directory,
                   const std::optional<std::string> &input, bool separateErrors, std::chrono::milliseconds limit) {
    RunResult result;
    if (TerminationRequested()) {
        result.end = ChildEnd::Terminated;
        return result;
    }
    if (applicationName.empty()) {
        result.startError = ERROR_FILE_NOT_FOUND;
        return result;
    }

    UniqueHandle readEnd;
    UniqueHandle errorsReadEnd;
    UniqueHandle inputWriteEnd;
    UniqueHandle job = MakeKillOnCloseJob();
    PROCESS_INFORMATION process{};
    BOOL started = FALSE;
    {
        std::lock_guard<std::mutex> startLock(StartLock());
        SECURITY_ATTRIBUTES inheritable{};
        inheritable.nLength = sizeof inheritable;
        inheritable.lpSecurityDescriptor = nullptr;
        inheritable.bInheritHandle = TRUE;

        UniqueHandle writeEnd;
        if (!CreatePipe(readEnd.Receive(), writeEnd.Receive(), &inheritable, 0)) {
            return result;
        }
        SetHandleInformation(readEnd.Get(), HANDLE_FLAG_INHERIT, 0);
        UniqueHandle errorsWriteEnd;
        if (separateErrors) {
            if (!CreatePipe(errorsReadEnd.Receive(), errorsWriteEnd.Receive(), &inheritable, 0)) {
                return result;
            }
            SetHandleInformation(errorsReadEnd.Get(), HANDLE_FLAG_INHERIT, 0);
        }

        UniqueHandle childInput;
        if (input) {
            // Room for the whole input, so that writing it never waits for the child.
            const DWORD size = static_cast<DWORD>(std::min<std::size_t>(input->size() + 1, 1u << 20));
            if (!CreatePipe(childInput.Receive(), inputWriteEnd.Receive(), &inheritable, size)) {
                return result;
            }
            SetHandleInformation(inputWriteEnd.Get(), HANDLE_FLAG_INHERIT, 0);
        } else {
            childInput = UniqueHandle(CreateFileA("NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inheritable,
                                                  OPEN_EXISTING, 0, nullptr));
        }

        STARTUPINFOEXA startup{};
        startup.StartupInfo.cb = sizeof startup.StartupInfo;
        startup.StartupInfo.dwFlags = STARTF_USESTDHANDLES | STARTF_USESHOWWINDOW;
        startup.StartupInfo.wShowWindow = SW_HIDE;
        startup.StartupInfo.hStdInput = childInput.Get();
        startup.StartupInfo.hStdOutput = writeEnd.Get();
        startup.StartupInfo.hStdError = separateErrors ? errorsWriteEnd.Get() : writeEnd.Get();

        // The child inherits these handles and no other: whatever else of this process
        // is inheritable (another library's pipe, a file) stays here.
        HANDLE inherited[3] = {writeEnd.Get()};
        DWORD inheritedCount = 1;
        if (separateErrors) {
            inherited[inheritedCount++] = errorsWriteEnd.Get();
        }
        if (childInput.Valid()) {
            inherited[inheritedCount++] = childInput.Get();
        }
        InheritList inheritList(inherited, inheritedCount);
        DWORD flags = CREATE_SUSPENDED;
        if (inheritList.Get() != nullptr) {
            startup.StartupInfo.cb = sizeof startup;
            startup.lpAttributeList = inheritList.Get();
            flags |= EXTENDED_STARTUPINFO_PRESENT;
        }

        // Suspended until it is in the job, so that nothing it starts escapes the job.
        started = CreateProcessA(applicationName.c_str(), commandLine.data(), nullptr, nullptr, TRUE, flags, nullptr,
                                 directory.empty() ? nullptr : directory.c_str(), &startup.StartupInfo, &process);
        if (!started) {
            result.startError = static_cast<int>(GetLastError());
        }
        // Our copies of the write ends go at once: the reads end when the child's copies close.
        writeEnd.Close();
        errorsWriteEnd.Close();
    }
    if (!started) {
        return result;
    }
    UniqueHandle thread(process.hThread);
    UniqueHandle child(process.hProcess);
    if (job.Valid() && !AssignProcessToJobObject(job.Get(), child.Get())) {
        job.Close();
    }
    ResumeThread(thread.Get());
    Watcher watcher(job.Get(), child.Get(), limit);
    PipeReader errorsReader(errorsReadEnd.Get());
    if (inputWriteEnd.Valid()) {
        WriteAll(inputWriteEnd.Get(), *input);
        inputWriteEnd.Close();
    }
    ReadToEnd(readEnd.Get(), result.output, result.outputCut);
    WaitForSingleObject(child.Get(), INFINITE);
    result.errors = errorsReader.Take(result.errorsCut);
    if (const std::optional<ChildEnd> cut = watcher.Stop()) {
        result.end = *cut;
        result.status = *cut == ChildEnd::TimedOut ? MillisecondsOf(limit) : 0;
        return result;
    }
    DWORD exitCode = 0;
    GetExitCodeProcess(child.Get(), &exitCode);
    result.end = ChildEnd::Exited;
    result.status = static_cast<int>(exitCode);
    return result;
}

} // namespace

RunResult ProcessRunner::RunCommand(const std::string &command, const std::string &directory) {
    // /S: the outer quotes go and the rest stands as typed, whatever quotes it holds.
    return RunChild(SystemFolderFile("cmd.exe"), "cmd.exe /S /C \"" + command + "\"", directory, std::nullopt, false,
                    limit_);
}

RunResult ProcessRunner::RunProgram(const std::vector<std::string> &args, const std::string &directory,
                                    const std::optional<std::string> &input) {
    if (args.empty() || args[0].empty()) {
        return {};
    }
    return RunChild(SearchAlongPath(args[0]), win::BuildWindowsCommandLine(args), directory, input, true, limit_);
}

bool IsNotFoundError(int startError) {
    return startError == ERROR_FILE_NOT_FOUND || startError == ERROR_PATH_NOT_FOUND;
}

std::string QuoteForInterpreter(const std::string &path) {
    return "\"" + path + "\"";
}

} // namespace zevlo::platform
