#include "form/TfrmMain.h"

#include "data/KnownServices.h"
#include "form/FormRules.h"
#include "platform/DateTime.h"
#include "platform/FileError.h"
#include "platform/FileIO.h"

#include <iostream>
#include <utility>

namespace zevlo::form {

namespace {

constexpr int kFolderRetryMs = 1000;
constexpr int kMinInterval = 5;
constexpr int kMaxInterval = 60;
constexpr int kMsPerMinute = 60 * 1000;

const char *const kUnpauseCredentialsMessage = "Username and password are required when using HTTP authentication";
const char *const kUnknownServiceAdvice =
    ".\r\nNothing is sent until you choose the service in the Service list (or keep Custom and check "
    "the endpoints) and unpause.";
const char *const kUnpauseHostnameMessage =
    "Hostname cannot be empty. Please place dash (minus sign) and/or contact\r\n"
    "web administrator for a correct value";

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
    if (!services_.shortTime)
        services_.shortTime = [](auto when) { return platform::ShortTimeText(platform::ToLocalTime(when)); };
    busyRunner_ = std::make_unique<BusyRunner>(*services_.runner, view_);
    FormCreate();
}

TfrmMain::~TfrmMain() {
    view_.FormGone();
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
    engine_ = std::make_unique<Engine>(*dm_, *this, *busyRunner_, *this, services_.programDir);
    frmLog_ = std::make_unique<TfrmLog>(*dm_, logView_);
    view_.SetCaption(std::string(kApplicationTitle) + " v" + services_.versionText());

    // The tray icon comes first and the files only with the data folder's lock: while another
    // copy (a timer's run, --store-password) holds it, the program must already answer
    // Terminate, signals and the session's end, yet read nothing that copy may be rewriting and
    // write nothing over it. Timer1 asks for the lock until it comes; the start goes on then.
    if (!TakeDataFolder()) {
        waitingForFolder_ = true;
        view_.StartTimer(kFolderRetryMs);
        return;
    }
    StartWithFiles();
}

bool TfrmMain::TakeDataFolder() {
    std::string why;
    if (!services_.lockDataFolder || services_.lockDataFolder(why))
        return true;
    view_.SetTrayTip(TrayTipText("waiting for " + services_.dataDir + ": " + why));
    return false;
}

void TfrmMain::StartWithFiles() {
    dm_->SettingsFile = services_.dataDir + "Settings.ini";
    dm_->AppDir = services_.dataDir;
    dm_->LogFile = services_.dataDir + "log.txt";
    bool settingsUnreadable = false;
    try {
        dm_->LoadSettings();
    } catch (const FileError &error) {
        settingsUnreadable = true;
        startUpBoxes_.push_back({MessageKind::FileError, error.what()});
    }
    // The fields hold defaults when the settings could not be read: no trimming to them.
    try {
        dm_->LoadLog(!settingsUnreadable);
    } catch (const FileError &error) {
        startUpBoxes_.push_back({MessageKind::FileError, error.what()});
    }

    if (settingsUnreadable || !platform::PathExists(dm_->SettingsFile)) {
        dm_->ApplyValuesWithoutFile();
        // An unreadable file is no first run.
        if (settingsUnreadable)
            dm_->FSET_FirstRun = false;
    }

    // The list shows "Custom" and the fields what would be sent: nothing goes out until the
    // user has looked at them and unpaused.
    const std::string unknownService = UnknownServiceText(*dm_);
    if (!unknownService.empty()) {
        startUpBoxes_.push_back({MessageKind::Warning, unknownService + kUnknownServiceAdvice});
        dm_->FSET_UPD_Service.clear();
    }

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

    startRunning_ = !(dm_->FSET_FirstRun || dm_->FSET_StateIsPaused || settingsUnreadable || !unknownService.empty());
    SetPaused(!startRunning_);

    if (!startRunning_) {
        ShowMainWindow();
    } else if (!view_.TrayAvailable()) {
        view_.ShowMinimised();
        FormShow();
    }
}

void TfrmMain::StartUp() {
    if (waitingForFolder_)
        return; // it comes once the folder is this copy's
    for (const PendingBox &box : startUpBoxes_) {
        if (terminating_)
            return;
        ShowBox(box.kind, box.text);
    }
    startUpBoxes_.clear();
    if (terminating_ || !startRunning_ || dm_->FSET_StateIsPaused)
        return;
    RunCycle(false, CycleCause::Schedule);
}

void TfrmMain::SetPaused(bool paused) {
    dm_->FSET_StateIsPaused = paused;
    if (paused)
        StopTimer1();
    else
        StartTimer1();
    schedule_.SetHeld(ChecksHeld());
    ArmCheckTimer();
    ShowPausedState();
    UpdateTrayTip();
}

void TfrmMain::ShowPausedState() {
    const bool paused = dm_->FSET_StateIsPaused;
    view_.SetVisible(Control::lblPaused, paused);
    view_.SetVisible(Control::btnUnpause, paused);
    const std::string reason = paused ? engine_->RefusalReason() : std::string();
    view_.SetToolTip(Control::lblPaused, reason.empty() ? std::string() : PausedText());
    ShowPauseMenuCaption();
}

void TfrmMain::ResumeByUser() {
    engine_->LiftRefusal();
    SetPaused(false);
}

void TfrmMain::ShowPauseMenuCaption() {
    view_.SetText(Control::mnuPause, dm_->FSET_StateIsPaused ? "Unpause" : "Pause");
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
    ShowFieldFilled(Control::edtUser, Control::lblUser);
    ShowFieldFilled(Control::edtPass, Control::lblPass);
}

void TfrmMain::FormHide() {
    StorePosition();
}

bool TfrmMain::FormCloseQuery() {
    // Terminating: the termination routine has read the controls back already.
    if (FAllowClose)
        return true;
    ReadSettingsFromForm();
    HideToTray();
    return false;
}

void TfrmMain::FormMinimised() {
    // Without a notification area minimised is where a closed window goes anyway.
    if (view_.TrayAvailable())
        FormCloseQuery();
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

void TfrmMain::btnSaveConfigClick() {
    ReadSettingsFromForm();
    WarnOfPlainHttpOnce();
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
        WithChecksHeld([this] { view_.ShowLogViewer(); });
}

void TfrmMain::Timer1Timer() {
    if (waitingForFolder_) {
        if (terminating_ || !TakeDataFolder())
            return;
        waitingForFolder_ = false;
        StartWithFiles();
        StartUp();
        return;
    }
    // A check came less than a minute ago (a retry, a wake): this tick has nothing to add.
    if (schedule_.TimerTicked(services_.clock()))
        CheckWanted();
}

void TfrmMain::btnForceUpdateClick() {
    if (terminating_)
        return;
    // What the fields show is what goes out; the save after the update keeps it.
    TakeAccountFromFields();
    RunCycle(true, CycleCause::User);
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
    TakeAccountFromFields();
    WarnOfPlainHttpOnce();
    dm_->FSET_FirstRun = false;
    view_.SetVisible(Control::lblHint, false);
    ResumeByUser();
    RunCycle(false, CycleCause::User);
}

void TfrmMain::mnuPauseClick() {
    // No check and no test of the fields here, unlike the Unpause button.
    if (dm_->FSET_StateIsPaused)
        ResumeByUser();
    else
        SetPaused(true);
}

void TfrmMain::mnuShowClick() {
    // Until the files are read the window would show mere defaults: the tray tip says why.
    if (!waitingForFolder_)
        ShowMainWindow();
}

void TfrmMain::popTrayPopup() {
    ShowPauseMenuCaption();
}

void TfrmMain::btnTerminateClick() {
    const BoxAnswer answer = ShowBox(BoxKind::Confirmation, "Confirm", "Terminate application");
    if (terminating_ || answer != BoxAnswer::Yes)
        return;
    Terminate();
}

void TfrmMain::mnuTerminateClick() {
    Terminate();
}

void TfrmMain::UserActed(Control control) {
    // While waiting for the data folder only Terminate does something: nothing is loaded yet.
    if (waitingForFolder_ && control != Control::mnuTerminate)
        return;
    switch (control) {
    case Control::cmbUpdInterval:
        return cmbUpdIntervalChange();
    case Control::chkStartWithWin:
        return chkStartWithWinClick();
    case Control::chkRememberPause:
        return chkRememberPauseClick();
    case Control::edtUser:
        return edtUserChange();
    case Control::edtPass:
        return edtPassChange();
    case Control::btnViewLog:
        return btnViewLogClick();
    case Control::cmbService:
        return cmbServiceChange();
    case Control::cmbProtocol:
        return cmbProtocolChange();
    case Control::edtPort:
    case Control::edtServer:
    case Control::edtBaseURI:
    case Control::cmbMethod:
    case Control::cmbAuthType:
    case Control::edtCPort:
    case Control::edtCServer:
    case Control::edtCBaseURI:
    case Control::cmbCMethod:
        return EndpointFieldEdited(control);
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
    // Whichever way the program ends, the next start uses what the window shows (the engine
    // has been sending it). Not over unreadable settings: the fields hold mere defaults then.
    if (!dm_->SettingsUnreadable())
        ReadSettingsFromForm();
    terminating_ = true;
    FAllowClose = true;
    StopTimer1();
    view_.StopCheckTimer();
    engine_->Abandon();
    view_.EndEventLoops();
}

} // namespace zevlo::form
