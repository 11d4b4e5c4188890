#pragma once

#include "platform/ProcessRunner.h"

namespace zevlo {

// Shows the busy cursor while a child runs: the window cannot answer in that time, and
// the user should see why.
class BusyCursorRunner final : public platform::IProcessRunner {
public:
    explicit BusyCursorRunner(platform::IProcessRunner &inner) : inner_(inner) {}

    platform::RunResult RunCommand(const std::string &command, const std::string &directory) override;
    platform::RunResult RunProgram(const std::vector<std::string> &args, const std::string &directory,
                                   const std::optional<std::string> &input) override;

private:
    platform::IProcessRunner &inner_;
};

} // namespace zevlo
