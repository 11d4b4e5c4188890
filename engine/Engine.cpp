#include "engine/Engine.h"

#include "crypto/Password.h"
#include "data/Tdm.h"
#include "engine/Answers.h"
#include "engine/CheckPage.h"
#include "engine/CurlOptions.h"
#include "engine/CurlReply.h"
#include "engine/RequestRules.h"
#include "engine/TextRules.h"
#include "platform/FileError.h"
#include "platform/FileIO.h"
#include "platform/Paths.h"
#include "platform/Text.h"

#include <stdexcept>
#include <utility>

namespace zevlo {

namespace {

// A failed check step; its text is the start of the logged and shown message.
class CheckFailure : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

bool StartsWith(const std::string &text, const char *prefix) {
    return text.rfind(prefix, 0) == 0;
}

// The option for an authentication text, or empty when the text names no scheme we pass on.
std::string AuthOption(const std::string &lowered, bool updateRequest) {
    if (lowered == "basic" || lowered == "digest")
        return "--" + lowered;
    if (updateRequest && (lowered == "ntlm" || lowered == "negotiate" || lowered == "anyauth"))
        return "--" + lowered;
    return {};
}

// Flips a flag for the length of a scope, also when an exception passes.
class BusyScope {
public:
    explicit BusyScope(bool &flag) : flag_(flag) { flag_ = true; }
    ~BusyScope() { flag_ = false; }
    BusyScope(const BusyScope &) = delete;
    BusyScope &operator=(const BusyScope &) = delete;

private:
    bool &flag_;
};

} // namespace

std::string CurlCommand::CommandLine() const {
    std::string line;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string &arg = args[i];
        if (i > 0)
            line += ' ';
        if (i == 0 || (StartsWith(arg, "-") && !StartsWith(arg, "-A")))
            line += arg;
        else if (StartsWith(arg, "-A"))
            line += "-A\"" + arg.substr(2) + "\"";
        else
            line += "\"" + arg + "\"";
    }
    return line;
}

Engine::Engine(Tdm &dm, const IEndpointSource &endpoints, platform::IProcessRunner &runner, INotifier &notifier,
               std::string programDir)
    : dm_(dm), endpoints_(endpoints), runner_(runner), notifier_(notifier), programDir_(std::move(programDir)),
      statusMark_(NewStatusMark()) {}

CurlCommand Engine::BuildCurlCommand(RequestKind kind) const {
    CurlCommand command;
    const bool update = kind == RequestKind::Update;
    const EndpointValues endpoint = endpoints_.Endpoint(kind);

    const std::string protocol = text::LowerAscii(endpoint.protocol);
    // Anything else could start the URL with "-" and turn it into an option.
    if (protocol != "https" && protocol != "http") {
        command.error = "ERROR - Unsupported protocol [" + endpoint.protocol + "]";
        return command;
    }

    command.error = InvalidEndpointField(endpoint);
    if (command.error.empty() && update)
        command.error = InvalidHostname(dm_.FSET_Hostname);
    if (!command.error.empty())
        return command;

    std::string authOption;
    const std::string authLowered = text::LowerAscii(endpoint.authText);
    if (update) {
        authOption = AuthOption(authLowered, true);
        if (authOption.empty()) {
            command.error = "ERROR - Unsupported authentication type [" + endpoint.authText + "]";
            return command;
        }
    } else if (endpoint.authIndex > 0) {
        authOption = AuthOption(authLowered, false);
    }

    command.args = {"curl", "-s", "-g", "-X" + endpoint.method};
    if (!authOption.empty()) {
        const std::string &user = dm_.FSET_User;
        const std::string password = DecryptPassword(dm_.FSET_Pass);
        if (user.find('\0') != std::string::npos || password.find('\0') != std::string::npos) {
            command.args.clear();
            command.error = "ERROR - The user name or password holds a NUL byte and cannot be sent";
            return command;
        }
        command.args.insert(command.args.end(), {authOption, "-K", "-"});
        command.input = "user = \"" + text::QuoteConfigValue(user + ":" + password) + "\"\n";
    }

    std::string query = "?format=text";
    if (update)
        query = "?hostname=" + text::EncodeQueryValue(dm_.FSET_Hostname) +
                "&myip=" + text::EncodeQueryValue(dm_.FSET_LAST_IP);
    // Without a length a standard server refuses a POST (411); the query stays in the URL.
    if (endpoint.method == "POST")
        command.args.insert(command.args.end(), {"-H", "Content-Length: 0"});
    command.statusMark = statusMark_;
    const std::vector<std::string> answerOptions = AnswerOptions(protocol, statusMark_);
    command.args.insert(command.args.end(), answerOptions.begin(), answerOptions.end());
    command.args.push_back(protocol + "://" + endpoint.server + ":" + endpoint.port + endpoint.baseUri + query);
    command.args.push_back("-A" + text::WithoutControlBytes(dm_.GetUserAgent()));
    return command;
}

