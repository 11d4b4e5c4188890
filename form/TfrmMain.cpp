#include "form/TfrmMain.h"

#include "crypto/Password.h"
#include "form/FormRules.h"
#include "platform/FileError.h"
#include "platform/FileIO.h"
#include "platform/Paths.h"

#include <iostream>
#include <utility>

namespace zevlo::form {

namespace {

constexpr int kMinInterval = 5;
constexpr int kMaxInterval = 60;
constexpr int kMsPerMinute = 60 * 1000;

const char *const kUnpauseCredentialsMessage = "Username and password are required when using HTTP authentication";
const char *const kUnpauseHostnameMessage =
    "Hostname cannot be empty. Please place dash (minus sign) and/or contact\r\n"
    "web administrator for a correct value";

// The controls of the check-IP endpoint that the custom script replaces.
constexpr Control kCheckIPRequestControls[] = {
    Control::lblCProtocol, Control::lblCPort,     Control::lblCServer,   Control::lblCBaseURI,
    Control::lblCMethod,   Control::lblCAuthType, Control::cmbCProtocol, Control::cmbCMethod,
    Control::cmbCAuthType, Control::edtCPort,     Control::edtCServer,   Control::edtCBaseURI,
};

BoxKind BoxKindFor(MessageKind kind) {
    switch (kind) {
    case MessageKind::Error:
        return BoxKind::Error;
    case MessageKind::Warning:
        return BoxKind::Warning;
    case MessageKind::FileError:
        break;
    }
    return BoxKind::FileError;
}

char UpperAscii(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

bool SameTextIgnoringCase(const std::string &a, const std::string &b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (UpperAscii(a[i]) != UpperAscii(b[i]))
            return false;
    }
    return true;
}

// True when a window whose top left corner stands at `topLeft` can be reached on a screen:
// its title bar, not only its corner, must be there to be grabbed.
bool ReachableOnSomeScreen(Point topLeft, const std::vector<Rect> &screens) {
    const Point titleBar{topLeft.x + 16, topLeft.y + 8};
    for (const Rect &screen : screens) {
        if (screen.Contains(titleBar))
            return true;
    }
    return false;
}

} // namespace

// Shows the busy cursor while a child runs: the window cannot answer in that time, and
// the user should see why.
class TfrmMain::BusyRunner final : public platform::IProcessRunner {
public:
    BusyRunner(platform::IProcessRunner &inner, IMainView &view) : inner_(inner), view_(view) {}

    platform::RunResult RunCommand(const std::string &command, const std::string &directory) override {
        Busy busy(view_);
        return inner_.RunCommand(command, directory);
    }
    platform::RunResult RunProgram(const std::vector<std::string> &args, const std::string &directory,
                                   const std::optional<std::string> &input) override {
        Busy busy(view_);
        return inner_.RunProgram(args, directory, input);
    }

private:
    // Restores the cursor however the run ends.
    class Busy {
    public:
        explicit Busy(IMainView &view) : view_(view) { view_.SetBusy(true); }
        ~Busy() { view_.SetBusy(false); }
        Busy(const Busy &) = delete;
        Busy &operator=(const Busy &) = delete;

    private:
        IMainView &view_;
    };

