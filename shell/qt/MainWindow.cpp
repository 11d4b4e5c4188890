#include "shell/qt/MainWindow.h"

#include "form/FormRules.h"
#include "form/TfrmMain.h"
#include "shell/qt/LogWindow.h"
#include "shell/qt/MessageBox.h"
#include "shell/qt/QtText.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QScreen>
#include <QShortcut>
#include <QSpinBox>
#include <QSystemTrayIcon>
#include <QTabBar>
#include <QTabWidget>
#include <QTimer>

#include <utility>

namespace zevlo::qt {

namespace {

using form::Control;

} // namespace

template <typename T> T *MainWindow::As(Control control) const {
    return qobject_cast<T *>(controls_[Index(control)]);
}

MainWindow::MainWindow(LogWindow &logWindow, std::function<bool()> trayAvailable)
    : QWidget(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      logWindow_(logWindow), trayAvailable_(std::move(trayAvailable)) {
    if (!trayAvailable_)
        trayAvailable_ = [] { return QSystemTrayIcon::isSystemTrayAvailable(); };
    BuildForm();
    BuildTray();
    for (const Control control : form::AllControls())
        controls_[Index(control)]->setObjectName(QString::fromLatin1(form::ControlName(control)));
    Connect();
    // Centred until a stored position says otherwise.
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - QPoint(width() / 2, height() / 2));
}

MainWindow::~MainWindow() {
    SetBusy(false);
}

void MainWindow::Bind(form::TfrmMain &form) {
    form_ = &form;
}

void MainWindow::Connect() {
    // Handlers run on the user's acts only: lists on activation, check boxes on clicks, edits
    // on typing and pasting.
    auto acted = [this](Control control) {
        return [this, control] {
            if (form_ != nullptr)
                form_->UserActed(control);
        };
    };
    // Edits once the user leaves one whose text they changed (or presses Enter): not at every
    // key, and never for a text the form logic set.
    auto connectEdited = [this, acted](QLineEdit *edit, Control control) {
        connect(edit, &QLineEdit::textEdited, this, [this, control] { edited_[Index(control)] = true; });
        connect(edit, &QLineEdit::editingFinished, this, [this, control, handler = acted(control)] {
            if (std::exchange(edited_[Index(control)], false))
                handler();
        });
    };
    for (const Control control : form::AllControls()) {
        QObject *widget = Widget(control);
        if (auto *list = qobject_cast<QComboBox *>(widget)) {
            connect(list, &QComboBox::activated, this, acted(control));
            if (list->isEditable())
                connectEdited(list->lineEdit(), control);
        } else if (auto *edit = qobject_cast<QLineEdit *>(widget)) {
            if (form::ActsWhileTyping(control))
                connect(edit, &QLineEdit::textEdited, this, acted(control));
            else
                connectEdited(edit, control);
        } else if (auto *button = qobject_cast<QAbstractButton *>(widget)) {
            connect(button, &QAbstractButton::clicked, this, acted(control));
        } else if (auto *action = qobject_cast<QAction *>(widget)) {
            connect(action, &QAction::triggered, this, acted(control));
        }
    }
    connect(popTray_, &QMenu::aboutToShow, this, [this] {
        if (form_ != nullptr)
            form_->popTrayPopup();
    });
    connect(Timer1_, &QTimer::timeout, this, [this] {
        if (form_ != nullptr)
            form_->Timer1Timer();
    });
    connect(checkTimer_, &QTimer::timeout, this, [this] {
        if (form_ != nullptr)
            form_->CheckTimerTimer();
    });
    connect(trayIcon_, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::Trigger && form_ != nullptr)
            form_->mnuShowClick();
    });
    As<QLineEdit>(Control::edtPort)->installEventFilter(this);
    As<QLineEdit>(Control::edtCPort)->installEventFilter(this);
    BindKeys();
}

void MainWindow::BindKeys() {
    // The tabbed window's keys, wherever the focus is in the window (the tab widget takes
    // them only from inside its pages).
    const std::pair<QKeySequence, int> tabKeys[] = {
        {QKeySequence(Qt::CTRL | Qt::Key_Tab), 1},
        {QKeySequence(Qt::CTRL | Qt::Key_PageDown), 1},
        {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Backtab), -1},
        {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Tab), -1},
        {QKeySequence(Qt::CTRL | Qt::Key_PageUp), -1},
    };
    for (const auto &[keys, step] : tabKeys) {
        auto *shortcut = new QShortcut(keys, this);
        connect(shortcut, &QShortcut::activated, this, [this, step = step] { StepTab(step); });
    }
    // Escape does what the close button does.
    connect(new QShortcut(QKeySequence(Qt::Key_Escape), this), &QShortcut::activated, this, &QWidget::close);
}

