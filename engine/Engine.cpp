#include "engine/Engine.h"

#include "crypto/Password.h"
#include "data/Tdm.h"
#include "engine/TextRules.h"
#include "platform/FileError.h"
#include "platform/FileIO.h"
#include "platform/Paths.h"
#include "platform/Text.h"

#include <stdexcept>
#include <utility>

namespace zevlo {

namespace {

constexpr const char *kCheckType = "Check: ";
constexpr const char *kUpdateType = "Update:";

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

// The logged and shown text of an empty answer, with the reason when the run tells one.
std::string EmptyAnswerText(const platform::RunResult &run, text::AnswerSource source) {
    const std::string reason = text::NoAnswerReason(run, source);
    return "ERROR - Empty string returned" + (reason.empty() ? std::string() : " [" + reason + "]");
}

// Nothing came back from the other end (it could not be found or reached, or kept silent):
// the line or the service may be back in a minute, unlike an answer we did not like.
bool GotNoAnswer(const platform::RunResult &run, text::AnswerSource source) {
    if (run.end == platform::ChildEnd::TimedOut)
        return true;
    constexpr int kCouldNotResolveHost = 6, kCouldNotConnect = 7, kOperationTimedOut = 28;
    return source == text::AnswerSource::Curl && run.end == platform::ChildEnd::Exited &&
           (run.status == kCouldNotResolveHost || run.status == kCouldNotConnect || run.status == kOperationTimedOut);
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
    : dm_(dm), endpoints_(endpoints), runner_(runner), notifier_(notifier), programDir_(std::move(programDir)) {}

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
    if (abandoned_)
        return false;
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
            return false;

        answer = text::TrimBlanks(run.output);
        if (answer.empty()) {
            CheckFailed(EmptyAnswerText(run, source));
            outcome_.noAnswer = GotNoAnswer(run, source);
            return false;
        }
        if (text::ContainsTooManyRequests(answer)) {
            CheckFailed("Too many requests");
            return false;
        }
        if (!text::IsIpAddress(answer)) {
            CheckFailed("ERROR - Not an IP address [" + text::FirstLine(answer, 64) + "]");
            return false;
        }
        if (answer == dm_.FSET_LAST_IP) {
            Log(kCheckType, "No changed detected.");
            return false;
        }
        const std::string previous = dm_.FSET_LAST_IP;
        // Kept in memory only: saved now, a kill before the update went out would leave the
        // service without the address for good. The update's answer saves it.
        dm_.FSET_LAST_IP = answer;
        Log(kCheckType, "Detected the IP address change! Now: " + answer + " Was: " + previous);
        return true;
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
    return false;
}

void Engine::UpdateIP() {
    if (abandoned_)
        return;
    try {
        const CurlCommand command = BuildCurlCommand(RequestKind::Update);
        std::string notSent = command.error;
        if (notSent.empty() && BeforeUpdate)
            notSent = BeforeUpdate();
        if (!notSent.empty()) {
            Log(kUpdateType, notSent);
            outcome_.updateFailed = true;
            outcome_.failure = notSent;
            PutBackUnsentAddress();
            SaveSettingsNow();
            Show(MessageKind::Error, std::string(kUpdateType) + " " + notSent);
            return;
        }
        const platform::RunResult run = RunCommand(command);
        const std::string &answer = run.output;
        if (run.end == platform::ChildEnd::Terminated)
            Abandon();
        if (abandoned_)
            return;

        const std::string lowered = platform::LowerCaseLocale(answer);
        if (StartsWith(lowered, "good") || StartsWith(lowered, "success:")) {
            SaveSettingsNow();
            addressBeforeCheck_.reset();
            return;
        }
        MessageKind kind =
            StartsWith(lowered, "nochg") || StartsWith(lowered, "warning:") ? MessageKind::Warning : MessageKind::Error;
        std::string shown = text::OneLogLine(answer);
        if (lowered.find("too many requests") != std::string::npos) {
            shown = "Too many requests";
            kind = MessageKind::Error;
        }
        const bool empty = text::TrimBlanks(answer).empty();
        if (empty) {
            shown = EmptyAnswerText(run, text::AnswerSource::Curl);
            outcome_.noAnswer = GotNoAnswer(run, text::AnswerSource::Curl);
        }
        Log(kUpdateType, shown);
        (kind == MessageKind::Warning ? outcome_.warning : outcome_.updateFailed) = true;
        outcome_.failure = shown;
        if (empty)
            PutBackUnsentAddress();
        // Before the box: the user may leave it open for hours.
        SaveSettingsNow();
        addressBeforeCheck_.reset();
        Show(kind, std::string(kUpdateType) + " " + shown);
    } catch (const std::exception &error) {
        UpdateFailedUnexpectedly(error.what());
    } catch (...) {
        UpdateFailedUnexpectedly("");
    }
}

void Engine::UpdateFailedUnexpectedly(const std::string &reason) {
    // A runner that cannot start the request (no thread, no memory) ends the cycle here: the
    // update was not answered, so its address is put back and sent again by the next check.
    try {
        const std::string shown =
            "UNKNOWN ERROR" + (reason.empty() ? std::string() : " [" + text::OneLogLine(reason) + "]");
        outcome_.updateFailed = true;
        outcome_.failure = shown;
        PutBackUnsentAddress();
        Log(kUpdateType, shown);
        Show(MessageKind::Error, std::string(kUpdateType) + " " + shown);
    } catch (...) {
    }
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
}

void Engine::CheckFailed(const std::string &text) {
    Log(kCheckType, text);
    outcome_.checkFailed = true;
    outcome_.failure = text;
}

void Engine::PutBackUnsentAddress() {
    // The service never saw the new address (no request, or nothing came back): the next
    // check must find the change again and send it.
    if (addressBeforeCheck_)
        dm_.FSET_LAST_IP = *addressBeforeCheck_;
}

bool Engine::CheckAndUpdate() {
    if (busy_ || abandoned_)
        return false;
    BusyScope busy(busy_);
    StartCycle();
    try {
        if (CheckPublicIP())
            UpdateIP();
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
        CheckPublicIP();
        UpdateIP();
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

void Engine::SaveSettingsNow() {
    try {
        if (dm_.SaveSettings())
            FileWorked(FileKind::Settings);
    } catch (const FileError &error) {
        ReportFileError(FileKind::Settings, error.what());
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