    platform::IProcessRunner &inner_;
    IMainView &view_;
};

TfrmMain::TfrmMain(IMainView &view, ILogView &logView, MainServices services)
    : view_(view), logView_(logView), services_(std::move(services)) {
    if (!services_.versionText)
        services_.versionText = [] { return std::string(); };
    busyRunner_ = std::make_unique<BusyRunner>(*services_.runner, view_);
    FormCreate();
}

TfrmMain::~TfrmMain() {
    view_.SetTrayIcon(false);
    frmLog_.reset();
    engine_.reset();
    dm_.reset();
}

void TfrmMain::FormCreate() {
    FAllowClose = false;
    view_.SetTrayTip(kApplicationTitle);
    view_.SetTrayIcon(true);

    dm_ = std::make_unique<Tdm>(services_.clock);
    dm_->SettingsFile = services_.dataDir + "Settings.ini";
    dm_->AppDir = services_.dataDir;
    dm_->LogFile = services_.dataDir + "log.txt";
    bool settingsUnreadable = false;
    try {
        dm_->LoadSettings();
    } catch (const FileError &error) {
        settingsUnreadable = true;
        startUpErrors_.emplace_back(error.what());
    }
    // The fields hold defaults when the settings could not be read: no trimming to them.
    try {
        dm_->LoadLog(!settingsUnreadable);
    } catch (const FileError &error) {
        startUpErrors_.emplace_back(error.what());
    }
    engine_ = std::make_unique<Engine>(*dm_, *this, *busyRunner_, *this, services_.programDir);
    frmLog_ = std::make_unique<TfrmLog>(*dm_, logView_);

    if (settingsUnreadable || !platform::PathExists(dm_->SettingsFile)) {
        // Nothing stored is known: the check-IP list keeps its own default entry, "Basic".
        dm_->FSET_CIP_Auth = 1;
        // An unreadable file is no first run.
        dm_->FSET_FirstRun = !settingsUnreadable;
    }

    view_.SetCaption(std::string(kApplicationTitle) + " v" + services_.versionText());

    if (dm_->FSET_Interval < kMinInterval)
        dm_->FSET_Interval = kMinInterval;
    if (dm_->FSET_Interval > kMaxInterval)
        dm_->FSET_Interval = kMaxInterval;
    // Set once: an interval chosen later applies from the next start.
    timerPeriodMs_ = dm_->FSET_Interval * kMsPerMinute;
    view_.StopTimer();

    // Red until the first showing finds them filled.
    view_.SetAlert(Control::lblUser, true);
    view_.SetAlert(Control::lblPass, true);
    ApplySettingsToForm();

    if (dm_->FSET_FirstRun || dm_->FSET_StateIsPaused || settingsUnreadable) {
        ShowPausedMarker(true);
        view_.SetText(Control::mnuPause, "Unpause");
        dm_->FSET_StateIsPaused = true;
        startRunning_ = false;
    } else {
        startRunning_ = true;
        view_.StartTimer(timerPeriodMs_);
    }
    UpdateTrayTip();

    if (!startRunning_) {
        ShowMainWindow();
    } else if (!view_.TrayAvailable()) {
        view_.ShowMinimised();
        FormShow();
    }
}

void TfrmMain::StartUp() {
    for (const std::string &error : startUpErrors_) {
        if (terminating_)
            return;
        ShowBox(MessageKind::FileError, error);
    }
    startUpErrors_.clear();
    if (terminating_ || !startRunning_ || dm_->FSET_StateIsPaused)
        return;
    RunCycle(false);
}

void TfrmMain::ShowPausedMarker(bool shown) {
    view_.SetVisible(Control::lblPaused, shown);
    view_.SetVisible(Control::btnUnpause, shown);
}

void TfrmMain::RunCycle(bool force) {
    const bool ran = force ? engine_->ForceUpdate() : engine_->CheckAndUpdate();
    if (!ran)
        return;
    lastCycle_ = services_.clock();
    UpdateTrayTip();
}

void TfrmMain::UpdateTrayTip() {
    const CycleOutcome &outcome = engine_->LastOutcome();
    std::string state;
    if (dm_->FSET_StateIsPaused) {
        state = "Paused";
    } else if (outcome.checkFailed || outcome.updateFailed) {
        state = (outcome.updateFailed ? "update failed: " : "check failed: ") + outcome.failure;
    } else if (outcome.ran) {
        state = dm_->FSET_LAST_IP + ", checked " + Tdm::LogTimestamp(lastCycle_);
    } else {
        state = dm_->FSET_LAST_IP;
    }
    view_.SetTrayTip(TrayTipText(state));
}

void TfrmMain::SetCheckedWithClick(Control box, bool checked) {
    if (view_.Checked(box) == checked)
        return;
    view_.SetChecked(box, checked);
    UserActed(box);
}

void TfrmMain::SelectEntry(Control list, int index) {
    view_.SetEntry(list, EntryOrNone(ListEntries(list), index));
}

int TfrmMain::ShownEntry(Control list) const {
    if (!IsEditableList(list))
        return view_.Entry(list);
    const std::string text = view_.Text(list);
    const std::vector<std::string> &entries = ListEntries(list);
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (SameTextIgnoringCase(entries[i], text))
            return static_cast<int>(i);
    }
    return -1;
}

