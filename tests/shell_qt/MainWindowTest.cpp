#include "form/FormRules.h"
#include "shell/qt/Program.h"
#include "tests/shell_qt/QtFixture.h"

#include <QAction>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSpinBox>
#include <QSystemTrayIcon>
#include <QTabWidget>
#include <QTest>
#include <QToolButton>

#include <csignal>

namespace zevlo::test {
namespace {

using MainWindowTest = QtWindowTest;

// Each control stands under its name, and the view reads and writes that widget.
TEST_F(MainWindowTest, EveryControlIsBoundToItsWidget) {
    Open();
    Settle();
    for (const Control control : form::AllControls()) {
        const char *name = form::ControlName(control);
        SCOPED_TRACE(name);
        QObject *widget = window_->Widget(control);
        ASSERT_NE(widget, nullptr);
        EXPECT_EQ(widget->objectName(), name);
        switch (form::KindOf(control)) {
        case form::ControlKind::List: {
            auto *list = qobject_cast<QComboBox *>(widget);
            ASSERT_NE(list, nullptr);
            ASSERT_EQ(static_cast<std::size_t>(list->count()), form::ListEntries(control).size());
            window_->SetEntry(control, list->count() - 1);
            EXPECT_EQ(list->currentIndex(), list->count() - 1);
            EXPECT_EQ(window_->Text(control), form::ListEntries(control).back());
            break;
        }
        case form::ControlKind::CheckBox:
            ASSERT_NE(qobject_cast<QCheckBox *>(widget), nullptr);
            window_->SetChecked(control, !window_->Checked(control));
            EXPECT_EQ(qobject_cast<QCheckBox *>(widget)->isChecked(), window_->Checked(control));
            break;
        case form::ControlKind::Edit:
            ASSERT_NE(qobject_cast<QLineEdit *>(widget), nullptr);
            window_->SetText(control, "t\xc3\xa9xt");
            EXPECT_EQ(qobject_cast<QLineEdit *>(widget)->text(), QString::fromUtf8("t\xc3\xa9xt"));
            EXPECT_EQ(window_->Text(control), "t\xc3\xa9xt");
            break;
        case form::ControlKind::SpinEdit:
            ASSERT_NE(qobject_cast<QSpinBox *>(widget), nullptr);
            window_->SetText(control, "2500");
            EXPECT_EQ(qobject_cast<QSpinBox *>(widget)->value(), 2500);
            EXPECT_EQ(qobject_cast<QSpinBox *>(widget)->singleStep(), form::kMaxLogStep);
            break;
        case form::ControlKind::Label:
            ASSERT_NE(qobject_cast<QLabel *>(widget), nullptr);
            EXPECT_FALSE(window_->Text(control).empty());
            break;
        case form::ControlKind::Button:
            EXPECT_NE(qobject_cast<QAbstractButton *>(widget), nullptr);
            break;
        case form::ControlKind::MenuItem:
            ASSERT_NE(qobject_cast<QAction *>(widget), nullptr);
            window_->SetText(control, "Item");
            EXPECT_EQ(qobject_cast<QAction *>(widget)->text(), "Item");
            break;
        }
        window_->SetToolTip(control, "t\xc3\xa9p");
        EXPECT_EQ(widget->property("toolTip").toString(), QString::fromUtf8("t\xc3\xa9p"));
    }
}

TEST_F(MainWindowTest, UserActsReachTheFormLogicAndItsValuesTheWidgets) {
    Open();
    Settle();
    EXPECT_EQ(window_->windowTitle(), "Windows DDNS Client v3.0.0.0");
    EXPECT_EQ(window_->size(), QSize(296, 377));
    EXPECT_EQ(Find<QCheckBox>("chkStartWithWin")->text(), "Start at login");
    EXPECT_EQ(Find<QLabel>("lblUser")->palette().color(QPalette::WindowText), QColor(Qt::red));
    QTest::keyClicks(Find<QLineEdit>("edtUser"), "al");
    EXPECT_NE(Find<QLabel>("lblUser")->palette().color(QPalette::WindowText), QColor(Qt::red))
        << "normal as soon as the field holds text";

    QTest::keyClick(Find<QComboBox>("cmbProtocol"), Qt::Key_Down);
    EXPECT_EQ(Find<QLineEdit>("edtPort")->text(), "8245");
    Find<QCheckBox>("chkCustomIP")->click(); // on a tab not shown: no mouse there
    EXPECT_TRUE(Find<QLineEdit>("edtCustomChkIP")->isEnabled());

    Find<QLineEdit>("edtUser")->setText("bob");
    ModalAnswerer answerer;
    QTest::mouseClick(Find<QPushButton>("btnSaveConfig"), Qt::LeftButton);
    EXPECT_NE(ReadBytes(DataDir() + "Settings.ini").find("FSET_User=bob\r\n"), std::string::npos);
    // The update now goes over HTTP with Basic: the user is told, once.
    ASSERT_EQ(answerer.boxes.size(), 1u);
    EXPECT_EQ(answerer.boxes[0].caption, "Warning");
}

TEST_F(MainWindowTest, TheServiceListFillsTheEndpointsAndAnEditedFieldTurnsItToCustom) {
    Open();
    Settle();
    auto *services = Find<QComboBox>("cmbService");
    ASSERT_GT(services->count(), 1);
    QTest::keyClick(services, Qt::Key_Down);
    EXPECT_EQ(Find<QLineEdit>("edtServer")->text(), "members.dyndns.org");

    // A text the program sets runs no handler, even when the field is left with Enter.
    auto *server = Find<QLineEdit>("edtServer");
    server->setText("set.example.net");
    QTest::keyClick(server, Qt::Key_Return);
    EXPECT_EQ(services->currentIndex(), 1);
    // What the user types does, once the field is left.
    QTest::keyClicks(server, "x");
    EXPECT_EQ(services->currentIndex(), 1) << "not at every key";
    QTest::keyClick(server, Qt::Key_Return);
    EXPECT_EQ(services->currentIndex(), 0);
    EXPECT_EQ(server->text(), "set.example.netx");
}

TEST_F(MainWindowTest, TabKeysWorkFromAnywhereInTheWindowAndEscapeHidesIt) {
    form::TfrmMain &form = Open();
    window_->show();
    window_->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window_.get()));
    auto *tabs = Find<QTabWidget>("pgcMain");
    struct Row {
        const char *focus; // where the focus is: the bottom bar, or a field of the first page
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        int from;
        int to;
    };
    const Row rows[] = {
        {"btnSaveConfig", Qt::Key_Tab, Qt::ControlModifier, 0, 1},
        {"btnSaveConfig", Qt::Key_Tab, Qt::ControlModifier, 2, 0},
        {"btnTerminate", Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier, 0, 2},
        {"btnSaveConfig", Qt::Key_PageDown, Qt::ControlModifier, 1, 2},
        {"btnSaveConfig", Qt::Key_PageUp, Qt::ControlModifier, 0, 2},
        {"edtUser", Qt::Key_Tab, Qt::ControlModifier, 0, 1},
        {"edtUser", Qt::Key_PageUp, Qt::ControlModifier, 0, 2},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(std::string(row.focus) + " " + QKeySequence(row.key | row.modifiers).toString().toStdString());
        tabs->setCurrentIndex(row.from);
        auto *focus = Find<QWidget>(row.focus);
        focus->setFocus();
        QTest::keyClick(focus, row.key, row.modifiers);
        EXPECT_EQ(tabs->currentIndex(), row.to);
        ASSERT_NE(QApplication::focusWidget(), nullptr);
        EXPECT_TRUE(QApplication::focusWidget()->isVisible()) << "the focus stays on a control that shows";
    }

