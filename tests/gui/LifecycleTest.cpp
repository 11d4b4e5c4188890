#include "app/Program.h"
#include "tests/gui/MainWindowFixture.h"

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QSystemTrayIcon>
#include <QTest>
#include <QTimer>

#include <csignal>

namespace zevlo::test {
namespace {

using LifecycleTest = MainWindowTest;

constexpr int kWatchdogStatus = 99;

// Runs the application's main loop as the program does, starting with `first`; a watchdog
// ends it with its own status if nothing else does.
int RunMainLoop(const std::function<void()> &first) {
    QTimer watchdog;
    watchdog.setSingleShot(true);
    QObject::connect(&watchdog, &QTimer::timeout, [] { QCoreApplication::exit(kWatchdogStatus); });
    watchdog.start(20000);
    QTimer::singleShot(0, &watchdog, first);
    return QApplication::exec();
}

struct CloseCase {
    bool tray;
    bool hidden;
    bool minimised;
};

void PrintTo(const CloseCase &c, std::ostream *out) {
    *out << (c.tray ? "with" : "without") << " tray";
}

class CloseTest : public MainWindowTest, public ::testing::WithParamInterface<CloseCase> {};

TEST_P(CloseTest, ClosingNeverEndsTheProgramAndReadsTheControlsBack) {
    const CloseCase &c = GetParam();
    trayAvailable_ = c.tray;
    WriteSettings(PausedSettings());
    const std::string before = ReadFile(SettingsPath());
    TfrmMain &window = Open();
    Settle();
    Find<QLineEdit>("edtHostname")->setText("other.example.org");

    EXPECT_FALSE(window.close());
    EXPECT_EQ(window.isHidden(), c.hidden);
    EXPECT_EQ(window.isMinimized(), c.minimised);
    EXPECT_EQ(window.dm().FSET_Hostname, "other.example.org");
    EXPECT_EQ(ReadFile(SettingsPath()), before) << "closing writes nothing";
}

INSTANTIATE_TEST_SUITE_P(NotificationArea, CloseTest,
                         ::testing::Values(CloseCase{true, true, false}, CloseCase{false, false, true}));

TEST_F(LifecycleTest, TheNotificationAreaIsAskedAgainAtEveryClose) {
    WriteSettings(PausedSettings());
    trayAvailable_ = false;
    TfrmMain &window = Open();
    Settle();
    window.close();
    ASSERT_TRUE(window.isMinimized());

    trayAvailable_ = true; // the panel came up after the program
    window.showNormal();
    window.close();
    EXPECT_TRUE(window.isHidden());
}

TEST_F(LifecycleTest, HidingRecordsThePosition) {
    WriteSettings(PausedSettings());
    TfrmMain &window = Open();
    Settle();
    window.move(70, 80);
    // Hidden without a close: the close would read the position back by itself.
    window.hide();
    Close();
    EXPECT_TRUE(FileHasLine(SettingsPath(), "FSET_FrmX=70"));
    EXPECT_TRUE(FileHasLine(SettingsPath(), "FSET_FrmY=80"));
}

TEST_F(LifecycleTest, LeftClickOnTheTrayIconShowsTheWindow) {
    WriteSettings(RunningSettings());
    TfrmMain &window = Open();
    Settle();
    auto *tray = window.findChild<QSystemTrayIcon *>("trayIcon");
    ASSERT_NE(tray, nullptr);
    EXPECT_EQ(tray->toolTip(), "Windows DDNS Client");
    EXPECT_FALSE(tray->icon().isNull());

    emit tray->activated(QSystemTrayIcon::Context);
    EXPECT_FALSE(window.isVisible());
    emit tray->activated(QSystemTrayIcon::Trigger);
    EXPECT_TRUE(window.isVisible());
}

TEST_F(LifecycleTest, TerminateAnsweredNoKeepsRunningAndSavesNothing) {
    WriteSettings(RunningSettings());
    TfrmMain &window = Open();
    Settle();
    window.show();
    const std::string before = ReadFile(SettingsPath());
    Find<QLineEdit>("edtHostname")->setText("other.example.org");

    ModalAnswerer answerer({QMessageBox::No});
    QTest::mouseClick(Find<QPushButton>("btnTerminate"), Qt::LeftButton);

    ASSERT_EQ(answerer.boxes.size(), 1u);
    EXPECT_EQ(answerer.boxes[0].caption, "Confirm");
    EXPECT_EQ(answerer.boxes[0].text, "Terminate application");
    EXPECT_EQ(answerer.boxes[0].icon, QMessageBox::Question);
    EXPECT_FALSE(window.AllowClose());
    EXPECT_TRUE(Find<QTimer>("Timer1")->isActive());
    EXPECT_EQ(window.dm().FSET_Hostname, "home.example.org");
    EXPECT_EQ(ReadFile(SettingsPath()), before);
    window.Timer1Timer();
    EXPECT_EQ(runner_.Checks(), 2) << "still checking";
}

TEST_F(LifecycleTest, TerminateAnsweredYesReadsTheControlsBackAndSavesAtTheEnd) {
    WriteSettings(PausedSettings());
    TfrmMain &window = Open();
    Find<QLineEdit>("edtHostname")->setText("other.example.org");

    ModalAnswerer answerer({QMessageBox::Yes});
    const int status = RunMainLoop([&] { QTest::mouseClick(Find<QPushButton>("btnTerminate"), Qt::LeftButton); });

    EXPECT_EQ(status, 0);
    EXPECT_TRUE(window.AllowClose());
    ASSERT_EQ(answerer.boxes.size(), 1u);
    Close();
    EXPECT_TRUE(FileHasLine(SettingsPath(), "FSET_Hostname=other.example.org"));
}

TEST_F(LifecycleTest, TrayTerminateAsksNothingAndReadsNothingBack) {
    WriteSettings(PausedSettings());
    Open();
    Find<QLineEdit>("edtHostname")->setText("other.example.org");

    ModalAnswerer answerer;
    const int status = RunMainLoop([&] { Find<QAction>("mnuTerminate")->trigger(); });

    EXPECT_EQ(status, 0);
    EXPECT_TRUE(answerer.boxes.empty());
    Close();
    EXPECT_TRUE(FileHasLine(SettingsPath(), "FSET_Hostname=home.example.org"));
    EXPECT_TRUE(FileHasLine(SettingsPath(), "FSET_StateIsPaused=TRUE"));
}

TEST_F(LifecycleTest, TerminationEndsAnOpenMessageBoxAndTheCycle) {
    WriteSettings(RunningSettings());
    runner_.checkAnswer = "203.0.113.9";
    runner_.updateAnswer = "nochg 203.0.113.9";
    TfrmMain &window = Open();

    ModalAnswerer answerer;
    answerer.onModal = [&](QWidget *) {
        Find<QAction>("mnuTerminate")->trigger();
        return true; // the box is left open
    };
    const int status = RunMainLoop([] {});

    EXPECT_EQ(status, 0);
    ASSERT_EQ(answerer.boxes.size(), 1u);
    EXPECT_EQ(answerer.boxes[0].caption, "Warning");
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    EXPECT_EQ(runner_.calls.size(), 2u);
    EXPECT_FALSE(Find<QTimer>("Timer1")->isActive());
    window.Timer1Timer();
    EXPECT_EQ(runner_.calls.size(), 2u) << "nothing is sent once terminating";
    Close();
    EXPECT_TRUE(FileHasLine(SettingsPath(), "FSET_LAST_IP=203.0.113.9"));
}

TEST_F(LifecycleTest, SessionSaveOnlySavesAndTheSessionManagersQuitTerminates) {
    WriteSettings(RunningSettings());
    TfrmMain &window = Open();
    Settle();
    SessionEnd sessionEnd(window);
    window.cmbUpdIntervalChange(5); // 60 min, in memory only
    window.dm().LogLines.push_back("unsaved line");
    Find<QLineEdit>("edtHostname")->setText("other.example.org");

    sessionEnd.CommitData();
    EXPECT_TRUE(FileHasLine(SettingsPath(), "FSET_Interval=60"));
    EXPECT_TRUE(FileHasLine(LogPath(), "unsaved line"));
    EXPECT_FALSE(window.AllowClose()) << "a session save is no logout";
    EXPECT_TRUE(Find<QTimer>("Timer1")->isActive());

    const int status = RunMainLoop([] { QCoreApplication::postEvent(qApp, new QEvent(QEvent::Quit)); });
    EXPECT_EQ(status, 0);
    EXPECT_TRUE(window.AllowClose());
    Close();
    EXPECT_TRUE(FileHasLine(SettingsPath(), "FSET_Hostname=home.example.org")) << "nothing is read back";
}

TEST_F(LifecycleTest, TerminationSignalEndsTheProgramWhileTheStartUpBoxIsOpen) {
    ASSERT_TRUE(TerminationSignals::Install());
    TerminationSignals signalSource;
    WriteSettings(RunningSettings());
    runner_.checkAnswer = "203.0.113.9";
    runner_.updateAnswer = "badauth";
    TfrmMain &window = Open();
    QObject::connect(&signalSource, &TerminationSignals::requested, &window, &TfrmMain::Terminate);

    ModalAnswerer answerer;
    answerer.onModal = [](QWidget *) {
        std::raise(SIGTERM);
        return true;
    };
    const int status = RunMainLoop([] {});

    EXPECT_EQ(status, 0);
    EXPECT_TRUE(TerminationSignals::Received());
    EXPECT_TRUE(window.AllowClose());
    ASSERT_EQ(answerer.boxes.size(), 1u);
    EXPECT_EQ(answerer.boxes[0].text, "Update: badauth");
}

} // namespace
} // namespace zevlo::test