void TfrmMain::ApplySettingsToForm() {
    if (dm_->FSET_FrmX > 0 || dm_->FSET_FrmY > 0) {
        Point place = view_.Position();
        if (dm_->FSET_FrmX > 0)
            place.x = dm_->FSET_FrmX;
        if (dm_->FSET_FrmY > 0)
            place.y = dm_->FSET_FrmY;
        // A place left from a screen that is gone would hide the window for good.
        if (ReachableOnSomeScreen(place, view_.ScreenAreas()))
            view_.MoveTo(place);
    }
    view_.SetText(Control::spnMaxLog, std::to_string(ClampMaxLog(dm_->FMaxLog)));
    view_.SetText(Control::edtUser, dm_->FSET_User);
    view_.SetText(Control::edtPass, DecryptPassword(dm_->FSET_Pass));
    view_.SetText(Control::edtHostname, dm_->FSET_Hostname.empty() ? "-" : dm_->FSET_Hostname);

    const EndpointValues update = EndpointFromSettings(*dm_, RequestKind::Update);
    SelectEntry(Control::cmbProtocol, dm_->FSET_UPD_Protocol);
    SelectEntry(Control::cmbMethod, dm_->FSET_UPD_Method);
    SelectEntry(Control::cmbAuthType, dm_->FSET_UPD_Auth);
    view_.SetText(Control::edtPort, update.port);
    view_.SetText(Control::edtServer, update.server);
    view_.SetText(Control::edtBaseURI, update.baseUri);

    const EndpointValues check = EndpointFromSettings(*dm_, RequestKind::CheckIP);
    SelectEntry(Control::cmbCProtocol, dm_->FSET_CIP_Protocol);
    SelectEntry(Control::cmbCMethod, dm_->FSET_CIP_Method);
    SelectEntry(Control::cmbCAuthType, dm_->FSET_CIP_Auth);
    view_.SetText(Control::edtCPort, check.port);
    view_.SetText(Control::edtCServer, check.server);
    view_.SetText(Control::edtCBaseURI, check.baseUri);

    view_.SetText(Control::edtCustomChkIP, dm_->FSET_CIP_CUSTOMSCRIPT);
    SetCheckedWithClick(Control::chkCustomIP, dm_->FSET_CIP_CHKCUSTOM);
    UpdateCheckIPControls();

    view_.SetText(Control::mnuPause, dm_->FSET_StateIsPaused ? "Unpause" : "Pause");
    ShowPausedMarker(dm_->FSET_StateIsPaused);
    SetCheckedWithClick(Control::chkRememberPause, dm_->FSET_RememberPaused);
}