platform::RunResult Engine::RunCommand(const CurlCommand &command) {
    if (abandoned_ || !command.error.empty() || command.args.empty())
        return {};
    return runner_.RunProgram(command.args, programDir_, command.input);
}

bool Engine::CheckPublicIP() {
    return Check("") == Found::Change;
}

Engine::Found Engine::Check(const std::string &sameSuffix) {
    if (abandoned_)
        return Found::Nothing;
    addressBeforeCheck_ = dm_.FSET_LAST_IP;
    std::string errorText = "UNKNOWN ERROR";
    std::string answer;
    try {
        platform::RunResult run;
        text::AnswerSource source = text::AnswerSource::Curl;
        if (endpoints_.CustomScriptChecked()) {
            const std::string path = endpoints_.CustomScriptPath();
            if (!platform::FileExists(path))
                throw CheckFailure("Script file not found");
            source = text::AnswerSource::Script;
            run = runner_.RunCommand(platform::QuoteForInterpreter(path), platform::DirectoryOf(path));
        } else {
            if (endpoints_.Endpoint(RequestKind::CheckIP).authIndex > 0 &&
                (text::TrimBlanks(endpoints_.UserText()).empty() || endpoints_.PasswordText().empty()))
                throw CheckFailure("Username and password are required when using HTTP authentication");
            const CurlCommand command = BuildCurlCommand(RequestKind::CheckIP);
            if (!command.error.empty())
                throw CheckFailure(command.error);
            run = RunCommand(command);
        }
        if (run.end == platform::ChildEnd::Terminated)
            Abandon();
        if (abandoned_)
            return Found::Nothing;

        const bool curl = source == text::AnswerSource::Curl;
        const CurlReply reply = curl ? ReadCurlReply(run.output, statusMark_) : CurlReply{run.output};
        if (AnswerTooLong(run, reply)) {
            outcome_.noAnswer = text::GotNoAnswer(run, source);
            CheckFailed(kAnswerTooLongText);
            return Found::Nothing;
        }
        answer = text::TrimBlanks(reply.body);
        // A failed curl tells nothing of the address, whatever it printed.
        const bool curlFailed = curl && (run.end != platform::ChildEnd::Exited || run.status != 0);
        if (!curlFailed && AnswerWentElsewhere(reply)) {
            CheckFailed(kAnswerElsewhereText);
            return Found::Nothing;
        }
        if (curlFailed || (answer.empty() && reply.status == 0)) {
            outcome_.noAnswer = text::GotNoAnswer(run, source);
            CheckFailed(text::NoAnswerText(run, source));
            return Found::Nothing;
        }
        if (answer.empty() && reply.status < 300) {
            CheckFailed("ERROR - Empty string returned [the service answered " + StatusText(reply.status) +
                        " with no text]");
            return Found::Nothing;
        }
        if (text::ContainsTooManyRequests(answer)) {
            CheckFailed("Too many requests");
            return Found::Nothing;
        }
        if (reply.status >= 300) {
            outcome_.checkHttpError = reply.status >= 400;
            CheckFailed(ClassifyFailedCheck(reply.body, reply.status).Line());
            return Found::Nothing;
        }
        // A page around the address (the classic check pages): its one public address. A bare
        // answer keeps its own rule, private addresses included (a script may mean one).
        if (!text::IsIpAddress(answer) && curl && reply.status >= 200 && reply.status < 300) {
            if (std::string found = text::AddressInPage(answer); !found.empty())
                answer = std::move(found);
        }
        if (!text::IsIpAddress(answer)) {
            CheckFailed("ERROR - Not an IP address [" + text::FirstLine(answer, 64) + "]" +
                        text::MoreLinesNote(answer));
            return Found::Nothing;
        }
        if (answer == dm_.FSET_LAST_IP) {
            Log(kCheckType, "No changed detected." + sameSuffix);
            return Found::Same;
        }
        const std::string previous = dm_.FSET_LAST_IP;
        // Kept in memory only: saved now, a kill before the update went out would leave the
        // service without the address for good. The update's answer saves it.
        dm_.FSET_LAST_IP = answer;
        Log(kCheckType, "Detected the IP address change! Now: " + answer + " Was: " + previous);
        return Found::Change;
    } catch (const CheckFailure &failure) {
        errorText = failure.what();
    } catch (...) {
    }
    try {
        const std::string message = errorText + " [" + text::OneLogLine(answer) + "]";
        CheckFailed(message);
        Show(MessageKind::Error, message);
    } catch (...) {
    }
    return Found::Nothing;
}

void Engine::Abandon() {
    abandoned_ = true;
    PutBackUnsentAddress();
}

