#include "app/TfrmMain.h"

#include "app/AppIcon.h"
#include "crypto/Password.h"
#include "log/TfrmLog.h"
#include "platform/FileError.h"
#include "platform/FileIO.h"
#include "platform/Paths.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QFormLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QSpinBox>
#include <QSystemTrayIcon>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include <array>
#include <iostream>
#include <utility>

namespace zevlo {

namespace {

constexpr int kClientWidth = 296;
constexpr int kClientHeight = 377;
constexpr std::array<int, 6> kIntervalMinutes{5, 10, 15, 20, 30, 60};
constexpr int kMinInterval = 5;
constexpr int kMaxInterval = 60;
constexpr int kMsPerMinute = 60 * 1000;

const char *const kUnpauseCredentialsMessage = "Username and password are required when using HTTP authentication";
const char *const kUnpauseHostnameMessage =
    "Hostname cannot be empty. Please place dash (minus sign) and/or contact\r\n"
    "web administrator for a correct value";

QString Q8(const std::string &text) {
    return QString::fromLocal8Bit(text.data(), static_cast<qsizetype>(text.size()));
}

std::string L8(const QString &text) {
    return text.toLocal8Bit().toStdString();
}

QString OrDefault(const std::string &value, const char *fallback) {
    return value.empty() ? QString::fromLatin1(fallback) : Q8(value);
}

// The port a protocol entry stands for: HTTPS 443, HTTP 8245.
QString PortForProtocol(int entry) {
    return entry == 1 ? QStringLiteral("8245") : QStringLiteral("443");
}

// The entry of a list whose text the box shows; -1 for typed text that matches none.
int ShownEntry(const QComboBox *box) {
    if (!box->isEditable())
        return box->currentIndex();
    return box->findText(box->currentText(), Qt::MatchFixedString);
}

void SelectEntry(QComboBox *box, int entry) {
    box->setCurrentIndex(entry >= 0 && entry < box->count() ? entry : -1);
}

QLabel *RequiredLabel(const QString &text, const char *name) {
    auto *label = new QLabel(text);
    label->setObjectName(QString::fromLatin1(name));
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, Qt::red);
    label->setPalette(palette);
    return label;
}

template <typename T> T *Named(T *widget, const char *name) {
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

QComboBox *ListBox(const char *name, const QStringList &items, int entry) {
    auto *box = Named(new QComboBox, name);
    box->addItems(items);
    box->setCurrentIndex(entry);
    return box;
}

// True when a window whose top left corner stands at `topLeft` can be reached on some screen.
bool ReachableOnSomeScreen(const QPoint &topLeft) {
    const QPoint titleBar = topLeft + QPoint(16, 8);
    for (const QScreen *screen : QGuiApplication::screens()) {
        if (screen->availableGeometry().contains(titleBar))
            return true;
    }
    return false;
}

} // namespace

int IntervalMinutes(int entry) {
    return entry >= 0 && entry < static_cast<int>(kIntervalMinutes.size())
               ? kIntervalMinutes[static_cast<size_t>(entry)]
               : kMinInterval;
}

int IntervalEntry(int minutes) {
    for (size_t i = 0; i < kIntervalMinutes.size(); ++i) {
        if (kIntervalMinutes[i] == minutes)
            return static_cast<int>(i);
    }
    return -1;
}

TfrmMain::TfrmMain(MainServices services, QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      services_(std::move(services)) {
    if (!services_.trayAvailable)
        services_.trayAvailable = [] { return QSystemTrayIcon::isSystemTrayAvailable(); };
    if (!services_.versionText)
        services_.versionText = [] { return std::string(); };
    busyRunner_ = std::make_unique<BusyCursorRunner>(*services_.runner);
    BuildForm();
    BuildTray();
    FormCreate();
}

TfrmMain::~TfrmMain() {
    // FormDestroy: the icon goes first, then the viewer, then the store, whose destruction
    // writes Settings.ini and log.txt.
    trayIcon_->hide();
    frmLog_.reset();
    engine_.reset();
    dm_.reset();
}

void TfrmMain::BuildForm() {
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(QString::fromLatin1(kApplicationTitle));
    setWindowIcon(ApplicationIcon());
    setFixedSize(kClientWidth, kClientHeight);

    // General
    auto *general = new QWidget;
    auto *generalForm = new QFormLayout(general);
    cmbUpdInterval = ListBox("cmbUpdInterval", {"5 min", "10 min", "15 min", "20 min", "30 min", "60 min"}, 0);
    generalForm->addRow(tr("Update interval"), cmbUpdInterval);
    chkStartWithWin = Named(new QCheckBox(tr("Start with Windows")), "chkStartWithWin");
    chkStartWithWin->setChecked(true);
    generalForm->addRow(chkStartWithWin);
    chkRememberPause = Named(new QCheckBox(tr("Remember paused state")), "chkRememberPause");
    generalForm->addRow(chkRememberPause);
    lblUser = RequiredLabel(tr("Username *"), "lblUser");
    edtUser = Named(new QLineEdit, "edtUser");
    generalForm->addRow(lblUser, edtUser);
    lblPass = RequiredLabel(tr("Password *"), "lblPass");
    edtPass = Named(new QLineEdit, "edtPass");
    edtPass->setEchoMode(QLineEdit::Password);
    generalForm->addRow(lblPass, edtPass);
    edtHostname = Named(new QLineEdit(QStringLiteral("-")), "edtHostname");
    generalForm->addRow(Named(new QLabel(tr("Hostname *")), "lblHostname"), edtHostname);
    spnMaxLog = Named(new QSpinBox, "spnMaxLog");
    spnMaxLog->setRange(100, 5000);
    spnMaxLog->setSingleStep(10);
    spnMaxLog->setValue(100);
    generalForm->addRow(tr("Log Max Lines"), spnMaxLog);
    btnViewLog = Named(new QPushButton(tr("View Log")), "btnViewLog");
    generalForm->addRow(btnViewLog);

    // Update Request
    auto *update = new QWidget;
    auto *updateForm = new QFormLayout(update);
    cmbProtocol = ListBox("cmbProtocol", {"HTTPS", "HTTP"}, 0);
    updateForm->addRow(tr("Protocol"), cmbProtocol);
    edtPort = Named(new QLineEdit(QStringLiteral("443")), "edtPort");
    updateForm->addRow(tr("Port"), edtPort);
    edtServer = Named(new QLineEdit(QString::fromLatin1(kDefaultServiceHost)), "edtServer");
    updateForm->addRow(tr("Server"), edtServer);
    edtBaseURI = Named(new QLineEdit(QStringLiteral("/v3/update")), "edtBaseURI");
    updateForm->addRow(tr("Base URI"), edtBaseURI);
    cmbMethod = ListBox("cmbMethod", {"GET", "POST"}, 0);
    updateForm->addRow(tr("Method"), cmbMethod);
    cmbAuthType = ListBox("cmbAuthType", {"Basic", "Digest"}, 0);
    cmbAuthType->setEditable(true);
    cmbAuthType->setInsertPolicy(QComboBox::NoInsert);
    updateForm->addRow(tr("Authentication Type"), cmbAuthType);
    btnForceUpdate = Named(new QPushButton(tr("Force Update")), "btnForceUpdate");
    updateForm->addRow(btnForceUpdate);

    // Check IP
    auto *check = new QWidget;
    auto *checkForm = new QFormLayout(check);
    checkForm->addRow(new QLabel(tr("These are Check IP settings")));
    lblCProtocol = Named(new QLabel(tr("Protocol")), "lblCProtocol");
    cmbCProtocol = ListBox("cmbCProtocol", {"HTTPS", "HTTP"}, 0);
    checkForm->addRow(lblCProtocol, cmbCProtocol);
    lblCPort = Named(new QLabel(tr("Port")), "lblCPort");
    edtCPort = Named(new QLineEdit(QStringLiteral("443")), "edtCPort");
    checkForm->addRow(lblCPort, edtCPort);
    lblCServer = Named(new QLabel(tr("Server")), "lblCServer");
    edtCServer = Named(new QLineEdit(QString::fromLatin1(kDefaultServiceHost)), "edtCServer");
    checkForm->addRow(lblCServer, edtCServer);
    lblCBaseURI = Named(new QLabel(tr("Base URI")), "lblCBaseURI");
    edtCBaseURI = Named(new QLineEdit(QStringLiteral("/checkip")), "edtCBaseURI");
    checkForm->addRow(lblCBaseURI, edtCBaseURI);
    lblCMethod = Named(new QLabel(tr("Method")), "lblCMethod");
    cmbCMethod = ListBox("cmbCMethod", {"GET", "POST"}, 0);
    checkForm->addRow(lblCMethod, cmbCMethod);
    lblCAuthType = Named(new QLabel(tr("Authentication Type")), "lblCAuthType");
    cmbCAuthType = ListBox("cmbCAuthType", {"None", "Basic", "Digest"}, 1);
    checkForm->addRow(lblCAuthType, cmbCAuthType);
    auto *customGroup = new QGroupBox(tr("Custom Check IP Script"));
    auto *customLayout = new QVBoxLayout(customGroup);
    chkCustomIP = Named(new QCheckBox(tr("Use custom script (full path)")), "chkCustomIP");
    customLayout->addWidget(chkCustomIP);
    auto *pathRow = new QHBoxLayout;
    edtCustomChkIP = Named(new QLineEdit, "edtCustomChkIP");
    spdCOpenDir = Named(new QToolButton, "spdCOpenDir");
    spdCOpenDir->setText(QStringLiteral("..."));
    pathRow->addWidget(edtCustomChkIP);
    pathRow->addWidget(spdCOpenDir);
    customLayout->addLayout(pathRow);
    checkForm->addRow(customGroup);

    tabs_ = Named(new QTabWidget, "pgcMain");
    tabs_->addTab(general, tr("General"));
    tabs_->addTab(update, tr("Update Request"));
    tabs_->addTab(check, tr("Check IP"));
    general->setObjectName(QStringLiteral("tabGeneral"));
    update->setObjectName(QStringLiteral("tabUpdateRequest"));
    check->setObjectName(QStringLiteral("tabCheckIP"));

    // Bottom bar
    lblPaused = Named(new QLabel(tr("Application paused")), "lblPaused");
    QPalette pausedPalette = lblPaused->palette();
    pausedPalette.setColor(QPalette::WindowText, Qt::red);
    lblPaused->setPalette(pausedPalette);
    QFont pausedFont = lblPaused->font();
    pausedFont.setBold(true);
    lblPaused->setFont(pausedFont);
    btnUnpause = Named(new QPushButton(tr("Unpause")), "btnUnpause");
    btnSaveConfig = Named(new QPushButton(tr("Save Config")), "btnSaveConfig");
    btnTerminate = Named(new QPushButton(tr("Terminate")), "btnTerminate");
    lblPaused->hide();
    btnUnpause->hide();

    auto *markerRow = new QHBoxLayout;
    markerRow->addWidget(lblPaused);
    markerRow->addStretch();
    markerRow->addWidget(btnUnpause);
    auto *buttonRow = new QHBoxLayout;
    buttonRow->addWidget(btnSaveConfig);
    buttonRow->addStretch();
    buttonRow->addWidget(btnTerminate);
    auto *root = new QVBoxLayout(this);
    root->setContentsMargins(6, 6, 6, 6);
    root->addWidget(tabs_, 1);
    root->addLayout(markerRow);
    root->addLayout(buttonRow);

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));

