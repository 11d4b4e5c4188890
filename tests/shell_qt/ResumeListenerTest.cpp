#include "shell/qt/ResumeListener.h"
#include "shell/qt/SystemEvents.h"
#include "tests/shell_qt/QtFixture.h"
#include "tests/support/PrivateNetwork.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

namespace zevlo::test {
namespace {

// A message bus of the test's own; the session bus's policy lets anyone own any name.
class PrivateBus {
public:
    PrivateBus() {
        daemon_.start("dbus-daemon",
                      {"--session", "--nofork", "--print-address", "--address=unix:path=" + dir_.filePath("bus")});
        if (daemon_.waitForReadyRead(10000))
            address_ = QString::fromUtf8(daemon_.readLine().trimmed());
    }
    ~PrivateBus() {
        daemon_.kill();
        daemon_.waitForFinished();
    }
    const QString &Address() const { return address_; }

private:
    QTemporaryDir dir_;
    QProcess daemon_;
    QString address_;
};

void SendPrepareForSleep(QDBusConnection &from, bool beforeSleep) {
    QDBusMessage signal =
        QDBusMessage::createSignal("/org/freedesktop/login1", "org.freedesktop.login1.Manager", "PrepareForSleep");
    signal << beforeSleep;
    ASSERT_TRUE(from.send(signal));
    // A round trip: the bus has passed the signal on before anything sent after it.
    from.interface()->isServiceRegistered("org.freedesktop.DBus");
}

TEST(ResumeListenerTest, OneResumeWhenLogindSaysTheSleepIsOver) {
    PrivateBus bus;
    ASSERT_FALSE(bus.Address().isEmpty()) << "dbus-daemon did not start";
    qputenv("DBUS_SYSTEM_BUS_ADDRESS", bus.Address().toUtf8());
    QDBusConnection logind = QDBusConnection::connectToBus(bus.Address(), "logind stand-in");
    QDBusConnection other = QDBusConnection::connectToBus(bus.Address(), "another program");
    ASSERT_TRUE(logind.registerService("org.freedesktop.login1"));

    qt::ResumeListener listener; // on the system bus, which is the private one now
    ASSERT_TRUE(listener.Listening());
    QSignalSpy resumed(&listener, &qt::ResumeListener::resumed);
    SendPrepareForSleep(other, false); // not logind's
    SendPrepareForSleep(logind, true);
    SendPrepareForSleep(logind, false);
    ASSERT_TRUE(resumed.wait(5000));
    QTest::qWait(300);
    EXPECT_EQ(resumed.count(), 1);

    QDBusConnection::disconnectFromBus("logind stand-in");
    QDBusConnection::disconnectFromBus("another program");
}

int messagesSeen = 0;

TEST(ResumeListenerTest, NoBusOrNoLogindSaysNothing) {
    PrivateBus bus;
    ASSERT_FALSE(bus.Address().isEmpty()) << "dbus-daemon did not start";
    messagesSeen = 0;
    const QtMessageHandler previous =
        qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) { ++messagesSeen; });
    {
        qt::ResumeListener noBus(QDBusConnection::connectToBus("unix:path=/nonexistent/zevlo-bus", "no bus"), nullptr);
        EXPECT_FALSE(noBus.Listening());
        qt::ResumeListener noLogind(QDBusConnection::connectToBus(bus.Address(), "no logind"), nullptr);
        EXPECT_TRUE(noLogind.Listening());
        QTest::qWait(200);
    }
    qInstallMessageHandler(previous);
    EXPECT_EQ(messagesSeen, 0);
    QDBusConnection::disconnectFromBus("no bus");
    QDBusConnection::disconnectFromBus("no logind");
}

// The window's program as it is put together at the start, hearing the netlink socket from
// its event loop: the renewal of an address that stays is no change, a new global address is
// one, which brings one check once the settling time has run out (the clock is the test's).
using EventsToChecksTest = QtWindowTest;

TEST_F(EventsToChecksTest, ANewAddressOnTheMachineBringsACheck) {
    PrivateNetwork network;
    if (!network.Active())
        GTEST_SKIP() << "no network namespace of our own (" << network.Error() << "): run as root";
    ASSERT_TRUE(AddVethPair("198.51.100.7/24"));
    WriteRunningSettings();
    form::TfrmMain &form = Open();
    Settle();
    ASSERT_EQ(runner_.Checks(), 1);
    int changes = 0;
    qt::SystemEvents events([&form] { form.SystemResumed(); },
                            [&] {
                                ++changes;
                                form.AddressesChanged();
                            });
    ASSERT_TRUE(events.WatchesAddresses());
    QTimer *timer = window_->CheckTimer();
    now_ += std::chrono::seconds(61);

    ASSERT_TRUE(Shell("ip addr change 198.51.100.7/24 dev zv0 valid_lft 3000 preferred_lft 2000"));
    QTest::qWait(500);
    EXPECT_EQ(changes, 0) << "a renewed lifetime";
    ASSERT_TRUE(Shell("ip addr add 203.0.113.9/24 dev zv0"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return timer->isActive(); }, 5000)) << "the change arms the check";
    EXPECT_EQ(runner_.Checks(), 1) << "not before it settled";
    QTest::qWait(300);
    EXPECT_EQ(changes, 1);
    now_ += std::chrono::seconds(25);
    timer->start(0);
    Settle();
    EXPECT_EQ(runner_.Checks(), 2);
}

} // namespace
} // namespace zevlo::test