std::string Engine::SettledAddress() const {
    return addressBeforeCheck_.value_or(dm_.FSET_LAST_IP);
}

void Engine::StartCycle() {
    outcome_ = CycleOutcome{};
    outcome_.ran = true;
    for (const RequestKind kind : {RequestKind::CheckIP, RequestKind::Update}) {
        bool &logged = plainHttpLogged_[static_cast<int>(kind)];
        if (logged)
            continue;
        if (const std::string warning = PlainHttpWarning(kind); !warning.empty()) {
            Log(kind == RequestKind::Update ? kUpdateType : kCheckType, warning);
            logged = true;
        }
    }
}

std::string Engine::PlainHttpWarning(RequestKind kind) const {
    if (kind == RequestKind::CheckIP && endpoints_.CustomScriptChecked())
        return {};
    const EndpointValues endpoint = endpoints_.Endpoint(kind);
    if (text::LowerAscii(endpoint.protocol) != "http")
        return {};
    // Digest, NTLM and Negotiate never send the password itself; anyauth may pick Basic.
    const std::string auth = text::LowerAscii(endpoint.authText);
    const bool sent = kind == RequestKind::Update || endpoint.authIndex > 0;
    if (!sent || (auth != "basic" && auth != "anyauth"))
        return {};
    return "WARNING - the password is sent unencrypted to " + endpoint.server + "; choose HTTPS or None";
}

std::vector<std::string> Engine::PlainHttpWarnings() const {
    std::vector<std::string> warnings;
    for (const RequestKind kind : {RequestKind::CheckIP, RequestKind::Update})
        if (const std::string warning = PlainHttpWarning(kind); !warning.empty())
            warnings.push_back(std::string(kind == RequestKind::Update ? kUpdateType : kCheckType) + " " + warning);
    return warnings;
}

void Engine::CheckFailed(const std::string &text) {
    Log(kCheckType, text);
    outcome_.checkFailed = true;
    outcome_.failure = text;
}

bool Engine::CheckAndUpdate() {
    if (busy_ || abandoned_)
        return false;
    BusyScope busy(busy_);
    StartCycle();
    try {
        // A refusal given for other settings than these: the user changed them.
        if (!dm_.FSET_UPD_Refusal.empty() && !StandingRefusal())
            LiftRefusal();
        if (StandingRefusal()) {
            outcome_.refused = true;
            return true;
        }
        const bool waiting = Waiting();
        std::string resend;
        if (!dm_.FSET_UPD_AnsweredFor.empty() && dm_.FSET_UPD_AnsweredFor != CurrentTargetFingerprint())
            resend = " Sending the update again for the changed settings.";
        else if (dm_.FSET_UPD_LastAnswered != std::chrono::sys_seconds{} &&
                 dm_.Now() - dm_.FSET_UPD_LastAnswered >= kRefreshAfter)
            resend = " Refresh after 25 days without an update.";
        const Found found = Check(waiting ? std::string() : resend);
        if (found == Found::Change && waiting) {
            // Kept as unsent: the first check after the wait finds it again.
            PutBackUnsentAddress();
            Log(kUpdateType, "Not sent: " + Hold()->text);
        } else if (found == Found::Change) {
            SendUpdate(false);
        } else if (found == Found::Same && !waiting && !resend.empty()) {
            SendUpdate(true);
        }
        if (Waiting())
            outcome_.waitUntil = dm_.FSET_UPD_WaitUntil;
    } catch (...) {
    }
    addressBeforeCheck_.reset();
    return true;
}

bool Engine::ForceUpdate() {
    if (busy_ || abandoned_)
        return false;
    BusyScope busy(busy_);
    StartCycle();
    try {
        LiftRefusal();
        Check("");
        SendUpdate(true);
        if (Waiting())
            outcome_.waitUntil = dm_.FSET_UPD_WaitUntil;
    } catch (...) {
    }
    addressBeforeCheck_.reset();
    return true;
}

void Engine::Log(const std::string &type, const std::string &data) {
    try {
        dm_.AddLog(type, data);
        FileWorked(FileKind::Log);
    } catch (const FileError &error) {
        ReportFileError(FileKind::Log, error.what());
    } catch (...) {
    }
}

void Engine::Show(MessageKind kind, const std::string &text) {
    if (abandoned_)
        return;
    try {
        notifier_.ShowMessage(kind, text);
    } catch (...) {
    }
}

void Engine::ReportFileError(FileKind kind, const std::string &message) {
    bool &shown = kind == FileKind::Log ? logErrorShown_ : settingsErrorShown_;
    if (shown)
        return;
    shown = true;
    Show(MessageKind::FileError, message);
}

void Engine::FileWorked(FileKind kind) {
    (kind == FileKind::Log ? logErrorShown_ : settingsErrorShown_) = false;
}

} // namespace zevlo
