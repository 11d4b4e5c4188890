#include "shell/win/PumpingRunner.h"

#include "platform/win/WinHandle.h"

#include <windows.h>

#include <exception>
#include <system_error>
#include <thread>

namespace zevlo::win {

namespace {

template <typename Work> platform::RunResult RunAside(Work work) {
    platform::win::UniqueHandle done(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    if (!done.Valid())
        return work();
    platform::RunResult result;
    std::exception_ptr failure;
    std::thread worker;
    try {
        worker = std::thread([&] {
            try {
                result = work();
            } catch (...) {
                failure = std::current_exception();
            }
            SetEvent(done.Get());
        });
    } catch (const std::system_error &) {
        return work(); // no thread to be had: run here, as a plain runner would
    }
    const HANDLE waitFor = done.Get();
    for (;;) {
        const DWORD woke = MsgWaitForMultipleObjectsEx(1, &waitFor, INFINITE, QS_SENDMESSAGE, 0);
        if (woke != WAIT_OBJECT_0 + 1)
            break; // the run is over (or the wait failed: the join below still waits for it)
        // Calls the window procedures of messages sent from other threads and processes;
        // leaves every posted message where it is.
        MSG message;
        PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
    worker.join();
    if (failure)
        std::rethrow_exception(failure);
    return result;
}

} // namespace

platform::RunResult PumpingRunner::RunCommand(const std::string &command, const std::string &directory) {
    return RunAside([&] { return inner_.RunCommand(command, directory); });
}

platform::RunResult PumpingRunner::RunProgram(const std::vector<std::string> &args, const std::string &directory,
                                              const std::optional<std::string> &input) {
    return RunAside([&] { return inner_.RunProgram(args, directory, input); });
}

} // namespace zevlo::win
