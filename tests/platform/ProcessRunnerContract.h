#pragma once

// What every system's ProcessRunner must do, stated once (ProcessRunnerContract.cpp) and run
// on each system through a RunnerSystem: programs and commands of that system that each do
// one thing. A system's test file instantiates the suite with its own:
//
//     INSTANTIATE_TEST_SUITE_P(Posix, ProcessRunnerContract, ::testing::Values(&PosixRunnerSystem()));

#include "platform/ProcessRunner.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace zevlo::platform {

// One start: the program and its arguments.
using Program = std::vector<std::string>;

// One run and all it must give back: an interpreter command, or else a program.
struct RunCase {
    std::string name{};
    std::string command{};
    Program program{};
    std::optional<std::string> input{};
    std::string output{};
    std::string errors{}; // a program's standard error
    ChildEnd end = ChildEnd::Exited;
    int status = 0;
    std::optional<std::string> directory{}; // unset: a fresh folder of the test's
    std::optional<bool> notFound{};         // not started: whether for want of the program
    bool outputCut = false;                 // more than kKeptBytes came on the stream
    bool errorsCut = false;
    bool alsoAsCommand = false; // the program's run through the interpreter gives the same
};

struct RunnerSystem {
    // The command interpreter's name, which the tests' names end with.
    std::string interpreter;
    // What the interpreter's echo and the C runtime's text output end lines with.
    std::string lineEnd;
    char folderSeparator;
    char pathListSeparator;
    // A PATH value that finds the system's own programs.
    std::string systemFolders;

    // Programs that each do one thing.
    std::function<Program(const std::string &bytes)> printBytes;  // exactly these bytes
    std::function<Program(int count)> printLetters;               // "abc...zabc..."
    std::function<Program(const std::string &text)> printToError; // to standard error
    std::function<Program(int count)> printToBoth; // `count` times "e" to standard error, then printLetters
    Program copyInput;                             // what arrives on standard input, until its end
    Program printFolder;                           // the working folder, then a line end
    // Starts a child of its own that keeps the output open and sleeps far longer than
    // `bound`, prints "sleeper <its process id>" and a line end, then sleeps as well.
    Program spawnSleeper;
    // Prints "bye" and a line end, closes its output and standard error, then sleeps far
    // longer than `bound`.
    Program closeOutputAndSleep;
    std::function<Program(const std::string &name)> printVariable; // its value, then a line end
    // Whether the process of that id is gone within a few seconds.
    std::function<bool(const std::string &processId)> endsSoon;
    std::chrono::milliseconds bound;
    // A sleeper's run that took this long was not ended by the bound.
    std::chrono::milliseconds farBeforeTheirEnd;

    // Puts a program into `folder` under `name` (plus the suffix programs need there) that
    // prints its arguments as `argumentsSeen` reads them back; returns its path.
    std::function<std::string(const std::string &folder, const std::string &name)> placeArgvEcho;
    // Each way the child can have split its command line, as the echo printed them.
    std::function<std::vector<std::vector<std::string>>(const std::string &output)> argumentsSeen;
    // Puts a program into `folder` under `name` that is not the echo and prints something else.
    std::function<void(const std::string &folder, const std::string &name)> placeImpostor;
    // Puts an interpreter script into `folder` that prints "ran ", its first argument and a
    // line end; `name` has no suffix yet. Returns its path.
    std::function<std::string(const std::string &folder, const std::string &name)> placeScript;
    // Files in `folder` that the system cannot start as programs.
    std::function<std::vector<std::string>(const std::string &folder)> placeNonPrograms;
    // Opens a handle (descriptor) that children could inherit, as a careless library in this
    // process might; returns its value as text, empty when it could not.
    std::function<std::string()> openInheritable;
    // Prints "absent" unless the process holds a handle of that value.
    std::function<Program(const std::string &value)> probeHandle;
    // Closes it, checking where the system can that no child used it.
    std::function<void(const std::string &value)> closeInheritable;

    // Runs only this system's runner is asked to get right, checked as the shared ones are.
    std::vector<RunCase> ownCases;
    // How many descriptors the process holds now; unset where they cannot be counted
    // (Wine's handle count is always 0).
    std::function<int()> openDescriptors;
};

// Names the parameter in the tests' names.
void PrintTo(const RunnerSystem *system, std::ostream *out);

// `size` bytes of every value, NUL included, in a pattern that shows reordering.
std::string BytePattern(std::size_t size);

class ProcessRunnerContract : public ::testing::TestWithParam<const RunnerSystem *> {
protected:
    const RunnerSystem &System() const { return *GetParam(); }
    // How many descriptors the process holds now; 0 where they cannot be counted.
    int OpenDescriptors() const;
    // The interpreter command that runs `program`, each word quoted.
    static std::string Command(const Program &program);
    // The interpreter command that runs the commands one after the other, each once the one
    // before succeeded (sh and cmd.exe alike read "&&" so).
    static std::string Sequence(const std::vector<std::string> &commands);
    // Every way the system's echo read its arguments was `arguments`.
    void ExpectArguments(const std::string &output, const std::vector<std::string> &arguments) const;
};

} // namespace zevlo::platform
