#pragma once

#include "app/BusyCursorRunner.h"
#include "data/Tdm.h"
#include "engine/Endpoints.h"
#include "engine/Engine.h"
#include "platform/Autostart.h"
#include "platform/ProcessRunner.h"

#include <QStringList>
#include <QWidget>

#include <functional>
#include <memory>
#include <string>

class QAction;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QSpinBox;
class QSystemTrayIcon;
class QTabWidget;
class QTimer;
class QToolButton;

namespace zevlo {

class TfrmLog;

// The default host of the service, shown when a server field is empty.
inline constexpr const char *kDefaultServiceHost = "ddns.example.net";

// What the main window needs from the outside world; tests hand in temporary folders,
// a scripted runner, a recording autostart entry and their own clock.
struct MainServices {
    std::string programDir; // the executable's folder, with a trailing separator; curl runs here
    std::string dataDir;    // where Settings.ini and log.txt live, with a trailing separator
    std::string executablePath;
    platform::IProcessRunner *runner = nullptr;
    platform::IAutostart *autostart = nullptr;
    // Null: the window shows the engine's messages as message boxes itself.
    INotifier *notifier = nullptr;
    std::function<std::string()> versionText;
    // Asked anew at every hide: a program started at login may start before the panel.
    std::function<bool()> trayAvailable;
    Clock clock = std::chrono::system_clock::now;
};

// The main window: the settings panel on three tabs, the pause marker, the check timer and
// the tray icon. Owns the settings store, the engine and the log viewer.
class TfrmMain final : public QWidget, public IEndpointSource, public INotifier {
    Q_OBJECT
public:
    explicit TfrmMain(MainServices services, QWidget *parent = nullptr);
    ~TfrmMain() override;

    Tdm &dm() { return *dm_; }
    Engine &engine() { return *engine_; }
    bool AllowClose() const { return FAllowClose; }

    // IEndpointSource over the live controls.
    EndpointValues Endpoint(RequestKind kind) const override;
    bool CustomScriptChecked() const override;
    std::string CustomScriptPath() const override;
    std::string UserText() const override;
    std::string PasswordText() const override;

    // INotifier as message boxes.
    void ShowMessage(MessageKind kind, const std::string &text) override;

    void ApplySettingsToForm();
    void ReadSettingsFromForm();
    void UpdateCheckIPControls();

    // Writes Settings.ini and log.txt as they stand, for a session save; errors go to
    // standard error (a box would hold up the logout).
    void SaveForSession();

    // The one way out for every path: marks the window closable, stops the running cycle and
    // ends every event loop, open message boxes included. Destruction saves the files.
    void Terminate();

public slots:
    void cmbProtocolChange(int index);
    void cmbCProtocolChange(int index);
    void cmbCAuthTypeChange(int index);
    void chkCustomIPClick();
    void spdCOpenDirClick();
    void chkStartWithWinClick(bool checked);
    void btnSaveConfigClick();
    void btnViewLogClick();
    void cmbUpdIntervalChange(int index);
    void Timer1Timer();
    void btnForceUpdateClick();
    void btnUnpauseClick();
    void mnuPauseClick();
    void mnuShowClick();
    void chkRememberPauseClick(bool checked);
    void btnTerminateClick();
    void mnuTerminateClick();
    void popTrayPopup();

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void BuildForm();
    void BuildTray();
    void FormCreate();
    void FormShow();
    void FormHide();
    void StartUp();
    void ShowPausedMarker(bool shown);
    void TakeAccountFromFields();
    void HideToTray();
    void CentreOnScreen();
    bool edtPortKeyPress(QChar key) const;
    void ShowBox(MessageKind kind, const QString &text);
    QWidget *BoxParent();

    MainServices services_;
    std::unique_ptr<BusyCursorRunner> busyRunner_;
    std::unique_ptr<Tdm> dm_;
    std::unique_ptr<Engine> engine_;
    std::unique_ptr<TfrmLog> frmLog_;

    bool FAllowClose = false;
    bool terminating_ = false;
    bool startRunning_ = false;
    QStringList startUpErrors_;

    // General
    QTabWidget *tabs_ = nullptr;
    QComboBox *cmbUpdInterval = nullptr;
    QCheckBox *chkStartWithWin = nullptr;
    QCheckBox *chkRememberPause = nullptr;
    QLabel *lblUser = nullptr;
    QLineEdit *edtUser = nullptr;
    QLabel *lblPass = nullptr;
    QLineEdit *edtPass = nullptr;
    QLineEdit *edtHostname = nullptr;
    QSpinBox *spnMaxLog = nullptr;
    QPushButton *btnViewLog = nullptr;
    // Update Request
    QComboBox *cmbProtocol = nullptr;
    QLineEdit *edtPort = nullptr;
    QLineEdit *edtServer = nullptr;
    QLineEdit *edtBaseURI = nullptr;
    QComboBox *cmbMethod = nullptr;
    QComboBox *cmbAuthType = nullptr;
    QPushButton *btnForceUpdate = nullptr;
    // Check IP
    QLabel *lblCProtocol = nullptr;
    QLabel *lblCPort = nullptr;
    QLabel *lblCServer = nullptr;
    QLabel *lblCBaseURI = nullptr;
    QLabel *lblCMethod = nullptr;
    QLabel *lblCAuthType = nullptr;
    QComboBox *cmbCProtocol = nullptr;
    QLineEdit *edtCPort = nullptr;
    QLineEdit *edtCServer = nullptr;
    QLineEdit *edtCBaseURI = nullptr;
    QComboBox *cmbCMethod = nullptr;
    QComboBox *cmbCAuthType = nullptr;
    QCheckBox *chkCustomIP = nullptr;
    QLineEdit *edtCustomChkIP = nullptr;
    QToolButton *spdCOpenDir = nullptr;
    // Bottom bar
    QLabel *lblPaused = nullptr;
    QPushButton *btnUnpause = nullptr;
    QPushButton *btnSaveConfig = nullptr;
    QPushButton *btnTerminate = nullptr;
    // Tray
    QSystemTrayIcon *trayIcon_ = nullptr;
    QMenu *popTray = nullptr;
    QAction *mnuShow = nullptr;
    QAction *mnuTerminate = nullptr;
    QAction *mnuPause = nullptr;

    QTimer *Timer1 = nullptr;
};

// The interval list's minutes by entry, and the entry for a number of minutes (-1: none).
int IntervalMinutes(int entry);
int IntervalEntry(int minutes);

} // namespace zevlo
