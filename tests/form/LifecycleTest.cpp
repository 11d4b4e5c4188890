#include "tests/form/FormFixture.h"

namespace zevlo::test {
namespace {

using LifecycleTest = FormTest;

class CloseTest : public FormTest, public ::testing::WithParamInterface<bool> {};

TEST_P(CloseTest, ClosingNeverEndsTheProgramAndReadsTheControlsBack) {
    view_.trayAvailable = GetParam();
    WriteSettings(PausedSettings());
    const std::string before = ReadBytes(SettingsPath());
    form::TfrmMain &form = Open();
    view_.Type(Control::edtHostname, "other.example.org");
    view_.position = {70, 80};

    EXPECT_FALSE(form.FormCloseQuery());
    EXPECT_EQ(view_.visible, !view_.trayAvailable) << "without a notification area it stays reachable";
    EXPECT_EQ(view_.minimised, !view_.trayAvailable);
    EXPECT_EQ(form.dm().FSET_Hostname, "other.example.org");
    EXPECT_EQ(form.dm().FSET_FrmX, 70);
    EXPECT_EQ(form.dm().FSET_FrmY, 80);
    EXPECT_EQ(ReadBytes(SettingsPath()), before) << "closing writes nothing";
}

TEST_P(CloseTest, AMinimiseTheWindowManagerAddedGoesWhereClosingGoes) {
    view_.trayAvailable = GetParam();
    WriteSettings(PausedSettings());
    form::TfrmMain &form = Open();
    view_.Type(Control::edtHostname, "other.example.org");

    view_.ShowMinimised(); // the window manager's own button
    form.FormMinimised();
    EXPECT_EQ(view_.visible, !view_.trayAvailable) << "in the notification area when there is one";
    EXPECT_EQ(form.dm().FSET_Hostname, view_.trayAvailable ? "other.example.org" : "home.example.org")
        << "read back as closing does";
    EXPECT_FALSE(form.AllowClose());
}

INSTANTIATE_TEST_SUITE_P(NotificationArea, CloseTest, ::testing::Bool());

TEST_F(LifecycleTest, TheNotificationAreaIsAskedAgainAtEveryClose) {
    WriteSettings(PausedSettings());
    view_.trayAvailable = false;
    form::TfrmMain &form = Open();
    form.FormCloseQuery();
    ASSERT_TRUE(view_.minimised);

    view_.trayAvailable = true; // the panel came up after the program
    view_.Click(Control::mnuShow);
    form.FormCloseQuery();
    EXPECT_FALSE(view_.visible);
}

TEST_F(LifecycleTest, ShowFromTheTrayShowsTheWindowAndRunsItsShowing) {
    WriteSettings(With(RunningSettings(), {"FSET_StartWithWindows=TRUE"}));
    Open();
    ASSERT_FALSE(view_.visible);
    ASSERT_EQ(autostart_.writes.size(), 0u) << "nothing shown yet";

    view_.Click(Control::mnuShow);
    EXPECT_TRUE(view_.visible);
    EXPECT_EQ(autostart_.writes.size(), 1u);
}

TEST_F(LifecycleTest, TerminateAnsweredNoKeepsRunningAndSavesNothing) {
    WriteSettings(RunningSettings());
    form::TfrmMain &form = Open();
    const std::string before = ReadBytes(SettingsPath());
    view_.Type(Control::edtHostname, "other.example.org");

    view_.answers = {BoxAnswer::No};
    view_.Click(Control::btnTerminate);
    EXPECT_EQ(view_.boxes, (Boxes{{BoxKind::Confirmation, "Confirm", "Terminate application"}}));
    EXPECT_FALSE(form.AllowClose());
    EXPECT_FALSE(view_.eventLoopsEnded);
    EXPECT_TRUE(view_.timerActive);
    EXPECT_EQ(form.dm().FSET_Hostname, "home.example.org");
    EXPECT_EQ(ReadBytes(SettingsPath()), before);
    Tick();
    EXPECT_EQ(runner_.Checks(), 2) << "still checking";
}

// Every way out: the button after Yes, the tray's Terminate, and the termination routine
// itself, which the signals and the end of the session run.
TEST_F(LifecycleTest, EveryWayOutKeepsWhatTheWindowShows) {
    const struct {
        const char *name;
        std::function<void(FakeMainView &view, form::TfrmMain &form)> terminate;
        bool asks;
    } rows[] = {
        {"the button", [](FakeMainView &view, form::TfrmMain &) { view.Click(Control::btnTerminate); }, true},
        {"the tray menu", [](FakeMainView &view, form::TfrmMain &) { view.Click(Control::mnuTerminate); }, false},
        {"a signal or the session's end", [](FakeMainView &, form::TfrmMain &form) { form.Terminate(); }, false},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        NextRow();
        WriteSettings(PausedSettings());
        form::TfrmMain &form = Open();
        view_.Type(Control::edtHostname, "other.example.org");
        view_.Type(Control::edtPort, "8443");
        view_.Type(Control::edtServer, "members.example.org");
        view_.Type(Control::edtBaseURI, "/nic/update");

        view_.answers = {BoxAnswer::Yes};
        row.terminate(view_, form);
        EXPECT_EQ(view_.boxes.size(), row.asks ? 1u : 0u);
        EXPECT_TRUE(view_.eventLoopsEnded);
        EXPECT_TRUE(form.AllowClose());
        EXPECT_TRUE(form.FormCloseQuery()) << "the close is no longer refused";
        Close();
        // The windows outlive the form: what their widgets do as they go must reach no handler.
        EXPECT_EQ(view_.form, nullptr);
        EXPECT_EQ(logView_.form, nullptr);
        for (const char *line :
             {"FSET_Hostname=other.example.org", "FSET_UPD_Port=8443", "FSET_UPD_Server=members.example.org",
              "FSET_UPD_BaseURI=/nic/update", "FSET_StateIsPaused=TRUE"})
            EXPECT_TRUE(FileHasLine(SettingsPath(), line)) << line;
    }
}

TEST_F(LifecycleTest, TerminationOverUnreadableSettingsTakesNoDefaultsFromTheFields) {
    std::filesystem::create_directory(SettingsPath());
    form::TfrmMain &form = Open();
    const std::string loaded = form.dm().FSET_Hostname;
    view_.Type(Control::edtHostname, "other.example.org");

    view_.Click(Control::mnuTerminate);
    EXPECT_TRUE(view_.eventLoopsEnded);
    EXPECT_EQ(form.dm().FSET_Hostname, loaded);
}

TEST_F(LifecycleTest, TerminationWhileABoxIsOpenEndsTheCycleAndShowsNoMore) {
    WriteSettings(RunningSettings());
    runner_.checkAnswer = "203.0.113.9";
    runner_.updateAnswer = "nochg 203.0.113.9";
    view_.whileBoxOpen = [&](const SeenBox &) { form_->mnuTerminateClick(); };
    form::TfrmMain &form = Open();

    ASSERT_EQ(view_.boxes.size(), 1u);
    EXPECT_EQ(view_.boxes[0].kind, BoxKind::Warning);
    EXPECT_TRUE(view_.eventLoopsEnded);
    EXPECT_FALSE(view_.timerActive);
    Tick();
    form.btnForceUpdateClick();
    EXPECT_EQ(runner_.calls.size(), 2u) << "nothing is sent once terminating";
    Close();
    EXPECT_TRUE(FileHasLine(SettingsPath(), "FSET_LAST_IP=203.0.113.9"));
}

TEST_F(LifecycleTest, SessionSaveOnlySaves) {
    WriteSettings(RunningSettings());
    form::TfrmMain &form = Open();
    view_.Choose(Control::cmbUpdInterval, 5); // 60 min, in memory only
    form.dm().LogLines.push_back("unsaved line");
    view_.Type(Control::edtHostname, "other.example.org");

    form.SaveForSession();
    EXPECT_TRUE(FileHasLine(SettingsPath(), "FSET_Interval=60"));
    EXPECT_TRUE(FileHasLine(LogPath(), "unsaved line"));
    EXPECT_TRUE(FileHasLine(SettingsPath(), "FSET_Hostname=home.example.org")) << "nothing is read back";
    EXPECT_FALSE(form.AllowClose()) << "a session save is no logout";
    EXPECT_FALSE(view_.eventLoopsEnded);
    EXPECT_TRUE(view_.timerActive);

    // Asked while the update of a new address runs: the file keeps the address the service has.
    runner_.checkAnswer = "203.0.113.9";
    bool savedTheOldOne = false;
    runner_.duringRun = [&] {
        if (runner_.calls.back().IsUpdate()) {
            form.SaveForSession();
            savedTheOldOne = FileHasLine(SettingsPath(), "FSET_LAST_IP=198.51.100.7");
        }
    };
    Tick();
    EXPECT_EQ(runner_.Updates(), 1);
    EXPECT_TRUE(savedTheOldOne);
    runner_.duringRun = nullptr;
    Close();
    EXPECT_TRUE(FileHasLine(SettingsPath(), "FSET_LAST_IP=203.0.113.9")) << "once answered, it is saved";
}

} // namespace
} // namespace zevlo::test
