#include "tests/gui/MainWindowFixture.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QTimer>

namespace zevlo::test {
namespace {

using ScheduleTest = MainWindowTest;

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

class UnpauseTest : public MainWindowTest, public ::testing::WithParamInterface<UnpauseCase> {};

TEST_P(UnpauseTest, ValidatesTheAccountThenTheHostname) {
    const UnpauseCase &c = GetParam();
    TfrmMain &window = Open(); // first run: paused
    Settle();
    Find<QLineEdit>("edtUser")->setText(c.user);
    Find<QLineEdit>("edtPass")->setText(c.password);
    Find<QLineEdit>("edtHostname")->setText(c.hostname);

    ModalAnswerer answerer;
    QTest::mouseClick(Find<QPushButton>("btnUnpause"), Qt::LeftButton);

    if (c.message != nullptr) {
        ASSERT_EQ(answerer.boxes.size(), 1u);
        EXPECT_EQ(answerer.boxes[0].caption, "Error");
        EXPECT_EQ(answerer.boxes[0].icon, QMessageBox::Critical);
        EXPECT_EQ(answerer.boxes[0].text, c.message);
        EXPECT_TRUE(Find<QLabel>("lblPaused")->isVisible());
        EXPECT_FALSE(Find<QTimer>("Timer1")->isActive());
        EXPECT_TRUE(window.dm().FSET_StateIsPaused);
        EXPECT_TRUE(window.dm().FSET_FirstRun);
        EXPECT_TRUE(runner_.calls.empty());
    } else {
        EXPECT_TRUE(answerer.boxes.empty());
        EXPECT_FALSE(Find<QLabel>("lblPaused")->isVisible());
        EXPECT_FALSE(Find<QPushButton>("btnUnpause")->isVisible());
        EXPECT_TRUE(Find<QTimer>("Timer1")->isActive());
        EXPECT_FALSE(window.dm().FSET_StateIsPaused);
        EXPECT_FALSE(window.dm().FSET_FirstRun);
        EXPECT_EQ(window.dm().FSET_User, c.user);
        EXPECT_EQ(runner_.Checks(), 1) << "a validated resume checks at once";
        // The first address is new: its update names the host the user typed.
        ASSERT_EQ(runner_.Updates(), 1);
        EXPECT_NE(UpdateUrl().find(std::string("?hostname=") + c.hostname + "&"), std::string::npos) << UpdateUrl();
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
    TfrmMain &window = Open();
    Settle();
    ASSERT_EQ(runner_.calls.size(), 1u);
    auto *menu = Find<QMenu>("popTray");
    auto *pause = Find<QAction>("mnuPause");

    emit menu->aboutToShow();
    EXPECT_EQ(pause->text(), "Pause");
    pause->trigger();
    EXPECT_TRUE(window.dm().FSET_StateIsPaused);
    EXPECT_FALSE(Find<QTimer>("Timer1")->isActive());
    EXPECT_FALSE(Find<QLabel>("lblPaused")->isHidden());
    emit menu->aboutToShow();
    EXPECT_EQ(pause->text(), "Unpause");

    pause->trigger();
    Settle();
    EXPECT_FALSE(window.dm().FSET_StateIsPaused);
    EXPECT_TRUE(Find<QTimer>("Timer1")->isActive());
    EXPECT_TRUE(Find<QLabel>("lblPaused")->isHidden());
    EXPECT_EQ(runner_.calls.size(), 1u) << "no request before the next tick";

    window.Timer1Timer();
    EXPECT_EQ(runner_.calls.size(), 2u);
}

TEST_F(ScheduleTest, SixtyMinutesKeepsTheRunningPeriodAndIsStored) {
    WriteSettings(RunningSettings());
    TfrmMain &window = Open();
    Settle();
    auto *timer = Find<QTimer>("Timer1");
    ASSERT_EQ(timer->interval(), 5 * 60000);

    QTest::keyClick(Find<QComboBox>("cmbUpdInterval"), Qt::Key_End);
    EXPECT_EQ(Find<QComboBox>("cmbUpdInterval")->currentText(), "60 min");
    EXPECT_EQ(window.dm().FSET_Interval, 60);
    EXPECT_EQ(timer->interval(), 5 * 60000);
    EXPECT_TRUE(timer->isActive());

    QTest::mouseClick(Find<QPushButton>("btnSaveConfig"), Qt::LeftButton);
    EXPECT_TRUE(FileHasLine(SettingsPath(), "FSET_Interval=60"));
}

TEST_F(ScheduleTest, ForceUpdateSendsTheUpdateWithoutAChange) {
    WriteSettings(RunningSettings());
    Open();
    Settle();
    ASSERT_EQ(runner_.Checks(), 1);
    ASSERT_EQ(runner_.Updates(), 0) << "the stored address did not change";
    // An edited host name goes out with the update, saved or not.
    Find<QLineEdit>("edtHostname")->setText("office.example.org");

    QTest::mouseClick(Find<QPushButton>("btnForceUpdate"), Qt::LeftButton);
    EXPECT_EQ(runner_.Checks(), 2);
    ASSERT_EQ(runner_.Updates(), 1);
    EXPECT_NE(UpdateUrl().find("hostname=office.example.org&myip=198.51.100.7"), std::string::npos) << UpdateUrl();
}

TEST_F(ScheduleTest, NoCheckStartsWhileOneOfTheEnginesBoxesIsOpen) {
    WriteSettings(RunningSettings());
    runner_.checkAnswer = "203.0.113.9";
    runner_.updateAnswer = "badauth";
    TfrmMain &window = Open();

    ModalAnswerer answerer;
    answerer.onModal = [&](QWidget *) {
        window.Timer1Timer();
        window.btnForceUpdateClick();
        return false; // then OK
    };
    Settle();

    ASSERT_EQ(answerer.boxes.size(), 1u);
    EXPECT_EQ(answerer.boxes[0].caption, "Error");
    EXPECT_EQ(answerer.boxes[0].text, "Update: badauth");
    EXPECT_EQ(runner_.Checks(), 1);
    EXPECT_EQ(runner_.Updates(), 1);

    window.Timer1Timer();
    EXPECT_EQ(runner_.Checks(), 2) << "the next tick after the box checks again";
}

TEST_F(ScheduleTest, RequestsRunUnderTheBusyCursor) {
    WriteSettings(RunningSettings());
    runner_.checkAnswer = "203.0.113.9";
    Open();
    Settle();

    ASSERT_EQ(runner_.calls.size(), 2u);
    EXPECT_TRUE(runner_.calls[0].busyCursor);
    EXPECT_TRUE(runner_.calls[1].busyCursor);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(ScheduleTest, WarningAnswersAreShownAsPlainText) {
    WriteSettings(RunningSettings());
    runner_.checkAnswer = "203.0.113.9";
    runner_.updateAnswer = "nochg <b>203.0.113.9</b>";
    ModalAnswerer answerer;
    Open();
    Settle();

    ASSERT_EQ(answerer.boxes.size(), 1u);
    EXPECT_EQ(answerer.boxes[0].caption, "Warning");
    EXPECT_EQ(answerer.boxes[0].icon, QMessageBox::Warning);
    EXPECT_EQ(answerer.boxes[0].text, "Update: nochg <b>203.0.113.9</b>");
    EXPECT_EQ(answerer.boxes[0].format, Qt::PlainText);
}

} // namespace
} // namespace zevlo::test