    Find<QLineEdit>("edtHostname")->setText("other.example.org");
    QTest::keyClick(Find<QWidget>("btnSaveConfig"), Qt::Key_Escape);
    EXPECT_TRUE(window_->isHidden());
    EXPECT_FALSE(form.AllowClose());
    EXPECT_EQ(form.dm().FSET_Hostname, "other.example.org") << "read back as closing does";
}

class PortFieldTest : public QtWindowTest, public ::testing::WithParamInterface<const char *> {};

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

TEST_F(MainWindowTest, TrayIconAndMenu) {
    WriteRunningSettings();
    form::TfrmMain &form = Open();
    Settle();
    QSystemTrayIcon *tray = window_->TrayIcon();
    EXPECT_TRUE(tray->toolTip().startsWith("Windows DDNS Client\n198.51.100.7, checked "))
        << tray->toolTip().toStdString();
    EXPECT_FALSE(tray->icon().isNull());
    QMenu *menu = window_->TrayMenu();
    ASSERT_EQ(menu->actions().size(), 3);
    EXPECT_EQ(menu->actions()[0]->text(), "Show");
    EXPECT_EQ(menu->actions()[1]->text(), "Terminate");
    EXPECT_EQ(menu->actions()[2]->text(), "Pause");

    form.dm().FSET_StateIsPaused = true;
    emit menu->aboutToShow();
    EXPECT_EQ(menu->actions()[2]->text(), "Unpause");
    form.dm().FSET_StateIsPaused = false;

    emit tray->activated(QSystemTrayIcon::Context);
    EXPECT_FALSE(window_->isVisible());
    emit tray->activated(QSystemTrayIcon::Trigger);
    EXPECT_TRUE(window_->isVisible());
    EXPECT_FALSE(window_->close()) << "closing hides";
    EXPECT_TRUE(window_->isHidden());

    // A minimise button the window manager adds anyway does the same.
    emit tray->activated(QSystemTrayIcon::Trigger);
    window_->showMinimized();
    Settle();
    EXPECT_TRUE(window_->isHidden());
    emit tray->activated(QSystemTrayIcon::Trigger);
    EXPECT_TRUE(window_->isVisible());
    EXPECT_FALSE(window_->isMinimized());
}