void TfrmMain::ReadSettingsFromForm() {
    dm_->FSET_UPD_Protocol = view_.Entry(Control::cmbProtocol);
    dm_->FSET_UPD_Port = view_.Text(Control::edtPort);
    dm_->FSET_UPD_Server = view_.Text(Control::edtServer);
    dm_->FSET_UPD_BaseURI = view_.Text(Control::edtBaseURI);
    dm_->FSET_UPD_Method = view_.Entry(Control::cmbMethod);
    dm_->FSET_UPD_Auth = ShownEntry(Control::cmbAuthType);
    dm_->FSET_CIP_Protocol = view_.Entry(Control::cmbCProtocol);
    dm_->FSET_CIP_Port = view_.Text(Control::edtCPort);
    dm_->FSET_CIP_Server = view_.Text(Control::edtCServer);
    dm_->FSET_CIP_BaseURI = view_.Text(Control::edtCBaseURI);
    dm_->FSET_CIP_Method = view_.Entry(Control::cmbCMethod);
    dm_->FSET_User = view_.Text(Control::edtUser);
    dm_->FSET_Pass = EncryptPassword(view_.Text(Control::edtPass));
    dm_->FSET_CIP_CUSTOMSCRIPT = view_.Text(Control::edtCustomChkIP);
    dm_->FSET_CIP_CHKCUSTOM = view_.Checked(Control::chkCustomIP);
    const Point place = view_.Position();
    dm_->FSET_FrmX = place.x;
    dm_->FSET_FrmY = place.y;
    dm_->FMaxLog = MaxLogFromText(view_.Text(Control::spnMaxLog), ClampMaxLog(dm_->FMaxLog));
    dm_->FSET_Hostname = view_.Text(Control::edtHostname);
}

void TfrmMain::UpdateCheckIPControls() {
    const bool endpointUsed = !view_.Checked(Control::chkCustomIP);
    for (const Control control : kCheckIPRequestControls)
        view_.SetEnabled(control, endpointUsed);
    view_.SetEnabled(Control::edtCustomChkIP, !endpointUsed);
}

EndpointValues TfrmMain::Endpoint(RequestKind kind) const {
    const bool update = kind == RequestKind::Update;
    const Control auth = update ? Control::cmbAuthType : Control::cmbCAuthType;
    EndpointValues values;
    values.protocol = view_.Text(update ? Control::cmbProtocol : Control::cmbCProtocol);
    values.port = view_.Text(update ? Control::edtPort : Control::edtCPort);
    values.server = view_.Text(update ? Control::edtServer : Control::edtCServer);
    values.baseUri = view_.Text(update ? Control::edtBaseURI : Control::edtCBaseURI);
    values.method = view_.Text(update ? Control::cmbMethod : Control::cmbCMethod);
    values.authText = view_.Text(auth);
    values.authIndex = ShownEntry(auth);
    return values;
}

bool TfrmMain::CustomScriptChecked() const {
    return view_.Checked(Control::chkCustomIP);
}

std::string TfrmMain::CustomScriptPath() const {
    return view_.Text(Control::edtCustomChkIP);
}

std::string TfrmMain::UserText() const {
    return view_.Text(Control::edtUser);
}

std::string TfrmMain::PasswordText() const {
    return view_.Text(Control::edtPass);
}

BoxAnswer TfrmMain::ShowBox(MessageKind kind, const std::string &text) {
    return view_.ShowBox(BoxKindFor(kind), CaptionFor(kind), text);
}

void TfrmMain::ShowMessage(MessageKind kind, const std::string &text) {
    if (!terminating_)
        ShowBox(kind, text);
}

void TfrmMain::ShowMainWindow() {
    const bool wasHidden = !view_.IsVisible();
    view_.ShowWindow();
    if (wasHidden)
        FormShow();
}

void TfrmMain::FormShow() {
    // The stored choice stays selected, "None" included.
    SelectEntry(Control::cmbCAuthType, dm_->FSET_CIP_Auth);
    const int entry = IntervalEntry(dm_->FSET_Interval);
    if (entry >= 0)
        view_.SetEntry(Control::cmbUpdInterval, entry);
    // With unreadable settings the fields are mere defaults: the login entry is left alone.
    if (!dm_->SettingsUnreadable()) {
        SetCheckedWithClick(Control::chkStartWithWin, dm_->FSET_StartWithWindows);
        if (dm_->FSET_StartWithWindows && !services_.autostart->IsPresent())
            services_.autostart->Write(services_.executablePath);
    }
    if (!view_.Text(Control::edtUser).empty())
        view_.SetAlert(Control::lblUser, false);
    if (!view_.Text(Control::edtPass).empty())
        view_.SetAlert(Control::lblPass, false);
}

