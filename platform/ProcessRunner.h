#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace zevlo::platform {

// Starts child processes and returns what they wrote to standard output and standard
// error, through one pipe, in the order written: exactly the bytes written, NUL bytes and
// line ends included. An empty `directory` means the caller's working folder. Blocks the
// calling thread.
class IProcessRunner {
public:
    virtual ~IProcessRunner() = default;

    // Runs `command` through the system's command interpreter (/bin/sh -c, cmd.exe /S /C)
    // in `directory`. Empty when the child printed nothing or could not be started.
    virtual std::string RunCommand(const std::string& command, const std::string& directory) = 0;

    // Starts args[0] (looked up along PATH) with the argument list, without an interpreter.
    // With `input` the bytes are written to the child's standard input, which is then
    // closed; without it the child's standard input is the null device.
    virtual std::string RunProgram(const std::vector<std::string>& args, const std::string& directory,
                                   const std::optional<std::string>& input) = 0;
};

// The system's runner. A child still running after `limit` is ended with its whole
// process tree and what it printed so far is returned.
class ProcessRunner final : public IProcessRunner {
public:
    static constexpr std::chrono::milliseconds kDefaultLimit{60000};

    explicit ProcessRunner(std::chrono::milliseconds limit = kDefaultLimit) : limit_(limit) {}

    std::string RunCommand(const std::string& command, const std::string& directory) override;
    std::string RunProgram(const std::vector<std::string>& args, const std::string& directory,
                           const std::optional<std::string>& input) override;

private:
    std::chrono::milliseconds limit_;
};

// Quotes a path so the command interpreter takes it as one word ('...' for sh, "..." for cmd).
std::string QuoteForInterpreter(const std::string& path);

} // namespace zevlo::platform
