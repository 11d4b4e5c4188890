// The checks besides Timer1's ticks, on the fake view and the fake clock: a quick retry after
// no answer, one check after a wake or an address change, never more than one a minute.
#include "tests/form/FormFixture.h"

#include <optional>

namespace zevlo::test {
namespace {

enum class Act { Start, Tick, Fire, Wake, Addresses, Pause, ForceUpdate };

struct Step {
    Act act;
    int at;        // seconds from the start when it happens (Fire: when the timer must run out)
    bool lineDown; // the service cannot be reached (curl: could not connect)
    int checks;    // checks made so far
    int armedFor;  // the check timer's delay afterwards, in seconds; -1: not armed
    // How the tray tip must end, when it matters; it names a next try only when this does.
    const char *tipEnding = nullptr;
};

class RetryAndEventChecksTest : public FormTest {
protected:
    void Do(const Step &step) {
        runner_.outputs.clear();
        if (step.lineDown)
            runner_.outputs.assign(4, platform::RunResult{"", platform::ChildEnd::Exited, 7});
        const auto at = kStart + std::chrono::seconds(step.at);
        if (step.act != Act::Fire)
            now_ = at;
        switch (step.act) {
        case Act::Start:
            WriteSettings(RunningSettings());
            Open();
            break;
        case Act::Tick:
            form_->Timer1Timer();
            break;
        case Act::Fire:
            ASSERT_TRUE(FireCheckTimer()) << "the check timer is armed";
            EXPECT_EQ(now_, at) << "it runs out at the right time";
            break;
        case Act::Wake:
            form_->SystemResumed();
            break;
        case Act::Addresses:
            form_->AddressesChanged();
            break;
        case Act::Pause:
            view_.Click(Control::mnuPause);
            break;
        case Act::ForceUpdate:
            view_.Click(Control::btnForceUpdate);
            break;
        }
    }
};

// The interval is 5 minutes (the default): ticks at 300, 600, 900 ... seconds.
TEST_F(RetryAndEventChecksTest, ChecksComeWhenTheyShould) {
    const struct {
        const char *name;
        std::vector<Step> steps;
    } cases[] = {
        {"retries double, stop at the tick and start over after an answer",
         {{Act::Start, 0, true, 1, 60, "; next try 14:01"},
          {Act::Fire, 60, true, 2, 120, "; next try 14:03"},
          {Act::Fire, 180, true, 3, 240, "; next try 14:05"},
          // The tick comes before the retry due at 420 and runs; the next retry (8 minutes)
          // would come after the following tick, which the tip names.
          {Act::Tick, 300, true, 4, 480, "; next try 14:10"},
          {Act::Tick, 600, false, 5, -1, ""},
          {Act::Tick, 900, true, 6, 60, "; next try 14:16"}}},
        {"an answer to the user's update ends the retries",
         {{Act::Start, 0, true, 1, 60}, {Act::ForceUpdate, 30, false, 2, -1}, {Act::Tick, 300, false, 3, -1}}},
        {"none while paused",
         {{Act::Start, 0, true, 1, 60},
          {Act::Pause, 30, true, 1, -1, "\nPaused"},
          {Act::Wake, 100, true, 1, -1},
          {Act::Addresses, 200, true, 1, -1}}},
        {"a wake gives one check after it settled",
         {{Act::Start, 0, false, 1, -1},
          {Act::Wake, 100, false, 1, 10},
          {Act::Wake, 104, false, 1, 10},
          {Act::Fire, 114, false, 2, -1},
          {Act::Tick, 300, false, 3, -1}}},
        {"a burst of address changes gives one check",
         {{Act::Start, 0, false, 1, -1},
          {Act::Addresses, 100, false, 1, 10},
          {Act::Addresses, 108, false, 1, 10},
          {Act::Addresses, 116, false, 1, 9},
          {Act::Fire, 125, false, 2, -1}}},
        {"ticks and events together: at most one a minute",
         {{Act::Start, 0, false, 1, -1},
          // A tick before a wake settled does not stand for its check, which waits for the
          // minute's end; a change meanwhile joins it.
          {Act::Wake, 295, false, 1, 10},
          {Act::Tick, 300, false, 2, 60},
          {Act::Addresses, 310, false, 2, 50},
          {Act::Fire, 360, false, 3, -1},
          // A tick less than a minute after another check is skipped.
          {Act::Addresses, 560, false, 3, 10},
          {Act::Fire, 570, false, 4, -1},
          {Act::Tick, 600, false, 4, -1},
          {Act::Tick, 900, false, 5, -1}}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        NextRow();
        for (const Step &step : c.steps) {
            SCOPED_TRACE("the step at " + std::to_string(step.at) + " s");
            Do(step);
            EXPECT_EQ(runner_.Checks(), step.checks);
            EXPECT_EQ(view_.checkTimerMs, step.armedFor < 0 ? std::nullopt : std::optional<int>(step.armedFor * 1000));
            if (step.tipEnding != nullptr) {
                const std::string ending = step.tipEnding;
                EXPECT_EQ(view_.trayTip.find("next try") != std::string::npos,
                          ending.find("next try") != std::string::npos)
                    << view_.trayTip;
                EXPECT_TRUE(view_.trayTip.size() >= ending.size() &&
                            view_.trayTip.compare(view_.trayTip.size() - ending.size(), ending.size(), ending) == 0)
                    << view_.trayTip;
            }
        }
    }
}

// A refusal stands, or the service asked to wait: the next check is Timer1's, whatever comes.
TEST_F(FormTest, NoRetryAndNoEventCheckWhileARefusalStandsOrTheServiceAsksToWait) {
    for (const char *answer : {"badauth", "911"}) {
        SCOPED_TRACE(answer);
        NextRow();
        WriteSettings(RunningSettings());
        runner_.checkAnswer = "203.0.113.9";
        runner_.updateAnswer = answer;
        Open();
        const CycleOutcome &outcome = form_->engine().LastOutcome();
        ASSERT_TRUE(outcome.refused || outcome.waitUntil) << "the engine tells of the refusal or the wait";
        runner_.outputs.assign(2, platform::RunResult{"", platform::ChildEnd::Exited, 7});
        Tick();
        EXPECT_FALSE(view_.checkTimerMs) << "no quick retry";
        now_ += std::chrono::seconds(100);
        form_->SystemResumed();
        form_->AddressesChanged();
        EXPECT_FALSE(view_.checkTimerMs) << "no event check";
    }
}

TEST_F(FormTest, AWakeWhileTheLogViewerIsOpenChecksOnceItClosed) {
    WriteSettings(RunningSettings());
    Open();
    int checksWhileOpen = -1;
    view_.whileLogViewerOpen = [&] {
        now_ += std::chrono::seconds(100);
        form_->SystemResumed();
        FireCheckTimer();
        checksWhileOpen = runner_.Checks();
    };
    view_.Click(Control::btnViewLog);
    EXPECT_EQ(checksWhileOpen, 1) << "nothing runs behind the viewer";
    EXPECT_EQ(runner_.Checks(), 2);
}

} // namespace
} // namespace zevlo::test
