// The widgets of the main window, laid out on its three tabs and the bottom bar, and the
// tray icon with its menu.
#include "form/FormRules.h"
#include "shell/qt/AppIcon.h"
#include "shell/qt/MainWindow.h"
#include "shell/qt/QtText.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSpinBox>
#include <QSystemTrayIcon>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

namespace zevlo::qt {

namespace {

using form::Control;

constexpr int kClientWidth = 296;
constexpr int kClientHeight = 377;

QComboBox *ListBox(Control control) {
    auto *box = new QComboBox;
    for (const std::string &entry : form::ListEntries(control))
        box->addItem(FromLocal8(entry));
    box->setCurrentIndex(0);
    return box;
}

} // namespace

QPalette MainWindow::AlertPalette(const QWidget *widget) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, Qt::red);
    return palette;
}

void MainWindow::BuildForm() {
    setObjectName(QStringLiteral("frmMain"));
    setWindowIcon(ApplicationIcon());
    setFixedSize(kClientWidth, kClientHeight);
    auto keep = [this](Control control, auto *widget) {
        controls_[Index(control)] = widget;
        return widget;
    };

    // General
    auto *general = new QWidget;
    auto *generalForm = new QFormLayout(general);
    generalForm->addRow(tr("Update interval"), keep(Control::cmbUpdInterval, ListBox(Control::cmbUpdInterval)));
    // The login entry of a Linux desktop (the setting keeps its Windows name).
    auto *startWithWin = new QCheckBox(tr("Start at login"));
    startWithWin->setChecked(true);
    generalForm->addRow(keep(Control::chkStartWithWin, startWithWin));
    generalForm->addRow(keep(Control::chkRememberPause, new QCheckBox(tr("Remember paused state"))));
    auto *user = new QLineEdit;
    generalForm->addRow(keep(Control::lblUser, new QLabel(tr("Username *"))), keep(Control::edtUser, user));
    auto *password = new QLineEdit;
    password->setEchoMode(QLineEdit::Password);
    generalForm->addRow(keep(Control::lblPass, new QLabel(tr("Password *"))), keep(Control::edtPass, password));
    generalForm->addRow(tr("Hostname *"), keep(Control::edtHostname, new QLineEdit));
    auto *maxLog = new QSpinBox;
    maxLog->setRange(form::kMaxLogMin, form::kMaxLogMax);
    maxLog->setSingleStep(form::kMaxLogStep);
    maxLog->setValue(form::kMaxLogMin);
    generalForm->addRow(tr("Log Max Lines"), keep(Control::spnMaxLog, maxLog));
    generalForm->addRow(keep(Control::btnViewLog, new QPushButton(tr("View Log"))));
    auto *hint = new QLabel(
        tr("Choose your service on the Update Request tab, fill in your account and host name, then press Unpause."));
    hint->setWordWrap(true);
    generalForm->addRow(keep(Control::lblHint, hint));

    // Update Request
    auto *update = new QWidget;
    auto *updateForm = new QFormLayout(update);
    QComboBox *service = ListBox(Control::cmbService);
    // The longest name must not widen the window: the open list shows it whole.
    service->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    service->setMinimumContentsLength(12);
    updateForm->addRow(tr("Service"), keep(Control::cmbService, service));
    updateForm->addRow(tr("Protocol"), keep(Control::cmbProtocol, ListBox(Control::cmbProtocol)));
    updateForm->addRow(tr("Port"), keep(Control::edtPort, new QLineEdit));
    updateForm->addRow(tr("Server"), keep(Control::edtServer, new QLineEdit));
    updateForm->addRow(tr("Base URI"), keep(Control::edtBaseURI, new QLineEdit));
    updateForm->addRow(tr("Method"), keep(Control::cmbMethod, ListBox(Control::cmbMethod)));
    QComboBox *authType = ListBox(Control::cmbAuthType);
    authType->setEditable(true);
    authType->setInsertPolicy(QComboBox::NoInsert);
    updateForm->addRow(tr("Authentication Type"), keep(Control::cmbAuthType, authType));
    updateForm->addRow(keep(Control::btnForceUpdate, new QPushButton(tr("Force Update"))));

    // Check IP
    auto *check = new QWidget;
    auto *checkForm = new QFormLayout(check);
    checkForm->addRow(new QLabel(tr("These are Check IP settings")));
    auto row = [&](Control label, const QString &caption, Control field, QWidget *widget) {
        checkForm->addRow(keep(label, new QLabel(caption)), keep(field, widget));
    };
    row(Control::lblCProtocol, tr("Protocol"), Control::cmbCProtocol, ListBox(Control::cmbCProtocol));
    row(Control::lblCPort, tr("Port"), Control::edtCPort, new QLineEdit);
    row(Control::lblCServer, tr("Server"), Control::edtCServer, new QLineEdit);
    row(Control::lblCBaseURI, tr("Base URI"), Control::edtCBaseURI, new QLineEdit);
    row(Control::lblCMethod, tr("Method"), Control::cmbCMethod, ListBox(Control::cmbCMethod));
    row(Control::lblCAuthType, tr("Authentication Type"), Control::cmbCAuthType, ListBox(Control::cmbCAuthType));
    auto *customGroup = new QGroupBox(tr("Custom Check IP Script"));
    auto *customLayout = new QVBoxLayout(customGroup);
    customLayout->addWidget(keep(Control::chkCustomIP, new QCheckBox(tr("Use custom script (full path)"))));
    auto *pathRow = new QHBoxLayout;
    auto *openDir = new QToolButton;
    openDir->setText(QStringLiteral("..."));
    pathRow->addWidget(keep(Control::edtCustomChkIP, new QLineEdit));
    pathRow->addWidget(keep(Control::spdCOpenDir, openDir));
    customLayout->addLayout(pathRow);
    checkForm->addRow(customGroup);

    auto *tabs = new QTabWidget;
    tabs->setObjectName(QStringLiteral("pgcMain"));
    tabs->addTab(general, tr("General"));
    tabs->addTab(update, tr("Update Request"));
    tabs->addTab(check, tr("Check IP"));
    general->setObjectName(QStringLiteral("tabGeneral"));
    update->setObjectName(QStringLiteral("tabUpdateRequest"));
    check->setObjectName(QStringLiteral("tabCheckIP"));

    // Bottom bar
    auto *paused = new QLabel(tr("Application paused"));
    paused->setPalette(AlertPalette(paused));
    QFont pausedFont = paused->font();
    pausedFont.setBold(true);
    paused->setFont(pausedFont);
    paused->hide();
    auto *unpause = new QPushButton(tr("Unpause"));
    unpause->hide();
    keep(Control::lblPaused, paused);
    keep(Control::btnUnpause, unpause);
    auto *markerRow = new QHBoxLayout;
    markerRow->addWidget(paused);
    markerRow->addStretch();
    markerRow->addWidget(unpause);
    auto *buttonRow = new QHBoxLayout;
    buttonRow->addWidget(keep(Control::btnSaveConfig, new QPushButton(tr("Save Config"))));
    buttonRow->addStretch();
    buttonRow->addWidget(keep(Control::btnTerminate, new QPushButton(tr("Terminate"))));
    auto *root = new QVBoxLayout(this);
    root->setContentsMargins(6, 6, 6, 6);
    root->addWidget(tabs, 1);
    root->addLayout(markerRow);
    root->addLayout(buttonRow);

    Timer1_ = new QTimer(this);
    Timer1_->setObjectName(QStringLiteral("Timer1"));
    // Precise: a coarse timer may fire a few seconds early, before the check is due.
    checkTimer_ = new QTimer(this);
    checkTimer_->setObjectName(QStringLiteral("checkTimer"));
    checkTimer_->setSingleShot(true);
    checkTimer_->setTimerType(Qt::PreciseTimer);
}

void MainWindow::BuildTray() {
    popTray_ = new QMenu(this);
    popTray_->setObjectName(QStringLiteral("popTray"));
    controls_[Index(Control::mnuShow)] = popTray_->addAction(tr("Show"));
    controls_[Index(Control::mnuTerminate)] = popTray_->addAction(tr("Terminate"));
    controls_[Index(Control::mnuPause)] = popTray_->addAction(tr("Pause"));

    trayIcon_ = new QSystemTrayIcon(ApplicationIcon(), this);
    trayIcon_->setObjectName(QStringLiteral("trayIcon"));
    trayIcon_->setContextMenu(popTray_);
}

} // namespace zevlo::qt
