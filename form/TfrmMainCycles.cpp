// When the main window's cycles run and how their messages reach the user: a cycle's boxes
// come after the cycle has ended (its saves first), one box at a time, so that a box left
// open by nobody never stops the checks; checks wait while a dialog of ours is open. Besides
// Timer1's ticks, a single-shot timer brings the quick retries and the checks after a wake
// or an address change, as the check schedule says.
#include "form/FormRules.h"
#include "form/TfrmMain.h"

#include <algorithm>
#include <chrono>
#include <utility>

namespace zevlo::form {

namespace {

BoxKind BoxKindFor(MessageKind kind) {
    switch (kind) {
    case MessageKind::Error:
        return BoxKind::Error;
    case MessageKind::Warning:
        return BoxKind::Warning;
    case MessageKind::FileError:
        break;
    }
    return BoxKind::FileError;
}

// Counts a scope, also when an exception passes.
class CountedScope {
public:
    explicit CountedScope(int &count) : count_(count) { ++count_; }
    ~CountedScope() { --count_; }
    CountedScope(const CountedScope &) = delete;
    CountedScope &operator=(const CountedScope &) = delete;

private:
    int &count_;
};

} // namespace

void TfrmMain::CheckWanted() {
    if (terminating_)
        return;
    if (dialogsOpen_ > 0) {
        // However many fall meanwhile, one check runs when the dialog closes.
        checkHeld_ = true;
        return;
    }
    RunCycle(false, CycleCause::Schedule);
}

void TfrmMain::CheckTimerTimer() {
    if (terminating_ || waitingForFolder_)
        return;
    if (schedule_.WakeDue(services_.clock()))
        CheckWanted();
    ArmCheckTimer();
}

void TfrmMain::SystemResumed() {
    if (terminating_ || waitingForFolder_)
        return;
    schedule_.Resumed(services_.clock());
    ArmCheckTimer();
}

void TfrmMain::AddressesChanged() {
    if (terminating_ || waitingForFolder_)
        return;
    schedule_.AddressesChanged(services_.clock());
    ArmCheckTimer();
}

void TfrmMain::StartTimer1() {
    view_.StartTimer(timerPeriodMs_);
    schedule_.TimerStarted(services_.clock(), std::chrono::milliseconds(timerPeriodMs_));
}

void TfrmMain::StopTimer1() {
    view_.StopTimer();
    schedule_.TimerStopped();
}

bool TfrmMain::ChecksHeld() const {
    const CycleOutcome &outcome = engine_->LastOutcome();
    return dm_->FSET_StateIsPaused || outcome.refused || (outcome.waitUntil && *outcome.waitUntil > services_.clock());
}

void TfrmMain::ArmCheckTimer() {
    const auto now = services_.clock();
    const std::optional<CheckSchedule::TimePoint> at = terminating_ ? std::nullopt : schedule_.NextWake(now);
    if (!at) {
        view_.StopCheckTimer();
        return;
    }
    // Rounded up: a timer that fires a moment early would find nothing due yet.
    const auto delay = std::chrono::ceil<std::chrono::milliseconds>(std::max(*at - now, CheckSchedule::Duration{}));
    view_.StartCheckTimer(static_cast<int>(delay.count()));
}

void TfrmMain::WithChecksHeld(const std::function<void()> &dialog) {
    {
        CountedScope open(dialogsOpen_);
        dialog();
    }
    if (dialogsOpen_ > 0 || !std::exchange(checkHeld_, false))
        return;
    // Paused from the tray meanwhile: the held check goes with the timer's ticks.
    if (!dm_->FSET_StateIsPaused)
        CheckWanted();
}

void TfrmMain::RunCycle(bool force, CycleCause cause) {
    cycleBoxes_.clear();
    inCycle_ = true;
    const bool ran = force ? engine_->ForceUpdate() : engine_->CheckAndUpdate();
    inCycle_ = false;
    std::vector<PendingBox> boxes = std::move(cycleBoxes_);
    cycleBoxes_.clear();
    if (!ran)
        return;
    lastCycle_ = services_.clock();
    const CycleOutcome &outcome = engine_->LastOutcome();
    // A refusal stored by an earlier run stands: no update went out, and none goes out by
    // itself until the user acts.
    if (outcome.refused && !dm_->FSET_StateIsPaused)
        SetPaused(true);
    // A Force Update or a success may have lifted the refusal the marker names.
    ShowPausedState();
    schedule_.CycleEnded(lastCycle_, outcome.noAnswer || outcome.checkHttpError);
    schedule_.SetHeld(ChecksHeld());
    ArmCheckTimer();
    UpdateTrayTip();
    // The user pressed the button and waits for a result: a check that got no usable answer
    // says so, not only in the log (the timer's checks stay quiet about it).
    if (cause == CycleCause::User && outcome.checkFailed && boxes.empty())
        boxes.push_back({MessageKind::Error, outcome.failure});
    ShowCycleBoxes(boxes);
}

void TfrmMain::ShowCycleBoxes(const std::vector<PendingBox> &boxes) {
    if (boxes.empty() || terminating_)
        return;
    if (boxesOpen_ > 0) {
        // A box is open already: this cycle's news go to the tray tip (the engine has logged
        // them), never into a second box.
        view_.SetTrayTip(TrayTipText(boxes.back().text));
        return;
    }
    for (const PendingBox &box : boxes) {
        if (terminating_)
            return;
        ShowBox(box.kind, box.text);
    }
}

void TfrmMain::ShowMessage(MessageKind kind, const std::string &text) {
    if (terminating_)
        return;
    if (inCycle_)
        cycleBoxes_.push_back({kind, text});
    else
        ShowCycleBoxes({{kind, text}});
}

std::string TfrmMain::PausedText() const {
    const std::string reason = engine_->RefusalReason();
    return reason.empty() ? std::string("Paused") : "Paused: " + reason;
}

void TfrmMain::RefusalStands(const std::string &) {
    // The engine stored the refusal before telling: the reason comes from there.
    if (!terminating_)
        SetPaused(true);
}

void TfrmMain::UpdateTrayTip() {
    const CycleOutcome &outcome = engine_->LastOutcome();
    std::string state;
    std::string ending;
    if (dm_->FSET_StateIsPaused) {
        state = PausedText();
    } else if (outcome.checkFailed || outcome.updateFailed) {
        state = (outcome.updateFailed ? "update failed: " : "check failed: ") + outcome.failure;
        if (const auto next = schedule_.NextTry(services_.clock()))
            ending = "; next try " + services_.shortTime(*next);
    } else if (outcome.ran) {
        state = dm_->FSET_LAST_IP + ", checked " + Tdm::LogTimestamp(lastCycle_);
    } else {
        state = dm_->FSET_LAST_IP;
    }
    view_.SetTrayTip(TrayTipText(state, ending));
}

void TfrmMain::WarnOfPlainHttpOnce() {
    if (plainHttpWarned_)
        return;
    for (const std::string &warning : engine_->PlainHttpWarnings()) {
        plainHttpWarned_ = true;
        if (terminating_)
            return;
        ShowBox(MessageKind::Warning, warning);
    }
}

BoxAnswer TfrmMain::ShowBox(MessageKind kind, const std::string &text) {
    return ShowBox(BoxKindFor(kind), CaptionFor(kind), text);
}

BoxAnswer TfrmMain::ShowBox(BoxKind kind, const std::string &caption, const std::string &text) {
    CountedScope open(boxesOpen_);
    return view_.ShowBox(kind, caption, text);
}

} // namespace zevlo::form
