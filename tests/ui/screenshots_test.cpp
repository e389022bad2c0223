#include "KdMainWindow.h"
#include "KdScreenshots.h"
#include "PtyPeer.h"

#include <QImage>
#include <QTemporaryDir>
#include <QtTest>

// The documentation's pictures, taken from a window on a switcher whose bytes the test sees.
class ScreenshotsTest : public QObject {
    Q_OBJECT

private slots:
    void everyPageAndARefusedEntryWithoutWriting() {
        QTemporaryDir records;
        qputenv("KALDO_DEVICE_DIR", records.path().toLocal8Bit());
        PtyPeer peer;
        KdMainWindow window;
        window.show();
        QVERIFY(window.addManualDevice(peer.Path().c_str()));
        QTRY_VERIFY(window.prmManager());

        QTemporaryDir shots;
        QCOMPARE(KdScreenshots::TakeAll(window, shots.path()), 0);
        const QDir dir(shots.path());
        QCOMPARE(dir.entryList({"*-light.png"}).size(), 28); // 27 pages and the refused entry
        QCOMPARE(dir.entryList({"*-dark.png"}).size(), 28);
        for (const char* look : {"light", "dark"}) {
            const QImage picture(dir.filePath(QString("refused-edit-%1.png").arg(look)));
            QCOMPARE(picture.size(), window.size());
        }
        // The refused entry and the pages only asked: versions and parameters, nothing written.
        for (const PtyPeer::Bytes& packet : peer.TakePackets())
            QVERIFY2(packet[2] == 0x10 || packet[2] == 0x15,
                     qPrintable(QString::number(packet[2])));
    }
};

QTEST_MAIN(ScreenshotsTest)
#include "screenshots_test.moc"