    // Lists run their handlers on the user's choice only; check boxes on every change of state.
    connect(cmbProtocol, &QComboBox::activated, this, &TfrmMain::cmbProtocolChange);
    connect(cmbCProtocol, &QComboBox::activated, this, &TfrmMain::cmbCProtocolChange);
    connect(cmbCAuthType, &QComboBox::activated, this, &TfrmMain::cmbCAuthTypeChange);
    connect(cmbUpdInterval, &QComboBox::activated, this, &TfrmMain::cmbUpdIntervalChange);
    connect(chkCustomIP, &QCheckBox::toggled, this, &TfrmMain::chkCustomIPClick);
    connect(chkStartWithWin, &QCheckBox::toggled, this, &TfrmMain::chkStartWithWinClick);
    connect(chkRememberPause, &QCheckBox::toggled, this, &TfrmMain::chkRememberPauseClick);
    connect(spdCOpenDir, &QToolButton::clicked, this, &TfrmMain::spdCOpenDirClick);
    connect(btnSaveConfig, &QPushButton::clicked, this, &TfrmMain::btnSaveConfigClick);
    connect(btnViewLog, &QPushButton::clicked, this, &TfrmMain::btnViewLogClick);
    connect(btnForceUpdate, &QPushButton::clicked, this, &TfrmMain::btnForceUpdateClick);
    connect(btnUnpause, &QPushButton::clicked, this, &TfrmMain::btnUnpauseClick);
    connect(btnTerminate, &QPushButton::clicked, this, &TfrmMain::btnTerminateClick);
    connect(Timer1, &QTimer::timeout, this, &TfrmMain::Timer1Timer);
    edtPort->installEventFilter(this);
    edtCPort->installEventFilter(this);

