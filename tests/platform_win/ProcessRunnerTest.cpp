#include "platform/ProcessRunner.h"
#include "platform/TerminationSignals.h"
#include "platform/win/CommandLine.h"
#include "platform/win/TerminationEvent.h"
#include "tests/platform_win/HelperPrograms.h"
#include "tests/support/Files.h"
#include "tests/support/Hex.h"
#include "tests/support/ScopedEnv.h"
#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <thread>

namespace zevlo::platform {
namespace {

using namespace zevlo::test;

std::string SystemFolder() {
    char folder[MAX_PATH];
    GetSystemDirectoryA(folder, MAX_PATH);
    return folder;
}

TEST(WindowsRunCommand, CapturesStandardOutputAndErrorInOrder) {
    ProcessRunner runner;
    const std::string output = runner.RunCommand("echo first& echo second 1>&2& echo third", "").output;
    EXPECT_EQ(output, "first\r\nsecond \r\nthird\r\n");
}

TEST(WindowsRunCommand, ReturnsLongOutputWholeAndInOrder) {
    ProcessRunner runner;
    const std::string output = runner.RunCommand("for /L %i in (1,1,300) do @echo line %i", "").output;
    std::string expected;
    for (int i = 1; i <= 300; ++i) {
        expected += "line " + std::to_string(i) + "\r\n";
    }
    EXPECT_GT(expected.size(), 255u * 10);
    EXPECT_EQ(output, expected);
}

TEST(WindowsRunCommand, EmptyWhenNothingIsPrintedAndTheExitStatusComesBack) {
    ProcessRunner runner;
    const RunResult nothing = runner.RunCommand("rem nothing", "");
    EXPECT_EQ(nothing.output, "");
    EXPECT_EQ(nothing.end, ChildEnd::Exited);
    EXPECT_EQ(nothing.status, 0);
    const RunResult failed = runner.RunCommand("echo failed& exit 7", "");
    EXPECT_EQ(failed.output, "failed\r\n");
    EXPECT_EQ(failed.end, ChildEnd::Exited);
    EXPECT_EQ(failed.status, 7);
}

TEST(WindowsRunCommand, RunsInTheGivenFolder) {
    TempFolder folder;
    const std::string inner = folder.Path() + "with space\\";
    ASSERT_TRUE(CreateDirectoryA(inner.c_str(), nullptr));
    ProcessRunner runner;
    const std::string output = runner.RunCommand("cd", inner).output;
    EXPECT_EQ(output, inner.substr(0, inner.size() - 1) + "\r\n");
}

TEST(WindowsRunCommand, FailedStartInAMissingFolderGivesNothing) {
    TempFolder folder;
    ProcessRunner runner;
    const RunResult result = runner.RunCommand("echo should not run", folder.Path() + "missing\\");
    EXPECT_EQ(result.output, "");
    EXPECT_EQ(result.end, ChildEnd::NotStarted);
}

TEST(WindowsRunCommand, QuotedPathRunsAsOneWord) {
    TempFolder folder;
    const std::string script = folder.Path() + "two words.bat";
    WriteBytes(script, "@echo ran %1\r\n");
    ProcessRunner runner;
    EXPECT_EQ(runner.RunCommand(QuoteForInterpreter(script) + " arg", folder.Path()).output, "ran arg\r\n");
}

TEST(WindowsRunProgram, ArgumentsSurviveTheCommandLine) {
    const std::vector<std::string> arguments = {
        "plain",
        "two words",
        "",
        "tab\there",
        "say \"hi\"",
        "\"",
        "back\\slash",
        "trailing\\",
        "trailing with space\\",
        "\\\\server\\share\\",
        "slash before quote\\\"",
        "two slashes before quote\\\\\"x",
        "C:\\Program Files (x86)\\A & B\\",
        "%PATH%",
        "^&|<>",
        "user = \"name:pa ss\"",
    };
    std::vector<std::string> args = {HelperPath("zevlo_argv_echo")};
    args.insert(args.end(), arguments.begin(), arguments.end());

    ProcessRunner runner;
    const std::string output = runner.RunProgram(args, "", std::nullopt).output;
    EXPECT_EQ(HexLines(output, "crt:"), arguments) << output;
    EXPECT_EQ(HexLines(output, "w:"), arguments) << output;
}

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

TEST(WindowsRunProgram, InputArrivesOnStandardInput) {
    ProcessRunner runner;
    const std::string input = "user = \"alice:s3cr\\\"et\"\n";
    const std::string output = runner.RunProgram({HelperPath("zevlo_argv_echo"), "--stdin"}, "", input).output;
    EXPECT_EQ(HexLines(output, "stdin:"), std::vector<std::string>{input}) << output;
}

TEST(WindowsRunProgram, StandardInputIsTheNullDeviceWithoutInput) {
    ProcessRunner runner;
    const std::string output = runner.RunProgram({HelperPath("zevlo_argv_echo"), "--stdin"}, "", std::nullopt).output;
    EXPECT_EQ(HexLines(output, "stdin:"), std::vector<std::string>{""}) << output;
}

TEST(WindowsRunProgram, ChildThatIgnoresItsInputDoesNotHurt) {
    ProcessRunner runner;
    const std::string output =
        runner.RunProgram({HelperPath("zevlo_argv_echo"), "--print", "10"}, "", std::string(200000, 'x')).output;
    EXPECT_EQ(output, "abcdefghij");
}

TEST(WindowsRunProgram, KeepsEveryByteOfLongOutput) {
    ProcessRunner runner;
    const std::string output =
        runner.RunProgram({HelperPath("zevlo_argv_echo"), "--print", "100000"}, "", std::nullopt).output;
    ASSERT_EQ(output.size(), 100000u);
    for (std::size_t i = 0; i < output.size(); i += 997) {
        ASSERT_EQ(output[i], static_cast<char>('a' + i % 26)) << "at " << i;
    }
    // Zero bytes and line ends arrive untouched.
    EXPECT_EQ(
        runner.RunProgram({HelperPath("zevlo_argv_echo"), "--bytes", "6100620d0a0063ff0a"}, "", std::nullopt).output,
        std::string("a\0b\r\n\0c\xff\n", 9));
}

TEST(WindowsRunProgram, ChildInheritsOnlyItsOwnHandles) {
    // Another part of the program holds an inheritable handle; no child of the runner
    // may get it.
    SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
    HANDLE event = CreateEventA(&inheritable, TRUE, FALSE, nullptr);
    ASSERT_NE(event, nullptr);
    char value[32];
    std::snprintf(value, sizeof value, "%llx",
                  static_cast<unsigned long long>(reinterpret_cast<std::uintptr_t>(event)));
    ProcessRunner runner;
    EXPECT_EQ(runner.RunProgram({HelperPath("zevlo_argv_echo"), "--set-event", value}, "", std::nullopt).output,
              "absent");
    EXPECT_EQ(runner.RunProgram({HelperPath("zevlo_argv_echo"), "--set-event", value}, "", std::string("input")).output,
              "absent");
    EXPECT_EQ(
        runner.RunCommand(QuoteForInterpreter(HelperPath("zevlo_argv_echo")) + " --set-event " + value, "").output,
        "absent");
    EXPECT_EQ(WaitForSingleObject(event, 0), static_cast<DWORD>(WAIT_TIMEOUT));
    CloseHandle(event);
}

TEST(WindowsRunProgram, CapturesStandardError) {
    ProcessRunner runner;
    EXPECT_EQ(
        runner.RunProgram({HelperPath("zevlo_argv_echo"), "--stderr", "curl: (6) failed"}, "", std::nullopt).output,
        "curl: (6) failed");
}

TEST(WindowsRunProgram, LooksAlongPathOnlyAndAddsExe) {
    // The helper stands beside the test (the program's folder) and in the current
    // folder; neither may be searched.
    TempFolder elsewhere;
    const std::string name = "zevlo_argv_echo";
    const std::string copy = elsewhere.Path() + "zevlo-path-probe.exe";
    ASSERT_TRUE(CopyFileA(HelperPath(name).c_str(), copy.c_str(), FALSE));
    char current[MAX_PATH];
    GetCurrentDirectoryA(MAX_PATH, current);
    SetCurrentDirectoryA(DirectoryOf(HelperPath(name)).c_str());

    ProcessRunner runner;
    {
        ScopedEnv path("PATH", SystemFolder());
        EXPECT_EQ(runner.RunProgram({name, "found"}, "", std::nullopt).output, "");
        EXPECT_EQ(runner.RunProgram({"zevlo-path-probe", "found"}, "", std::nullopt).output, "");
    }
    {
        ScopedEnv path("PATH", SystemFolder() + ";" + elsewhere.Path());
        const std::string output = runner.RunProgram({"zevlo-path-probe", "found"}, "", std::nullopt).output;
        EXPECT_EQ(HexLines(output, "crt:"), std::vector<std::string>{"found"}) << output;
    }
    {
        ScopedEnv path("PATH", std::nullopt);
        EXPECT_EQ(runner.RunProgram({"zevlo-path-probe", "found"}, "", std::nullopt).output, "");
    }
    {
        // A quoted entry is a folder like any other.
        ScopedEnv path("PATH", SystemFolder() + ";\"" + elsewhere.Path() + "\"");
        const std::string output = runner.RunProgram({"zevlo-path-probe", "found"}, "", std::nullopt).output;
        EXPECT_EQ(HexLines(output, "crt:"), std::vector<std::string>{"found"}) << output;
    }
    SetCurrentDirectoryA(current);
}

TEST(WindowsRunProgram, EmptyOrRelativePathEntriesDoNotNameTheCurrentFolder) {
    // Stray semicolons are common in PATH; the system's search takes an empty entry,
    // like ".", as the current folder, where a planted curl.exe would get the password.
    TempFolder current;
    const std::string copy = current.Path() + "zevlo-planted-probe.exe";
    ASSERT_TRUE(CopyFileA(HelperPath("zevlo_argv_echo").c_str(), copy.c_str(), FALSE));
    char before[MAX_PATH];
    GetCurrentDirectoryA(MAX_PATH, before);
    ASSERT_TRUE(SetCurrentDirectoryA(current.Path().c_str()));

    ProcessRunner runner;
    for (const std::string &value :
         {SystemFolder() + ";;", ";" + SystemFolder(), SystemFolder() + ";", std::string(";"), SystemFolder() + ";.",
          SystemFolder() + ";.\\", SystemFolder() + ";\"\""}) {
        ScopedEnv path("PATH", value);
        EXPECT_EQ(runner.RunProgram({"zevlo-planted-probe", "found"}, "", std::nullopt).output, "") << "PATH=" << value;
    }
    SetCurrentDirectoryA(before);
}

TEST(WindowsRunProgram, MissingProgramGivesNothing) {
    ProcessRunner runner;
    EXPECT_EQ(runner.RunProgram({"zevlo-no-such-program"}, "", std::nullopt).end, ChildEnd::NotStarted);
    EXPECT_EQ(runner.RunProgram({}, "", std::nullopt).end, ChildEnd::NotStarted);
}

// The sleepers would sleep two minutes; returning well before one shows they were ended.
constexpr std::chrono::milliseconds kLimit{5000};
constexpr std::chrono::seconds kFarBeforeTheirEnd{60};

TEST(WindowsRunProgram, BoundedWaitEndsTheChildAndWhatItStarted) {
    ProcessRunner runner(kLimit);
    const auto start = std::chrono::steady_clock::now();
    const RunResult result =
        runner.RunProgram({HelperPath("zevlo_argv_echo"), "--spawn-sleeper", "120000"}, "", std::nullopt);
    // The sleeper holds the pipe too: the call returns only because it was ended as well.
    EXPECT_LT(std::chrono::steady_clock::now() - start, kFarBeforeTheirEnd);
    EXPECT_EQ(result.end, ChildEnd::TimedOut);
    EXPECT_EQ(result.status, kLimit.count());
    const std::string &output = result.output;
    const auto idAt = output.find("sleeper ");
    ASSERT_NE(idAt, std::string::npos) << output;
    const DWORD sleeperId = static_cast<DWORD>(std::stoul(output.substr(idAt + 8)));
    HANDLE sleeper = OpenProcess(SYNCHRONIZE, FALSE, sleeperId);
    if (sleeper != nullptr) {
        EXPECT_EQ(WaitForSingleObject(sleeper, 5000), WAIT_OBJECT_0);
        CloseHandle(sleeper);
    }
}

TEST(WindowsRunCommand, BoundedWaitEndsTheInterpreterTreeAndKeepsWhatWasPrinted) {
    ProcessRunner runner(kLimit);
    const auto start = std::chrono::steady_clock::now();
    const std::string output =
        runner.RunCommand(QuoteForInterpreter(HelperPath("zevlo_argv_echo")) + " --sleep 120000", "").output;
    EXPECT_LT(std::chrono::steady_clock::now() - start, kFarBeforeTheirEnd);
    EXPECT_EQ(output, "sleeping\r\n");
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
    const RunResult cut = runner.RunCommand("echo started>" + QuoteForInterpreter(marker) + "& " +
                                                QuoteForInterpreter(HelperPath("zevlo_argv_echo")) + " --sleep 120000",
                                            "");
    const auto took = std::chrono::steady_clock::now() - start;
    requester.join();
    // Once requested, nothing more starts.
    const RunResult after = runner.RunProgram({HelperPath("zevlo_argv_echo"), "--print", "3"}, "", std::nullopt);
    // The request stands for the life of the process; the tests after this one start children again.
    ResetEvent(win::TerminationEvent());

    EXPECT_EQ(cut.end, ChildEnd::Terminated);
    EXPECT_LT(took, kFarBeforeTheirEnd);
    EXPECT_EQ(after.end, ChildEnd::Terminated);
    EXPECT_EQ(after.output, "");
}

} // namespace
} // namespace zevlo::platform
