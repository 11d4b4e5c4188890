#include "platform/ProcessRunner.h"
#include "platform/TerminationSignals.h"
#include "platform/win/CommandLine.h"
#include "platform/win/TerminationEvent.h"
#include "tests/platform/ProcessRunnerContract.h"
#include "tests/platform_win/HelperPrograms.h"
#include "tests/support/Files.h"
#include "tests/support/Hex.h"
#include "tests/support/ScopedEnv.h"
#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <tlhelp32.h>

#include <chrono>
#include <cstdint>
#include <stdexcept>
#include <thread>

namespace zevlo::platform {
namespace {

using namespace zevlo::test;

std::string SystemFolder() {
    char folder[MAX_PATH];
    GetSystemDirectoryA(folder, MAX_PATH);
    return folder;
}

std::string Echo() {
    return HelperPath("zevlo_argv_echo");
}

// A copy of one of the helper programs, as `folder` + `name` + ".exe".
std::string PlaceCopy(const std::string &helper, const std::string &folder, const std::string &name) {
    const std::string copy = folder + name + ".exe";
    if (!CopyFileA(HelperPath(helper).c_str(), copy.c_str(), FALSE)) {
        throw std::runtime_error("cannot copy " + helper + " to " + copy);
    }
    return copy;
}

const RunnerSystem &WindowsRunnerSystem() {
    static const RunnerSystem system = [] {
        RunnerSystem s;
        s.interpreter = "cmd";
        s.systemFolders = SystemFolder();
        s.pathListSeparator = ';';
        s.folderSeparator = '\\';
        s.lineEnd = "\r\n";
        s.printBytes = [](const std::string &bytes) { return Program{Echo(), "--bytes", ToHex(bytes)}; };
        s.printLetters = [](int count) { return Program{Echo(), "--print", std::to_string(count)}; };
        s.printToError = [](const std::string &text) { return Program{Echo(), "--stderr", text}; };
        s.printToBoth = [](int count) { return Program{Echo(), "--print-both", std::to_string(count)}; };
        s.copyInput = {Echo(), "--copy-input"};
        s.printFolder = {Echo(), "--folder"};
        // The sleepers would sleep two minutes; returning well before one shows they were ended.
        s.spawnSleeper = {Echo(), "--spawn-sleeper", "120000"};
        s.closeOutputAndSleep = {Echo(), "--close-and-sleep", "120000"};
        s.printVariable = [](const std::string &name) { return Program{Echo(), "--env", name}; };
        s.endsSoon = [](const std::string &id) {
            HANDLE sleeper = OpenProcess(SYNCHRONIZE, FALSE, static_cast<DWORD>(std::stoul(id)));
            if (sleeper == nullptr) {
                return true;
            }
            const bool ended = WaitForSingleObject(sleeper, 5000) == WAIT_OBJECT_0;
            CloseHandle(sleeper);
            return ended;
        };
        s.bound = std::chrono::milliseconds(5000);
        s.farBeforeTheirEnd = std::chrono::seconds(60);
        s.placeArgvEcho = [](const std::string &folder, const std::string &name) {
            return PlaceCopy("zevlo_argv_echo", folder, name);
        };
        s.argumentsSeen = [](const std::string &output) {
            return std::vector<std::vector<std::string>>{HexLines(output, "crt:"), HexLines(output, "w:")};
        };
        // Prints nothing.
        s.placeImpostor = [](const std::string &folder, const std::string &name) {
            PlaceCopy("zevlo_version_probe", folder, name);
        };
        s.placeScript = [](const std::string &folder, const std::string &name) {
            WriteBytes(folder + name + ".bat", "@echo ran %1\r\n");
            return folder + name + ".bat";
        };
        s.placeNonPrograms = [](const std::string &) { return std::vector<std::string>{}; };
        s.openInheritable = [] {
            SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
            const HANDLE event = CreateEventA(&inheritable, TRUE, FALSE, nullptr);
            return event ? std::to_string(reinterpret_cast<std::uintptr_t>(event)) : "";
        };
        s.probeHandle = [](const std::string &value) { return Program{Echo(), "--set-event", value}; };
        s.closeInheritable = [](const std::string &value) {
            const auto event = reinterpret_cast<HANDLE>(static_cast<std::uintptr_t>(std::stoull(value)));
            EXPECT_EQ(WaitForSingleObject(event, 0), static_cast<DWORD>(WAIT_TIMEOUT)) << "a child set the event";
            CloseHandle(event);
        };
        s.ownCases = {{.name = "built-in commands of both streams in order",
                       .command = "echo first& echo second 1>&2& echo third",
                       .output = "first\r\nsecond \r\nthird\r\n"}};
        return s;
    }();
    return system;
}

INSTANTIATE_TEST_SUITE_P(Windows, ProcessRunnerContract, ::testing::Values(&WindowsRunnerSystem()));

TEST(WindowsRunProgram, QuotesOnlyWhereNeeded) {
    // The exact text matters where the command line is shown or logged.
    const struct {
        std::string argument;
        std::string quoted;
    } cases[] = {
        {"plain", "plain"},     {"", "\"\""},
        {"a b", "\"a b\""},     {"a\\b", "a\\b"},
        {"a\\", "a\\"},         {"a b\\", "\"a b\\\\\""},
        {"a\"b", "\"a\\\"b\""}, {"a\\\"b", "\"a\\\\\\\"b\""},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(win::QuoteWindowsArgument(c.argument), c.quoted) << c.argument;
    }
}

TEST(WindowsRunProgram, LooksNeitherBesideTheProgramNorInQuotedEmptyEntries) {
    // The helper stands beside the test (the program's folder) and in the current folder;
    // neither may be searched. An entry may stand in quotes, as the interpreter allows.
    TempFolder elsewhere;
    PlaceCopy("zevlo_argv_echo", elsewhere.Path(), "zevlo-path-probe");
    const std::string beside = "zevlo_argv_echo";
    char current[MAX_PATH];
    GetCurrentDirectoryA(MAX_PATH, current);
    SetCurrentDirectoryA(DirectoryOf(Echo()).c_str());

    ProcessRunner runner;
    for (const std::string &value : {SystemFolder(), SystemFolder() + ";\"\""}) {
        ScopedEnv path("PATH", value);
        EXPECT_EQ(runner.RunProgram({beside, "found"}, "", std::nullopt).output, "") << "PATH=" << value;
    }
    {
        ScopedEnv path("PATH", SystemFolder() + ";\"" + elsewhere.Path() + "\"");
        const std::string output = runner.RunProgram({"zevlo-path-probe", "found"}, "", std::nullopt).output;
        EXPECT_EQ(HexLines(output, "crt:"), std::vector<std::string>{"found"}) << output;
    }
    SetCurrentDirectoryA(current);
}

TEST(WindowsRunCommand, TerminationRequestFromAnotherThreadEndsTheRunningTreeAtOnce) {
    TempFolder folder;
    const std::string marker = folder.Path() + "started";
    // A bound far beyond the sleeper's own end, so only the request can end it early.
    ProcessRunner runner(std::chrono::minutes(5));
    std::thread requester([&] {
        for (int i = 0; i < 3000 && GetFileAttributesA(marker.c_str()) == INVALID_FILE_ATTRIBUTES; ++i) {
            Sleep(10);
        }
        RequestTermination();
    });
    const auto start = std::chrono::steady_clock::now();
    const RunResult cut = runner.RunCommand(
        "echo started>" + QuoteForInterpreter(marker) + "& " + QuoteForInterpreter(Echo()) + " --sleep 120000", "");
    const auto took = std::chrono::steady_clock::now() - start;
    requester.join();
    // Once requested, nothing more starts.
    const RunResult after = runner.RunProgram({Echo(), "--print", "3"}, "", std::nullopt);
    // The request stands for the life of the process; the tests after this one start children again.
    ResetEvent(win::TerminationEvent());

    EXPECT_EQ(cut.end, ChildEnd::Terminated);
    EXPECT_LT(took, std::chrono::seconds(60));
    EXPECT_EQ(after.end, ChildEnd::Terminated);
    EXPECT_EQ(after.output, "");
}

// The id of a process of the argument echo that `parent` started; 0 for none.
DWORD EchoChildOf(DWORD parent) {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return 0;
    PROCESSENTRY32 entry{};
    entry.dwSize = sizeof entry;
    DWORD child = 0;
    for (BOOL more = Process32First(snapshot, &entry); more && child == 0; more = Process32Next(snapshot, &entry))
        if (entry.th32ParentProcessID == parent && _stricmp(entry.szExeFile, "zevlo_argv_echo.exe") == 0)
            child = entry.th32ProcessID;
    CloseHandle(snapshot);
    return child;
}

// Killed outright, the program has no chance to end its request: the job object the runner
// put the child into ends it once the last handle to the job, the killed program's, is gone.
TEST(WindowsProcessRunner, AProgramKilledOutrightTakesItsChildWithIt) {
    std::string line = "\"" + HelperPath("zevlo_runner_host") + "\" \"" + Echo() + "\" --sleep 120000";
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION host{};
    ASSERT_TRUE(CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &host));
    CloseHandle(host.hThread);
    DWORD child = 0;
    for (int i = 0; i < 1000 && child == 0; ++i) {
        child = EchoChildOf(host.dwProcessId);
        if (child == 0)
            Sleep(10);
    }
    ASSERT_NE(child, 0u) << "the runner started no child";
    HANDLE sleeper = OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, child);
    ASSERT_NE(sleeper, nullptr);
    EXPECT_EQ(WaitForSingleObject(sleeper, 500), static_cast<DWORD>(WAIT_TIMEOUT)) << "it runs while the host does";

    TerminateProcess(host.hProcess, 9);
    WaitForSingleObject(host.hProcess, 10000);
    EXPECT_EQ(WaitForSingleObject(sleeper, 10000), WAIT_OBJECT_0) << "the child outlived the killed program";
    TerminateProcess(sleeper, 1);
    CloseHandle(sleeper);
    CloseHandle(host.hProcess);
}

} // namespace
} // namespace zevlo::platform