    UpdateCheckIPControls();
    CentreOnScreen();
}

void TfrmMain::BuildTray() {
    popTray = Named(new QMenu(this), "popTray");
    mnuShow = Named(popTray->addAction(tr("Show")), "mnuShow");
    mnuTerminate = Named(popTray->addAction(tr("Terminate")), "mnuTerminate");
    mnuPause = Named(popTray->addAction(tr("Pause")), "mnuPause");
    connect(mnuShow, &QAction::triggered, this, &TfrmMain::mnuShowClick);
    connect(mnuTerminate, &QAction::triggered, this, &TfrmMain::mnuTerminateClick);
    connect(mnuPause, &QAction::triggered, this, &TfrmMain::mnuPauseClick);
    connect(popTray, &QMenu::aboutToShow, this, &TfrmMain::popTrayPopup);

    trayIcon_ = Named(new QSystemTrayIcon(ApplicationIcon(), this), "trayIcon");
    trayIcon_->setToolTip(QString::fromLatin1(kApplicationTitle));
    trayIcon_->setContextMenu(popTray);
    connect(trayIcon_, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::Trigger)
            mnuShowClick();
    });
}

void TfrmMain::FormCreate() {
    FAllowClose = false;
    trayIcon_->show();

    dm_ = std::make_unique<Tdm>(services_.clock);
    dm_->SettingsFile = services_.dataDir + "Settings.ini";
    dm_->AppDir = services_.dataDir;
    dm_->LogFile = services_.dataDir + "log.txt";
    bool settingsUnreadable = false;
    try {
        dm_->LoadSettings();
    } catch (const FileError &error) {
        settingsUnreadable = true;
        startUpErrors_ << Q8(error.what());
    }
    // The fields hold defaults when the settings could not be read: no trimming to them.
    try {
        dm_->LoadLog(!settingsUnreadable);
    } catch (const FileError &error) {
        startUpErrors_ << Q8(error.what());
    }
    INotifier &notifier = services_.notifier != nullptr ? *services_.notifier : static_cast<INotifier &>(*this);
    engine_ = std::make_unique<Engine>(*dm_, *this, *busyRunner_, notifier, services_.programDir);

    frmLog_ = std::make_unique<TfrmLog>(*dm_, this);

    if (settingsUnreadable || !platform::PathExists(dm_->SettingsFile)) {
        // Nothing stored is known: the check-IP list keeps its own default entry, "Basic".
        dm_->FSET_CIP_Auth = 1;
        // An unreadable file is no first run.
        dm_->FSET_FirstRun = !settingsUnreadable;
    }

    setWindowTitle(windowTitle() + QStringLiteral(" v") + Q8(services_.versionText()));

    if (dm_->FSET_Interval < kMinInterval)
        dm_->FSET_Interval = kMinInterval;
    if (dm_->FSET_Interval > kMaxInterval)
        dm_->FSET_Interval = kMaxInterval;
    Timer1->setInterval(dm_->FSET_Interval * kMsPerMinute);
    Timer1->stop();

    ApplySettingsToForm();

    if (dm_->FSET_FirstRun || dm_->FSET_StateIsPaused || settingsUnreadable) {
        ShowPausedMarker(true);
        mnuPause->setText(tr("Unpause"));
        dm_->FSET_StateIsPaused = true;
        startRunning_ = false;
    } else {
        startRunning_ = true;
        Timer1->start();
    }

    // The first check and any file error wait for the event loop, so that a termination
    // request arriving while one of their boxes is open ends the program.
    QTimer::singleShot(0, this, &TfrmMain::StartUp);

    if (!startRunning_)
        show();
    else if (!services_.trayAvailable())
        showMinimized();
}