// The single-shot check timer is a precise QTimer whose timeout reaches the form: a wake
// arms it for the settling time, and when it runs out the check follows.
TEST_F(MainWindowTest, TheCheckTimerBringsTheCheckAfterAWake) {
    WriteRunningSettings();
    form::TfrmMain &form = Open();
    Settle();
    ASSERT_EQ(runner_.Checks(), 1);
    QTimer *timer = window_->CheckTimer();
    EXPECT_FALSE(timer->isActive());

    now_ += std::chrono::seconds(61);
    form.SystemResumed();
    EXPECT_TRUE(timer->isActive());
    EXPECT_TRUE(timer->isSingleShot());
    EXPECT_EQ(timer->timerType(), Qt::PreciseTimer);
    EXPECT_EQ(timer->interval(), 10000);

    now_ += std::chrono::seconds(10);
    timer->start(0);
    Settle();
    EXPECT_EQ(runner_.Checks(), 2);
    EXPECT_FALSE(timer->isActive()) << "nothing more is due";
}

// Notes whether a window was blocked by a modal one when it was shown or since.
class BlockedWatch : public QObject {
public:
    bool blocked = false;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override {
        if (event->type() == QEvent::WindowBlocked)
            blocked = true;
        else if (event->type() == QEvent::WindowUnblocked)
            blocked = false;
        return QObject::eventFilter(watched, event);
    }
};

// The notification area's icon is a window of its own (the tray protocol of X11 embeds one):
// a box that blocked every window of the program would leave the tray menu and tip dead.
TEST_F(MainWindowTest, BoxesAreRealMessageBoxesWithPlainTextModalToTheMainWindowOnly) {
    WriteRunningSettings();
    runner_.checkAnswer = "203.0.113.9";
    runner_.updateAnswer = "nochg <b>203.0.113.9</b>";
    QWidget trayIconWindow(nullptr, Qt::Window | Qt::FramelessWindowHint);
    BlockedWatch trayWatch;
    BlockedWatch mainWatch;
    bool trayBlocked = true;
    bool mainBlocked = false;
    ModalAnswerer answerer({QMessageBox::Ok, QMessageBox::No});
    answerer.onModal = [&](QWidget *) {
        Settle();
        trayBlocked = trayWatch.blocked;
        mainBlocked = mainWatch.blocked;
        return false;
    };
    Open();
    window_->show();
    trayIconWindow.show();
    window_->windowHandle()->installEventFilter(&mainWatch);
    trayIconWindow.windowHandle()->installEventFilter(&trayWatch);
    for (int i = 0; i < 20 && answerer.boxes.empty(); ++i)
        Settle();
    ASSERT_EQ(answerer.boxes.size(), 1u);
    EXPECT_EQ(answerer.boxes[0].caption, "Warning");
    EXPECT_EQ(answerer.boxes[0].icon, QMessageBox::Warning);
    EXPECT_EQ(answerer.boxes[0].text, "Update: nochg <b>203.0.113.9</b> (the service already had this address)");
    EXPECT_EQ(answerer.boxes[0].format, Qt::PlainText);
    EXPECT_FALSE(trayBlocked);
    EXPECT_TRUE(mainBlocked) << "modal to the main window";

    QTest::mouseClick(Find<QPushButton>("btnTerminate"), Qt::LeftButton);
    ASSERT_EQ(answerer.boxes.size(), 2u);
    EXPECT_EQ(answerer.boxes[1].caption, "Confirm");
    EXPECT_EQ(answerer.boxes[1].icon, QMessageBox::Question);
    EXPECT_FALSE(form_->AllowClose()) << "answered No";
}

