#include "app/Program.h"

#include "app/AppIcon.h"
#include "app/TfrmMain.h"
#include "platform/Autostart.h"
#include "platform/FileVersion.h"
#include "platform/Paths.h"
#include "platform/ProcessRunner.h"
#include "platform/SingleInstance.h"

#include <QApplication>
#include <QSessionManager>
#include <QSocketNotifier>
#include <QSystemTrayIcon>

#include <atomic>
#include <iostream>

#ifndef _WIN32
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>
#endif

namespace zevlo {

namespace {

std::atomic<bool> signalReceived{false};
#ifndef _WIN32
int signalPipe[2] = {-1, -1};

extern "C" void OnTerminationSignal(int) {
    const int savedErrno = errno;
    signalReceived.store(true);
    const char byte = 1;
    // A full pipe already holds a request; nothing else to do.
    [[maybe_unused]] const ssize_t written = write(signalPipe[1], &byte, 1);
    errno = savedErrno;
}
#endif

} // namespace

bool TerminationSignals::Install() {
#ifndef _WIN32
    static_assert(std::atomic<bool>::is_always_lock_free);
    if (signalPipe[0] >= 0)
        return true;
    if (pipe2(signalPipe, O_NONBLOCK | O_CLOEXEC) != 0) {
        signalPipe[0] = signalPipe[1] = -1;
        return false;
    }
    struct sigaction action = {};
    action.sa_handler = OnTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int number : {SIGTERM, SIGINT, SIGHUP})
        sigaction(number, &action, nullptr);
    // A child that exits before reading its input must not end the program.
    std::signal(SIGPIPE, SIG_IGN);
#endif
    return true;
}

bool TerminationSignals::Received() {
    return signalReceived.load();
}

TerminationSignals::TerminationSignals(QObject *parent) : QObject(parent) {
#ifndef _WIN32
    if (signalPipe[0] < 0)
        return;
    auto *notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, [this] {
        char buffer[64];
        while (read(signalPipe[0], buffer, sizeof buffer) > 0) {
        }
        emit requested();
    });
#endif
}

int RunProgram(int argc, char **argv) {
    // Before anything else: a second copy leaves at once, without a window or a tray icon.
    platform::SingleInstance instance("Zevlo_Mutex");
    if (!instance.IsFirst())
        return 0;
    if (!TerminationSignals::Install())
        std::cerr << "zevlo: termination signals cannot be caught\n";

    QApplication app(argc, argv);
    // The name only: a display name would be appended to every window title.
    QApplication::setApplicationName(QString::fromLatin1(kApplicationTitle));
    QApplication::setQuitOnLastWindowClosed(false);
    QApplication::setWindowIcon(ApplicationIcon());

    const std::string executable = platform::ExecutablePath();
    const std::string programDir = platform::DirectoryOf(executable);
    const std::string perUserDir = platform::PerUserDataDir();
    const std::string dataDir = platform::ChooseDataDir(programDir, perUserDir);
    if (dataDir == perUserDir && !platform::MakeDirs(perUserDir))
        std::cerr << "zevlo: cannot create the folder " << perUserDir << "\n";

    platform::ProcessRunner runner;
    const std::unique_ptr<platform::IAutostart> autostart = platform::MakeUserAutostart();
    MainServices services;
    services.programDir = programDir;
    services.dataDir = dataDir;
    services.executablePath = executable;
    services.runner = &runner;
    services.autostart = autostart.get();
    services.versionText = [executable] { return platform::GetFileVersionText(executable); };
    services.trayAvailable = [] { return QSystemTrayIcon::isSystemTrayAvailable(); };

    TerminationSignals terminationSignals;
    TfrmMain window(std::move(services));
    QObject::connect(&terminationSignals, &TerminationSignals::requested, &window, &TfrmMain::Terminate);
    QObject::connect(&app, &QGuiApplication::commitDataRequest, &window,
                     [&window](QSessionManager &) { window.Terminate(); });

    QApplication::exec();
    // The window's destruction writes Settings.ini and log.txt; errors go to standard error.
    return 0;
}

} // namespace zevlo