void TfrmMain::StartUp() {
    for (const QString &error : std::as_const(startUpErrors_)) {
        if (terminating_)
            return;
        ShowBox(MessageKind::FileError, error);
    }
    startUpErrors_.clear();
    if (terminating_ || !startRunning_ || dm_->FSET_StateIsPaused)
        return;
    engine_->CheckAndUpdate();
}

void TfrmMain::CentreOnScreen() {
    const QScreen *screen = QGuiApplication::primaryScreen();
    if (screen == nullptr)
        return;
    const QRect area = screen->availableGeometry();
    move(area.center() - QPoint(width() / 2, height() / 2));
}

void TfrmMain::ShowPausedMarker(bool shown) {
    lblPaused->setVisible(shown);
    btnUnpause->setVisible(shown);
}

void TfrmMain::ApplySettingsToForm() {
    if (dm_->FSET_FrmX > 0 || dm_->FSET_FrmY > 0) {
        QPoint place = pos();
        if (dm_->FSET_FrmX > 0)
            place.setX(dm_->FSET_FrmX);
        if (dm_->FSET_FrmY > 0)
            place.setY(dm_->FSET_FrmY);
        // A place left from a screen that is gone would hide the window for good.
        if (ReachableOnSomeScreen(place))
            move(place);
    }
    spnMaxLog->setValue(dm_->FMaxLog);
    edtUser->setText(Q8(dm_->FSET_User));
    edtPass->setText(Q8(DecryptPassword(dm_->FSET_Pass)));
    edtHostname->setText(OrDefault(dm_->FSET_Hostname, "-"));

    SelectEntry(cmbProtocol, dm_->FSET_UPD_Protocol);
    SelectEntry(cmbMethod, dm_->FSET_UPD_Method);
    SelectEntry(cmbAuthType, dm_->FSET_UPD_Auth);
    edtPort->setText(OrDefault(dm_->FSET_UPD_Port, "443"));
    edtServer->setText(OrDefault(dm_->FSET_UPD_Server, kDefaultServiceHost));
    edtBaseURI->setText(OrDefault(dm_->FSET_UPD_BaseURI, "/v3/update"));

    SelectEntry(cmbCProtocol, dm_->FSET_CIP_Protocol);
    SelectEntry(cmbCMethod, dm_->FSET_CIP_Method);
    SelectEntry(cmbCAuthType, dm_->FSET_CIP_Auth);
    edtCPort->setText(OrDefault(dm_->FSET_CIP_Port, "443"));
    edtCServer->setText(OrDefault(dm_->FSET_CIP_Server, kDefaultServiceHost));
    edtCBaseURI->setText(OrDefault(dm_->FSET_CIP_BaseURI, "/checkip"));

    edtCustomChkIP->setText(Q8(dm_->FSET_CIP_CUSTOMSCRIPT));
    chkCustomIP->setChecked(dm_->FSET_CIP_CHKCUSTOM);
    UpdateCheckIPControls();

    mnuPause->setText(dm_->FSET_StateIsPaused ? tr("Unpause") : tr("Pause"));
    ShowPausedMarker(dm_->FSET_StateIsPaused);
    chkRememberPause->setChecked(dm_->FSET_RememberPaused);
}