void TfrmMain::FormHide() {
    const Point place = view_.Position();
    dm_->FSET_FrmX = place.x;
    dm_->FSET_FrmY = place.y;
}

bool TfrmMain::FormCloseQuery() {
    // Terminating: the controls are read back only by the Terminate button.
    if (FAllowClose)
        return true;
    ReadSettingsFromForm();
    HideToTray();
    return false;
}

void TfrmMain::HideToTray() {
    // Without a notification area a hidden window could never be brought back.
    if (view_.TrayAvailable()) {
        view_.SetTrayIcon(true);
        view_.HideWindow();
        FormHide();
    } else {
        view_.ShowMinimised();
    }
}

bool TfrmMain::edtPortKeyPress(char32_t key) const {
    return PortKeyAccepted(key);
}

void TfrmMain::cmbProtocolChange() {
    const int entry = view_.Entry(Control::cmbProtocol);
    view_.SetText(Control::edtPort, PortForProtocol(entry));
    dm_->FSET_UPD_Protocol = entry;
}

void TfrmMain::cmbCProtocolChange() {
    const int entry = view_.Entry(Control::cmbCProtocol);
    view_.SetText(Control::edtCPort, PortForProtocol(entry));
    dm_->FSET_CIP_Protocol = entry;
}

void TfrmMain::cmbCAuthTypeChange() {
    dm_->FSET_CIP_Auth = view_.Entry(Control::cmbCAuthType);
}

void TfrmMain::chkCustomIPClick() {
    UpdateCheckIPControls();
}

void TfrmMain::spdCOpenDirClick() {
    const std::string pattern = platform::AllFilesPattern();
    const std::string path =
        view_.ChooseFileToOpen(view_.Text(Control::edtCustomChkIP), {"All files(" + pattern + ")", pattern});
    if (!path.empty())
        view_.SetText(Control::edtCustomChkIP, path);
}

void TfrmMain::chkStartWithWinClick() {
    const bool checked = view_.Checked(Control::chkStartWithWin);
    dm_->FSET_StartWithWindows = checked;
    // Failures are not reported: the setting itself is kept either way.
    if (checked)
        services_.autostart->Write(services_.executablePath);
    else
        services_.autostart->Remove();
}

void TfrmMain::btnSaveConfigClick() {
    ReadSettingsFromForm();
    try {
        dm_->SaveSettings(true);
    } catch (const FileError &error) {
        ShowBox(MessageKind::FileError, error.what());
    }
}

void TfrmMain::btnViewLogClick() {
    try {
        dm_->SaveLog();
    } catch (const FileError &error) {
        // The viewer would show a file that does not match the log.
        ShowBox(MessageKind::FileError, error.what());
        return;
    }
    if (!terminating_)
        view_.ShowLogViewer();
}

void TfrmMain::cmbUpdIntervalChange() {
    // The running timer keeps its period; the new interval applies from the next start.
    dm_->FSET_Interval = IntervalMinutes(view_.Entry(Control::cmbUpdInterval));
}

void TfrmMain::Timer1Timer() {
    if (!terminating_)
        RunCycle(false);
}

void TfrmMain::TakeAccountFromFields() {
    dm_->FSET_User = view_.Text(Control::edtUser);
    dm_->FSET_Pass = EncryptPassword(view_.Text(Control::edtPass));
    dm_->FSET_Hostname = view_.Text(Control::edtHostname);
}

void TfrmMain::btnForceUpdateClick() {
    if (terminating_)
        return;
    // What the fields show is what goes out; the save after the update keeps it.
    TakeAccountFromFields();
    RunCycle(true);
}

