// The update and what the service's answer to it asks of the later ones.
#include "engine/Engine.h"

#include "crypto/Password.h"
#include "data/Tdm.h"
#include "engine/Answers.h"
#include "engine/CurlReply.h"
#include "engine/TextRules.h"
#include "platform/FileError.h"

#include <stdexcept>

namespace zevlo {

void Engine::UpdateIP() {
    SendUpdate(false);
}

void Engine::SendUpdate(bool deliberate) {
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
        if (run.end == platform::ChildEnd::Terminated)
            Abandon();
        if (abandoned_)
            return;
        const CurlReply reply = ReadCurlReply(run.output, statusMark_);
        Verdict verdict = AnswerTooLong(run, reply)    ? Verdict{AnswerClass::NoAnswer, kAnswerTooLongText, ""}
                          : AnswerWentElsewhere(reply) ? Verdict{AnswerClass::Error, kAnswerElsewhereText, ""}
                                                       : ClassifyUpdateAnswer(reply.body, reply.status);
        // A request that failed on the way counts only when what came first was a code: the
        // service acted on it. Anything else may be half an answer.
        const bool curlFailed = run.end != platform::ChildEnd::Exited || run.status != 0;
        if (curlFailed && verdict.kind == AnswerClass::Error)
            verdict = {AnswerClass::NoAnswer, "", ""};
        UpdateAnswered(verdict, run, deliberate);
    } catch (const std::exception &error) {
        UpdateFailedUnexpectedly(error.what());
    } catch (...) {
        UpdateFailedUnexpectedly("");
    }
}

void Engine::UpdateAnswered(Verdict verdict, const platform::RunResult &run, bool deliberate) {
    if (verdict.kind == AnswerClass::NoAnswer && verdict.text.empty())
        verdict.text = text::NoAnswerText(run, text::AnswerSource::Curl);
    const std::string line = verdict.Line();
    Log(kUpdateType, line);
    const AnswerClass kind = verdict.kind;
    // The service never saw (or never kept) the new address: the next check must find the
    // change again and send it, for the trouble after its wait.
    if (kind == AnswerClass::NoAnswer || kind == AnswerClass::ServiceTrouble)
        PutBackUnsentAddress();
    outcome_.noAnswer = kind == AnswerClass::NoAnswer && text::GotNoAnswer(run, text::AnswerSource::Curl);
    if (kind != AnswerClass::Success) {
        (kind == AnswerClass::Warning ? outcome_.warning : outcome_.updateFailed) = true;
        outcome_.failure = line;
    }
    RecordAnswer(verdict);
    // The window pauses before anything else is shown or asked.
    if (kind == AnswerClass::Refusal) {
        outcome_.refused = true;
        try {
            notifier_.RefusalStands(verdict.meaning);
        } catch (...) {
        }
    }
    // Before the box: the user may leave it open for hours.
    SaveSettingsNow();
    addressBeforeCheck_.reset();
    // Asked on purpose, the service's "I had it already" is no news.
    if (kind == AnswerClass::Success || (kind == AnswerClass::Warning && deliberate))
        return;
    Show(kind == AnswerClass::Warning ? MessageKind::Warning : MessageKind::Error,
         std::string(kUpdateType) + " " + line);
}

void Engine::RecordAnswer(const Verdict &verdict) {
    const auto now = std::chrono::floor<std::chrono::seconds>(dm_.Now());
    switch (verdict.kind) {
    case AnswerClass::Success:
    case AnswerClass::Warning:
        dm_.FSET_UPD_LastAnswered = now;
        dm_.FSET_UPD_AnsweredFor = CurrentTargetFingerprint();
        dm_.FSET_UPD_Refusal.clear();
        dm_.FSET_UPD_WaitUntil = {};
        return;
    case AnswerClass::Error:
        dm_.FSET_UPD_WaitUntil = {};
        return;
    case AnswerClass::ServiceTrouble:
        dm_.FSET_UPD_WaitUntil = now + kTroubleWait;
        outcome_.waitUntil = dm_.FSET_UPD_WaitUntil;
        return;
    case AnswerClass::Refusal:
        dm_.FSET_UPD_Refusal = FormatRefusal({now, CurrentAccountFingerprint(), verdict.text});
        dm_.FSET_UPD_WaitUntil = {};
        return;
    case AnswerClass::NoAnswer:
        return;
    }
}

std::optional<RefusalRecord> Engine::StandingRefusal() const {
    std::optional<RefusalRecord> record = ParseRefusal(dm_.FSET_UPD_Refusal);
    if (record && record->fingerprint != CurrentAccountFingerprint())
        record.reset();
    return record;
}

std::string Engine::CurrentAccountFingerprint() const {
    return AccountFingerprint(dm_.FSET_User, DecryptPassword(dm_.FSET_Pass), dm_.FSET_Hostname,
                              endpoints_.Endpoint(RequestKind::Update));
}

std::string Engine::CurrentTargetFingerprint() const {
    return TargetFingerprint(dm_.FSET_Hostname, endpoints_.Endpoint(RequestKind::Update));
}

bool Engine::Waiting() const {
    return dm_.FSET_UPD_WaitUntil != std::chrono::sys_seconds{} && dm_.Now() < dm_.FSET_UPD_WaitUntil;
}

std::optional<UpdateHold> Engine::Hold() const {
    if (const std::optional<RefusalRecord> refusal = StandingRefusal())
        return UpdateHold{UpdateHold::Kind::Refused, MeaningOfStoredAnswer(refusal->answer) + " (" + refusal->answer +
                                                         ", " + Tdm::LogTimestamp(refusal->at) + ")"};
    if (Waiting())
        return UpdateHold{UpdateHold::Kind::Waiting,
                          "the service has a problem; next try after " + Tdm::LogTimestamp(dm_.FSET_UPD_WaitUntil)};
    return std::nullopt;
}

void Engine::LiftRefusal() {
    if (dm_.FSET_UPD_Refusal.empty())
        return;
    dm_.FSET_UPD_Refusal.clear();
    dm_.FSET_UPD_AnsweredFor = kResendMark;
}

std::string Engine::RefusalReason() const {
    const std::optional<RefusalRecord> refusal = StandingRefusal();
    return refusal ? MeaningOfStoredAnswer(refusal->answer) : std::string();
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

void Engine::PutBackUnsentAddress() {
    // The service never saw the new address (no request, or nothing came back): the next
    // check must find the change again and send it.
    if (addressBeforeCheck_)
        dm_.FSET_LAST_IP = *addressBeforeCheck_;
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

} // namespace zevlo
