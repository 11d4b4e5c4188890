#include "shell/qt/ResumeListener.h"

namespace zevlo::qt {

ResumeListener::ResumeListener(QObject *parent) : ResumeListener(QDBusConnection::systemBus(), parent) {}

ResumeListener::ResumeListener(const QDBusConnection &bus, QObject *parent) : QObject(parent) {
    if (!bus.isConnected())
        return;
    // Only logind's own signal counts: the match names its bus name, which the bus maps to
    // whoever owns it (logind may start after the program).
    QDBusConnection connection(bus);
    listening_ = connection.connect(QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
                                    QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("PrepareForSleep"),
                                    this, SLOT(PrepareForSleep(bool)));
}

void ResumeListener::PrepareForSleep(bool beforeSleep) {
    if (!beforeSleep)
        emit resumed();
}

} // namespace zevlo::qt
