#pragma once

#include "engine/Answers.h"
#include "engine/Endpoints.h"
#include "engine/UpdateState.h"
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
    std::string error;      // not empty: the request cannot be sent; the text says why
    std::string statusMark; // the mark of the status trailer curl writes after the answer

    // The arguments as one readable command line (for logs and tests; no credentials).
    std::string CommandLine() const;
};

// What the last cycle came to: for the command line's exit status, the tray tip and the
// schedule of the coming checks.
struct CycleOutcome {
    bool ran = false;
    bool checkFailed = false;
    bool updateFailed = false;
    bool warning = false;        // the service kept the address but warned (nochg)
    std::string failure;         // what was logged for the failure or the warning
    bool noAnswer = false;       // the check or the update met silence: worth asking again soon
    bool checkHttpError = false; // the check was answered with an HTTP status of 400 or above
    bool refused = false;        // a refusal stands: no update until the user acts
    // While the service's trouble holds the updates back: until when.
    std::optional<std::chrono::system_clock::time_point> waitUntil;
};

// Why no update may go out now, worded for the user.
struct UpdateHold {
    enum class Kind { Refused, Waiting } kind;
    // "the service refused the user name or password (badauth, 05/12/24 10:05:00)",
    // "the service has a problem; next try after 05/12/24 10:35:00"
    std::string text;
};

// The check-and-update cycle: learns the public address, compares it with FSET_LAST_IP
// and tells the service when it changed, and what the service's answers ask of it: after a
// refusal nothing until the user acts, after the service's trouble a wait, the user's fix and
// a refresh of an idle host name sent on purpose. Never throws; every outcome is logged in `dm`.
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

    // CheckPublicIP, then UpdateIP on a change, or for the current address when the host name
    // or update endpoint changed since the last answered update (the user's fix) or 25 days
    // passed without one. No update while a refusal stands or the service's trouble holds
    // them back. False, starting nothing, while another check runs or one of its boxes is open.
    bool CheckAndUpdate();
    // The user's explicit wish: lifts a refusal, then CheckPublicIP and UpdateIP whatever it
    // found. False when a check is running.
    bool ForceUpdate();
    bool Busy() const { return busy_; }

    // What holds the updates back now, if anything: a refusal given for the settings as they
    // are (one given for other settings is lifted by the next cycle), or the service's wait.
    std::optional<UpdateHold> Hold() const;
    // The user acted on a refusal (unpaused): it no longer stands, and the next cycle sends
    // the current address once.
    void LiftRefusal();
    // For each endpoint that would send the password readable on the way (plain HTTP with
    // Basic, or a scheme the server may turn into Basic): "Update: WARNING - the password is
    // sent unencrypted to <server>; choose HTTPS or None". Each cycle logs each one once a run.
    std::vector<std::string> PlainHttpWarnings() const;

    // The meaning of the refusal that stands ("the service refused the user name or
    // password"); empty when none does.
    std::string RefusalReason() const;

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
    enum class Found { Nothing, Same, Change };

    static constexpr const char *kCheckType = "Check: ";
    static constexpr const char *kUpdateType = "Update:";

    // The check; `sameSuffix` goes after "No changed detected." when the address is the same.
    Found Check(const std::string &sameSuffix);
    // `deliberate`: the service was asked on purpose (Force Update, the user's fix, the
    // refresh), so a nochg needs no box.
    void SendUpdate(bool deliberate);
    void Log(const std::string &type, const std::string &data);
    void CheckFailed(const std::string &text);
    // Logs and shows an update that failed with an exception; `reason` may be empty.
    void UpdateFailedUnexpectedly(const std::string &reason);
    // Logs, records and shows the service's answer to an update.
    void UpdateAnswered(Verdict verdict, const platform::RunResult &run, bool deliberate);
    // Remembers what the answer says of later updates (refusal, wait, the last answered one).
    void RecordAnswer(const Verdict &verdict);
    // The refusal that stands for the settings as they are; none when none does.
    std::optional<RefusalRecord> StandingRefusal() const;
    std::string CurrentAccountFingerprint() const;
    std::string CurrentTargetFingerprint() const;
    bool Waiting() const;
    // The start of every cycle: a fresh outcome, the plain-HTTP warnings not yet logged.
    void StartCycle();
    // The warning's text for one endpoint, without its type; empty when none applies.
    std::string PlainHttpWarning(RequestKind kind) const;
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
    bool plainHttpLogged_[2] = {false, false}; // by RequestKind
    bool settingsErrorShown_ = false;
    // FSET_LAST_IP before this cycle's check, until the update's answer settles the address:
    // an update that was not sent or got no answer puts it back.
    std::optional<std::string> addressBeforeCheck_;
    CycleOutcome outcome_;
    const std::string statusMark_;
};

} // namespace zevlo
