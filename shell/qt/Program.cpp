#include "shell/qt/Program.h"

#include "form/TfrmMain.h"
#include "form/WindowProgram.h"
#include "platform/ProcessRunner.h"
#include "platform/TerminationSignals.h"
#include "shell/qt/AppIcon.h"
#include "shell/qt/LogWindow.h"
#include "shell/qt/MainWindow.h"
#include "shell/qt/QtText.h"
#include "shell/qt/SystemEvents.h"

#include <QApplication>
#include <QDateTime>
#include <QLocale>
#include <QSessionManager>
#include <QSocketNotifier>
#include <QSystemTrayIcon>
#include <QTimer>

#include <chrono>
#include <optional>
#include <string>

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

namespace {

// The Qt parts of the window program's start.
class QtShell final : public form::WindowShell {
public:
    QtShell(int &argc, char **argv) : argc_(argc), argv_(argv) {}

    void StartToolkit() override {
        // Before the application object: a signal during the start waits in the pipe.
        TerminationSignals::Install();
        app_.emplace(argc_, argv_);
        // The name only: a display name would be appended to every window title.
        QApplication::setApplicationName(QString::fromLatin1(kApplicationTitle));
        QApplication::setQuitOnLastWindowClosed(false);
        QApplication::setWindowIcon(ApplicationIcon());
    }
    platform::IProcessRunner &Runner() override { return runner_; }
    void BuildWindows() override {
        terminationSignals_.emplace();
        logWindow_.emplace();
        window_.emplace(*logWindow_, [] { return QSystemTrayIcon::isSystemTrayAvailable(); });
    }
    form::IMainView &MainView() override { return *window_; }
    form::ILogView &LogView() override { return *logWindow_; }
    std::string ShortTime(std::chrono::system_clock::time_point when) const override {
        const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(when.time_since_epoch()).count();
        return ToLocal8(
            QLocale::system().toString(QDateTime::fromSecsSinceEpoch(seconds).time(), QLocale::ShortFormat));
    }
    void Bind(form::TfrmMain &form) override {
        window_->Bind(form);
        logWindow_->Bind(form.frmLog());
        new SystemEvents([&form] { form.SystemResumed(); }, [&form] { form.AddressesChanged(); }, &*window_);
        QObject::connect(&*terminationSignals_, &TerminationSignals::requested, &*window_,
                         [&form] { form.Terminate(); });
        SessionEnd &sessionEnd = sessionEnd_.emplace(form);
        QObject::connect(&*app_, &QGuiApplication::commitDataRequest, &sessionEnd,
                         [&sessionEnd](QSessionManager &) { sessionEnd.CommitData(); });
    }
    void RunEventLoop(form::TfrmMain &form) override {
        QTimer::singleShot(0, &*window_, [&form] { form.StartUp(); });
        QApplication::exec();
    }

private:
    int &argc_;
    char **argv_;
    platform::ProcessRunner runner_;
    std::optional<QApplication> app_;
    std::optional<TerminationSignals> terminationSignals_;
    std::optional<LogWindow> logWindow_;
    std::optional<MainWindow> window_;
    std::optional<SessionEnd> sessionEnd_;
};

} // namespace

int RunProgram(int argc, char **argv) {
    QtShell shell(argc, argv);
    return form::RunWindowProgram(shell);
}

} // namespace zevlo::qt
