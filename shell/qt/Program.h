#pragma once

#include <QObject>

namespace zevlo::form {
class TfrmMain;
}

namespace zevlo::qt {

// Turns SIGTERM, SIGINT and SIGHUP into a Qt signal on the main thread: the handler only
// writes a byte to a pipe, which a socket notifier reads inside the event loop.
class TerminationSignals : public QObject {
    Q_OBJECT
public:
    // Installs the handlers; call once, before the application object, so that a signal
    // arriving during start-up waits in the pipe instead of killing the program unsaved.
    static bool Install();
    // True once one of the signals arrived.
    static bool Received();

    explicit TerminationSignals(QObject *parent = nullptr);

signals:
    void requested();
};

// The desktop session's requests: a session save, which need not be a logout, saves the
// files and nothing more; the session manager's quit (an X11 "die") goes into the one
// termination routine, so no close handler can read back or refuse it.
class SessionEnd : public QObject {
    Q_OBJECT
public:
    // Watches the application object for its quit event.
    explicit SessionEnd(form::TfrmMain &form);
    void CommitData();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    form::TfrmMain &form_;
};

// The program: one copy per user, the main window, the event loop. Returns the exit status.
int RunProgram(int argc, char **argv);

} // namespace zevlo::qt
