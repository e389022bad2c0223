#include "KdMainWindow.h"
#include "KdMenuView.h"
#include "KdPrmCellView.h"
#include "KdPrmPopUpButton.h"
#include "KdPrmView.h"
#include "KdScreenshots.h"
#include "PtyPeer.h"

#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QTemporaryDir>
#include <QtTest>

namespace {
// A switcher whose memory holds values that its backup may hold: sizes of 768 pixels, a vertical
// phase of 100 lines and the 1st of January (zero is outside their ranges); 0 elsewhere.
ScriptedPeer::Device InRange() {
    ScriptedPeer::Device device;
    for (int size : {180, 190, 320, 330, 340, 350, 360, 370, 380, 390})
        device.memory[size + 1] = 768 >> 8; // little-endian words
    device.memory[414] = 100;
    device.memory[511] = 1;
    device.memory[512] = 1;
    return device;
}

// A window on such a switcher of its own, with a record directory of its own.
struct Opened {
    QTemporaryDir records;
    const bool recordsSet = qputenv("KALDO_DEVICE_DIR", records.path().toLocal8Bit());
    PtyPeer peer{InRange()};
    KdMainWindow window;

    // Shows the window and waits for its session with the switcher.
    bool open() {
        window.show();
        return window.addManualDevice(peer.Path().c_str()) &&
               QTest::qWaitFor([this] { return window.prmManager() != nullptr; });
    }
};
} // namespace

// The documentation's pictures, taken from a window on a switcher whose bytes the test sees.
class ScreenshotsTest : public QObject {
    Q_OBJECT

private slots:
    void everyPageARefusedEntryTheMenuAndAnImportPreviewWithoutWriting() {
        Opened w;
        QVERIFY(w.open());
        KdMainWindow& window = w.window;
        PtyPeer& peer = w.peer;

        QTemporaryDir shots;
        QCOMPARE(KdScreenshots::TakeAll(window, shots.path()), 0);
        const QDir dir(shots.path());
        // 27 pages, the refused entry, the menu and the import preview.
        QCOMPARE(dir.entryList({"*-light.png"}).size(), 30);
        QCOMPARE(dir.entryList({"*-dark.png"}).size(), 30);
        for (const char* look : {"light", "dark"}) {
            QCOMPARE(QImage(dir.filePath(QString("refused-edit-%1.png").arg(look))).size(),
                     window.size());
            const QImage menu(dir.filePath(QString("menu-%1.png").arg(look)));
            QCOMPARE(menu.width(), window.width()); // the top of the window
            QVERIFY(menu.height() > 150 && menu.height() < window.height());
            QVERIFY(!QImage(dir.filePath(QString("import-preview-%1.png").arg(look))).isNull());
        }
        // The pictures only asked: versions and parameters, nothing written.
        for (const PtyPeer::Bytes& packet : peer.TakePackets())
            QVERIFY2(packet[2] == 0x10 || packet[2] == 0x15,
                     qPrintable(QString::number(packet[2])));
    }

    // The unsaved indicator needs a write, so its pictures come from this peer rather than from
    // --screenshots. With KALDO_SHOTS_DIR set they go there (docs/window.md tells the command).
    void unsavedIndicatorAfterAnEdit() {
        Opened w;
        QVERIFY(w.open());
        KdMainWindow& window = w.window;
        QVERIFY(window.menuView()->selectPage("Input", "Main"));
        // "Main In H Flip" turned on from its pop-up, as a click would.
        auto* page = qobject_cast<KdPrmView*>(window.prmView()->widget());
        QVERIFY(page);
        KdPrmPopUpButton* flip = nullptr;
        for (KdPrmCellView* row : page->findChildren<KdPrmCellView*>())
            if (row->title() == "Main In H Flip") flip = row->popup();
        QVERIFY(flip);
        flip->setCurrentText("On");
        emit flip->activated(flip->currentIndex());
        QTRY_COMPARE(window.unsavedIndicator()->text(), "Unsaved changes");
        QVERIFY(window.unsavedSaveButton()->isVisible());

        QTemporaryDir temporary;
        const QString shots = qEnvironmentVariableIsSet("KALDO_SHOTS_DIR")
                                  ? qEnvironmentVariable("KALDO_SHOTS_DIR")
                                  : temporary.path();
        QVERIFY(KdScreenshots::SaveInEachLook(window, shots, "unsaved"));
        for (const char* look : {"light", "dark"})
            QCOMPARE(QImage(QDir(shots).filePath(QString("unsaved-%1.png").arg(look))).size(),
                     window.size());
    }
};

QTEST_MAIN(ScreenshotsTest)
#include "screenshots_test.moc"
