#include "tests/support/ScriptedRunner.h"

#include <stdexcept>
#include <utility>

namespace zevlo::test {

namespace {

// curl's arguments end with the URL and the user agent.
const std::string *UrlOf(const RunnerCall &call) {
    return call.args.size() > 1 ? &call.args[call.args.size() - 2] : nullptr;
}

// The --write-out text of the call for the status and body, as curl would print it.
std::string WriteOut(const RunnerCall &call, int status, std::size_t bodyBytes) {
    for (std::size_t i = 0; i + 1 < call.args.size(); ++i) {
        if (call.args[i] != "-w")
            continue;
        std::string format = call.args[i + 1];
        const auto replace = [&format](const std::string &name, const std::string &value) {
            for (std::size_t at = format.find(name); at != std::string::npos; at = format.find(name, at))
                format.replace(at, name.size(), value);
        };
        std::string code = std::to_string(status);
        code.insert(0, code.size() < 3 ? 3 - code.size() : 0, '0');
        replace("%{http_code}", code);
        replace("%{size_download}", std::to_string(bodyBytes));
        return format;
    }
    return {};
}

} // namespace

ScriptedRun ScriptedRun::Http(int status, std::string body) {
    ScriptedRun run(std::move(body));
    run.httpStatus = status;
    return run;
}

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
    ScriptedRun next = std::move(outputs.front());
    outputs.pop_front();
    if (next.httpStatus)
        next.result.output += WriteOut(calls.back(), *next.httpStatus, next.result.output.size());
    return next.result;
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