TEST_F(MainWindowTest, TheHostnameBoxShowsItsTwoLinesAsWritten) {
    const QString first = "Hostname cannot be empty. Please place dash (minus sign) and/or contact";
    QString shown;
    bool fits = false;
    ModalAnswerer answerer;
    answerer.onModal = [&](QWidget *box) {
        for (QLabel *label : box->findChildren<QLabel *>()) {
            if (!label->text().startsWith("Hostname"))
                continue;
            shown = label->text();
            fits = !label->wordWrap() && label->width() >= label->fontMetrics().horizontalAdvance(first);
        }
        return false;
    };
    Open();
    window_->show();
    Settle();
    Find<QLineEdit>("edtUser")->setText("alice");
    Find<QLineEdit>("edtPass")->setText("secret");
    Find<QLineEdit>("edtHostname")->clear();
    QTest::mouseClick(Find<QPushButton>("btnUnpause"), Qt::LeftButton);

    ASSERT_EQ(answerer.boxes.size(), 1u);
    EXPECT_EQ(shown, first + "\nweb administrator for a correct value");
    EXPECT_TRUE(fits) << "one line of the text is one line of the box";
}

// The tray's Terminate (false) or a termination signal (true) while the start's box is open.
class TerminationWithABoxOpenTest : public QtWindowTest, public ::testing::WithParamInterface<bool> {};

TEST_P(TerminationWithABoxOpenTest, EndsTheBoxAndTheEventLoop) {
    ASSERT_TRUE(qt::TerminationSignals::Install());
    qt::TerminationSignals signalSource;
    WriteRunningSettings();
    runner_.checkAnswer = "203.0.113.9";
    runner_.updateAnswer = "badauth";
    form::TfrmMain &form = Open();
    QObject::connect(&signalSource, &qt::TerminationSignals::requested, [&form] { form.Terminate(); });
    ModalAnswerer answerer;
    QString pausedTip;
    answerer.onModal = [&](QWidget *) {
        // The refusal paused the window before its box.
        pausedTip = Find<QLabel>("lblPaused")->toolTip();
        if (GetParam())
            std::raise(SIGTERM);
        else
            qobject_cast<QAction *>(window_->Widget(Control::mnuTerminate))->trigger();
        return true; // the box is left open
    };
    EXPECT_EQ(RunMainLoop([] {}), 0);
    EXPECT_TRUE(!GetParam() || qt::TerminationSignals::Received());
    EXPECT_EQ(pausedTip, "Paused: the service refused the user name or password");
    ASSERT_EQ(answerer.boxes.size(), 1u);
    EXPECT_EQ(answerer.boxes[0].text, "Update: badauth (the service refused the user name or password)");
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    EXPECT_TRUE(form.AllowClose());
}

INSTANTIATE_TEST_SUITE_P(TrayOrSignal, TerminationWithABoxOpenTest, ::testing::Bool());

TEST_F(MainWindowTest, TheSessionManagersQuitTerminates) {
    WriteRunningSettings();
    form::TfrmMain &form = Open();
    Settle();
    qt::SessionEnd sessionEnd(form);
    Find<QLineEdit>("edtHostname")->setText("other.example.org");

    EXPECT_EQ(RunMainLoop([] { QCoreApplication::postEvent(qApp, new QEvent(QEvent::Quit)); }), 0);
    EXPECT_TRUE(form.AllowClose());
    EXPECT_EQ(form.dm().FSET_Hostname, "other.example.org") << "what the window shows is kept";
}

} // namespace
} // namespace zevlo::test
