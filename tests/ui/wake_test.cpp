#include "KdWakeNotification.h"
#include "PrivateSystemBus.h"
#include "UiRunLoop.h"

#include <QtTest>

// Waking from sleep as logind tells it: PrepareForSleep(false) from org.freedesktop.login1 on the
// system bus, here a private bus daemon standing for the system bus.
class WakeTest : public QObject {
    Q_OBJECT

    PrivateSystemBus mBus;

private slots:
    void initTestCase() {
        if (!PrivateSystemBus::IsAvailable()) QSKIP("dbus-daemon is not installed");
        QVERIFY(mBus.Start());
        UiRunLoop::InstallMain();
    }

    void OnlyLogindsWakeCounts() {
        int wakes = 0;
        KdWakeNotification notification([&] { ++wakes; });
        QVERIFY(notification.IsWatching());
        sd_bus* logind = mBus.Connect("org.freedesktop.login1");
        sd_bus* impostor = mBus.Connect();
        QVERIFY(logind && impostor);

        // The match is installed without waiting: announce until it is in place.
        for (int k = 0; k < 50 && wakes == 0; ++k) {
            PrivateSystemBus::EmitPrepareForSleep(logind, false);
            QTest::qWait(50);
        }
        QVERIFY(wakes > 0);
        const int woken = wakes;
        QTest::qWait(100);

        PrivateSystemBus::EmitPrepareForSleep(logind, true); // going to sleep
        PrivateSystemBus::EmitPrepareForSleep(impostor, false);
        QTest::qWait(300);
        QCOMPARE(wakes, woken);

        PrivateSystemBus::EmitPrepareForSleep(logind, false);
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

    // A bus connection that no run loop reads would never complete: it is not kept.
    void NoMainRunLoopNoWatch() {
        LRunLoop* main = LRunLoop::Main();
        LRunLoop::SetMain(nullptr);
        const bool watching = KdWakeNotification([] {}).IsWatching();
        LRunLoop::SetMain(main);
        QVERIFY(!watching);
    }
};

QTEST_MAIN(WakeTest)
#include "wake_test.moc"
