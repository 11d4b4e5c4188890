#pragma once

#include "platform/ProcessRunner.h"

namespace zevlo::win {

// Runs the real runner on a worker thread while the calling (GUI) thread waits and answers
// sent messages only: the end of the Windows session (WM_QUERYENDSESSION, WM_ENDSESSION)
// is sent, and a window that does not answer it is taken for hung. Posted messages (input,
// timers, the tray) wait in the queue, so no other handler runs before the run is over.
class PumpingRunner final : public platform::IProcessRunner {
public:
    explicit PumpingRunner(platform::IProcessRunner &inner) : inner_(inner) {}

    platform::RunResult RunCommand(const std::string &command, const std::string &directory) override;
    platform::RunResult RunProgram(const std::vector<std::string> &args, const std::string &directory,
                                   const std::optional<std::string> &input) override;

private:
    platform::IProcessRunner &inner_;
};

} // namespace zevlo::win
