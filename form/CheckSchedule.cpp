#include "form/CheckSchedule.h"

#include <algorithm>

namespace zevlo::form {

namespace {

// 1, 2, 4 ... minutes for the first, second, third ... attempt without an answer.
constexpr int kLongestRetryDoublings = 6;
static_assert(CheckSchedule::kFirstRetry * (1 << kLongestRetryDoublings) == CheckSchedule::kLongestRetry);

} // namespace

void CheckSchedule::TimerStarted(TimePoint now, Duration period) {
    period_ = period;
    lastTick_ = now;
}

void CheckSchedule::TimerStopped() {
    period_ = Duration::zero();
}

bool CheckSchedule::TimerTicked(TimePoint now) {
    lastTick_ = now;
    if (!MinutePassed(now))
        return false;
    CountCheck(now);
    return true;
}

void CheckSchedule::CycleEnded(TimePoint now, bool retrySoon) {
    // The minute counts from the end; a cycle that ends after a pending event's time (the
    // user's Force Update, say) has done that event's check.
    CountCheck(now);
    retryAt_.reset();
    if (!retrySoon) {
        failures_ = 0;
        return;
    }
    // A retry that would come after the next tick is that tick: the tick's own cycle sets
    // the retry after it.
    retryAt_ = now + kFirstRetry * (1 << failures_);
    failures_ = std::min(failures_ + 1, kLongestRetryDoublings);
}

void CheckSchedule::SetHeld(bool held) {
    held_ = held;
    if (held) {
        eventSince_.reset();
        eventAt_.reset();
    }
}

void CheckSchedule::Resumed(TimePoint now) {
    EventArrived(now);
}

void CheckSchedule::AddressesChanged(TimePoint now) {
    EventArrived(now);
}

void CheckSchedule::EventArrived(TimePoint now) {
    if (held_)
        return;
    if (!eventSince_)
        eventSince_ = now;
    eventAt_ = std::min(now + kSettle, *eventSince_ + kLongestSettle);
}

std::optional<CheckSchedule::TimePoint> CheckSchedule::NextWake(TimePoint now) const {
    if (held_)
        return std::nullopt;
    std::optional<TimePoint> at = retryAt_;
    if (eventAt_ && (!at || *eventAt_ < *at))
        at = eventAt_;
    if (!at)
        return std::nullopt;
    return std::max(*at, EarliestCheck(now));
}

bool CheckSchedule::WakeDue(TimePoint now) {
    const std::optional<TimePoint> at = NextWake(now);
    if (!at || *at > now)
        return false;
    if (retryAt_ && *retryAt_ <= now)
        retryAt_.reset();
    CountCheck(now);
    return true;
}

std::optional<CheckSchedule::TimePoint> CheckSchedule::NextTry(TimePoint now) const {
    if (held_ || failures_ == 0)
        return std::nullopt;
    std::optional<TimePoint> at = NextWake(now);
    const std::optional<TimePoint> tick = NextTick(now);
    if (tick && (!at || *tick < *at))
        at = tick;
    return at;
}

void CheckSchedule::CountCheck(TimePoint now) {
    lastCheck_ = now;
    if (eventAt_ && now >= *eventAt_) {
        eventSince_.reset();
        eventAt_.reset();
    }
}

bool CheckSchedule::MinutePassed(TimePoint now) const {
    // A clock set back must not hold the checks off until it catches up again.
    return !lastCheck_ || now < *lastCheck_ || now - *lastCheck_ >= kMinimumGap;
}

CheckSchedule::TimePoint CheckSchedule::EarliestCheck(TimePoint now) const {
    return MinutePassed(now) ? now : *lastCheck_ + kMinimumGap;
}

std::optional<CheckSchedule::TimePoint> CheckSchedule::NextTick(TimePoint now) const {
    if (period_ <= Duration::zero())
        return std::nullopt;
    // The first tick that will run a check, in the timer's phase; a tick that should have
    // come already (the machine slept) is skipped over.
    const TimePoint earliest = EarliestCheck(now);
    TimePoint tick = lastTick_ + period_;
    if (tick < earliest)
        tick += ((earliest - tick) + period_ - Duration(1)) / period_ * period_;
    return tick;
}

} // namespace zevlo::form
