#pragma once

#include "engine/Endpoints.h"
#include "platform/ProcessRunner.h"

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace zevlo {

class Tdm;

// One HTTP request as curl's argument list. Credentials never stand in the arguments:
// they travel as a curl config line on standard input (`input`).
struct CurlCommand {
    std::vector<std::string> args;
    std::optional<std::string> input;
    std::string error; // not empty: the request cannot be sent; the text says why

    // The arguments as one readable command line (for logs and tests; no credentials).
    std::string CommandLine() const;
};

// What the last cycle came to: for the command line's exit status and the tray tip.
struct CycleOutcome {
    bool ran = false;
    bool checkFailed = false;
    bool updateFailed = false;
    bool warning = false;        // the service kept the address but warned (nochg)
    std::string failure;         // what was logged for the failure or the warning
    bool noAnswer = false;       // the check or the update got no answer at all
    bool checkHttpError = false; // the check was answered with an HTTP status of 400 or above
    bool refused = false;        // a refusal stands: no update until the user acts
    // While the service's trouble holds the updates back: until when.
    std::optional<std::chrono::system_clock::time_point> waitUntil;
};

// The check-and-update cycle: learns the public address, compares it with FSET_LAST_IP
// and tells the service when it changed. Never throws; every outcome is logged in `dm`.
class Engine {
public:
    Engine(Tdm &dm, const IEndpointSource &endpoints, platform::IProcessRunner &runner, INotifier &notifier,
           std::string programDir);

    // Asked just before an update request goes out: why it must not (the logged and shown
    // error text), or empty. The command line sets it: an address it could not record would be
    // sent again by every later run. Unset: every update goes out.
    std::function<std::string()> BeforeUpdate;

    CurlCommand BuildCurlCommand(RequestKind kind) const;
    platform::RunResult RunCommand(const CurlCommand &command);
    // True only when a new, valid address differs from FSET_LAST_IP.
    bool CheckPublicIP();
    void UpdateIP();

    // CheckPublicIP, then UpdateIP on a change. False, starting nothing, while another
    // check runs or one of its boxes is open.
    bool CheckAndUpdate();
    // CheckPublicIP, then UpdateIP whatever it found. False when a check is running.
    bool ForceUpdate();
    bool Busy() const { return busy_; }

    // Termination: the running cycle sends no further request and shows no further box. A
    // request that the runner ended for termination does the same by itself. An address whose
    // update has not been answered is put back, so that whatever saves next keeps the one the
    // service knows and the next start sends the update again.
    void Abandon();
    bool Abandoned() const { return abandoned_; }
    const CycleOutcome &LastOutcome() const { return outcome_; }
    // The address the service is known to have: while an update runs, the one before the
    // check; otherwise FSET_LAST_IP.
    std::string SettledAddress() const;

private:
    enum class FileKind { Log, Settings };

    void Log(const std::string &type, const std::string &data);
    void CheckFailed(const std::string &text);
    // Logs and shows an update that failed with an exception; `reason` may be empty.
    void UpdateFailedUnexpectedly(const std::string &reason);
    void StartCycle();
    void Show(MessageKind kind, const std::string &text);
    void SaveSettingsNow();
    void PutBackUnsentAddress();
    void ReportFileError(FileKind kind, const std::string &message);
    void FileWorked(FileKind kind);

    Tdm &dm_;
    const IEndpointSource &endpoints_;
    platform::IProcessRunner &runner_;
    INotifier &notifier_;
    std::string programDir_;
    bool busy_ = false;
    bool abandoned_ = false;
    // One box per failing file until a write of that file works again.
    bool logErrorShown_ = false;
    bool settingsErrorShown_ = false;
    // FSET_LAST_IP before this cycle's check, until the update's answer settles the address:
    // an update that was not sent or got no answer puts it back.
    std::optional<std::string> addressBeforeCheck_;
    CycleOutcome outcome_;
};

} // namespace zevlo
