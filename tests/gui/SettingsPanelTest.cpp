#include "tests/gui/MainWindowFixture.h"

#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTest>
#include <QToolButton>

#include <filesystem>

namespace zevlo::test {
namespace {

using SettingsPanelTest = MainWindowTest;

TEST_F(SettingsPanelTest, EmptyStoredEndpointsShowTheirDefaultsAndAreStoredBack) {
    WriteSettings(PausedSettings());
    Open();
    Settle();

    EXPECT_EQ(Find<QLineEdit>("edtPort")->text(), "443");
    EXPECT_EQ(Find<QLineEdit>("edtServer")->text(), "ddns.example.net");
    EXPECT_EQ(Find<QLineEdit>("edtBaseURI")->text(), "/v3/update");
    EXPECT_EQ(Find<QLineEdit>("edtCPort")->text(), "443");
    EXPECT_EQ(Find<QLineEdit>("edtCServer")->text(), "ddns.example.net");
    EXPECT_EQ(Find<QLineEdit>("edtCBaseURI")->text(), "/checkip");

    QTest::mouseClick(Find<QPushButton>("btnSaveConfig"), Qt::LeftButton);
    for (const char *line : {"FSET_UPD_Port=443", "FSET_UPD_Server=ddns.example.net", "FSET_UPD_BaseURI=/v3/update",
                             "FSET_CIP_Port=443", "FSET_CIP_Server=ddns.example.net", "FSET_CIP_BaseURI=/checkip"})
        EXPECT_TRUE(FileHasLine(SettingsPath(), line)) << line;
}

TEST_F(SettingsPanelTest, FirstRunKeepsTheListDefaultsAndRedAccountLabels) {
    TfrmMain &window = Open();
    Settle();

    // Nothing is stored yet, so showing selects the list's own default, not entry 0.
    EXPECT_EQ(Find<QComboBox>("cmbCAuthType")->currentText(), "Basic");
    EXPECT_EQ(window.Endpoint(RequestKind::CheckIP).authIndex, 1);
    EXPECT_EQ(Find<QLineEdit>("edtHostname")->text(), "-");
    EXPECT_EQ(Find<QLabel>("lblUser")->palette().color(QPalette::WindowText), QColor(Qt::red));
    Close();
    EXPECT_TRUE(FileHasLine(SettingsPath(), "FSET_CIP_Auth=1"));
}

TEST_F(SettingsPanelTest, FilledAccountFieldsTurnTheirLabelsNormal) {
    std::vector<std::string> lines = PausedSettings();
    lines[3] = "FSET_Pass=";
    WriteSettings(lines);
    Open();
    Settle();

    EXPECT_NE(Find<QLabel>("lblUser")->palette().color(QPalette::WindowText), QColor(Qt::red));
    EXPECT_EQ(Find<QLabel>("lblPass")->palette().color(QPalette::WindowText), QColor(Qt::red));
}

struct ProtocolCase {
    const char *list;
    const char *port;
    bool update;
};

void PrintTo(const ProtocolCase &c, std::ostream *out) {
    *out << c.list;
}

class ProtocolChangeTest : public MainWindowTest, public ::testing::WithParamInterface<ProtocolCase> {};

TEST_P(ProtocolChangeTest, OverwritesATypedPortAndStoresTheEntry) {
    const ProtocolCase &c = GetParam();
    TfrmMain &window = Open();
    Settle();
    auto *list = Find<QComboBox>(c.list);
    auto *port = Find<QLineEdit>(c.port);
    port->setText("8080");

    QTest::keyClick(list, Qt::Key_Down);
    EXPECT_EQ(list->currentText(), "HTTP");
    EXPECT_EQ(port->text(), "8245");
    EXPECT_EQ(c.update ? window.dm().FSET_UPD_Protocol : window.dm().FSET_CIP_Protocol, 1);

    port->setText("8080");
    QTest::keyClick(list, Qt::Key_Up);
    EXPECT_EQ(port->text(), "443");
    EXPECT_EQ(c.update ? window.dm().FSET_UPD_Protocol : window.dm().FSET_CIP_Protocol, 0);
}

INSTANTIATE_TEST_SUITE_P(BothEndpoints, ProtocolChangeTest,
                         ::testing::Values(ProtocolCase{"cmbProtocol", "edtPort", true},
                                           ProtocolCase{"cmbCProtocol", "edtCPort", false}));

class PortFieldTest : public MainWindowTest, public ::testing::WithParamInterface<const char *> {};

TEST_P(PortFieldTest, RefusesTypedLettersButTakesDigitsBackspaceAndPaste) {
    Open();
    Settle();
    auto *port = Find<QLineEdit>(GetParam());
    port->setFocus();

    QTest::keyClicks(port, "a1-b2 x");
    EXPECT_EQ(port->text(), "44312");
    QTest::keyClick(port, Qt::Key_Backspace);
    EXPECT_EQ(port->text(), "4431");
    // Characters typed with Alt, AltGr (Ctrl+Alt on Windows) or Meta held are typed text too.
    QTest::keyClick(port, Qt::Key_Q, Qt::AltModifier);
    QTest::keyClick(port, Qt::Key_Q, Qt::ControlModifier | Qt::AltModifier);
    QTest::keyClick(port, Qt::Key_Q, Qt::MetaModifier);
    EXPECT_EQ(port->text(), "4431");

    QGuiApplication::clipboard()->setText("9z");
    QTest::keyClick(port, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(port->text(), "44319z");
}

INSTANTIATE_TEST_SUITE_P(BothPorts, PortFieldTest, ::testing::Values("edtPort", "edtCPort"));

TEST_F(SettingsPanelTest, CustomScriptBoxGreysTheCheckIPRequestControls) {
    Open();
    Settle();
    const char *const requestControls[] = {"lblCProtocol", "lblCPort",     "lblCServer",   "lblCBaseURI",
                                           "lblCMethod",   "lblCAuthType", "cmbCProtocol", "cmbCMethod",
                                           "cmbCAuthType", "edtCPort",     "edtCServer",   "edtCBaseURI"};
    Find<QTabWidget>("pgcMain")->setCurrentWidget(Find<QWidget>("tabCheckIP"));
    auto *custom = Find<QCheckBox>("chkCustomIP");
    EXPECT_FALSE(Find<QLineEdit>("edtCustomChkIP")->isEnabled());

    QTest::mouseClick(custom, Qt::LeftButton);
    ASSERT_TRUE(custom->isChecked());
    for (const char *name : requestControls)
        EXPECT_FALSE(Find<QWidget>(name)->isEnabled()) << name;
    EXPECT_TRUE(Find<QLineEdit>("edtCustomChkIP")->isEnabled());
    EXPECT_TRUE(Find<QToolButton>("spdCOpenDir")->isEnabled());

    QTest::mouseClick(custom, Qt::LeftButton);
    for (const char *name : requestControls)
        EXPECT_TRUE(Find<QWidget>(name)->isEnabled()) << name;
    EXPECT_FALSE(Find<QLineEdit>("edtCustomChkIP")->isEnabled());
    EXPECT_TRUE(Find<QToolButton>("spdCOpenDir")->isEnabled());
}

TEST_F(SettingsPanelTest, TypedAuthenticationMatchingNoEntryIsStoredAsNoneAndNotShownAgain) {
    WriteSettings(PausedSettings());
    TfrmMain &window = Open();
    Settle();
    auto *auth = Find<QComboBox>("cmbAuthType");
    auth->lineEdit()->clear();
    QTest::keyClicks(auth->lineEdit(), "Bearer");
    QTest::keyClick(auth->lineEdit(), Qt::Key_Return);

    EXPECT_EQ(auth->count(), 2) << "typed text is never added to the list";
    EXPECT_EQ(window.Endpoint(RequestKind::Update).authText, "Bearer");
    EXPECT_EQ(window.Endpoint(RequestKind::Update).authIndex, -1);
    QTest::mouseClick(Find<QPushButton>("btnSaveConfig"), Qt::LeftButton);
    EXPECT_TRUE(FileHasLine(SettingsPath(), "FSET_UPD_Auth=-1"));

    Close();
    Open();
    Settle();
    auth = Find<QComboBox>("cmbAuthType");
    EXPECT_EQ(auth->currentIndex(), -1);
    EXPECT_EQ(auth->currentText(), "");
}

TEST_F(SettingsPanelTest, UncheckingStartWithWindowsDeletesTheEntryAndShowingDoesNotWriteItAgain) {
    std::vector<std::string> lines = PausedSettings();
    lines[1] = "FSET_StartWithWindows=TRUE";
    WriteSettings(lines);
    autostart_.present = true;
    TfrmMain &window = Open();
    Settle();
    ASSERT_TRUE(autostart_.writes.empty());

    QTest::mouseClick(Find<QCheckBox>("chkStartWithWin"), Qt::LeftButton);
    EXPECT_FALSE(autostart_.present);
    EXPECT_EQ(autostart_.removes, 1);
    EXPECT_FALSE(window.dm().FSET_StartWithWindows);

    window.close();
    window.show();
    EXPECT_TRUE(autostart_.writes.empty());
    EXPECT_FALSE(autostart_.present);

    QTest::mouseClick(Find<QCheckBox>("chkStartWithWin"), Qt::LeftButton);
    ASSERT_EQ(autostart_.writes.size(), 1u);
    EXPECT_EQ(autostart_.writes[0], ExePath());
    Close();
    EXPECT_TRUE(FileHasLine(SettingsPath(), "FSET_StartWithWindows=TRUE"));
}

TEST_F(SettingsPanelTest, SaveConfigStoresTheControlsAndTheEncryptedPassword) {
    WriteSettings(PausedSettings());
    Open();
    Settle();
    Find<QLineEdit>("edtUser")->setText("bob");
    Find<QLineEdit>("edtPass")->setText("hunter2");
    Find<QLineEdit>("edtHostname")->setText("office.example.org");
    Find<QSpinBox>("spnMaxLog")->setValue(250);

    QTest::mouseClick(Find<QPushButton>("btnSaveConfig"), Qt::LeftButton);
    EXPECT_TRUE(FileHasLine(SettingsPath(), "FSET_User=bob"));
    EXPECT_TRUE(FileHasLine(SettingsPath(), "FSET_Hostname=office.example.org"));
    EXPECT_TRUE(FileHasLine(SettingsPath(), "FMaxLog=250"));
    EXPECT_FALSE(FileHasLine(SettingsPath(), "FSET_Pass=hunter2")) << "never stored in the clear";
    EXPECT_EQ(ReadFile(SettingsPath()).find("hunter2"), std::string::npos);
}

TEST_F(SettingsPanelTest, FailedSavesShowAFileErrorAndKeepRunning) {
    WriteSettings(PausedSettings());
    TfrmMain &window = Open();
    Settle();
    std::filesystem::remove_all(dataDir_);

    ModalAnswerer answerer;
    QTest::mouseClick(Find<QPushButton>("btnSaveConfig"), Qt::LeftButton);
    ASSERT_EQ(answerer.boxes.size(), 1u);
    EXPECT_EQ(answerer.boxes[0].caption, "Windows DDNS Client");
    EXPECT_TRUE(answerer.boxes[0].text.startsWith("Cannot create file \"")) << answerer.boxes[0].text.toStdString();
    EXPECT_TRUE(window.isVisible());

    // The viewer would show a file that is not the log: it stays closed.
    QTest::mouseClick(Find<QPushButton>("btnViewLog"), Qt::LeftButton);
    ASSERT_EQ(answerer.boxes.size(), 2u);
    EXPECT_TRUE(answerer.boxes[1].text.startsWith("Cannot create file \"")) << answerer.boxes[1].text.toStdString();
    EXPECT_TRUE(answerer.dialogs.isEmpty());
}

TEST_F(SettingsPanelTest, ViewLogWritesTheLogBeforeOpeningTheViewer) {
    WriteSettings(RunningSettings());
    TfrmMain &window = Open();
    Settle();
    ASSERT_EQ(runner_.Checks(), 1);
    std::filesystem::remove(LogPath());
    window.show();

    ModalAnswerer answerer;
    QTest::mouseClick(Find<QPushButton>("btnViewLog"), Qt::LeftButton);
    EXPECT_EQ(answerer.dialogs, QStringList{"Log"});
    EXPECT_NE(ReadFile(LogPath()).find("No changed detected."), std::string::npos);
}

} // namespace
} // namespace zevlo::test
