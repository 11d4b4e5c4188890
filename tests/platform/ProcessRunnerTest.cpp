#include "platform/ProcessRunner.h"

#include "tests/platform/ProcessRunnerContract.h"
#include "tests/support/Files.h"
#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <thread>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

namespace zevlo::platform {
namespace {

using namespace zevlo::test;
using namespace std::chrono_literals;

// How many descriptors this process has open now, less the one the count itself holds.
int OpenDescriptorCount() {
    return static_cast<int>(std::distance(std::filesystem::directory_iterator("/proc/self/fd"), {})) - 1;
}

// True once the process is gone or only a zombie waiting for its new parent.
bool HasEnded(pid_t pid) {
    const std::string stat = ReadBytes("/proc/" + std::to_string(pid) + "/stat");
    const auto close = stat.rfind(')');
    return stat.empty() || close == std::string::npos || stat.compare(close + 2, 1, "Z") == 0;
}

// printf's format for exactly these bytes.
std::string OctalEscaped(const std::string &bytes) {
    std::string format;
    for (const unsigned char c : bytes) {
        format += '\\';
        format += static_cast<char>('0' + (c >> 6));
        format += static_cast<char>('0' + ((c >> 3) & 7));
        format += static_cast<char>('0' + (c & 7));
    }
    return format;
}

std::string PlaceScript(const std::string &path, const std::string &text) {
    WriteBytes(path, text);
    if (chmod(path.c_str(), 0700) != 0) {
        throw std::runtime_error("cannot make " + path + " executable");
    }
    return path;
}

std::string Interleaved(int count) {
    std::string text;
    for (int i = 1; i <= count; ++i) {
        text += "out" + std::to_string(i) + "\nerr" + std::to_string(i) + "\n";
    }
    return text;
}

const RunnerSystem &PosixRunnerSystem() {
    static const RunnerSystem system = [] {
        RunnerSystem s;
        s.interpreter = "sh";
        s.lineEnd = "\n";
        s.folderSeparator = '/';
        s.pathListSeparator = ':';
        s.systemFolders = "/usr/bin:/bin";
        s.printBytes = [](const std::string &bytes) { return Program{"printf", OctalEscaped(bytes)}; };
        s.printLetters = [](int count) {
            return Program{"sh", "-c", "yes abcdefghijklmnopqrstuvwxyz | tr -d '\\n' | head -c \"$0\"",
                           std::to_string(count)};
        };
        s.printToError = [](const std::string &text) { return Program{"sh", "-c", "printf '%s' \"$0\" >&2", text}; };
        s.printToBoth = [](int count) {
            return Program{"sh", "-c",
                           "head -c \"$0\" /dev/zero | tr '\\0' e >&2; "
                           "yes abcdefghijklmnopqrstuvwxyz | tr -d '\\n' | head -c \"$0\"",
                           std::to_string(count)};
        };
        s.copyInput = {"cat"};
        s.printFolder = {"pwd", "-P"};
        s.spawnSleeper = {"sh", "-c", "sleep 30 & echo sleeper $!; sleep 30; echo after"};
        s.closeOutputAndSleep = {"sh", "-c", "echo bye; exec >/dev/null 2>&1; sleep 30"};
        s.printVariable = [](const std::string &name) { return Program{"printenv", name}; };
        s.endsSoon = [](const std::string &id) {
            bool ended = false;
            for (int i = 0; i < 200 && !(ended = HasEnded(std::stoi(id))); ++i)
                std::this_thread::sleep_for(10ms);
            return ended;
        };
        s.bound = 300ms;
        s.farBeforeTheirEnd = 20s;
        s.placeArgvEcho = [](const std::string &folder, const std::string &name) {
            return PlaceScript(folder + name, "#!/bin/sh\nfor argument; do printf '%s\\0' \"$argument\"; done\n");
        };
        s.argumentsSeen = [](const std::string &output) {
            std::vector<std::string> arguments;
            for (std::size_t start = 0; start < output.size();) {
                const std::size_t end = output.find('\0', start);
                arguments.push_back(output.substr(start, end - start));
                start = end == std::string::npos ? output.size() : end + 1;
            }
            return std::vector<std::vector<std::string>>{arguments};
        };
        s.placeImpostor = [](const std::string &folder, const std::string &name) {
            PlaceScript(folder + name, "#!/bin/sh\necho planted\n");
        };
        s.placeScript = [](const std::string &folder, const std::string &name) {
            return PlaceScript(folder + name + ".sh", "#!/bin/sh\necho \"ran $1\"\n");
        };
        s.placeNonPrograms = [](const std::string &folder) {
            WriteBytes(folder + "not-executable", "not a program\n");
            return std::vector<std::string>{folder + "not-executable",
                                            PlaceScript(folder + "noshebang", "echo should not run\n")};
        };
        // Without close-on-exec.
        s.openInheritable = [] {
            const int fd = open("/dev/null", O_RDONLY);
            return fd >= 0 ? std::to_string(fd) : "";
        };
        s.probeHandle = [](const std::string &fd) {
            return Program{"sh", "-c", "if [ -e /proc/$$/fd/$0 ]; then printf held; else printf absent; fi", fd};
        };
        s.closeInheritable = [](const std::string &fd) { close(std::stoi(fd)); };
        s.ownCases = {
            {.name = "many chunks from both streams",
             .command = "i=1; while [ $i -le 400 ]; do echo out$i; echo err$i >&2; i=$((i+1)); done",
             .output = Interleaved(400)},
            {.name = "ended by a signal",
             .command = "printf x; kill -KILL $$",
             .output = "x",
             .end = ChildEnd::Signalled,
             .status = SIGKILL},
            {.name = "standard input is the null device",
             .program = {"readlink", "/proc/self/fd/0"},
             .output = "/dev/null\n",
             .alsoAsCommand = true},
            {.name = "a child that reads a line only",
             .program = {"sh", "-c", "read line; echo \"got [$line]\""},
             .input = "abc\n",
             .output = "got [abc]\n"},
            {.name = "a child that stops reading",
             .program = {"head", "-c", "10"},
             .input = BytePattern(4 << 20),
             .output = BytePattern(10)},
            {.name = "a child that closes its input",
             .program = {"sh", "-c", "exec 0<&-; echo closed"},
             .input = BytePattern(4 << 20),
             .output = "closed\n"},
        };
        s.openDescriptors = OpenDescriptorCount;
        return s;
    }();
    return system;
}

INSTANTIATE_TEST_SUITE_P(Posix, ProcessRunnerContract, ::testing::Values(&PosixRunnerSystem()));

void CountAlarm(int) {}

TEST(ProcessRunner, OurSignalsNeitherReachTheChildNorCutItsRun) {
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
    struct sigaction onAlarm {};
    onAlarm.sa_handler = CountAlarm; // no SA_RESTART: every blocking call sees EINTR
    sigemptyset(&onAlarm.sa_mask);
    struct sigaction previousAlarm {};
    ASSERT_EQ(sigaction(SIGALRM, &onAlarm, &previousAlarm), 0);
    itimerval every{{0, 2000}, {0, 2000}};
    ASSERT_EQ(setitimer(ITIMER_REAL, &every, nullptr), 0);

    ProcessRunner runner;
    const std::string status =
        runner.RunProgram({"grep", "-E", "^Sig(Blk|Ign):", "/proc/self/status"}, dir.Path(), std::nullopt).output;
    // A writer whose reader went away must die of SIGPIPE, as in a terminal.
    const std::string pipeline = runner.RunCommand("yes | head -n 2", dir.Path()).output;
    const std::string slow =
        runner.RunCommand("echo one; sleep 0.2; seq 1 3000; sleep 0.1; echo two", dir.Path()).output;
    const std::string fed = runner.RunProgram({"sh", "-c", "sleep 0.1; cat"}, dir.Path(), BytePattern(300000)).output;

    itimerval off{};
    setitimer(ITIMER_REAL, &off, nullptr);
    sigaction(SIGALRM, &previousAlarm, nullptr);
    sigaction(SIGUSR2, &previousUsr2, nullptr);
    pthread_sigmask(SIG_SETMASK, &previousMask, nullptr);

    EXPECT_EQ(status, "SigBlk:\t0000000000000000\nSigIgn:\t0000000000000000\n");
    EXPECT_EQ(pipeline, "y\ny\n");
    std::string counted = "one\n";
    for (int i = 1; i <= 3000; ++i)
        counted += std::to_string(i) + "\n";
    EXPECT_EQ(slow, counted + "two\n");
    EXPECT_EQ(fed, BytePattern(300000).substr(0, kKeptBytes)); // what the bound keeps
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
    // One word, not several: printf repeats its format for each.
    for (const auto &word : tricky)
        EXPECT_EQ(runner.RunCommand("printf '[%s]' " + QuoteForInterpreter(word), dir.Path()).output, "[" + word + "]");
}

} // namespace
} // namespace zevlo::platform
