#include "tests/gui/MainWindowFixture.h"

#include <QComboBox>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTimer>

#include <filesystem>

namespace zevlo::test {
namespace {

using StartupTest = MainWindowTest;

TEST_F(StartupTest, FirstRunOpensPausedWithoutRequestAndRemembersItWasOne) {
    TfrmMain &window = Open();
    Settle();

    EXPECT_TRUE(window.isVisible());
    EXPECT_EQ(window.windowTitle(), "Windows DDNS Client v3.0.0.0");
    EXPECT_EQ(window.size(), QSize(296, 377));
    EXPECT_TRUE(Find<QLabel>("lblPaused")->isVisible());
    EXPECT_EQ(Find<QLabel>("lblPaused")->text(), "Application paused");
    EXPECT_TRUE(Find<QPushButton>("btnUnpause")->isVisible());
    EXPECT_FALSE(Find<QTimer>("Timer1")->isActive());
    EXPECT_TRUE(runner_.calls.empty());

    Close();
    EXPECT_TRUE(FileHasLine(SettingsPath(), "FSET_FirstRun=TRUE"));
    EXPECT_TRUE(FileHasLine(SettingsPath(), "FSET_StateIsPaused=TRUE"));
}

TEST_F(StartupTest, StoredPausedStateOpensPausedAndIsNoFirstRun) {
    WriteSettings(PausedSettings());
    TfrmMain &window = Open();
    Settle();

    EXPECT_TRUE(window.isVisible());
    EXPECT_TRUE(Find<QLabel>("lblPaused")->isVisible());
    EXPECT_FALSE(Find<QTimer>("Timer1")->isActive());
    EXPECT_FALSE(window.dm().FSET_FirstRun);
    EXPECT_TRUE(runner_.calls.empty());
}

TEST_F(StartupTest, RunningStartStaysHiddenAndChecksOnceFromTheEventLoop) {
    WriteSettings(RunningSettings());
    TfrmMain &window = Open();

    EXPECT_FALSE(window.isVisible());
    EXPECT_TRUE(runner_.calls.empty()) << "the first check waits for the event loop";
    EXPECT_TRUE(Find<QTimer>("Timer1")->isActive());
    EXPECT_EQ(Find<QTimer>("Timer1")->interval(), 5 * 60000);

    Settle();
    EXPECT_EQ(runner_.Checks(), 1);
    EXPECT_EQ(runner_.Updates(), 0);
    EXPECT_FALSE(window.isVisible());
}

TEST_F(StartupTest, RunningStartWithoutNotificationAreaIsMinimisedNotHidden) {
    trayAvailable_ = false;
    WriteSettings(RunningSettings());
    TfrmMain &window = Open();
    Settle();

    EXPECT_TRUE(window.isVisible());
    EXPECT_TRUE(window.isMinimized());
    EXPECT_EQ(runner_.Checks(), 1);
}

TEST_F(StartupTest, UnreadableSettingsOpenPausedAndAreNeverWrittenOver) {
    // A link to a folder cannot be read even by root.
    const std::filesystem::path target = std::filesystem::path(dataDir_) / "elsewhere";
    std::filesystem::create_directory(target);
    std::filesystem::create_directory_symlink(target, SettingsPath());
    std::string longLog;
    for (int i = 0; i < 600; ++i)
        longLog += "1/2/26 10:00:00\tCheck:  line " + std::to_string(i) + "\r\n";
    WriteFile(LogPath(), longLog);

    ModalAnswerer answerer;
    TfrmMain &window = Open();
    Settle();

    ASSERT_EQ(answerer.boxes.size(), 1u);
    EXPECT_EQ(answerer.boxes[0].caption, "Windows DDNS Client");
    EXPECT_TRUE(answerer.boxes[0].text.startsWith("Cannot open file \"")) << answerer.boxes[0].text.toStdString();
    EXPECT_TRUE(window.isVisible());
    EXPECT_TRUE(Find<QLabel>("lblPaused")->isVisible());
    EXPECT_FALSE(window.dm().FSET_FirstRun);
    EXPECT_TRUE(runner_.calls.empty());
    EXPECT_TRUE(autostart_.writes.empty()) << "the login entry is left alone";
    EXPECT_EQ(autostart_.removes, 0);
    // Nothing is known of the stored choice: the list keeps its own default entry.
    EXPECT_EQ(Find<QComboBox>("cmbCAuthType")->currentText(), "Basic");

    Close();
    EXPECT_TRUE(std::filesystem::is_symlink(SettingsPath()));
    EXPECT_TRUE(std::filesystem::is_empty(target));
    // Not trimmed to the default bound of a settings file that was never read.
    EXPECT_EQ(ReadFile(LogPath()), longLog);
}

TEST_F(StartupTest, UnreadableLogIsReportedAndTheProgramGoesOn) {
    WriteSettings(RunningSettings());
    const std::filesystem::path target = std::filesystem::path(dataDir_) / "elsewhere";
    std::filesystem::create_directory(target);
    std::filesystem::create_directory_symlink(target, LogPath());

    ModalAnswerer answerer;
    Open();
    Settle();

    ASSERT_EQ(answerer.boxes.size(), 1u);
    EXPECT_EQ(answerer.boxes[0].caption, "Windows DDNS Client");
    EXPECT_TRUE(answerer.boxes[0].text.startsWith("Cannot open file \"")) << answerer.boxes[0].text.toStdString();
    EXPECT_EQ(runner_.Checks(), 1) << "the first check follows the box";
    Close();
    EXPECT_TRUE(std::filesystem::is_symlink(LogPath()));
    EXPECT_TRUE(std::filesystem::is_empty(target));
}

struct IntervalCase {
    const char *stored;
    int timerMs;
    int entry; // selected interval entry after showing
    const char *saved;
};

void PrintTo(const IntervalCase &c, std::ostream *out) {
    *out << "FSET_Interval=" << c.stored;
}

class StoredIntervalTest : public MainWindowTest, public ::testing::WithParamInterface<IntervalCase> {};

TEST_P(StoredIntervalTest, BoundsTheTimerAndStoresTheBoundedValue) {
    const IntervalCase &c = GetParam();
    std::vector<std::string> lines = PausedSettings();
    lines.push_back(std::string("FSET_Interval=") + c.stored);
    WriteSettings(lines);
    Open();
    Settle();

    EXPECT_EQ(Find<QTimer>("Timer1")->interval(), c.timerMs);
    EXPECT_EQ(Find<QComboBox>("cmbUpdInterval")->currentIndex(), c.entry);
    Close();
    EXPECT_TRUE(FileHasLine(SettingsPath(), std::string("FSET_Interval=") + c.saved));
}

INSTANTIATE_TEST_SUITE_P(Intervals, StoredIntervalTest,
                         ::testing::Values(IntervalCase{"2", 300000, 0, "5"}, IntervalCase{"15", 900000, 2, "15"},
                                           IntervalCase{"45", 2700000, 0, "45"}, IntervalCase{"60", 3600000, 5, "60"},
                                           IntervalCase{"90", 3600000, 5, "60"},
                                           IntervalCase{"100000", 3600000, 5, "60"}));

struct PositionCase {
    const char *x;
    const char *y;
    bool centred;
};

void PrintTo(const PositionCase &c, std::ostream *out) {
    *out << c.x << "," << c.y;
}

class StoredPositionTest : public MainWindowTest, public ::testing::WithParamInterface<PositionCase> {};

TEST_P(StoredPositionTest, IsUsedOnlyWhenPositiveAndOnAScreen) {
    const PositionCase &c = GetParam();
    std::vector<std::string> lines = PausedSettings();
    lines.push_back(std::string("FSET_FrmX=") + c.x);
    lines.push_back(std::string("FSET_FrmY=") + c.y);
    WriteSettings(lines);
    TfrmMain &window = Open();
    Settle();

    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    const QPoint centred = screen.center() - QPoint(window.width() / 2, window.height() / 2);
    if (c.centred)
        EXPECT_EQ(window.pos(), centred);
    else
        EXPECT_EQ(window.pos(), QPoint(std::stoi(c.x), std::stoi(c.y)));
}

INSTANTIATE_TEST_SUITE_P(Positions, StoredPositionTest,
                         ::testing::Values(PositionCase{"40", "30", false}, PositionCase{"-1", "-1", true},
                                           PositionCase{"0", "0", true}, PositionCase{"40000", "30000", true}));

TEST_F(StartupTest, ShowingWritesAMissingLoginEntryWhileTheSettingIsOn) {
    std::vector<std::string> lines = PausedSettings();
    lines[1] = "FSET_StartWithWindows=TRUE";
    WriteSettings(lines);
    Open();
    Settle();

    ASSERT_EQ(autostart_.writes.size(), 1u);
    EXPECT_EQ(autostart_.writes[0], ExePath());
}

TEST_F(StartupTest, ShowingSelectsTheStoredCheckIPAuthentication) {
    // "None" stays "None" instead of falling back to the list's default entry.
    WriteSettings(PausedSettings());
    Open();
    Settle();
    EXPECT_EQ(Find<QComboBox>("cmbCAuthType")->currentText(), "None");
}

} // namespace
} // namespace zevlo::test
