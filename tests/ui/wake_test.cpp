#include "KdWakeNotification.h"
#include "UiRunLoop.h"

#include <QProcess>
#include <QtTest>

#include <systemd/sd-bus.h>

// Waking from sleep as logind tells it: PrepareForSleep(false) from org.freedesktop.login1 on the
// system bus, here a private bus daemon standing for the system bus.
class WakeTest : public QObject {
    Q_OBJECT

    QProcess mDaemon;
    QByteArray mAddress;

    // A client connection on the private bus; owns name when one is given.
    static sd_bus* Connect(const QByteArray& address, const char* name = nullptr) {
        sd_bus* bus = nullptr;
        if (sd_bus_new(&bus) < 0) return nullptr;
        sd_bus_set_address(bus, address.constData());
        sd_bus_set_bus_client(bus, 1);
        if (sd_bus_start(bus) < 0 || (name && sd_bus_request_name(bus, name, 0) < 0)) {
            sd_bus_unref(bus);
            return nullptr;
        }
        return bus;
    }
    static void EmitPrepareForSleep(sd_bus* bus, bool goingToSleep) {
        sd_bus_emit_signal(bus, "/org/freedesktop/login1", "org.freedesktop.login1.Manager",
                           "PrepareForSleep", "b", int(goingToSleep));
        sd_bus_flush(bus);
    }

private slots:
    void initTestCase() {
        if (QStandardPaths::findExecutable("dbus-daemon").isEmpty())
            QSKIP("dbus-daemon is not installed");
        mDaemon.start("dbus-daemon", {"--session", "--nofork", "--print-address"});
        QVERIFY(mDaemon.waitForStarted());
        QTRY_VERIFY(mDaemon.canReadLine());
        mAddress = mDaemon.readLine().trimmed();
        qputenv("DBUS_SYSTEM_BUS_ADDRESS", mAddress);
        UiRunLoop::InstallMain();
    }
    void cleanupTestCase() {
        mDaemon.terminate();
        mDaemon.waitForFinished();
    }

    void OnlyLogindsWakeCounts() {
        int wakes = 0;
        KdWakeNotification notification([&] { ++wakes; });
        QVERIFY(notification.IsWatching());
        sd_bus* logind = Connect(mAddress, "org.freedesktop.login1");
        sd_bus* impostor = Connect(mAddress);
        QVERIFY(logind && impostor);

        // The match is installed without waiting: announce until it is in place.
        for (int k = 0; k < 50 && wakes == 0; ++k) {
            EmitPrepareForSleep(logind, false);
            QTest::qWait(50);
        }
        QVERIFY(wakes > 0);
        const int woken = wakes;
        QTest::qWait(100);

        EmitPrepareForSleep(logind, true); // going to sleep
        EmitPrepareForSleep(impostor, false);
        QTest::qWait(300);
        QCOMPARE(wakes, woken);

        EmitPrepareForSleep(logind, false);
        QTRY_COMPARE(wakes, woken + 1);
        sd_bus_flush_close_unref(logind);
        sd_bus_flush_close_unref(impostor);
    }

    void NoSystemBusNoWatch() {
        const QByteArray saved = qgetenv("DBUS_SYSTEM_BUS_ADDRESS");
        qputenv("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=/nonexistent/bus");
        KdWakeNotification notification([] {});
        QVERIFY(!notification.IsWatching());
        qputenv("DBUS_SYSTEM_BUS_ADDRESS", saved);
    }
};

QTEST_MAIN(WakeTest)
#include "wake_test.moc"
