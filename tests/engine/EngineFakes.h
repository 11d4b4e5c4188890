#pragma once

// Seams of the engine for tests: the panel's values, a runner that answers from a script,
// and a notifier that records the boxes instead of showing them.

#include "engine/Endpoints.h"
#include "platform/ProcessRunner.h"

#include <deque>
#include <filesystem>
#include <functional>
#include <optional>
#include <random>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace zevlo::fakes {

struct FakeEndpoints final : IEndpointSource {
    EndpointValues check{"HTTPS", "443", "SERVER", "/checkip", "GET", "None", 0};
    EndpointValues update{"HTTPS", "443", "SERVER", "/v3/update", "GET", "Basic", 0};
    bool customScript = false;
    std::string scriptPath;
    std::string userText = "alice";
    std::string passwordText = "secret";

    EndpointValues Endpoint(RequestKind kind) const override { return kind == RequestKind::CheckIP ? check : update; }
    bool CustomScriptChecked() const override { return customScript; }
    std::string CustomScriptPath() const override { return scriptPath; }
    std::string UserText() const override { return userText; }
    std::string PasswordText() const override { return passwordText; }
};

struct RunnerCall {
    bool throughInterpreter = false;
    std::string command;           // RunCommand
    std::vector<std::string> args; // RunProgram
    std::string directory;
    std::optional<std::string> input;

    bool IsUpdate() const { return args.size() > 1 && args[args.size() - 2].find("?hostname=") != std::string::npos; }
};

// One scripted run: a text stands for a child that printed it and exited with status 0.
struct ScriptedRun {
    ScriptedRun(const char *output) : result{output, platform::ChildEnd::Exited, 0} {}
    ScriptedRun(std::string output) : result{std::move(output), platform::ChildEnd::Exited, 0} {}
    ScriptedRun(platform::RunResult run) : result(std::move(run)) {}

    platform::RunResult result;
};

// Answers each call with the next scripted run (nothing printed and status 0 once the
// script has run out).
class ScriptedRunner final : public platform::IProcessRunner {
public:
    std::deque<ScriptedRun> outputs;
    std::vector<RunnerCall> calls;
    bool throwOnCall = false;
    // Runs while the child would run, after the call was recorded.
    std::function<void()> duringRun;

    platform::RunResult RunCommand(const std::string &command, const std::string &directory) override {
        calls.push_back(RunnerCall{true, command, {}, directory, std::nullopt});
        return Next();
    }
    platform::RunResult RunProgram(const std::vector<std::string> &args, const std::string &directory,
                                   const std::optional<std::string> &input) override {
        calls.push_back(RunnerCall{false, {}, args, directory, input});
        return Next();
    }

private:
    platform::RunResult Next() {
        if (duringRun)
            duringRun();
        if (throwOnCall)
            throw std::runtime_error("scripted failure");
        if (outputs.empty())
            return {"", platform::ChildEnd::Exited, 0};
        platform::RunResult run = outputs.front().result;
        outputs.pop_front();
        return run;
    }
};

struct ShownMessage {
    MessageKind kind;
    std::string text;
    bool operator==(const ShownMessage &) const = default;
};

class RecordingNotifier final : public INotifier {
public:
    std::vector<ShownMessage> shown;
    // Runs while the "box" is open, as the nested event loop of a real box would.
    std::function<void()> whileOpen;

    void ShowMessage(MessageKind kind, const std::string &text) override {
        shown.push_back({kind, text});
        if (whileOpen)
            whileOpen();
    }
};

// A fresh folder under the system's temp folder, removed with everything in it.
class TempDir {
public:
    explicit TempDir(const std::filesystem::path &parent = std::filesystem::temp_directory_path()) {
        std::random_device seed;
        std::mt19937_64 random(seed());
        for (int attempt = 0; attempt < 100; ++attempt) {
            path_ = parent / ("zevlo-engine-" + std::to_string(random()));
            if (std::filesystem::create_directory(path_))
                return;
        }
        throw std::runtime_error("no temp folder");
    }
    ~TempDir() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    TempDir(const TempDir &) = delete;
    TempDir &operator=(const TempDir &) = delete;

    const std::filesystem::path &Path() const { return path_; }
    // The folder as the engine's callers pass folders: with a trailing separator.
    std::string WithSeparator() const { return (path_ / "").string(); }

private:
    std::filesystem::path path_;
};

} // namespace zevlo::fakes
