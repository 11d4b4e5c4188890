#include "tests/form/FormFixture.h"

namespace zevlo::test {
namespace {

using ScheduleTest = FormTest;

const char *const kCredentialsMessage = "Username and password are required when using HTTP authentication";
const char *const kHostnameMessage =
    "Hostname cannot be empty. Please place dash (minus sign) and/or contact\r\nweb administrator for a correct value";

TEST_F(ScheduleTest, UnpauseValidatesTheAccountThenTheHostname) {
    const struct {
        const char *user;
        const char *password;
        const char *hostname;
        const char *message; // null: resumes
    } rows[] = {
        {"", "", "-", kCredentialsMessage},
        {"alice", "", "", kCredentialsMessage},
        {"", "secret", "home.example.org", kCredentialsMessage},
        {"alice", "secret", "", kHostnameMessage},
        {"alice", "secret", "-", nullptr},
        {"alice", "secret", "home.example.org", nullptr},
    };
    for (const auto &c : rows) {
        SCOPED_TRACE(std::string("user '") + c.user + "' password '" + c.password + "' host '" + c.hostname + "'");
        NextRow();
        form::TfrmMain &form = Open(); // first run: paused
        view_.Type(Control::edtUser, c.user);
        view_.Type(Control::edtPass, c.password);
        view_.Type(Control::edtHostname, c.hostname);

        view_.Click(Control::btnUnpause);
        if (c.message != nullptr) {
            EXPECT_EQ(view_.boxes, (Boxes{{BoxKind::Error, "Error", c.message}}));
            EXPECT_TRUE(view_[Control::lblPaused].visible);
            EXPECT_FALSE(view_.timerActive);
            EXPECT_TRUE(form.dm().FSET_StateIsPaused);
            EXPECT_TRUE(form.dm().FSET_FirstRun);
            EXPECT_TRUE(runner_.calls.empty());
        } else {
            EXPECT_TRUE(view_.boxes.empty());
            EXPECT_FALSE(view_[Control::lblPaused].visible);
            EXPECT_FALSE(view_[Control::btnUnpause].visible);
            EXPECT_TRUE(view_.timerActive);
            EXPECT_FALSE(form.dm().FSET_StateIsPaused);
            EXPECT_FALSE(form.dm().FSET_FirstRun);
            EXPECT_EQ(form.dm().FSET_User, c.user);
            EXPECT_EQ(runner_.Checks(), 1) << "a validated resume checks at once";
            // The first address is new: its update names the host the user typed.
            ASSERT_EQ(runner_.Updates(), 1);
            EXPECT_NE(runner_.UpdateUrl().find(std::string("?hostname=") + c.hostname + "&"), std::string::npos)
                << runner_.UpdateUrl();
        }
    }
}

TEST_F(ScheduleTest, TrayPauseThenUnpauseWaitsForTheNextTick) {
    WriteSettings(RunningSettings());
    form::TfrmMain &form = Open();
    ASSERT_EQ(runner_.calls.size(), 1u);

    form.popTrayPopup();
    EXPECT_EQ(view_[Control::mnuPause].text, "Pause");
    view_.Click(Control::mnuPause);
    EXPECT_TRUE(form.dm().FSET_StateIsPaused);
    EXPECT_FALSE(view_.timerActive);
    EXPECT_TRUE(view_[Control::lblPaused].visible);
    form.popTrayPopup();
    EXPECT_EQ(view_[Control::mnuPause].text, "Unpause");

    view_.Click(Control::mnuPause);
    EXPECT_FALSE(form.dm().FSET_StateIsPaused);
    EXPECT_TRUE(view_.timerActive);
    EXPECT_FALSE(view_[Control::lblPaused].visible);
    EXPECT_EQ(runner_.calls.size(), 1u) << "no request before the next tick";

    Tick();
    EXPECT_EQ(runner_.calls.size(), 2u);
}

TEST_F(ScheduleTest, SixtyMinutesKeepsTheRunningPeriodAndIsStored) {
    WriteSettings(RunningSettings());
    form::TfrmMain &form = Open();
    ASSERT_EQ(view_.timerMs, 5 * 60000);

    view_.Choose(Control::cmbUpdInterval, 5);
    EXPECT_EQ(form.dm().FSET_Interval, 60);
    view_.Click(Control::mnuPause);
    view_.Click(Control::mnuPause);
    EXPECT_EQ(view_.timerMs, 5 * 60000) << "the new interval applies from the next start";
    EXPECT_TRUE(view_.timerActive);

    view_.Click(Control::btnSaveConfig);
    EXPECT_TRUE(FileHasLine(SettingsPath(), "FSET_Interval=60"));
}

TEST_F(ScheduleTest, ForceUpdateSendsWhatTheFieldsShowWithoutAChange) {
    WriteSettings(RunningSettings());
    Open();
    ASSERT_EQ(runner_.Checks(), 1);
    ASSERT_EQ(runner_.Updates(), 0) << "the stored address did not change";
    // An edited host name goes out with the update, saved or not.
    view_.Type(Control::edtHostname, "office.example.org");

    view_.Click(Control::btnForceUpdate);
    EXPECT_EQ(runner_.Checks(), 2);
    ASSERT_EQ(runner_.Updates(), 1);
    EXPECT_NE(runner_.UpdateUrl().find("hostname=office.example.org&myip=198.51.100.7"), std::string::npos)
        << runner_.UpdateUrl();
}

TEST_F(ScheduleTest, ABoxLeftOpenStopsNoCheckAndNeverGetsASecondOne) {
    WriteSettings(RunningSettings());
    runner_.checkAnswer = "203.0.113.9";
    runner_.updateAnswer = "nochg 203.0.113.9";
    std::vector<std::string> tipsWhileOpen;
    bool savedBeforeTheBox = false;
    view_.whileBoxOpen = [&](const SeenBox &) {
        // The cycle is over when its box shows: its save is on disk, its requests are done.
        savedBeforeTheBox = FileHasLine(SettingsPath(), "FSET_LAST_IP=203.0.113.9");
        // Nobody answers; the address changes and the ticks go on.
        runner_.checkAnswer = "192.0.2.44";
        runner_.updateAnswer = "ERR 17"; // an error that asks for no wait
        Tick();
        tipsWhileOpen.push_back(view_.trayTip);
        runner_.checkAnswer = "";
        Tick();
        tipsWhileOpen.push_back(view_.trayTip);
    };
    Open();

    EXPECT_EQ(view_.boxes, (Boxes{{BoxKind::Warning, "Warning",
                                   "Update: nochg 203.0.113.9 (the service already had this address)"}}))
        << "boxes never pile up";
    EXPECT_TRUE(savedBeforeTheBox);
    EXPECT_EQ(runner_.Checks(), 3) << "both ticks checked";
    ASSERT_EQ(runner_.Updates(), 2) << "the changed address was sent";
    EXPECT_NE(runner_.UpdateUrl().find("myip=192.0.2.44"), std::string::npos) << runner_.UpdateUrl();
    ASSERT_EQ(tipsWhileOpen.size(), 2u);
    EXPECT_EQ(tipsWhileOpen[0], "Windows DDNS Client\nUpdate: ERR 17");
    EXPECT_EQ(tipsWhileOpen[1], "Windows DDNS Client\ncheck failed: ERROR - Empty string returned");
    const std::string log = ReadBytes(LogPath());
    EXPECT_NE(log.find("Update: ERR 17"), std::string::npos) << log;

    view_.whileBoxOpen = nullptr;
    runner_.checkAnswer = "198.51.100.20";
    Tick();
    ASSERT_EQ(view_.boxes.size(), 2u) << "with no box open, the next one shows";
    EXPECT_EQ(view_.boxes[1].text, "Update: ERR 17");
}

// The timer's checks keep a failure to the log and the tray tip; a cycle the user started
// shows it too, since the user waits for a result.
TEST_F(ScheduleTest, AFailedCheckIsShownOnlyWhenTheUserStartedTheCycle) {
    enum class Start { Tick, Unpause, ForceUpdate };
    const struct {
        const char *name;
        Start start;
        const char *checkAnswer;
        const char *shown; // null: no box
    } rows[] = {
        {"a tick without an answer", Start::Tick, "", nullptr},
        {"a tick, not an address", Start::Tick, "<html>", nullptr},
        {"Unpause without an answer", Start::Unpause, "", "ERROR - Empty string returned"},
        {"Unpause, too many requests", Start::Unpause, "429 Too Many Requests", "Too many requests"},
        {"Force Update, not an address", Start::ForceUpdate, "<html>", "ERROR - Not an IP address [<html>]"},
    };
    for (const auto &c : rows) {
        SCOPED_TRACE(c.name);
        NextRow();
        WriteSettings(c.start == Start::Unpause ? PausedSettings() : RunningSettings());
        Open();
        ASSERT_TRUE(view_.boxes.empty());
        runner_.checkAnswer = c.checkAnswer;
        if (c.start == Start::Tick)
            Tick();
        else
            view_.Click(c.start == Start::Unpause ? Control::btnUnpause : Control::btnForceUpdate);

        const std::string log = ReadBytes(LogPath());
        if (c.shown == nullptr) {
            EXPECT_TRUE(view_.boxes.empty());
        } else {
            EXPECT_EQ(view_.boxes, (Boxes{{BoxKind::Error, "Error", c.shown}}));
            EXPECT_NE(log.find(std::string("Check:  ") + c.shown), std::string::npos) << log;
        }
    }
}

TEST_F(ScheduleTest, ChecksFallingWhileADialogIsOpenRunOnceItClosed) {
    const struct {
        const char *name;
        Control dialogButton;
        bool pausedMeanwhile;
        int checksAfterClose;
    } rows[] = {
        {"the log viewer", Control::btnViewLog, false, 1},
        {"the log viewer, paused meanwhile", Control::btnViewLog, true, 0},
        {"the file dialog", Control::spdCOpenDir, false, 1},
    };
    for (const auto &c : rows) {
        SCOPED_TRACE(c.name);
        NextRow();
        WriteSettings(RunningSettings());
        Open();
        ASSERT_EQ(runner_.Checks(), 1);
        runner_.checkAnswer = "";
        int checksWhileOpen = -1;
        const auto whileOpen = [&] {
            Tick();
            Tick();
            if (c.pausedMeanwhile)
                view_.Click(Control::mnuPause);
            checksWhileOpen = runner_.Checks() - 1;
        };
        (c.dialogButton == Control::btnViewLog ? view_.whileLogViewerOpen : view_.whileFileDialogOpen) = whileOpen;
        view_.Click(c.dialogButton);

        EXPECT_EQ(checksWhileOpen, 0) << "nothing runs behind the dialog";
        EXPECT_EQ(runner_.Checks() - 1, c.checksAfterClose);
        EXPECT_TRUE(view_.boxes.empty()) << "a tick's failed check is only logged";
    }
}

TEST_F(ScheduleTest, TrayTipTellsTheStateInOneShortLine) {
    WriteSettings(RunningSettings());
    Open();
    EXPECT_EQ(view_.trayTip.rfind("Windows DDNS Client\n198.51.100.7, checked ", 0), 0u) << view_.trayTip;

    runner_.checkAnswer = "203.0.113.9";
    runner_.updateAnswer = "ERR 17";
    Tick();
    EXPECT_EQ(view_.trayTip, "Windows DDNS Client\nupdate failed: ERR 17");

    runner_.checkAnswer = "192.0.2.1";
    runner_.updateAnswer = "<html>" + std::string(300, 'x');
    Tick();
    EXPECT_EQ(view_.trayTip.rfind("Windows DDNS Client\nupdate failed: <html>xx", 0), 0u) << view_.trayTip;
    EXPECT_EQ(view_.trayTip.size(), 127u) << "cut to what a Windows tip holds";

    runner_.checkAnswer = "";
    Tick();
    EXPECT_EQ(view_.trayTip, "Windows DDNS Client\ncheck failed: ERROR - Empty string returned");

    view_.Click(Control::mnuPause);
    EXPECT_EQ(view_.trayTip, "Windows DDNS Client\nPaused");
}

TEST_F(ScheduleTest, ARefusalPausesTheWindowBeforeItsBoxUntilTheUserActs) {
    const std::string paused = "Paused: the service refused the user name or password";
    struct Row {
        const char *name;
        Control act;
    };
    const Row rows[] = {{"Unpause", Control::btnUnpause},
                        {"the tray's Unpause", Control::mnuPause},
                        {"Force Update", Control::btnForceUpdate}};
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        NextRow();
        WriteSettings(RunningSettings());
        runner_.checkAnswer = "203.0.113.9";
        runner_.updateAnswer = "badauth";
        bool pausedUnderTheBox = false;
        view_.whileBoxOpen = [&](const SeenBox &) {
            pausedUnderTheBox = view_[Control::lblPaused].visible && view_[Control::btnUnpause].visible &&
                                !view_.timerActive && form_->dm().FSET_StateIsPaused &&
                                FileHasLine(SettingsPath(), "FSET_StateIsPaused=TRUE");
        };
        Open();
        view_.whileBoxOpen = nullptr;
        ASSERT_EQ(view_.boxes.size(), 1u);
        EXPECT_EQ(view_.boxes[0].text, "Update: badauth (the service refused the user name or password)");
        EXPECT_TRUE(pausedUnderTheBox);
        EXPECT_EQ(view_.trayTip, "Windows DDNS Client\n" + paused);
        EXPECT_EQ(view_[Control::lblPaused].toolTip, paused);

        // A tick that came anyway sends nothing.
        Tick();
        EXPECT_EQ(runner_.Updates(), 1);

        // The user acted: the same address goes out once more, and the reason is gone.
        runner_.updateAnswer = "good 203.0.113.9";
        view_.Click(row.act);
        if (row.act == Control::mnuPause)
            Tick(); // the tray resumes the ticks, it checks nothing itself
        EXPECT_EQ(runner_.Updates(), 2);
        EXPECT_EQ(view_[Control::lblPaused].toolTip, "");
        EXPECT_EQ(view_.trayTip.find(paused), std::string::npos) << view_.trayTip;
    }
}

TEST_F(ScheduleTest, APasswordOverPlainHttpIsShownOnceWhenTheUserCommitsToTheSettings) {
    const std::string warning =
        "Update: WARNING - the password is sent unencrypted to ddns.plain.example; choose HTTPS or None";
    for (const Control first : {Control::btnUnpause, Control::btnSaveConfig}) {
        SCOPED_TRACE(form::ControlName(first));
        NextRow();
        WriteSettings(With(PausedSettings(), {"FSET_UPD_Protocol=1" /* HTTP */, "FSET_UPD_Server=ddns.plain.example"}));
        Open();
        EXPECT_TRUE(view_.boxes.empty()) << "nothing at the start";
        view_.Click(first);
        EXPECT_EQ(view_.boxes, (Boxes{{BoxKind::Warning, "Warning", warning}}));
        view_.Click(Control::btnSaveConfig);
        view_.Click(Control::mnuPause);
        view_.Click(Control::btnUnpause);
        EXPECT_EQ(view_.boxes.size(), 1u) << "once a run";
        EXPECT_NE(ReadBytes(LogPath()).find(warning), std::string::npos) << "and logged";
    }
}

TEST_F(ScheduleTest, RequestsRunWhileTheWindowShowsItselfBusy) {
    WriteSettings(RunningSettings());
    runner_.checkAnswer = "203.0.113.9";
    Open();
    ASSERT_EQ(runner_.calls.size(), 2u);
    EXPECT_TRUE(runner_.calls[0].busy);
    EXPECT_TRUE(runner_.calls[1].busy);
    EXPECT_FALSE(view_.busy);
}

} // namespace
} // namespace zevlo::test
