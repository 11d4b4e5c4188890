#include "tests/platform/ProcessRunnerContract.h"

#include "platform/FileIO.h"
#include "platform/ProcessRunner.h"
#include "tests/support/Files.h"
#include "tests/support/ScopedEnv.h"
#include "tests/support/TempFolder.h"

#include <filesystem>
#include <optional>
#include <thread>

namespace zevlo::platform {
namespace {

using namespace zevlo::test;

std::string Joined(const std::vector<std::string> &parts, const std::string &separator) {
    std::string joined;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        if (i > 0)
            joined += separator;
        joined += parts[i];
    }
    return joined;
}

// What a runner keeps of a stream, as a count of letters.
constexpr int kKept = static_cast<int>(kKeptBytes);

std::string Letters(int count) {
    std::string letters;
    for (int i = 0; i < count; ++i)
        letters.push_back(static_cast<char>('a' + i % 26));
    return letters;
}

// Makes `folder` the current folder of this process for the scope.
struct CurrentFolder {
    std::filesystem::path previous = std::filesystem::current_path();
    explicit CurrentFolder(const std::string &folder) { std::filesystem::current_path(folder); }
    ~CurrentFolder() { std::filesystem::current_path(previous); }
};

} // namespace

std::string ProcessRunnerContract::Command(const Program &program) {
    std::vector<std::string> words;
    for (const std::string &word : program)
        words.push_back(QuoteForInterpreter(word));
    return Joined(words, " ");
}

std::string ProcessRunnerContract::Sequence(const std::vector<std::string> &commands) {
    return Joined(commands, " && ");
}

void ProcessRunnerContract::ExpectArguments(const std::string &output,
                                            const std::vector<std::string> &arguments) const {
    const auto readings = System().argumentsSeen(output);
    ASSERT_FALSE(readings.empty()) << output;
    for (const std::vector<std::string> &seen : readings)
        EXPECT_EQ(seen, arguments) << output;
}

int ProcessRunnerContract::OpenDescriptors() const {
    return System().openDescriptors ? System().openDescriptors() : 0;
}

void PrintTo(const RunnerSystem *system, std::ostream *out) {
    *out << system->interpreter;
}

std::string BytePattern(std::size_t size) {
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<char>((i * 7 + i / 256) & 0xff);
    return bytes;
}