void MainWindow::StepTab(int step) {
    auto *tabs = findChild<QTabWidget *>(QStringLiteral("pgcMain"));
    const int count = tabs->count();
    tabs->setCurrentIndex((tabs->currentIndex() + step + count) % count);
    // The focus on a page that went away would leave the keyboard nowhere.
    const QWidget *focus = QApplication::focusWidget();
    if (focus == nullptr || !focus->isVisible())
        tabs->tabBar()->setFocus(Qt::TabFocusReason);
}

std::string MainWindow::Text(Control control) const {
    const QObject *widget = controls_[Index(control)];
    if (const auto *edit = qobject_cast<const QLineEdit *>(widget))
        return ToLocal8(edit->text());
    if (const auto *list = qobject_cast<const QComboBox *>(widget))
        return ToLocal8(list->currentText());
    if (const auto *spin = qobject_cast<const QSpinBox *>(widget))
        return std::to_string(spin->value());
    if (const auto *label = qobject_cast<const QLabel *>(widget))
        return ToLocal8(label->text());
    if (const auto *button = qobject_cast<const QAbstractButton *>(widget))
        return ToLocal8(button->text());
    if (const auto *action = qobject_cast<const QAction *>(widget))
        return ToLocal8(action->text());
    return {};
}

void MainWindow::SetText(Control control, const std::string &text) {
    QObject *widget = controls_[Index(control)];
    if (auto *edit = qobject_cast<QLineEdit *>(widget))
        edit->setText(FromLocal8(text));
    else if (auto *list = qobject_cast<QComboBox *>(widget); list != nullptr && list->isEditable())
        list->setEditText(FromLocal8(text));
    else if (auto *spin = qobject_cast<QSpinBox *>(widget))
        spin->setValue(form::MaxLogFromText(text, spin->value()));
    else if (auto *label = qobject_cast<QLabel *>(widget))
        label->setText(FromLocal8(text));
    else if (auto *button = qobject_cast<QAbstractButton *>(widget))
        button->setText(FromLocal8(text));
    else if (auto *action = qobject_cast<QAction *>(widget))
        action->setText(FromLocal8(text));
}

int MainWindow::Entry(Control control) const {
    const auto *list = As<QComboBox>(control);
    return list != nullptr ? list->currentIndex() : -1;
}

void MainWindow::SetEntry(Control control, int entry) {
    if (auto *list = As<QComboBox>(control))
        list->setCurrentIndex(entry);
}

bool MainWindow::Checked(Control control) const {
    const auto *box = As<QCheckBox>(control);
    return box != nullptr && box->isChecked();
}

void MainWindow::SetChecked(Control control, bool checked) {
    if (auto *box = As<QCheckBox>(control))
        box->setChecked(checked);
}

void MainWindow::SetEnabled(Control control, bool enabled) {
    QObject *widget = controls_[Index(control)];
    if (auto *plain = qobject_cast<QWidget *>(widget))
        plain->setEnabled(enabled);
    else if (auto *action = qobject_cast<QAction *>(widget))
        action->setEnabled(enabled);
}

void MainWindow::SetVisible(Control control, bool visible) {
    QObject *widget = controls_[Index(control)];
    if (auto *plain = qobject_cast<QWidget *>(widget))
        plain->setVisible(visible);
    else if (auto *action = qobject_cast<QAction *>(widget))
        action->setVisible(visible);
}

void MainWindow::SetAlert(Control control, bool alert) {
    if (auto *label = As<QLabel>(control))
        label->setPalette(alert ? AlertPalette(label) : QPalette());
}

void MainWindow::SetToolTip(Control control, const std::string &text) {
    QObject *widget = controls_[Index(control)];
    if (auto *plain = qobject_cast<QWidget *>(widget))
        plain->setToolTip(FromLocal8(text));
    else if (auto *action = qobject_cast<QAction *>(widget))
        action->setToolTip(FromLocal8(text));
}

