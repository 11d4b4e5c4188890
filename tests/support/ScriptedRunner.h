#pragma once

#include "platform/ProcessRunner.h"

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace zevlo::test {

// One start the program asked of the runner.
struct RunnerCall {
    bool throughInterpreter = false; // RunCommand, else RunProgram
    std::string command;             // RunCommand
    std::vector<std::string> args;   // RunProgram
    std::string directory;
    std::optional<std::string> input;
    bool busy = false; // what ScriptedRunner::busyProbe said at the call

    // A curl update request (its URL asks for a host name), not an address check.
    bool IsUpdate() const;
};

// One scripted run: a text stands for a child that printed it and exited with status 0.
struct ScriptedRun {
    ScriptedRun(const char *output) : result{output, platform::ChildEnd::Exited, 0} {}
    ScriptedRun(std::string output) : result{std::move(output), platform::ChildEnd::Exited, 0} {}
    ScriptedRun(platform::RunResult run) : result(std::move(run)) {}
    // curl answered with an HTTP status: the body, then the trailer its --write-out asks for.
    static ScriptedRun Http(int status, std::string body);

    platform::RunResult result;
    std::optional<int> httpStatus;
};

// Stands in for curl and the custom script: records every call, then answers with the next
// scripted run; once the script has run out, a check prints `checkAnswer` and an update
// `updateAnswer` (both nothing unless set) and exits with status 0.
class ScriptedRunner final : public platform::IProcessRunner {
public:
    std::deque<ScriptedRun> outputs;
    std::string checkAnswer;
    std::string updateAnswer;
    std::vector<RunnerCall> calls;
    // When set, every call throws instead of answering.
    bool throwOnCall = false;
    // Runs while the child would run, after the call was recorded.
    std::function<void()> duringRun;
    // Asked at each call whether the window shows itself busy (RunnerCall::busy).
    std::function<bool()> busyProbe;

    platform::RunResult RunCommand(const std::string &command, const std::string &directory) override;
    platform::RunResult RunProgram(const std::vector<std::string> &args, const std::string &directory,
                                   const std::optional<std::string> &input) override;

    int Updates() const;
    int Checks() const { return static_cast<int>(calls.size()) - Updates(); }
    // The URL of the last update request; empty when none was made.
    std::string UpdateUrl() const;

private:
    platform::RunResult Answer(RunnerCall call);
};

} // namespace zevlo::test
