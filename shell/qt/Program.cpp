#include "shell/qt/Program.h"

#include "form/ProgramFiles.h"
#include "form/TfrmMain.h"
#include "platform/Autostart.h"
#include "platform/ProcessRunner.h"
#include "platform/SingleInstance.h"
#include "platform/TerminationSignals.h"
#include "shell/qt/AppIcon.h"
#include "shell/qt/LogWindow.h"
#include "shell/qt/MainWindow.h"

#include <QApplication>
#include <QSessionManager>
#include <QSocketNotifier>
#include <QSystemTrayIcon>
#include <QTimer>

namespace zevlo::qt {

bool TerminationSignals::Install() {
    return platform::InstallTerminationSignals() >= 0;
}

bool TerminationSignals::Received() {
    return platform::TerminationRequested();
}

TerminationSignals::TerminationSignals(QObject *parent) : QObject(parent) {
    const int descriptor = platform::InstallTerminationSignals();
    if (descriptor < 0)
        return;
    auto *notifier = new QSocketNotifier(descriptor, QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, [this, descriptor] {
        platform::DrainTerminationSignals(descriptor);
        emit requested();
    });
}

SessionEnd::SessionEnd(form::TfrmMain &form) : form_(form) {
    QCoreApplication::instance()->installEventFilter(this);
}

void SessionEnd::CommitData() {
    form_.SaveForSession();
}

bool SessionEnd::eventFilter(QObject *watched, QEvent *event) {
    if (watched == QCoreApplication::instance() && event->type() == QEvent::Quit) {
        form_.Terminate();
        return true;
    }
    return QObject::eventFilter(watched, event);
}

int RunProgram(int argc, char **argv) {
    // Before anything else: a second copy leaves at once, without a window or a tray icon.
    platform::SingleInstance instance("Zevlo_Mutex");
    if (!instance.IsFirst())
        return 0;
    TerminationSignals::Install();

    QApplication app(argc, argv);
    // The name only: a display name would be appended to every window title.
    QApplication::setApplicationName(QString::fromLatin1(kApplicationTitle));
    QApplication::setQuitOnLastWindowClosed(false);
    QApplication::setWindowIcon(ApplicationIcon());

    const form::ProgramFiles files;
    platform::ProcessRunner runner;
    const std::unique_ptr<platform::IAutostart> autostart = platform::MakeUserAutostart();
    form::MainServices services = files.Services();
    services.runner = &runner;
    services.autostart = autostart.get();

    TerminationSignals terminationSignals;
    LogWindow logWindow;
    MainWindow window(logWindow, [] { return QSystemTrayIcon::isSystemTrayAvailable(); });
    form::TfrmMain form(window, logWindow, std::move(services));
    window.Bind(form);
    logWindow.Bind(form.frmLog());
    QObject::connect(&terminationSignals, &TerminationSignals::requested, &window, [&form] { form.Terminate(); });
    SessionEnd sessionEnd(form);
    QObject::connect(&app, &QGuiApplication::commitDataRequest, &sessionEnd,
                     [&sessionEnd](QSessionManager &) { sessionEnd.CommitData(); });
    QTimer::singleShot(0, &window, [&form] { form.StartUp(); });

    QApplication::exec();
    // The form's destruction writes Settings.ini and log.txt; errors go to standard error.
    return 0;
}

} // namespace zevlo::qt