namespace {

TEST_P(ProcessRunnerContract, EachRunGivesBackAllTheChildWroteAndHowItEndedAndLeavesNoDescriptor) {
    const RunnerSystem &system = System();
    TempFolder folder;
    const std::string missing = folder.File("missing") + system.folderSeparator;
    const std::string plainFile = folder.File("file");
    WriteBytes(plainFile, "x");
    const std::string raw("a\0b\r\n\0c\xff\n x\r\n\n", 15);
    const std::string config = "user = \"alice:s3cr\\\"et\"\n";
    const std::string pipeful = BytePattern(1 << 20); // as much as a pipe holds in both directions at once
    const Program missingProgram = {"zevlo-no-such-program-here"};
    const std::string started = Command(system.printBytes("started"));
    const auto notStarted = ChildEnd::NotStarted;
    const std::string variable = "a value; with $ signs";
    const ScopedEnv probe("ZEVLO_RUNNER_PROBE", variable);
    std::vector<RunCase> cases = {
        {.name = "nothing", .command = "exit 0"},
        {.name = "standard error in order",
         .command = Sequence(
             {Command(system.printBytes("a")), Command(system.printToError("b")), Command(system.printBytes("c"))}),
         .output = "abc"},
        {.name = "standard error of a program apart",
         .program = system.printToError("curl: (6) failed"),
         .errors = "curl: (6) failed"},
        // More than a pipe holds on standard error before the first byte of output: read
        // one stream at a time, the run would never end.
        {.name = "a pipeful of standard error before the output",
         .program = system.printToBoth(1 << 20),
         .output = Letters(kKept),
         .errors = std::string(kKeptBytes, 'e'),
         .outputCut = true,
         .errorsCut = true},
        // Read on and dropped: the child ends as it would, and costs no memory.
        {.name = "output far beyond the bound",
         .program = system.printLetters(16 << 20),
         .output = Letters(kKept),
         .outputCut = true,
         .alsoAsCommand = true},
        {.name = "output of exactly the bound", .program = system.printLetters(kKept), .output = Letters(kKept)},
        {.name = "NUL bytes and line ends kept",
         .program = system.printBytes(raw),
         .output = raw,
         .alsoAsCommand = true},
        {.name = "long output", .program = system.printLetters(60000), .output = Letters(60000), .alsoAsCommand = true},
        {.name = "the environment inherited",
         .program = system.printVariable("ZEVLO_RUNNER_PROBE"),
         .output = variable + system.lineEnd,
         .alsoAsCommand = true},
        {.name = "exit status",
         .command = Sequence({Command(system.printToError("curl: (7) failed")), "exit 7"}),
         .output = "curl: (7) failed",
         .status = 7},
        {.name = "input", .program = system.copyInput, .input = config, .output = config},
        {.name = "empty input", .program = system.copyInput, .input = ""},
        {.name = "a pipeful of input",
         .program = system.copyInput,
         .input = pipeful,
         .output = pipeful.substr(0, kKeptBytes),
         .outputCut = true},
        {.name = "no input", .program = system.copyInput},
        {.name = "input ignored",
         .program = system.printBytes("abcdefghij"),
         .input = BytePattern(4 << 20),
         .output = "abcdefghij"},
        {.name = "command in a missing folder", .command = started, .end = notStarted, .directory = missing},
        {.name = "command in a file, not a folder", .command = started, .end = notStarted, .directory = plainFile},
        {.name = "missing program", .program = missingProgram, .end = notStarted, .notFound = true},
        // A start the system refuses says why, not that the program is missing.
        {.name = "an argument too long to start",
         .program = {system.printBytes("x").front(), std::string(300000, 'a')},
         .end = notStarted,
         .notFound = false},
        {.name = "missing program with input", .program = missingProgram, .input = "data", .end = notStarted},
        {.name = "program in a missing folder",
         .program = system.printBytes("started"),
         .input = "x",
         .end = notStarted,
         .directory = missing},
        {.name = "no arguments", .end = notStarted},
        {.name = "empty program name", .program = {""}, .end = notStarted},
    };
    for (const std::string &path : system.placeNonPrograms(folder.Path()))
        cases.push_back({.name = "not a program: " + path, .program = {path}, .end = notStarted});
    cases.insert(cases.end(), system.ownCases.begin(), system.ownCases.end());
    for (std::size_t i = 0, programs = cases.size(); i < programs; ++i) {
        if (cases[i].alsoAsCommand) {
            RunCase command = cases[i];
            command.name += " through the interpreter";
            command.command = Command(command.program);
            cases.push_back(command);
        }
    }

    ProcessRunner runner;
    runner.RunCommand("exit 0", folder.Path()); // first use sets up the process once
    for (const RunCase &c : cases) {
        const int before = OpenDescriptors();
        const std::string directory = c.directory.value_or(folder.Path());
        const RunResult result = c.command.empty() ? runner.RunProgram(c.program, directory, c.input)
                                                   : runner.RunCommand(c.command, directory);
        EXPECT_EQ(result.output, c.output) << c.name;
        EXPECT_EQ(result.errors, c.errors) << c.name;
        EXPECT_EQ(result.end, c.end) << c.name;
        EXPECT_EQ(result.status, c.status) << c.name;
        EXPECT_EQ(result.outputCut, c.outputCut) << c.name;
        EXPECT_EQ(result.errorsCut, c.errorsCut) << c.name;
        EXPECT_EQ(OpenDescriptors(), before) << c.name;
        if (c.notFound) {
            EXPECT_EQ(IsNotFoundError(result.startError), *c.notFound) << c.name << ": " << result.startError;
            EXPECT_NE(result.startError, 0) << c.name;
            EXPECT_FALSE(SystemErrorText(result.startError).empty()) << c.name;
        }
    }
}

TEST_P(ProcessRunnerContract, RunsInTheGivenFolder) {
    const RunnerSystem &system = System();
    TempFolder temp;
    const std::string folder = temp.File("a folder's name");
    ASSERT_TRUE(std::filesystem::create_directory(folder));
    const std::string given = folder + system.folderSeparator;
    const std::string script = system.placeScript(given, "my script");
    ProcessRunner runner;
    EXPECT_EQ(runner.RunCommand(Command(system.printFolder), given).output, folder + system.lineEnd);
    EXPECT_EQ(runner.RunProgram(system.printFolder, given, std::nullopt).output, folder + system.lineEnd);
    // Empty: the caller's.
    EXPECT_EQ(runner.RunProgram(system.printFolder, "", std::nullopt).output,
              std::filesystem::current_path().string() + system.lineEnd);
    // A quoted path is one word, whatever it holds.
    EXPECT_EQ(runner.RunCommand(QuoteForInterpreter(script) + " arg", given).output, "ran arg" + system.lineEnd);
    // So is a program's own path.
    const std::string echo = system.placeArgvEcho(given, "my echo");
    ExpectArguments(runner.RunProgram({echo, "two words"}, given, std::nullopt).output, {"two words"});
}

TEST_P(ProcessRunnerContract, ArgumentsArriveUnchanged) {
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
        "$HOME `id` *",
        "user = \"name:pa ss\"",
    };
    TempFolder folder;
    Program program = {System().placeArgvEcho(folder.Path(), "zevlo-argv-echo")};
    program.insert(program.end(), arguments.begin(), arguments.end());
    ExpectArguments(ProcessRunner().RunProgram(program, folder.Path(), std::nullopt).output, arguments);
}

