#include "tests/support/ScriptedRunner.h"

#include <stdexcept>
#include <utility>

namespace zevlo::test {

namespace {

// curl's arguments end with the URL and the user agent.
const std::string *UrlOf(const RunnerCall &call) {
    return call.args.size() > 1 ? &call.args[call.args.size() - 2] : nullptr;
}

} // namespace

bool RunnerCall::IsUpdate() const {
    const std::string *url = UrlOf(*this);
    return url != nullptr && url->find("?hostname=") != std::string::npos;
}

platform::RunResult ScriptedRunner::RunCommand(const std::string &command, const std::string &directory) {
    return Answer(RunnerCall{true, command, {}, directory, std::nullopt});
}

platform::RunResult ScriptedRunner::RunProgram(const std::vector<std::string> &args, const std::string &directory,
                                               const std::optional<std::string> &input) {
    return Answer(RunnerCall{false, {}, args, directory, input});
}

platform::RunResult ScriptedRunner::Answer(RunnerCall call) {
    call.busy = busyProbe && busyProbe();
    const bool update = call.IsUpdate();
    calls.push_back(std::move(call));
    if (duringRun)
        duringRun();
    if (throwOnCall)
        throw std::runtime_error("scripted failure");
    if (outputs.empty())
        return {update ? updateAnswer : checkAnswer, platform::ChildEnd::Exited, 0};
    platform::RunResult run = std::move(outputs.front().result);
    outputs.pop_front();
    return run;
}

int ScriptedRunner::Updates() const {
    int count = 0;
    for (const RunnerCall &call : calls)
        count += call.IsUpdate() ? 1 : 0;
    return count;
}

std::string ScriptedRunner::UpdateUrl() const {
    std::string url;
    for (const RunnerCall &call : calls)
        if (call.IsUpdate())
            url = *UrlOf(call);
    return url;
}

} // namespace zevlo::test
