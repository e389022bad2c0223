#include "KdMainWindow.h"
#include "PrivateSystemBus.h"
#include "PtyPeer.h"

#include <QtTest>

using Bytes = PtyPeer::Bytes;

// The main window as the program makes it, in a process where nothing else set up the run loop:
// logind's wake announcement closes the open switcher and opens it again.
class WakeWindowTest : public QObject {
    Q_OBJECT

    PrivateSystemBus mBus;
    QTemporaryDir mRecords; // no virtual switchers but the test's

private slots:
    void initTestCase() {
        if (!PrivateSystemBus::IsAvailable()) QSKIP("dbus-daemon is not installed");
        QVERIFY(mBus.Start());
        qputenv("KALDO_DEVICE_DIR", mRecords.path().toLocal8Bit());
    }

    void WakingFromSleepReopensTheSwitcher() {
        sd_bus* logind = mBus.Connect("org.freedesktop.login1");
        QVERIFY(logind);
        PtyPeer peer;
        KdMainWindow window;
        QVERIFY(window.addManualDevice(peer.Path().c_str()));
        QTRY_VERIFY(window.prmManager());
        QTest::qWait(300); // the first page's requests
        peer.TakePackets();

        // The window listens without waiting for the bus: announce until the switcher is asked
        // for its versions again, which only a new opening does.
        const Bytes versionRequest = {'M', 'V', 0x15};
        bool reopened = false;
        for (int k = 0; k < 50 && !reopened; ++k) {
            PrivateSystemBus::EmitPrepareForSleep(logind, false);
            QTest::qWait(100);
            for (const Bytes& packet : peer.TakePackets())
                reopened |= Bytes(packet.begin(), packet.begin() + 3) == versionRequest;
        }
        QVERIFY(reopened);
        QTRY_VERIFY(window.prmManager());
        sd_bus_flush_close_unref(logind);
    }
};

QTEST_MAIN(WakeWindowTest)
#include "wake_window_test.moc"
