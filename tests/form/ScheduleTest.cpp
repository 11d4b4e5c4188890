#include "tests/form/FormFixture.h"

namespace zevlo::test {
namespace {

using ScheduleTest = FormTest;

const char *const kCredentialsMessage = "Username and password are required when using HTTP authentication";
const char *const kHostnameMessage =
    "Hostname cannot be empty. Please place dash (minus sign) and/or contact\r\nweb administrator for a correct value";

struct UnpauseCase {
    const char *user;
    const char *password;
    const char *hostname;
    const char *message; // null: resumes
};

void PrintTo(const UnpauseCase &c, std::ostream *out) {
    *out << "user '" << c.user << "' password '" << c.password << "' host '" << c.hostname << "'";
}

class UnpauseTest : public FormTest, public ::testing::WithParamInterface<UnpauseCase> {};

TEST_P(UnpauseTest, ValidatesTheAccountThenTheHostname) {
    const UnpauseCase &c = GetParam();
    form::TfrmMain &form = Open(); // first run: paused
    view_.Type(Control::edtUser, c.user);
    view_.Type(Control::edtPass, c.password);
    view_.Type(Control::edtHostname, c.hostname);

    view_.Click(Control::btnUnpause);
    if (c.message != nullptr) {
        ASSERT_EQ(view_.boxes.size(), 1u);
        EXPECT_EQ(view_.boxes[0].kind, BoxKind::Error);
        EXPECT_EQ(view_.boxes[0].caption, "Error");
        EXPECT_EQ(view_.boxes[0].text, c.message);
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

INSTANTIATE_TEST_SUITE_P(Cases, UnpauseTest,
                         ::testing::Values(UnpauseCase{"", "", "-", kCredentialsMessage},
                                           UnpauseCase{"alice", "", "", kCredentialsMessage},
                                           UnpauseCase{"", "secret", "home.example.org", kCredentialsMessage},
                                           UnpauseCase{"alice", "secret", "", kHostnameMessage},
                                           UnpauseCase{"alice", "secret", "-", nullptr},
                                           UnpauseCase{"alice", "secret", "home.example.org", nullptr}));

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

    form.Timer1Timer();
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

TEST_F(ScheduleTest, NoCheckStartsWhileOneOfTheEnginesBoxesIsOpen) {
    WriteSettings(RunningSettings());
    runner_.checkAnswer = "203.0.113.9";
    runner_.updateAnswer = "ERR 17";
    view_.whileBoxOpen = [&](const SeenBox &) {
        form_->Timer1Timer();
        form_->btnForceUpdateClick();
    };
    form::TfrmMain &form = Open();

    ASSERT_EQ(view_.boxes.size(), 1u);
    EXPECT_EQ(view_.boxes[0].kind, BoxKind::Error);
    EXPECT_EQ(view_.boxes[0].text, "Update: ERR 17");
    EXPECT_EQ(runner_.Checks(), 1);
    EXPECT_EQ(runner_.Updates(), 1);

    view_.whileBoxOpen = nullptr;
    form.Timer1Timer();
    EXPECT_EQ(runner_.Checks(), 2) << "the next tick after the box checks again";
}

TEST_F(ScheduleTest, TrayTipTellsTheStateInOneShortLine) {
    WriteSettings(RunningSettings());
    form::TfrmMain &form = Open();
    EXPECT_EQ(view_.trayTip.rfind("Windows DDNS Client\n198.51.100.7, checked ", 0), 0u) << view_.trayTip;

    runner_.checkAnswer = "203.0.113.9";
    runner_.updateAnswer = "ERR 17";
    form.Timer1Timer();
    EXPECT_EQ(view_.trayTip, "Windows DDNS Client\nupdate failed: ERR 17");

    runner_.checkAnswer = "192.0.2.1";
    runner_.updateAnswer = "<html>" + std::string(300, 'x');
    form.Timer1Timer();
    EXPECT_EQ(view_.trayTip.rfind("Windows DDNS Client\nupdate failed: <html>xx", 0), 0u) << view_.trayTip;
    EXPECT_EQ(view_.trayTip.size(), 127u) << "cut to what a Windows tip holds";

    runner_.checkAnswer = "";
    form.Timer1Timer();
    EXPECT_EQ(view_.trayTip, "Windows DDNS Client\ncheck failed: ERROR - Empty string returned");

    view_.Click(Control::mnuPause);
    EXPECT_EQ(view_.trayTip, "Windows DDNS Client\nPaused");
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