void TfrmMain::btnUnpauseClick() {
    if (view_.Text(Control::edtUser).empty() || view_.Text(Control::edtPass).empty()) {
        ShowBox(MessageKind::Error, kUnpauseCredentialsMessage);
        return;
    }
    if (view_.Text(Control::edtHostname).empty()) {
        ShowBox(MessageKind::Error, kUnpauseHostnameMessage);
        return;
    }
    ShowPausedMarker(false);
    TakeAccountFromFields();
    view_.StartTimer(timerPeriodMs_);
    dm_->FSET_StateIsPaused = false;
    dm_->FSET_FirstRun = false;
    UpdateTrayTip();
    RunCycle(false);
}

void TfrmMain::mnuPauseClick() {
    if (dm_->FSET_StateIsPaused) {
        view_.SetText(Control::mnuPause, "Pause");
        view_.StartTimer(timerPeriodMs_);
        dm_->FSET_StateIsPaused = false;
        ShowPausedMarker(false);
    } else {
        view_.SetText(Control::mnuPause, "Unpause");
        view_.StopTimer();
        ShowPausedMarker(true);
        dm_->FSET_StateIsPaused = true;
    }
    UpdateTrayTip();
}

void TfrmMain::mnuShowClick() {
    ShowMainWindow();
}

void TfrmMain::popTrayPopup() {
    view_.SetText(Control::mnuPause, dm_->FSET_StateIsPaused ? "Unpause" : "Pause");
}

void TfrmMain::chkRememberPauseClick() {
    dm_->FSET_RememberPaused = view_.Checked(Control::chkRememberPause);
}

void TfrmMain::btnTerminateClick() {
    const BoxAnswer answer = view_.ShowBox(BoxKind::Confirmation, "Confirm", "Terminate application");
    if (terminating_ || answer != BoxAnswer::Yes)
        return;
    ReadSettingsFromForm();
    Terminate();
}

void TfrmMain::mnuTerminateClick() {
    Terminate();
}

void TfrmMain::UserActed(Control control) {
    switch (control) {
    case Control::cmbUpdInterval:
        return cmbUpdIntervalChange();
    case Control::chkStartWithWin:
        return chkStartWithWinClick();
    case Control::chkRememberPause:
        return chkRememberPauseClick();
    case Control::btnViewLog:
        return btnViewLogClick();
    case Control::cmbProtocol:
        return cmbProtocolChange();
    case Control::btnForceUpdate:
        return btnForceUpdateClick();
    case Control::cmbCProtocol:
        return cmbCProtocolChange();
    case Control::cmbCAuthType:
        return cmbCAuthTypeChange();
    case Control::chkCustomIP:
        return chkCustomIPClick();
    case Control::spdCOpenDir:
        return spdCOpenDirClick();
    case Control::btnUnpause:
        return btnUnpauseClick();
    case Control::btnSaveConfig:
        return btnSaveConfigClick();
    case Control::btnTerminate:
        return btnTerminateClick();
    case Control::mnuShow:
        return mnuShowClick();
    case Control::mnuTerminate:
        return mnuTerminateClick();
    case Control::mnuPause:
        return mnuPauseClick();
    default:
        return;
    }
}

void TfrmMain::SaveForSession() {
    // A session may end while an update runs (Windows asks then): the file keeps the address
    // the service knows, so that the next start sends the update again.
    const std::string inMemory = dm_->FSET_LAST_IP;
    dm_->FSET_LAST_IP = engine_->SettledAddress();
    try {
        dm_->SaveSettings();
    } catch (const FileError &error) {
        std::cerr << error.what() << '\n';
    }
    dm_->FSET_LAST_IP = inMemory;
    try {
        dm_->SaveLog();
    } catch (const FileError &error) {
        std::cerr << error.what() << '\n';
    }
}

void TfrmMain::Terminate() {
    if (terminating_)
        return;
    terminating_ = true;
    FAllowClose = true;
    view_.StopTimer();
    engine_->Abandon();
    view_.EndEventLoops();
}

} // namespace zevlo::form
