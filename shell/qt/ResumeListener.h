#pragma once

#include <QDBusConnection>
#include <QObject>

namespace zevlo::qt {

// Hears logind say that the computer has resumed from sleep or hibernation
// (PrepareForSleep(false) on the system bus). Without a system bus, or without logind on
// it, nothing ever comes and nothing is said.
class ResumeListener final : public QObject {
    Q_OBJECT
public:
    explicit ResumeListener(QObject *parent = nullptr);
    // On another bus than the system's (tests).
    ResumeListener(const QDBusConnection &bus, QObject *parent);

    bool Listening() const { return listening_; }

signals:
    // Once per resume.
    void resumed();

private slots:
    void PrepareForSleep(bool beforeSleep);

private:
    bool listening_ = false;
};

} // namespace zevlo::qt
