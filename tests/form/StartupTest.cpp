#include "tests/form/FormFixture.h"

namespace zevlo::test {
namespace {

using StartupTest = FormTest;

TEST_F(StartupTest, FirstRunOpensPausedWithoutRequestAndRemembersItWasOne) {
    Open();
    EXPECT_TRUE(view_.visible);
    EXPECT_EQ(view_.caption, "Windows DDNS Client v3.0.0.0");
    EXPECT_TRUE(view_[Control::lblPaused].visible);
    EXPECT_TRUE(view_[Control::btnUnpause].visible);
    EXPECT_EQ(view_[Control::mnuPause].text, "Unpause");
    EXPECT_FALSE(view_.timerActive);
    EXPECT_TRUE(view_.trayIconShown);
    EXPECT_EQ(view_.trayTip, "Windows DDNS Client\nPaused");
    EXPECT_TRUE(runner_.calls.empty());

    Close();
    EXPECT_FALSE(view_.trayIconShown);
    EXPECT_TRUE(FileHasLine(SettingsPath(), "FSET_FirstRun=TRUE"));
    EXPECT_TRUE(FileHasLine(SettingsPath(), "FSET_StateIsPaused=TRUE"));
}

TEST_F(StartupTest, StoredPausedStateOpensPausedAndIsNoFirstRun) {
    WriteSettings(PausedSettings());
    form::TfrmMain &form = Open();
    EXPECT_TRUE(view_.visible);
    EXPECT_TRUE(view_[Control::lblPaused].visible);
    EXPECT_FALSE(view_.timerActive);
    EXPECT_FALSE(form.dm().FSET_FirstRun);
    EXPECT_TRUE(runner_.calls.empty());
}

TEST_F(StartupTest, RunningStartStaysHiddenAndChecksOnceFromTheEventLoop) {
    WriteSettings(RunningSettings());
    form::TfrmMain &form = Open(false);
    EXPECT_FALSE(view_.visible);
    EXPECT_TRUE(runner_.calls.empty()) << "the first check waits for the event loop";
    EXPECT_TRUE(view_.timerActive);
    EXPECT_EQ(view_.timerMs, 5 * 60000);

    form.StartUp();
    EXPECT_EQ(runner_.Checks(), 1);
    EXPECT_EQ(runner_.Updates(), 0);
    EXPECT_FALSE(view_.visible);
}

TEST_F(StartupTest, RunningStartWithoutNotificationAreaIsMinimisedNotHidden) {
    view_.trayAvailable = false;
    WriteSettings(RunningSettings());
    Open();
    EXPECT_TRUE(view_.visible);
    EXPECT_TRUE(view_.minimised);
    EXPECT_EQ(runner_.Checks(), 1);
}

// Another copy (a timer's run, --store-password) holds the data folder: the window waits with
// its tray icon up, reads and writes nothing, and still ends at once when told to.
TEST_F(StartupTest, WaitsForTheDataFolderReadingAndWritingNothingUntilItComes) {
    const struct {
        const char *name;
        bool terminated; // ended while waiting, else the lock comes
    } cases[] = {{"the lock comes", false}, {"terminated while waiting", true}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        NextRow();
        WriteSettings(RunningSettings());
        WriteBytes(LogPath(), "1/2/26 10:00:00\tCheck:  earlier\r\n");
        const std::string settings = ReadBytes(SettingsPath());
        const std::string log = ReadBytes(LogPath());
        bool held = true;
        lockDataFolder_ = [&held](std::string &why) {
            why = "in use by another copy";
            return !held;
        };
        form::TfrmMain &form = Open();
        EXPECT_TRUE(view_.trayIconShown);
        EXPECT_EQ(view_.trayTip, "Windows DDNS Client\nwaiting for " + DataDir() + ": in use by another copy");
        EXPECT_FALSE(view_.visible);
        for (const Control control : {Control::mnuShow, Control::mnuPause, Control::btnSaveConfig})
            form.UserActed(control);
        form.mnuShowClick();
        form.SaveForSession();
        form.Timer1Timer(); // still held
        EXPECT_FALSE(view_.visible) << "a window of mere defaults is not shown";
        EXPECT_TRUE(runner_.calls.empty());
        EXPECT_EQ(ReadBytes(SettingsPath()), settings);
        EXPECT_EQ(ReadBytes(LogPath()), log);
        if (c.terminated) {
            form.UserActed(Control::mnuTerminate);
            EXPECT_TRUE(view_.eventLoopsEnded);
            Close();
            EXPECT_EQ(ReadBytes(SettingsPath()), settings);
            EXPECT_EQ(ReadBytes(LogPath()), log);
            continue;
        }
        held = false;
        form.Timer1Timer();
        EXPECT_EQ(form.dm().FSET_User, "alice") << "the files are read once the folder is the form's";
        ASSERT_FALSE(form.dm().LogLines.empty());
        EXPECT_EQ(form.dm().LogLines.front(), "1/2/26 10:00:00\tCheck:  earlier");
        EXPECT_EQ(runner_.Checks(), 1) << "then the start goes on as usual";
        EXPECT_TRUE(view_.timerActive);
        EXPECT_EQ(view_.timerMs, 5 * 60000);
        EXPECT_EQ(view_.trayTip.find("waiting"), std::string::npos);
        Close();
    }
}

TEST_F(StartupTest, UnreadableSettingsOpenPausedAndAreNeverWrittenOver) {
    for (const bool appends : {false, true}) {
        SCOPED_TRACE(appends ? "a check adds a line to the log" : "the log as loaded");
        NextRow();
        // A folder in its place cannot be read as a file, even by root or under Wine.
        std::filesystem::create_directory(SettingsPath());
        std::string longLog;
        for (int i = 0; i < 600; ++i)
            longLog += "1/2/26 10:00:00\tCheck:  line " + std::to_string(i) + "\r\n";
        WriteBytes(LogPath(), longLog);

        form::TfrmMain &form = Open();
        ASSERT_EQ(view_.boxes.size(), 1u);
        EXPECT_EQ(view_.boxes[0].kind, BoxKind::FileError);
        EXPECT_EQ(view_.boxes[0].caption, "Windows DDNS Client");
        EXPECT_EQ(view_.boxes[0].text.rfind("Cannot open file \"", 0), 0u) << view_.boxes[0].text;
        EXPECT_TRUE(view_.visible);
        EXPECT_TRUE(view_[Control::lblPaused].visible);
        EXPECT_FALSE(form.dm().FSET_FirstRun);
        EXPECT_TRUE(runner_.calls.empty());
        EXPECT_TRUE(autostart_.writes.empty()) << "the login entry is left alone";
        EXPECT_EQ(autostart_.removes, 0);
        // Nothing is known of the stored choice: the list keeps its own default entry.
        EXPECT_EQ(view_.Text(Control::cmbCAuthType), "Basic");
        if (appends) {
            view_.Type(Control::edtUser, "alice");
            view_.Type(Control::edtPass, "secret");
            view_.Click(Control::btnForceUpdate);
            longLog = ReadBytes(LogPath());
        }

        Close();
        EXPECT_TRUE(std::filesystem::is_directory(SettingsPath()));
        EXPECT_TRUE(std::filesystem::is_empty(SettingsPath()));
        // Not trimmed to the default bound of a settings file that was never read.
        EXPECT_EQ(ReadBytes(LogPath()), longLog);
        EXPECT_EQ(std::count(longLog.begin(), longLog.end(), '\n'), appends ? 602 : 600);
    }
}

TEST_F(StartupTest, UnreadableLogIsReportedAndTheProgramGoesOn) {
    WriteSettings(RunningSettings());
    std::filesystem::create_directory(LogPath());
    Open();
    ASSERT_EQ(view_.boxes.size(), 1u);
    EXPECT_EQ(view_.boxes[0].caption, "Windows DDNS Client");
    EXPECT_EQ(view_.boxes[0].text.rfind("Cannot open file \"", 0), 0u) << view_.boxes[0].text;
    EXPECT_EQ(runner_.Checks(), 1) << "the first check follows the box";
    Close();
    EXPECT_TRUE(std::filesystem::is_directory(LogPath()));
    EXPECT_TRUE(std::filesystem::is_empty(LogPath()));
}

TEST_F(StartupTest, AStoredIntervalBoundsTheTimerAndIsStoredBounded) {
    const struct {
        const char *stored;
        int timerMs;
        int entry; // selected interval entry after showing
        const char *saved;
    } rows[] = {
        {"2", 300000, 0, "5"},    {"15", 900000, 2, "15"},  {"45", 2700000, 0, "45"},
        {"60", 3600000, 5, "60"}, {"90", 3600000, 5, "60"}, {"100000", 3600000, 5, "60"},
    };
    for (const auto &c : rows) {
        SCOPED_TRACE(std::string("FSET_Interval=") + c.stored);
        NextRow();
        WriteSettings(With(PausedSettings(), {std::string("FSET_Interval=") + c.stored}));
        Open();
        view_.Click(Control::mnuPause); // running: the timer starts
        EXPECT_EQ(view_.timerMs, c.timerMs);
        EXPECT_EQ(view_[Control::cmbUpdInterval].entry, c.entry);
        Close();
        EXPECT_TRUE(FileHasLine(SettingsPath(), std::string("FSET_Interval=") + c.saved));
    }
}

TEST_F(StartupTest, AStoredPositionIsUsedOnlyWhenPositiveAndOnAScreen) {
    // The view starts centred at 200,150.
    const struct {
        const char *x;
        const char *y;
        form::Point shown;
    } rows[] = {
        {"40", "30", {40, 30}}, {"40", "0", {40, 150}},         {"-1", "-1", {200, 150}},
        {"0", "0", {200, 150}}, {"40000", "30000", {200, 150}},
    };
    for (const auto &c : rows) {
        SCOPED_TRACE(std::string(c.x) + "," + c.y);
        NextRow();
        WriteSettings(With(PausedSettings(), {std::string("FSET_FrmX=") + c.x, std::string("FSET_FrmY=") + c.y}));
        Open();
        EXPECT_EQ(view_.position, c.shown);
    }
}

TEST_F(StartupTest, ShowingWritesAMissingLoginEntryWhileTheSettingIsOn) {
    WriteSettings(With(PausedSettings(), {"FSET_StartWithWindows=TRUE"}));
    Open();
    ASSERT_EQ(autostart_.writes.size(), 1u);
    EXPECT_EQ(autostart_.writes[0], ExePath());
}

TEST_F(StartupTest, ShowingSelectsTheStoredCheckIPAuthentication) {
    // "None" stays "None" instead of falling back to the list's default entry.
    WriteSettings(PausedSettings());
    Open();
    EXPECT_EQ(view_.Text(Control::cmbCAuthType), "None");
}

} // namespace
} // namespace zevlo::test