QWidget *MainWindow::BoxParent() {
    return isVisible() && !isMinimized() ? this : nullptr;
}

form::BoxAnswer MainWindow::ShowBox(form::BoxKind kind, const std::string &caption, const std::string &text) {
    return ShowMessageBox(BoxParent(), kind, caption, text);
}

bool MainWindow::TrayAvailable() {
    return trayAvailable_();
}

void MainWindow::SetTrayIcon(bool shown) {
    trayIcon_->setVisible(shown);
}

void MainWindow::SetTrayTip(const std::string &tip) {
    trayIcon_->setToolTip(FromLocal8(tip));
}

void MainWindow::StartTimer(int milliseconds) {
    Timer1_->start(milliseconds);
}

void MainWindow::StopTimer() {
    Timer1_->stop();
}

void MainWindow::StartCheckTimer(int milliseconds) {
    checkTimer_->start(milliseconds);
}

void MainWindow::StopCheckTimer() {
    checkTimer_->stop();
}

void MainWindow::SetCaption(const std::string &caption) {
    setWindowTitle(FromLocal8(caption));
}

bool MainWindow::IsVisible() const {
    return isVisible();
}

bool MainWindow::IsMinimised() const {
    return isMinimized();
}

void MainWindow::ShowWindow() {
    if (isMinimized())
        showNormal();
    else
        show();
    raise();
    activateWindow();
}

void MainWindow::ShowMinimised() {
    showMinimized();
}

void MainWindow::HideWindow() {
    hide();
}

form::Point MainWindow::Position() const {
    return {x(), y()};
}

void MainWindow::MoveTo(form::Point topLeft) {
    move(topLeft.x, topLeft.y);
}

std::vector<form::Rect> MainWindow::ScreenAreas() const {
    std::vector<form::Rect> areas;
    for (const QScreen *screen : QGuiApplication::screens()) {
        const QRect area = screen->availableGeometry();
        areas.push_back({area.x(), area.y(), area.width(), area.height()});
    }
    return areas;
}

void MainWindow::SetBusy(bool busy) {
    if (busy == busy_)
        return;
    busy_ = busy;
    if (busy)
        QApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
    else
        QApplication::restoreOverrideCursor();
}

std::string MainWindow::ChooseFileToOpen(const std::string &current, const form::FileFilter &filter) {
    const QString path = QFileDialog::getOpenFileName(this, QString(), FromLocal8(current), FromLocal8(filter.name));
    return path.isEmpty() ? std::string() : ToLocal8(QDir::toNativeSeparators(path));
}

void MainWindow::ShowLogViewer() {
    logWindow_.exec();
}

void MainWindow::EndEventLoops() {
    // Ends the main loop and every nested one, so an open message box cannot hold the exit.
    QCoreApplication::exit(0);
}

void MainWindow::closeEvent(QCloseEvent *event) {
    if (form_ == nullptr || form_->FormCloseQuery())
        event->accept();
    else
        event->ignore();
}

void MainWindow::changeEvent(QEvent *event) {
    QWidget::changeEvent(event);
    if (event->type() != QEvent::WindowStateChange || !isMinimized() ||
        (static_cast<QWindowStateChangeEvent *>(event)->oldState() & Qt::WindowMinimized))
        return;
    // After the change is complete: showMinimized() shows the window once its state is set.
    QTimer::singleShot(0, this, [this] {
        if (form_ != nullptr && isMinimized() && isVisible())
            form_->FormMinimised();
    });
}

bool MainWindow::eventFilter(QObject *watched, QEvent *event) {
    const bool portField = watched == Widget(Control::edtPort) || watched == Widget(Control::edtCPort);
    if (portField && form_ != nullptr && event->type() == QEvent::KeyPress) {
        const auto *press = static_cast<QKeyEvent *>(event);
        // Ctrl and Ctrl+Shift chords are shortcuts (paste, select all) that type nothing; with
        // Alt, AltGr (Ctrl+Alt on Windows) or Meta held a key still types its character.
        const Qt::KeyboardModifiers chord = press->modifiers() & ~Qt::KeypadModifier;
        if (chord == Qt::ControlModifier || chord == (Qt::ControlModifier | Qt::ShiftModifier))
            return QWidget::eventFilter(watched, event);
        for (const QChar key : press->text()) {
            if (!form_->edtPortKeyPress(key.unicode()))
                return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace zevlo::qt