void TfrmMain::ReadSettingsFromForm() {
    dm_->FSET_UPD_Protocol = cmbProtocol->currentIndex();
    dm_->FSET_UPD_Port = L8(edtPort->text());
    dm_->FSET_UPD_Server = L8(edtServer->text());
    dm_->FSET_UPD_BaseURI = L8(edtBaseURI->text());
    dm_->FSET_UPD_Method = cmbMethod->currentIndex();
    dm_->FSET_UPD_Auth = ShownEntry(cmbAuthType);
    dm_->FSET_CIP_Protocol = cmbCProtocol->currentIndex();
    dm_->FSET_CIP_Port = L8(edtCPort->text());
    dm_->FSET_CIP_Server = L8(edtCServer->text());
    dm_->FSET_CIP_BaseURI = L8(edtCBaseURI->text());
    dm_->FSET_CIP_Method = cmbCMethod->currentIndex();
    dm_->FSET_User = L8(edtUser->text());
    dm_->FSET_Pass = EncryptPassword(L8(edtPass->text()));
    dm_->FSET_CIP_CUSTOMSCRIPT = L8(edtCustomChkIP->text());
    dm_->FSET_CIP_CHKCUSTOM = chkCustomIP->isChecked();
    dm_->FSET_FrmX = x();
    dm_->FSET_FrmY = y();
    dm_->FMaxLog = spnMaxLog->value();
    dm_->FSET_Hostname = L8(edtHostname->text());
}

