#include "form/FormRules.h"
#include "tests/form/FormFixture.h"

namespace zevlo::test {
namespace {

using SettingsPanelTest = FormTest;

TEST_F(SettingsPanelTest, EmptyStoredEndpointsShowTheirDefaultsAndAreStoredBack) {
    WriteSettings(With(PausedSettings(), {"FSET_CIP_Protocol=1"}));
    Open();
    EXPECT_EQ(view_[Control::edtPort].text, "443");
    EXPECT_EQ(view_[Control::edtServer].text, "ddns.example.net");
    EXPECT_EQ(view_[Control::edtBaseURI].text, "/v3/update");
    EXPECT_EQ(view_[Control::edtCPort].text, "8245") << "the port of the stored protocol";
    EXPECT_EQ(view_[Control::edtCServer].text, "ddns.example.net");
    EXPECT_EQ(view_[Control::edtCBaseURI].text, "/checkip");

    view_.Click(Control::btnSaveConfig);
    for (const char *line : {"FSET_UPD_Port=443", "FSET_UPD_Server=ddns.example.net", "FSET_UPD_BaseURI=/v3/update",
                             "FSET_CIP_Port=8245", "FSET_CIP_Server=ddns.example.net", "FSET_CIP_BaseURI=/checkip"})
        EXPECT_TRUE(FileHasLine(SettingsPath(), line)) << line;
}

TEST_F(SettingsPanelTest, FirstRunKeepsTheListDefaultsAndRedAccountLabels) {
    form::TfrmMain &form = Open();
    // Nothing is stored yet, so showing selects the list's own default, not entry 0.
    EXPECT_EQ(view_.Text(Control::cmbCAuthType), "Basic");
    EXPECT_EQ(form.Endpoint(RequestKind::CheckIP).authIndex, 1);
    EXPECT_EQ(view_[Control::edtHostname].text, "-");
    EXPECT_TRUE(view_[Control::lblUser].alert);
    EXPECT_TRUE(view_[Control::lblPass].alert);
    Close();
    EXPECT_TRUE(FileHasLine(SettingsPath(), "FSET_CIP_Auth=1"));
}

TEST_F(SettingsPanelTest, AnAccountLabelTurnsNormalOnceItsFieldHoldsTextNeverRedAgain) {
    WriteSettings(With(PausedSettings(), {"FSET_Pass="}));
    Open();
    EXPECT_FALSE(view_[Control::lblUser].alert);
    EXPECT_TRUE(view_[Control::lblPass].alert);

    view_.Type(Control::edtUser, "");
    EXPECT_FALSE(view_[Control::lblUser].alert) << "never red again";
    view_.Type(Control::edtPass, "s");
    EXPECT_FALSE(view_[Control::lblPass].alert) << "as soon as its field holds text";
    view_.Type(Control::edtPass, "");
    EXPECT_FALSE(view_[Control::lblPass].alert);
}

class ProtocolChangeTest : public FormTest, public ::testing::WithParamInterface<bool> {};

TEST_P(ProtocolChangeTest, OverwritesATypedPortAndStoresTheEntry) {
    const bool update = GetParam();
    const Control list = update ? Control::cmbProtocol : Control::cmbCProtocol;
    const Control port = update ? Control::edtPort : Control::edtCPort;
    form::TfrmMain &form = Open();
    auto stored = [&] { return update ? form.dm().FSET_UPD_Protocol : form.dm().FSET_CIP_Protocol; };

    view_.Type(port, "8080");
    view_.Choose(list, 1);
    EXPECT_EQ(view_[port].text, "8245");
    EXPECT_EQ(stored(), 1);
    view_.Type(port, "8080");
    view_.Choose(list, 0);
    EXPECT_EQ(view_[port].text, "443");
    EXPECT_EQ(stored(), 0);
}

INSTANTIATE_TEST_SUITE_P(BothEndpoints, ProtocolChangeTest, ::testing::Bool());

TEST_F(SettingsPanelTest, PortFieldsTakeDigitsAndControlCharactersOnly) {
    form::TfrmMain &form = Open();
    for (const char32_t key : {U'0', U'5', U'9', U'\b', char32_t{0x16} /* Ctrl+V */, U'\r', char32_t{0x7f}})
        EXPECT_TRUE(form.edtPortKeyPress(key)) << static_cast<unsigned>(key);
    for (const char32_t key : {U'a', U'Z', U'-', U' ', U'.', U'\u0663' /* Arabic-Indic three */})
        EXPECT_FALSE(form.edtPortKeyPress(key)) << static_cast<unsigned>(key);
}

TEST_F(SettingsPanelTest, MaxLogIsReadBackRoundedWithinItsRange) {
    const std::pair<const char *, int> rows[] = {{"250", 250},   {"250.5", 251}, {"99", 100},
                                                 {"5001", 5000}, {"abc", 500},   {"", 500}};
    for (const auto &[text, stored] : rows)
        EXPECT_EQ(form::MaxLogFromText(text, 500), stored) << text;
    EXPECT_EQ(form::ClampMaxLog(20), 100);
}

TEST_F(SettingsPanelTest, CustomScriptBoxGreysTheCheckIPRequestControls) {
    Open();
    const Control requestControls[] = {Control::lblCProtocol, Control::lblCPort,   Control::lblCServer,
                                       Control::lblCBaseURI,  Control::lblCMethod, Control::lblCAuthType,
                                       Control::cmbCProtocol, Control::cmbCMethod, Control::cmbCAuthType,
                                       Control::edtCPort,     Control::edtCServer, Control::edtCBaseURI};
    EXPECT_FALSE(view_[Control::edtCustomChkIP].enabled);

    view_.Click(Control::chkCustomIP);
    for (const Control control : requestControls)
        EXPECT_FALSE(view_[control].enabled) << form::ControlName(control);
    EXPECT_TRUE(view_[Control::edtCustomChkIP].enabled);
    EXPECT_TRUE(view_[Control::spdCOpenDir].enabled);

    view_.fileToOpen = "/home/alice/ip.sh";
    view_.Click(Control::spdCOpenDir);
    EXPECT_EQ(view_[Control::edtCustomChkIP].text, "/home/alice/ip.sh");
    ASSERT_EQ(view_.openDialogFilters.size(), 1u);
    EXPECT_EQ(view_.openDialogFilters[0].rfind("All files(*", 0), 0u);

    view_.Click(Control::chkCustomIP);
    for (const Control control : requestControls)
        EXPECT_TRUE(view_[control].enabled) << form::ControlName(control);
    EXPECT_FALSE(view_[Control::edtCustomChkIP].enabled);
}

TEST_F(SettingsPanelTest, TypedAuthenticationMatchingNoEntryIsStoredAsNoneAndNotShownAgain) {
    WriteSettings(PausedSettings());
    form::TfrmMain &form = Open();
    view_.Type(Control::cmbAuthType, "digest");
    EXPECT_EQ(form.Endpoint(RequestKind::Update).authIndex, 1) << "an entry's text in any case is the entry";
    view_.Type(Control::cmbAuthType, "Bearer");
    EXPECT_EQ(form.Endpoint(RequestKind::Update).authText, "Bearer");
    EXPECT_EQ(form.Endpoint(RequestKind::Update).authIndex, -1);
    view_.Click(Control::btnSaveConfig);
    EXPECT_TRUE(FileHasLine(SettingsPath(), "FSET_UPD_Auth=-1"));

    Close();
    Open();
    EXPECT_EQ(view_[Control::cmbAuthType].entry, -1);
    EXPECT_EQ(view_.Text(Control::cmbAuthType), "");
}

TEST_F(SettingsPanelTest, UncheckingStartWithWindowsDeletesTheEntryAndShowingDoesNotWriteItAgain) {
    WriteSettings(With(PausedSettings(), {"FSET_StartWithWindows=TRUE"}));
    autostart_.present = true;
    form::TfrmMain &form = Open();
    ASSERT_TRUE(autostart_.writes.empty());

    view_.Click(Control::chkStartWithWin);
    EXPECT_FALSE(autostart_.present);
    EXPECT_EQ(autostart_.removes, 1);
    EXPECT_FALSE(form.dm().FSET_StartWithWindows);

    EXPECT_FALSE(form.FormCloseQuery());
    view_.Click(Control::mnuShow);
    EXPECT_TRUE(autostart_.writes.empty());
    EXPECT_FALSE(autostart_.present);

    view_.Click(Control::chkStartWithWin);
    ASSERT_EQ(autostart_.writes.size(), 1u);
    EXPECT_EQ(autostart_.writes[0], ExePath());
    Close();
    EXPECT_TRUE(FileHasLine(SettingsPath(), "FSET_StartWithWindows=TRUE"));
}

TEST_F(SettingsPanelTest, SaveConfigStoresTheControlsAndTheEncryptedPassword) {
    WriteSettings(PausedSettings());
    Open();
    view_.Type(Control::edtUser, "bob");
    view_.Type(Control::edtPass, "hunter2");
    view_.Type(Control::edtHostname, "office.example.org");
    view_.Type(Control::spnMaxLog, "250");

    view_.Click(Control::btnSaveConfig);
    EXPECT_TRUE(FileHasLine(SettingsPath(), "FSET_User=bob"));
    EXPECT_TRUE(FileHasLine(SettingsPath(), "FSET_Hostname=office.example.org"));
    EXPECT_TRUE(FileHasLine(SettingsPath(), "FMaxLog=250"));
    EXPECT_EQ(ReadBytes(SettingsPath()).find("hunter2"), std::string::npos) << "never stored in the clear";
}

TEST_F(SettingsPanelTest, FailedSavesShowAFileErrorAndKeepRunning) {
    WriteSettings(PausedSettings());
    Open();
    std::filesystem::remove_all(DataDir());

    view_.Click(Control::btnSaveConfig);
    ASSERT_EQ(view_.boxes.size(), 1u);
    EXPECT_EQ(view_.boxes[0].caption, "Windows DDNS Client");
    EXPECT_EQ(view_.boxes[0].text.rfind("Cannot create file \"", 0), 0u) << view_.boxes[0].text;
    EXPECT_TRUE(view_.visible);

    // The viewer would show a file that is not the log: it stays closed.
    view_.Click(Control::btnViewLog);
    ASSERT_EQ(view_.boxes.size(), 2u);
    EXPECT_EQ(view_.boxes[1].text.rfind("Cannot create file \"", 0), 0u) << view_.boxes[1].text;
    EXPECT_EQ(view_.logViewerShowings, 0);
}

TEST_F(SettingsPanelTest, ViewLogWritesTheLogBeforeOpeningTheViewer) {
    WriteSettings(RunningSettings());
    Open();
    ASSERT_EQ(runner_.Checks(), 1);
    std::filesystem::remove(LogPath());
    std::string shownFile;
    view_.whileLogViewerOpen = [&] { shownFile = ReadBytes(LogPath()); };

    view_.Click(Control::btnViewLog);
    EXPECT_EQ(view_.logViewerShowings, 1);
    EXPECT_NE(shownFile.find("No changed detected."), std::string::npos);
}

} // namespace
} // namespace zevlo::test
