#include "platform/ProcessRunner.h"

#include "tests/support/Files.h"
#include "tests/support/ScopedEnv.h"
#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <sys/time.h>
#include <thread>
#include <unistd.h>

#include <dirent.h>

namespace zevlo::platform {
namespace {

using namespace zevlo::test;
using namespace std::chrono_literals;

// How many descriptors this process has open now.
int OpenDescriptorCount() {
    int count = 0;
    if (DIR *dir = opendir("/proc/self/fd")) {
        while (const dirent *entry = readdir(dir)) {
            if (entry->d_name[0] != '.') {
                ++count;
            }
        }
        closedir(dir);
        --count; // the one opendir itself holds
    }
    return count;
}

std::string SeqLines(int from, int to) {
    std::string text;
    for (int i = from; i <= to; ++i) {
        text += std::to_string(i) + "\n";
    }
    return text;
}

std::string Interleaved(int count) {
    std::string text;
    for (int i = 1; i <= count; ++i) {
        text += "out" + std::to_string(i) + "\nerr" + std::to_string(i) + "\n";
    }
    return text;
}

// Bytes of every value, NUL included, in a pattern that shows reordering.
std::string Pattern(std::size_t size) {
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i) {
        bytes[i] = static_cast<char>((i * 7 + i / 256) & 0xff);
    }
    return bytes;
}

struct OutputCase {
    const char *name;
    const char *command;
    std::string expected;
    ChildEnd end = ChildEnd::Exited;
    int status = 0;
};

TEST(ProcessRunner, ReturnsEverythingTheChildWroteInOrderAndHowItEnded) {
    TempFolder dir;
    const OutputCase cases[] = {
        {"nothing", "true", ""},
        {"stderr in order", "printf a; printf b >&2; printf c", "abc"},
        {"NUL byte kept", "printf 'a\\000b'; printf c", std::string("a\0bc", 4)},
        {"line ends kept", "printf ' x\\r\\n\\n'", " x\r\n\n"},
        {"many chunks", "seq 1 20000", SeqLines(1, 20000)},
        {"many chunks from both streams", "i=1; while [ $i -le 400 ]; do echo out$i; echo err$i >&2; i=$((i+1)); done",
         Interleaved(400)},
        {"exit status", "printf 'curl: (7) failed' >&2; exit 7", "curl: (7) failed", ChildEnd::Exited, 7},
        {"ended by a signal", "printf x; kill -KILL $$", "x", ChildEnd::Signalled, SIGKILL},
    };
    ProcessRunner runner;
    for (const auto &c : cases) {
        const RunResult result = runner.RunCommand(c.command, dir.Path());
        EXPECT_EQ(result.output, c.expected) << c.name;
        EXPECT_EQ(result.end, c.end) << c.name;
        EXPECT_EQ(result.status, c.status) << c.name;
    }
}

TEST(ProcessRunner, RunsInTheFolderWithSpacesInPathAndCommand) {
    TempFolder dir;
    const std::string folder = dir.Path() + "a folder's name/";
    ASSERT_EQ(mkdir(folder.c_str(), 0700), 0);
    const std::string script = folder + "my script.sh";
    WriteBytes(script, "#!/bin/sh\necho \"ran in $(pwd) with [$1]\"\n");
    ASSERT_EQ(chmod(script.c_str(), 0700), 0);

    ProcessRunner runner;
    const std::string physical = folder.substr(0, folder.size() - 1);
    EXPECT_EQ(runner.RunCommand(QuoteForInterpreter(script) + " 'one  arg'", folder).output,
              "ran in " + physical + " with [one  arg]\n");
    EXPECT_EQ(runner.RunProgram({script, "two words"}, folder, std::nullopt).output,
              "ran in " + physical + " with [two words]\n");
}

TEST(ProcessRunner, EmptyFolderTextMeansTheCurrentFolder) {
    char cwd[4096];
    ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
    EXPECT_EQ(ProcessRunner().RunProgram({"pwd", "-P"}, "", std::nullopt).output, std::string(cwd) + "\n");
}

TEST(ProcessRunner, FailedStartReturnsEmptyAndLeavesNoDescriptor) {
    TempFolder dir;
    const std::string plainFile = dir.Path() + "file";
    WriteBytes(plainFile, "not a program\n");
    const std::string scriptWithoutInterpreter = dir.Path() + "noshebang";
    WriteBytes(scriptWithoutInterpreter, "echo should not run\n");
    ASSERT_EQ(chmod(scriptWithoutInterpreter.c_str(), 0700), 0);

    struct FailCase {
        const char *name;
        std::vector<std::string> args; // empty: RunCommand("echo started")
        std::string directory;
        std::optional<std::string> input;
    };
    const FailCase cases[] = {
        {"command in missing folder", {}, dir.Path() + "missing/", std::nullopt},
        {"command in a file instead of a folder", {}, plainFile, std::nullopt},
        {"missing program", {"zevlo-no-such-program-here"}, dir.Path(), std::nullopt},
        {"missing program with input", {"zevlo-no-such-program-here"}, dir.Path(), std::string("data")},
        {"not executable", {plainFile}, dir.Path(), std::nullopt},
        {"no interpreter for a script without #!", {scriptWithoutInterpreter}, dir.Path(), std::nullopt},
        {"program in missing folder", {"echo", "started"}, dir.Path() + "missing/", std::string("x")},
        {"no arguments", {}, "", std::nullopt},
    };
    ProcessRunner runner;
    runner.RunCommand("true", dir.Path()); // first use sets up the process once
    for (const auto &c : cases) {
        const int before = OpenDescriptorCount();
        RunResult result;
        if (std::string(c.name) == "no arguments") {
            result = runner.RunProgram({}, c.directory, c.input);
        } else if (c.args.empty()) {
            result = runner.RunCommand("echo started", c.directory);
        } else {
            result = runner.RunProgram(c.args, c.directory, c.input);
        }
        EXPECT_EQ(result.output, "") << c.name;
        EXPECT_EQ(result.end, ChildEnd::NotStarted) << c.name;
        EXPECT_EQ(OpenDescriptorCount(), before) << c.name;
    }
}

TEST(ProcessRunner, BareNamesAreFoundAlongAbsolutePathEntriesOnly) {
    // curl runs in the program folder: an empty or relative PATH entry names that folder,
    // where a planted "curl" would receive the password on its input.
    TempFolder dir;
    const std::string working = dir.Path() + "program/";
    const std::string bin = dir.Path() + "bin/";
    ASSERT_EQ(mkdir(working.c_str(), 0700), 0);
    ASSERT_EQ(mkdir(bin.c_str(), 0700), 0);
    const std::string marker = dir.Path() + "planted-ran";
    WriteBytes(working + "zevlo-probe", "#!/bin/sh\nread -r line; echo \"$line\" > '" + marker + "'; echo planted\n");
    ASSERT_EQ(chmod((working + "zevlo-probe").c_str(), 0700), 0);
    WriteBytes(bin + "zevlo-probe", "#!/bin/sh\necho real\n");
    ASSERT_EQ(chmod((bin + "zevlo-probe").c_str(), 0700), 0);

    struct PathCase {
        std::optional<std::string> path;
        std::string output;
    };
    const PathCase cases[] = {
        {":/usr/bin:/bin", ""},    {"/usr/bin::/bin", ""},
        {"/usr/bin:/bin:", ""},    {".:/usr/bin", ""},
        {"./:bin:../program", ""}, {"", ""},
        {":" + bin, "real\n"},     {".:" + bin.substr(0, bin.size() - 1), "real\n"},
        {std::nullopt, ""}, // the system's default folders
    };
    ProcessRunner runner;
    for (const auto &c : cases) {
        ScopedEnv path("PATH", c.path);
        const RunResult result = runner.RunProgram({"zevlo-probe"}, working, std::string("secret"));
        EXPECT_EQ(result.output, c.output) << "PATH=" << c.path.value_or("(unset)");
        EXPECT_EQ(result.end, c.output.empty() ? ChildEnd::NotStarted : ChildEnd::Exited)
            << "PATH=" << c.path.value_or("(unset)");
    }
    EXPECT_FALSE(std::filesystem::exists(marker)) << "the planted program received the input";
}

TEST(ProcessRunner, SuccessfulRunsLeaveNoDescriptor) {
    TempFolder dir;
    ProcessRunner runner(300ms);
    runner.RunCommand("true", dir.Path());
    const int before = OpenDescriptorCount();
    EXPECT_EQ(runner.RunCommand("echo hi", dir.Path()).output, "hi\n");
    EXPECT_EQ(runner.RunProgram({"cat"}, dir.Path(), std::string("in")).output, "in");
    EXPECT_EQ(runner.RunCommand("echo early; sleep 30", dir.Path()).output, "early\n");
    EXPECT_EQ(OpenDescriptorCount(), before);
}

TEST(ProcessRunner, InputReachesTheChildWithoutDeadlock) {
    TempFolder dir;
    ProcessRunner runner;
    // Far more than a pipe holds in both directions at once.
    const std::string big = Pattern(1 << 20);
    EXPECT_EQ(runner.RunProgram({"cat"}, dir.Path(), big).output, big);
    EXPECT_EQ(runner.RunProgram({"cat"}, dir.Path(), std::string()).output, "");
    EXPECT_EQ(
        runner.RunProgram({"sh", "-c", "read line; echo \"got [$line]\""}, dir.Path(), std::string("abc\n")).output,
        "got [abc]\n");
}

TEST(ProcessRunner, ChildThatStopsReadingDoesNotHurtUs) {
    TempFolder dir;
    ProcessRunner runner;
    const std::string big = Pattern(4 << 20);
    EXPECT_EQ(runner.RunProgram({"head", "-c", "10"}, dir.Path(), big).output, big.substr(0, 10));
    EXPECT_EQ(runner.RunProgram({"sh", "-c", "exec 0<&-; echo closed"}, dir.Path(), big).output, "closed\n");
    EXPECT_EQ(runner.RunProgram({"true"}, dir.Path(), big).output, "");
    EXPECT_EQ(runner.RunCommand("echo still here", dir.Path()).output, "still here\n");
}

TEST(ProcessRunner, StandardInputIsTheNullDeviceWithoutInput) {
    TempFolder dir;
    ProcessRunner runner;
    EXPECT_EQ(runner.RunProgram({"readlink", "/proc/self/fd/0"}, dir.Path(), std::nullopt).output, "/dev/null\n");
    EXPECT_EQ(runner.RunCommand("readlink /proc/self/fd/0", dir.Path()).output, "/dev/null\n");
}

TEST(ProcessRunner, ChildGetsOnlyItsStandardDescriptors) {
    TempFolder dir;
    // Opened the careless way, as a library in this process might.
    const int careless = open("/dev/null", O_RDONLY);
    ASSERT_GE(careless, 3);
    const std::string probe =
        "if [ -e /proc/$$/fd/" + std::to_string(careless) + " ]; then echo open; else echo closed; fi";
    EXPECT_EQ(ProcessRunner().RunCommand(probe, dir.Path()).output, "closed\n");
    close(careless);
}

TEST(ProcessRunner, ChildStartsWithDefaultSignalsAndEmptyMask) {
    TempFolder dir;
    sigset_t usr1;
    sigemptyset(&usr1);
    sigaddset(&usr1, SIGUSR1);
    sigset_t previousMask;
    ASSERT_EQ(pthread_sigmask(SIG_BLOCK, &usr1, &previousMask), 0);
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    struct sigaction previousUsr2 {};
    ASSERT_EQ(sigaction(SIGUSR2, &ignore, &previousUsr2), 0);

    ProcessRunner runner;
    const std::string status =
        runner.RunProgram({"grep", "-E", "^Sig(Blk|Ign):", "/proc/self/status"}, dir.Path(), std::nullopt).output;
    // A writer whose reader went away must die of SIGPIPE, as in a terminal.
    const std::string pipeline = runner.RunCommand("yes | head -n 2", dir.Path()).output;

    sigaction(SIGUSR2, &previousUsr2, nullptr);
    pthread_sigmask(SIG_SETMASK, &previousMask, nullptr);

    EXPECT_EQ(status, "SigBlk:\t0000000000000000\nSigIgn:\t0000000000000000\n");
    EXPECT_EQ(pipeline, "y\ny\n");
}

TEST(ProcessRunner, EnvironmentIsInherited) {
    TempFolder dir;
    ASSERT_EQ(setenv("ZEVLO_RUNNER_PROBE", "a value; with $ signs", 1), 0);
    EXPECT_EQ(ProcessRunner().RunCommand("printf '%s' \"$ZEVLO_RUNNER_PROBE\"", dir.Path()).output,
              "a value; with $ signs");
    EXPECT_EQ(ProcessRunner().RunProgram({"printenv", "ZEVLO_RUNNER_PROBE"}, dir.Path(), std::nullopt).output,
              "a value; with $ signs\n");
    unsetenv("ZEVLO_RUNNER_PROBE");
}

// True once the process is gone or only a zombie waiting for its new parent.
bool HasEnded(pid_t pid) {
    const std::string stat = ReadBytes("/proc/" + std::to_string(pid) + "/stat");
    const auto close = stat.rfind(')');
    return stat.empty() || close == std::string::npos || stat.compare(close + 2, 1, "Z") == 0;
}

TEST(ProcessRunner, BoundEndsTheChildAndItsChildren) {
    TempFolder dir;
    ProcessRunner runner(300ms);
    const auto start = std::chrono::steady_clock::now();
    const RunResult result = runner.RunCommand("echo before; sleep 30 & echo $!; sleep 30; echo after", dir.Path());
    const auto took = std::chrono::steady_clock::now() - start;
    const std::string &output = result.output;
    EXPECT_EQ(result.end, ChildEnd::TimedOut);
    EXPECT_EQ(result.status, 300);

    ASSERT_EQ(output.rfind("before\n", 0), 0u) << output;
    const pid_t grandchild = std::stoi(output.substr(7));
    EXPECT_EQ(output, "before\n" + std::to_string(grandchild) + "\n");
    EXPECT_LT(took, 20s) << "the sleeping child was waited for";
    bool ended = false;
    for (int i = 0; i < 200 && !(ended = HasEnded(grandchild)); ++i) {
        std::this_thread::sleep_for(10ms);
    }
    EXPECT_TRUE(ended) << "the background sleep survived";
}

TEST(ProcessRunner, BoundAlsoEndsAChildThatClosedItsOutput) {
    TempFolder dir;
    ProcessRunner runner(300ms);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(runner.RunCommand("echo bye; exec >/dev/null 2>&1; sleep 30", dir.Path()).output, "bye\n");
    EXPECT_LT(std::chrono::steady_clock::now() - start, 20s);
}

void CountAlarm(int) {}

TEST(ProcessRunner, SignalsDuringTheRunDoNotCutTheOutput) {
    TempFolder dir;
    struct sigaction onAlarm {};
    onAlarm.sa_handler = CountAlarm; // no SA_RESTART: every blocking call sees EINTR
    sigemptyset(&onAlarm.sa_mask);
    struct sigaction previous {};
    ASSERT_EQ(sigaction(SIGALRM, &onAlarm, &previous), 0);
    itimerval every{{0, 2000}, {0, 2000}};
    ASSERT_EQ(setitimer(ITIMER_REAL, &every, nullptr), 0);

    ProcessRunner runner;
    const std::string slow =
        runner.RunCommand("echo one; sleep 0.2; seq 1 3000; sleep 0.1; echo two", dir.Path()).output;
    const std::string fed = runner.RunProgram({"sh", "-c", "sleep 0.1; cat"}, dir.Path(), Pattern(300000)).output;

    itimerval off{};
    setitimer(ITIMER_REAL, &off, nullptr);
    sigaction(SIGALRM, &previous, nullptr);

    EXPECT_EQ(slow, "one\n" + SeqLines(1, 3000) + "two\n");
    EXPECT_EQ(fed, Pattern(300000));
}

TEST(ProcessRunner, ThreadsRunIndependently) {
    TempFolder dir;
    std::vector<std::string> results(4);
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            ProcessRunner runner;
            for (int i = 0; i < 10; ++i) {
                const std::string word = "thread" + std::to_string(t) + "run" + std::to_string(i);
                const std::string got = runner.RunProgram({"cat"}, dir.Path(), word).output;
                if (got != word) {
                    results[t] = "expected " + word + " got " + got;
                    return;
                }
            }
            results[t] = "ok";
        });
    }
    for (auto &thread : threads) {
        thread.join();
    }
    for (const auto &result : results) {
        EXPECT_EQ(result, "ok");
    }
}

TEST(QuoteForInterpreter, TheShellReadsBackTheSameWord) {
    EXPECT_EQ(QuoteForInterpreter("it's"), "'it'\\''s'");
    EXPECT_EQ(QuoteForInterpreter(""), "''");

    TempFolder dir;
    ProcessRunner runner;
    const std::string tricky[] = {
        "plain",
        "with space",
        "it's",
        "''",
        "\"double\"",
        "$(echo injected) `echo injected` $HOME",
        "a\\b\\\\c",
        "semi; colon & amp | pipe > gt < lt",
        "new\nline\ttab",
        "*?[glob]~",
        "%PATH% !bang #hash",
        "-n",
    };
    for (const auto &word : tricky) {
        EXPECT_EQ(runner.RunCommand("printf '%s' " + QuoteForInterpreter(word), dir.Path()).output, word) << word;
        // One word, not several.
        EXPECT_EQ(runner.RunCommand("set -- " + QuoteForInterpreter(word) + "; echo $#", dir.Path()).output, "1\n")
            << word;
    }
}

} // namespace
} // namespace zevlo::platform
