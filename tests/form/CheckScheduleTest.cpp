#include "form/CheckSchedule.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace zevlo::test {
namespace {

using form::CheckSchedule;
using std::chrono::minutes;
using std::chrono::seconds;

enum class Happening { Resume, Addresses, Hold, Release };

struct At {
    int second;
    Happening what;
};

struct ScheduleCase {
    const char *name;
    int intervalMinutes;
    std::vector<std::pair<int, int>> noAnswer; // [from, to) in seconds: checks then get no answer
    std::vector<At> happenings;
    int until;
    std::vector<int> checks;    // the seconds at which checks ran, the start's check at 0 first
    std::vector<int> tips = {}; // when given: the tray tip's next try after each check (-1: none)
};

const CheckSchedule::TimePoint kStart = std::chrono::sys_days{std::chrono::March / 1 / 2024} + std::chrono::hours(9);

CheckSchedule::TimePoint Time(int second) {
    return kStart + seconds(second);
}

int Second(CheckSchedule::TimePoint t) {
    return static_cast<int>(std::chrono::ceil<seconds>(t - kStart).count());
}

int Second(std::optional<CheckSchedule::TimePoint> t) {
    return t ? Second(*t) : -1;
}

// Plays the window's part on a fake clock: Timer1 ticks every interval from the start, a
// one-shot timer fires at NextWake, every cycle reports its end; checks take no time.
struct Played {
    std::vector<int> checks;
    std::vector<int> tips;
};

Played Play(const ScheduleCase &c) {
    CheckSchedule schedule;
    Played played;
    auto check = [&](int now) {
        const bool noAnswer = std::any_of(c.noAnswer.begin(), c.noAnswer.end(),
                                          [&](const auto &span) { return now >= span.first && now < span.second; });
        played.checks.push_back(now);
        schedule.CycleEnded(Time(now), noAnswer);
        played.tips.push_back(Second(schedule.NextTry(Time(now))));
    };
    const int period = c.intervalMinutes * 60;
    schedule.TimerStarted(Time(0), minutes(c.intervalMinutes));
    check(0);
    int now = 0;
    int nextTick = period;
    size_t next = 0;
    for (;;) {
        int then = nextTick;
        if (next < c.happenings.size())
            then = std::min(then, c.happenings[next].second);
        if (const auto wake = schedule.NextWake(Time(now)))
            then = std::min(then, std::max(now, Second(*wake)));
        if (then > c.until)
            return played;
        now = then;
        for (; next < c.happenings.size() && c.happenings[next].second == now; ++next) {
            switch (c.happenings[next].what) {
            case Happening::Resume:
                schedule.Resumed(Time(now));
                break;
            case Happening::Addresses:
                schedule.AddressesChanged(Time(now));
                break;
            case Happening::Hold:
                schedule.SetHeld(true);
                break;
            case Happening::Release:
                schedule.SetHeld(false);
                break;
            }
        }
        if (now == nextTick) {
            nextTick += period;
            if (schedule.TimerTicked(Time(now)))
                check(now);
        }
        if (schedule.WakeDue(Time(now)))
            check(now);
    }
}

constexpr int kNever = 1 << 30;
using H = Happening;

TEST(CheckScheduleTest, ChecksWhenExpected) {
    // clang-format off
    const ScheduleCase cases[] = {
        // name, interval (minutes), spans without an answer, happenings, until, checks, tips
        ScheduleCase{"retries after 1, 2 and 4 minutes, then at the ticks", 5, {{0, kNever}}, {}, 1000,
                     {0, 60, 180, 300, 600, 900}, {60, 180, 300, 600, 900, 1200}},
        ScheduleCase{"an answer starts the retries over", 5, {{0, 500}, {800, kNever}}, {}, 1250,
                     {0, 60, 180, 300, 600, 900, 960, 1080, 1200}, {60, 180, 300, 600, -1, 960, 1080, 1200, 1500}},
        ScheduleCase{"an hour's interval: 1, 2, 4, 8, 16 minutes, then the tick", 60, {{0, kNever}}, {}, 3600,
                     {0, 60, 180, 420, 900, 1860, 3600}},
        ScheduleCase{"held: no retry, no event check, the ticks go on", 5, {{0, kNever}},
                     {{30, H::Hold}, {100, H::Addresses}, {200, H::Resume}}, 700, {0, 300, 600}, {60, -1, -1}},
        ScheduleCase{"released: a retry that came due runs, a change from the held time does not", 5, {{0, kNever}},
                     {{30, H::Hold}, {85, H::Addresses}, {90, H::Release}}, 400, {0, 90, 210, 300}},
        ScheduleCase{"a tick less than a minute after another check is skipped", 5, {},
                     {{270, H::Addresses}}, 650, {0, 280, 600}},
        ScheduleCase{"a tick while a change settles does not stand for its check", 5, {},
                     {{295, H::Addresses}}, 400, {0, 300, 360}},
        ScheduleCase{"an address change just after a check waits for the minute's end", 5, {},
                     {{5, H::Addresses}}, 320, {0, 60, 300}},
        ScheduleCase{"a burst of address changes: one check 10 s after its last", 5, {},
                     {{100, H::Addresses}, {105, H::Addresses}, {108, H::Addresses}}, 320, {0, 118, 300}},
        ScheduleCase{"changes that go on are checked 25 s after the first", 5, {},
                     {{100, H::Addresses}, {105, H::Addresses}, {110, H::Addresses}, {115, H::Addresses},
                      {120, H::Addresses}, {130, H::Addresses}, {135, H::Addresses}}, 320, {0, 125, 185, 300}},
        ScheduleCase{"a wake: one check after settling", 5, {}, {{200, H::Resume}}, 320, {0, 210, 300}},
        ScheduleCase{"a wake and the address changes it brings: one check", 5, {},
                     {{200, H::Resume}, {202, H::Addresses}, {204, H::Addresses}}, 320, {0, 214, 300}},
        ScheduleCase{"a retry and an address change share one check", 5, {{0, 30}},
                     {{40, H::Addresses}}, 320, {0, 60, 300}}};
    // clang-format on
    for (const ScheduleCase &c : cases) {
        SCOPED_TRACE(c.name);
        const Played played = Play(c);
        EXPECT_EQ(played.checks, c.checks);
        if (!c.tips.empty())
            EXPECT_EQ(played.tips, c.tips);
    }
}

TEST(CheckScheduleCornerTest, AWakeUpWhoseCycleDidNotRunIsNotDueAgain) {
    // The engine refuses a check while another runs; the one-shot timer must not spin.
    CheckSchedule schedule;
    schedule.TimerStarted(Time(0), minutes(5));
    schedule.CycleEnded(Time(0), true);
    schedule.AddressesChanged(Time(50));
    ASSERT_TRUE(schedule.WakeDue(Time(60)));
    EXPECT_FALSE(schedule.WakeDue(Time(60)));
    EXPECT_EQ(schedule.NextWake(Time(60)), std::nullopt);
}

TEST(CheckScheduleCornerTest, AClockSetBackDoesNotSkipTheTicks) {
    CheckSchedule schedule;
    schedule.TimerStarted(Time(1000), minutes(5));
    schedule.CycleEnded(Time(1000), false);
    EXPECT_TRUE(schedule.TimerTicked(Time(400))) << "ten minutes back";
    EXPECT_FALSE(schedule.TimerTicked(Time(430)));
}

} // namespace
} // namespace zevlo::test