TEST_P(ProcessRunnerContract, BareNamesAreFoundAlongAbsolutePathEntriesOnly) {
    // curl runs in the program folder: an empty or relative PATH entry names that folder (or
    // ours), where a planted "curl" would receive the password on its input.
    const RunnerSystem &system = System();
    const char sep = system.folderSeparator;
    TempFolder temp;
    const std::string working = temp.File("program") + sep;
    const std::string bin = temp.File("bin") + sep;
    ASSERT_TRUE(std::filesystem::create_directory(working));
    ASSERT_TRUE(std::filesystem::create_directory(bin));
    system.placeImpostor(working, "zevlo-probe");
    system.placeArgvEcho(bin, "zevlo-probe");

    const std::string up = std::string("..") + sep;
    const std::string notFolders[] = {"", ".", std::string(".") + sep, "bin", up + "program", up + "bin"};
    using Entries = std::vector<std::string>;
    const std::string &sys = system.systemFolders;
    struct PathCase {
        std::optional<Entries> entries; // none: PATH unset
        bool found;
    };
    std::vector<PathCase> cases = {
        {Entries{"", bin}, true},
        {Entries{".", bin.substr(0, bin.size() - 1)}, true},
        {Entries{sys, bin}, true},
        {std::nullopt, false}, // the system's default folders
    };
    for (const std::string &entry : notFolders)
        for (const Entries &entries : {Entries{entry, sys}, Entries{sys, entry}, Entries{sys, entry, sys},
                                       Entries{sys, entry, entry}, Entries{entry}, Entries{entry, entry}})
            cases.push_back({entries, false});

    const CurrentFolder current(working);
    ProcessRunner runner;
    for (const PathCase &c : cases) {
        const std::optional<std::string> path =
            c.entries ? std::optional<std::string>(Joined(*c.entries, std::string(1, system.pathListSeparator)))
                      : std::nullopt;
        const std::string label = "PATH=" + path.value_or("(unset)");
        const ScopedEnv setPath("PATH", path);
        const RunResult result = runner.RunProgram({"zevlo-probe", "found"}, working, std::string("secret"));
        SCOPED_TRACE(label);
        if (c.found) {
            EXPECT_EQ(result.end, ChildEnd::Exited);
            ExpectArguments(result.output, {"found"});
        } else {
            EXPECT_EQ(result.output, "");
            EXPECT_EQ(result.end, ChildEnd::NotStarted);
        }
    }
}

TEST_P(ProcessRunnerContract, BoundEndsTheChildAndAllItStarted) {
    const RunnerSystem &system = System();
    TempFolder folder;
    ProcessRunner runner(system.bound);
    const int before = OpenDescriptors();
    // The sleeper holds the output too: the call returns only because it was ended as well.
    // The other child's output ends early, but the child lives on.
    for (const bool sleeper : {true, false}) {
        const Program &program = sleeper ? system.spawnSleeper : system.closeOutputAndSleep;
        for (const bool throughInterpreter : {false, true}) {
            SCOPED_TRACE(std::string(sleeper ? "sleeper" : "closed output") +
                         (throughInterpreter ? ", interpreter" : ""));
            const auto start = std::chrono::steady_clock::now();
            const RunResult result = throughInterpreter ? runner.RunCommand(Command(program), folder.Path())
                                                        : runner.RunProgram(program, folder.Path(), std::nullopt);
            EXPECT_LT(std::chrono::steady_clock::now() - start, system.farBeforeTheirEnd);
            EXPECT_EQ(result.end, ChildEnd::TimedOut);
            EXPECT_EQ(result.status, system.bound.count());
            // What it printed before is kept.
            const std::string &output = result.output;
            if (!sleeper) {
                EXPECT_EQ(output, "bye" + system.lineEnd);
                continue;
            }
            const std::string prefix = "sleeper ";
            ASSERT_TRUE(output.starts_with(prefix) && output.ends_with(system.lineEnd)) << output;
            const std::string id = output.substr(prefix.size(), output.size() - prefix.size() - system.lineEnd.size());
            ASSERT_FALSE(id.empty()) << output;
            EXPECT_TRUE(system.endsSoon(id)) << "the sleeper " << id << " survived";
        }
    }
    EXPECT_EQ(OpenDescriptors(), before);
}

TEST_P(ProcessRunnerContract, NoHandleOfOursReachesAChild) {
    const RunnerSystem &system = System();
    TempFolder folder;
    const std::string handle = system.openInheritable();
    ASSERT_FALSE(handle.empty());
    const Program probe = system.probeHandle(handle);
    ProcessRunner runner;
    EXPECT_EQ(runner.RunProgram(probe, folder.Path(), std::nullopt).output, "absent");
    EXPECT_EQ(runner.RunProgram(probe, folder.Path(), std::string("input")).output, "absent");
    EXPECT_EQ(runner.RunCommand(Command(probe), folder.Path()).output, "absent");
    system.closeInheritable(handle);
}

TEST_P(ProcessRunnerContract, ThreadsRunIndependently) {
    TempFolder folder;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            ProcessRunner runner;
            for (int i = 0; i < 10; ++i) {
                const std::string word = "thread" + std::to_string(t) + "run" + std::to_string(i);
                EXPECT_EQ(runner.RunProgram(System().copyInput, folder.Path(), word).output, word);
            }
        });
    }
    for (std::thread &thread : threads)
        thread.join();
}

} // namespace
} // namespace zevlo::platform