void TfrmMain::UpdateCheckIPControls() {
    const bool endpointUsed = !chkCustomIP->isChecked();
    for (QWidget *widget :
         std::initializer_list<QWidget *>{lblCProtocol, lblCPort, lblCServer, lblCBaseURI, lblCMethod, lblCAuthType,
                                          cmbCProtocol, cmbCMethod, cmbCAuthType, edtCPort, edtCServer, edtCBaseURI})
        widget->setEnabled(endpointUsed);
    edtCustomChkIP->setEnabled(!endpointUsed);
}

EndpointValues TfrmMain::Endpoint(RequestKind kind) const {
    const bool update = kind == RequestKind::Update;
    const QComboBox *auth = update ? cmbAuthType : cmbCAuthType;
    EndpointValues values;
    values.protocol = L8((update ? cmbProtocol : cmbCProtocol)->currentText());
    values.port = L8((update ? edtPort : edtCPort)->text());
    values.server = L8((update ? edtServer : edtCServer)->text());
    values.baseUri = L8((update ? edtBaseURI : edtCBaseURI)->text());
    values.method = L8((update ? cmbMethod : cmbCMethod)->currentText());
    values.authText = L8(auth->currentText());
    values.authIndex = ShownEntry(auth);
    return values;
}

bool TfrmMain::CustomScriptChecked() const {
    return chkCustomIP->isChecked();
}

std::string TfrmMain::CustomScriptPath() const {
    return L8(edtCustomChkIP->text());
}

std::string TfrmMain::UserText() const {
    return L8(edtUser->text());
}

std::string TfrmMain::PasswordText() const {
    return L8(edtPass->text());
}

QWidget *TfrmMain::BoxParent() {
    return isVisible() && !isMinimized() ? this : nullptr;
}

