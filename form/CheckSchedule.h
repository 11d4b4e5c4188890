#pragma once

#include <chrono>
#include <optional>

namespace zevlo::form {

// When the address is looked at besides Timer1's own ticks: a quick retry after a check or
// an update that got no answer, one check after waking from sleep and one after the
// machine's own addresses changed, and never more than one check a minute from all causes
// together. Plain rules over the times it is told; the window arms a single one-shot timer
// for NextWake() and asks WakeDue() when it fires. Timer1 keeps its period.
class CheckSchedule {
public:
    using TimePoint = std::chrono::system_clock::time_point;
    using Duration = std::chrono::system_clock::duration;

    static constexpr std::chrono::minutes kMinimumGap{1};
    static constexpr std::chrono::minutes kFirstRetry{1};
    // The retries double up to this; Timer1's longest period is shorter, so a tick always wins.
    static constexpr std::chrono::minutes kLongestRetry{64};
    // A wake or an address change is checked this long after the last of a burst of them
    // (the network needs a moment to come up), but no later than kLongestSettle after the
    // first, so that an interface that keeps changing cannot put the check off for ever.
    static constexpr std::chrono::seconds kSettle{10};
    static constexpr std::chrono::seconds kLongestSettle{25};

    // Timer1 was started (or started again) with its period: its next tick is one period away.
    void TimerStarted(TimePoint now, Duration period);
    void TimerStopped();

    // Timer1 ticked. True when the tick's check should run: not when another check came less
    // than a minute before. Ticks are not held back by SetHeld (Timer1 stops while paused,
    // and during the wait of service trouble the checks go on).
    bool TimerTicked(TimePoint now);

    // Every cycle that ran, from any cause (ticks, the one-shot timer, the start, the user's
    // buttons), reports its end. retrySoon: the check or the update got no answer, or the
    // check was answered with an HTTP error; the next attempt then comes 1, 2, 4 ... minutes
    // later (a retry due after Timer1's next tick is that tick). Any answer ends the retries.
    void CycleEnded(TimePoint now, bool retrySoon);

    // True while paused, while a refusal stands or during the wait of service trouble: no
    // retries and no event checks then; wakes and address changes that arrive are dropped.
    void SetHeld(bool held);

    // The computer resumed from sleep or hibernation.
    void Resumed(TimePoint now);
    // The set of the machine's global addresses changed.
    void AddressesChanged(TimePoint now);

    // When the one-shot timer should fire next (at once when in the past); none when no
    // retry or event check is pending.
    std::optional<TimePoint> NextWake(TimePoint now) const;
    // The one-shot timer fired: true when a check should run now. It counts as that check's
    // start, so a check that the engine refuses (one is already running) is not asked again.
    bool WakeDue(TimePoint now);

    // For the tray tip ("next try 14:05"): the time of the next attempt while retries are
    // pending (a retry or Timer1's tick, whichever comes first); none otherwise.
    std::optional<TimePoint> NextTry(TimePoint now) const;

private:
    // A check starts or ends now: the one-a-minute rule counts from here; a pending event
    // check that has come due is done by it.
    void CountCheck(TimePoint now);
    bool MinutePassed(TimePoint now) const;
    TimePoint EarliestCheck(TimePoint now) const;
    std::optional<TimePoint> NextTick(TimePoint now) const;
    void EventArrived(TimePoint now);

    Duration period_{};
    TimePoint lastTick_{};
    std::optional<TimePoint> lastCheck_;
    int failures_ = 0;
    std::optional<TimePoint> retryAt_;
    std::optional<TimePoint> eventSince_;
    std::optional<TimePoint> eventAt_;
    bool held_ = false;
};

} // namespace zevlo::form
