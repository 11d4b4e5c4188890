#pragma once

#include "data/Tdm.h"
#include "engine/Endpoints.h"
#include "engine/Engine.h"
#include "form/CheckSchedule.h"
#include "form/LogView.h"
#include "form/MainView.h"
#include "form/TfrmLog.h"
#include "platform/Autostart.h"
#include "platform/ProcessRunner.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace zevlo {
struct KnownService;
}

namespace zevlo::form {

// What the main window needs from the outside world; tests hand in temporary folders,
// a scripted runner, a recording login entry and their own clock.
struct MainServices {
    std::string programDir; // the executable's folder, with a trailing separator; curl runs here
    std::string dataDir;    // where Settings.ini and log.txt live, with a trailing separator
    std::string executablePath;
    platform::IProcessRunner *runner = nullptr;
    platform::IAutostart *autostart = nullptr;
    std::function<std::string()> versionText;
    Clock clock = std::chrono::system_clock::now;
    // Takes the data folder's lock for this copy: true once it is held. False, with `why` set
    // (in use by another copy, or the system's reason), while it cannot be had; asked again
    // later. Unset: the folder is this copy's.
    std::function<bool(std::string &why)> lockDataFolder;
    // A time of day in the user's short format (hours and minutes), for the tray tip's "next
    // try". Unset: the C library's hours and minutes of the local time.
    std::function<std::string(std::chrono::system_clock::time_point)> shortTime;
};

// The main window's behaviour: the settings panel on three tabs, the pause marker, the
// check timer and the tray icon, over a view that a shell implements. Owns the settings
// store, the engine and the log viewer's logic; the engine reads the panel through it and
// shows its messages through it. The settings panel's binding is in TfrmMainPanel.cpp.
class TfrmMain final : public IEndpointSource, public INotifier {
public:
    // Runs FormCreate; the views must be ready to use. The shell calls StartUp() once its
    // event loop runs.
    TfrmMain(IMainView &view, ILogView &logView, MainServices services);
    // FormDestroy: the icon goes, then the viewer, then the store, which writes the files.
    ~TfrmMain() override;
    TfrmMain(const TfrmMain &) = delete;
    TfrmMain &operator=(const TfrmMain &) = delete;

    Tdm &dm() { return *dm_; }
    Engine &engine() { return *engine_; }
    TfrmLog &frmLog() { return *frmLog_; }
    bool AllowClose() const { return FAllowClose; }
    bool Terminating() const { return terminating_; }

    // The first check and the file errors of the start, from the event loop, so that a
    // termination request arriving while one of their boxes is open ends the program.
    void StartUp();

    // IEndpointSource over the live controls.
    EndpointValues Endpoint(RequestKind kind) const override;
    bool CustomScriptChecked() const override;
    std::string CustomScriptPath() const override;
    std::string UserText() const override;
    std::string PasswordText() const override;

    // INotifier as message boxes: a cycle's messages are shown once it has ended, one box at a
    // time; none while terminating.
    void ShowMessage(MessageKind kind, const std::string &text) override;
    // The service refused an update: the window pauses (before any box of the cycle), saying
    // why in the tray tip and on the pause marker.
    void RefusalStands(const std::string &reason) override;

    // A check is due (a tick of Timer1, and every other cause of a scheduled check): runs now,
    // or once when the log viewer or the file dialog has closed.
    void CheckWanted();

    // The single-shot check timer fired (a quick retry, or the check after a wake or an
    // address change): checks when one is due, and arms the timer for the next.
    void CheckTimerTimer();
    // The computer resumed from sleep or hibernation: one check once the network settled.
    void SystemResumed();
    // The set of the machine's global addresses changed: one check after the burst.
    void AddressesChanged();

    void ApplySettingsToForm();
    void ReadSettingsFromForm();
    void UpdateCheckIPControls();

    // The user closes the window (title-bar button, Alt+F4): true only while terminating;
    // otherwise the controls are read back and the window goes to the tray.
    bool FormCloseQuery();
    // The window was minimised by the window manager, which offered a minimise button
    // although the window asks for none: with a notification area it goes there, as
    // closing does.
    void FormMinimised();

    // Handlers: the shell calls them when the user acts, after the control took its new
    // value. A port field asks edtPortKeyPress before it takes a typed character.
    bool edtPortKeyPress(char32_t key) const;
    // A known service fills both endpoints and is stored; "Custom" changes no field.
    void cmbServiceChange();
    // An endpoint field the user changed: a value other than the shown service's turns the
    // list to "Custom"; an emptied field shows the service's value again.
    void EndpointFieldEdited(Control field);
    void cmbProtocolChange();
    void cmbCProtocolChange();
    void cmbCAuthTypeChange();
    void chkCustomIPClick();
    void spdCOpenDirClick();
    void chkStartWithWinClick();
    void edtUserChange();
    void edtPassChange();
    void btnSaveConfigClick();
    void btnViewLogClick();
    void cmbUpdIntervalChange();
    void Timer1Timer();
    void btnForceUpdateClick();
    void btnUnpauseClick();
    void mnuPauseClick();
    void mnuShowClick();
    void chkRememberPauseClick();
    void btnTerminateClick();
    void mnuTerminateClick();
    void popTrayPopup();