void TfrmMain::ShowBox(MessageKind kind, const QString &text) {
    if (services_.notifier != nullptr) {
        services_.notifier->ShowMessage(kind, L8(text));
        return;
    }
    const QMessageBox::Icon icon = kind == MessageKind::Warning ? QMessageBox::Warning : QMessageBox::Critical;
    QMessageBox box(icon, QString::fromLatin1(CaptionFor(kind)), text, QMessageBox::Ok, BoxParent());
    // Answers of a server are shown as they are, never as markup.
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

void TfrmMain::ShowMessage(MessageKind kind, const std::string &text) {
    if (!terminating_)
        ShowBox(kind, Q8(text));
}

void TfrmMain::showEvent(QShowEvent *event) {
    QWidget::showEvent(event);
    if (!event->spontaneous())
        FormShow();
}

void TfrmMain::hideEvent(QHideEvent *event) {
    QWidget::hideEvent(event);
    if (!event->spontaneous())
        FormHide();
}

void TfrmMain::FormShow() {
    // The stored choice stays selected, "None" included.
    SelectEntry(cmbCAuthType, dm_->FSET_CIP_Auth);
    const int entry = IntervalEntry(dm_->FSET_Interval);
    if (entry >= 0)
        cmbUpdInterval->setCurrentIndex(entry);
    // With unreadable settings the fields are mere defaults: the login entry is left alone.
    if (!dm_->SettingsUnreadable()) {
        chkStartWithWin->setChecked(dm_->FSET_StartWithWindows);
        if (dm_->FSET_StartWithWindows && !services_.autostart->IsPresent())
            services_.autostart->Write(services_.executablePath);
    }
    if (!edtUser->text().isEmpty())
        lblUser->setPalette(QPalette());
    if (!edtPass->text().isEmpty())
        lblPass->setPalette(QPalette());
}

void TfrmMain::FormHide() {
    dm_->FSET_FrmX = x();
    dm_->FSET_FrmY = y();
}

void TfrmMain::closeEvent(QCloseEvent *event) {
    if (FAllowClose) {
        // Terminating: the controls are read back only by the Terminate button.
        event->accept();
        return;
    }
    ReadSettingsFromForm();
    event->ignore();
    HideToTray();
}

void TfrmMain::HideToTray() {
    // Without a notification area a hidden window could never be brought back.
    if (services_.trayAvailable()) {
        if (!trayIcon_->isVisible())
            trayIcon_->show();
        hide();
    } else {
        showMinimized();
    }
}

bool TfrmMain::edtPortKeyPress(QChar key) const {
    // Control characters (Enter, Tab, Escape) are no typed text.
    return (key >= QLatin1Char('0') && key <= QLatin1Char('9')) || key == QLatin1Char('\b') || key.unicode() < 0x20 ||
           key.unicode() == 0x7f;
}

bool TfrmMain::eventFilter(QObject *watched, QEvent *event) {
    if ((watched == edtPort || watched == edtCPort) && event->type() == QEvent::KeyPress) {
        const auto *press = static_cast<QKeyEvent *>(event);
        // Ctrl and Ctrl+Shift chords are shortcuts (paste, select all) that type nothing; with
        // Alt, AltGr (Ctrl+Alt on Windows) or Meta held a key still types its character.
        const Qt::KeyboardModifiers chord = press->modifiers() & ~Qt::KeypadModifier;
        if (chord == Qt::ControlModifier || chord == (Qt::ControlModifier | Qt::ShiftModifier))
            return QWidget::eventFilter(watched, event);
        for (const QChar key : press->text()) {
            if (!edtPortKeyPress(key))
                return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void TfrmMain::cmbProtocolChange(int index) {
    edtPort->setText(PortForProtocol(index));
    dm_->FSET_UPD_Protocol = index;
}

void TfrmMain::cmbCProtocolChange(int index) {
    edtCPort->setText(PortForProtocol(index));
    dm_->FSET_CIP_Protocol = index;
}

void TfrmMain::cmbCAuthTypeChange(int index) {
    dm_->FSET_CIP_Auth = index;
}

void TfrmMain::chkCustomIPClick() {
    UpdateCheckIPControls();
}

void TfrmMain::spdCOpenDirClick() {
    const QString filter = QStringLiteral("All files(%1)").arg(QString::fromLatin1(platform::AllFilesPattern()));
    const QString path = QFileDialog::getOpenFileName(this, QString(), edtCustomChkIP->text(), filter);
    if (!path.isEmpty())
        edtCustomChkIP->setText(QDir::toNativeSeparators(path));
}

void TfrmMain::chkStartWithWinClick(bool checked) {
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
        ShowBox(MessageKind::FileError, Q8(error.what()));
    }
}

void TfrmMain::btnViewLogClick() {
    try {
        dm_->SaveLog();
    } catch (const FileError &error) {
        // The viewer would show a file that does not match the log.
        ShowBox(MessageKind::FileError, Q8(error.what()));
        return;
    }
    if (!terminating_)
        frmLog_->exec();
}

void TfrmMain::cmbUpdIntervalChange(int index) {
    // The running timer keeps its period; the new interval applies from the next start.
    dm_->FSET_Interval = IntervalMinutes(index);
}

void TfrmMain::Timer1Timer() {
    if (!terminating_)
        engine_->CheckAndUpdate();
}

void TfrmMain::btnForceUpdateClick() {
    if (terminating_)
        return;
    // What the fields show is what goes out; the save after the update keeps it.
    TakeAccountFromFields();
    engine_->ForceUpdate();
}

void TfrmMain::TakeAccountFromFields() {
    dm_->FSET_User = L8(edtUser->text());
    dm_->FSET_Pass = EncryptPassword(L8(edtPass->text()));
    dm_->FSET_Hostname = L8(edtHostname->text());
}

void TfrmMain::btnUnpauseClick() {
    if (edtUser->text().isEmpty() || edtPass->text().isEmpty()) {
        ShowBox(MessageKind::Error, QString::fromLatin1(kUnpauseCredentialsMessage));
        return;
    }
    if (edtHostname->text().isEmpty()) {
        ShowBox(MessageKind::Error, QString::fromLatin1(kUnpauseHostnameMessage));
        return;
    }
    ShowPausedMarker(false);
    TakeAccountFromFields();
    Timer1->start();
    dm_->FSET_StateIsPaused = false;
    dm_->FSET_FirstRun = false;
    engine_->CheckAndUpdate();
}

void TfrmMain::mnuPauseClick() {
    if (dm_->FSET_StateIsPaused) {
        mnuPause->setText(tr("Pause"));
        Timer1->start();
        dm_->FSET_StateIsPaused = false;
        ShowPausedMarker(false);
    } else {
        mnuPause->setText(tr("Unpause"));
        Timer1->stop();
        ShowPausedMarker(true);
        dm_->FSET_StateIsPaused = true;
    }
}

void TfrmMain::mnuShowClick() {
    if (isMinimized())
        showNormal();
    else
        show();
    raise();
    activateWindow();
}

void TfrmMain::popTrayPopup() {
    mnuPause->setText(dm_->FSET_StateIsPaused ? tr("Unpause") : tr("Pause"));
}

void TfrmMain::chkRememberPauseClick(bool checked) {
    dm_->FSET_RememberPaused = checked;
}

void TfrmMain::btnTerminateClick() {
    QMessageBox box(QMessageBox::Question, QStringLiteral("Confirm"), QStringLiteral("Terminate application"),
                    QMessageBox::Yes | QMessageBox::No, BoxParent());
    const int answer = box.exec();
    if (terminating_ || answer != QMessageBox::Yes)
        return;
    ReadSettingsFromForm();
    Terminate();
}

void TfrmMain::mnuTerminateClick() {
    Terminate();
}

void TfrmMain::SaveForSession() {
    try {
        dm_->SaveSettings();
    } catch (const FileError &error) {
        std::cerr << error.what() << '\n';
    }
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
    Timer1->stop();
    engine_->Abandon();
    // Ends the main loop and every nested one, so an open message box cannot hold the exit.
    QCoreApplication::exit(0);
}

} // namespace zevlo