    // Runs the handler of the control the user acted on (clicked, chose an entry of, picked
    // from the tray menu, typed into, or left after changing its text); nothing for controls without one.
    void UserActed(Control control);

    // Writes Settings.ini and log.txt as they stand, for a session save; errors go to
    // standard error (a box would hold up the logout).
    void SaveForSession();

    // The one way out for every path: reads the controls back, marks the window closable,
    // stops the running cycle and ends every event loop, open message boxes included.
    // Destruction saves the files.
    void Terminate();

private:
    void FormCreate();
    // The part of the start that reads the files: once the data folder is this copy's.
    void StartWithFiles();
    // True once the data folder's lock is held; until then the tray tip says why not.
    bool TakeDataFolder();
    void FormShow();
    void FormHide();
    void ShowMainWindow();
    void HideToTray();
    // Pauses or resumes: the stored state, Timer1, the marker, the menu's caption, the tray tip.
    void SetPaused(bool paused);
    // The marker, its reason and the menu's caption for the stored state.
    void ShowPausedState();
    // "Paused", with the standing refusal's meaning when one stands.
    std::string PausedText() const;
    // The user resumes: a refusal no longer stands, and the next cycle sends the address once.
    void ResumeByUser();
    // Once a run, when the user commits to the settings (Unpause, Save Config): a box for
    // each endpoint that would send the password over plain HTTP.
    void WarnOfPlainHttpOnce();
    void ShowPauseMenuCaption();
    // Who asked for a cycle: the user's own acts also show a failed check in a box.
    enum class CycleCause { Schedule, User };
    struct PendingBox {
        MessageKind kind;
        std::string text;
    };
    // One cycle of the engine; then the tray tip tells how it went and the cycle's boxes show.
    void RunCycle(bool force, CycleCause cause);
    // The boxes of a cycle, one after another; while a box is open, the tray tip instead.
    void ShowCycleBoxes(const std::vector<PendingBox> &boxes);
    // Runs a dialog of ours (the log viewer, the file dialog) with the checks held until it
    // has closed: a box would come up over it and its content go stale.
    void WithChecksHeld(const std::function<void()> &dialog);
    void UpdateTrayTip();
    // Timer1 with the period of this run, and the schedule told of it.
    void StartTimer1();
    void StopTimer1();
    // No quick retries and no event checks while paused, while a refusal stands or during the
    // wait of service trouble.
    bool ChecksHeld() const;
    // The single-shot check timer for the schedule's next wake, or stopped when none.
    void ArmCheckTimer();
    // The account fields (user, password, host name) into the store.
    void TakeAccountFromFields();
    // The window's place into the store.
    void StorePosition();
    // The label of an account field turns normal once the field holds text; never red again.
    void ShowFieldFilled(Control field, Control label);
    // A protocol chosen for an endpoint brings its port.
    void ProtocolChosen(RequestKind kind);
    // Both endpoints' controls from the stored settings.
    void ShowStoredEndpoints();
    // The known service cmbService shows; null for "Custom".
    const KnownService *ShownService() const;
    // Sets a check box and, when its state changed, runs its click handling.
    void SetCheckedWithClick(Control box, bool checked);
    void SelectEntry(Control list, int index);
    // The entry a list shows; for the editable list the entry its typed text matches.
    int ShownEntry(Control list) const;
    BoxAnswer ShowBox(MessageKind kind, const std::string &text);
    // Every box of the main window goes through here, so that it knows one is open.
    BoxAnswer ShowBox(BoxKind kind, const std::string &caption, const std::string &text);

    class BusyRunner;

    IMainView &view_;
    ILogView &logView_;
    MainServices services_;
    std::unique_ptr<BusyRunner> busyRunner_;
    std::unique_ptr<Tdm> dm_;
    std::unique_ptr<Engine> engine_;
    std::unique_ptr<TfrmLog> frmLog_;

    bool FAllowClose = false;
    bool terminating_ = false;
    // Another copy holds the data folder: nothing is read or written, Timer1 asks again.
    bool waitingForFolder_ = false;
    bool startRunning_ = false;
    int timerPeriodMs_ = 0;
    std::chrono::system_clock::time_point lastCycle_;
    CheckSchedule schedule_;
    std::vector<PendingBox> startUpBoxes_;
    bool inCycle_ = false;
    std::vector<PendingBox> cycleBoxes_;
    int boxesOpen_ = 0;
    int dialogsOpen_ = 0;
    bool checkHeld_ = false;
    bool plainHttpWarned_ = false;
};

} // namespace zevlo::form
