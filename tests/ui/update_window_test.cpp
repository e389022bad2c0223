#include "CKdUpdater.h"
#include "KdAlert.h"
#include "KdMainWindow.h"
#include "KdUpdateFileSection.h"
#include "KdUpdateWindow.h"
#include "RowDataFile.h"
#include "SimProcess.h"
#include "UiRunLoop.h"

#include "LNotificationCenter.h"

#include <QFrame>
#include <QLineEdit>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>

#include <atomic>
#include <fstream>

namespace {

// An updater that reports progress and then waits until the test lets it end with its result.
class HeldUpdater : public CKdUpdater {
public:
    explicit HeldUpdater(int result) : CKdUpdater(""), mResult(result) {}
    int ExecUpdate() override {
        Notification(kNotifyWriting, 0);
        Notification(kNotifyProgress, 999);
        while (!release)
            QThread::msleep(5);
        return mResult;
    }
    std::atomic<bool> release{false};

private:
    int mResult;
};

// The alerts asked of the main window.
struct Alerts {
    Alerts() {
        token = LNotificationCenter::Default().AddObserver(
            "KdAlertReqNotification", [this](const LNotification& notification) {
                if (auto* alert = dynamic_cast<KdAlert*>(notification.object.Get()))
                    shown << QStringList{alert->mText, alert->mInformativeText,
                                         alert->mIcon == QMessageBox::Information ? "info"
                                                                                  : "warning"};
            });
    }
    ~Alerts() { LNotificationCenter::Default().RemoveObserver(token); }
    int token;
    QList<QStringList> shown;
};

// Drags paths over section and drops them (or, with leave, takes the drag away); whether the
// drag frame showed meanwhile and the field is editable again afterwards.
bool Drop(KdUpdateFileSection* section, const QStringList& paths, bool leave = false) {
    QMimeData data;
    QList<QUrl> urls;
    for (const QString& path : paths)
        urls << QUrl::fromLocalFile(path);
    data.setUrls(urls);
    const QPoint point = section->rect().center();
    QDragEnterEvent enter(point, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(section, &enter);
    const bool framed = section->dragFrame() && section->dragFrame()->isVisible();
    if (!section->fileName()->isReadOnly() || !section->inDragging()) return false;
    QDropEvent drop(point, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QDragLeaveEvent away;
    QApplication::sendEvent(section, leave ? static_cast<QEvent*>(&away) : &drop);
    return framed && !section->dragFrame()->isVisible() && !section->fileName()->isReadOnly();
}

// Starts an update on window whose updater ends with result once released.
LObjPtr_<HeldUpdater> Start(KdUpdateWindow& window, int result, bool released = false) {
    LObjPtr_<HeldUpdater> updater = new HeldUpdater(result);
    updater->ReleaseObject();
    updater->release = released;
    window.execUpdate(updater);
    return updater;
}

} // namespace

class UpdateWindowTest : public QObject {
    Q_OBJECT

    QTemporaryDir mFiles;
    QString File(const QString& name) {
        const QString path = mFiles.filePath(name);
        std::ofstream(path.toStdString()) << "x";
        return path;
    }

private slots:
    void initTestCase() { UiRunLoop::InstallMain(); }

    void ButtonsFollowTheSectionsAndPaths() {
        KdUpdateWindow window;
        window.show();
        QVERIFY(window.fileSOFT()->radioButton()->isChecked());
        QVERIFY(!window.updateButton()->isEnabled());
        QVERIFY(!window.fileUSB()->fileName()->isEnabled()); // can't type into it
        QVERIFY(!window.fileUSB()->browseButton()->isEnabled());
        QTest::keyClicks(window.fileSOFT()->fileName(), "x");
        QVERIFY(window.updateButton()->isEnabled());

        QTest::mouseClick(window.fileUSB()->radioButton(), Qt::LeftButton, {},
                          QPoint(4, window.fileUSB()->radioButton()->height() / 2));
        QVERIFY(window.fileUSB()->radioButton()->isChecked());
        QVERIFY(!window.fileSOFT()->radioButton()->isChecked());
        QVERIFY(!window.fileSOFT()->fileName()->isEnabled());
        QVERIFY(window.fileUSB()->fileName()->isEnabled());
        QVERIFY(!window.updateButton()->isEnabled()); // the typed path is in the other section
        QVERIFY(window.cancelButton()->isEnabled());
    }

    void DropsTakeOneExistingFileWithTheExactExtension() {
        KdUpdateWindow window;
        window.show();
        KdUpdateFileSection* soft = window.fileSOFT();
        QTest::keyClicks(soft->fileName(), "typed");
        QDir(mFiles.path()).mkdir("folder.bin");
        const QStringList refused[] = {
            {File("capital.BIN")},
            {File("one.bin"), File("two.bin")},
            {mFiles.filePath("folder.bin")},
            {mFiles.filePath("missing.bin")},
            {File("other.cyacd")},
        };
        for (const QStringList& paths : refused) {
            QVERIFY2(!Drop(soft, paths), qPrintable(paths.join(' ')));
            QCOMPARE(soft->filePath(), "typed"); // nothing lost
        }
        QVERIFY(Drop(soft, {File("main.bin")}));
        QCOMPARE(soft->filePath(), mFiles.filePath("main.bin"));

        // A file for the other section selects it.
        QVERIFY(Drop(window.fileUSB(), {File("usb.cyacd")}));
        QVERIFY(window.fileUSB()->radioButton()->isChecked());
        QVERIFY(!soft->radioButton()->isChecked());
        QCOMPARE(window.fileUSB()->filePath(), mFiles.filePath("usb.cyacd"));
        QVERIFY(window.updateButton()->isEnabled());

        // A drag that leaves hides the frame and makes the field editable again.
        QVERIFY(Drop(window.fileUSB(), {mFiles.filePath("usb.cyacd")}, true));
        QCOMPARE(window.fileUSB()->filePath(), mFiles.filePath("usb.cyacd"));
    }

    void RunningUpdateLocksTheWindowAndShowsProgress() {
        Alerts alerts;
        QPointer<KdUpdateWindow> window = new KdUpdateWindow;
        window->setAttribute(Qt::WA_DeleteOnClose);
        window->show();
        LObjPtr_<HeldUpdater> updater = Start(*window, 0);
        for (QWidget* control :
             std::initializer_list<QWidget*>{window->updateButton(), window->cancelButton(),
                                             window->fileSOFT()->radioButton(),
                                             window->fileUSB()->radioButton(),
                                             window->fileSOFT()->fileName()})
            QVERIFY(!control->isEnabled());
        QTRY_COMPARE(window->progressBox()->text(), "99%");
        QCOMPARE(window->progressBar()->maximum(), 1000);
        QCOMPARE(window->progressBar()->value(), 999);
        window->close();
        window->performClose();
        QTest::keyClick(window, Qt::Key_Escape);
        QVERIFY(window->isVisible());
        QVERIFY(alerts.shown.isEmpty());

        updater->release = true;
        QTRY_VERIFY(window.isNull()); // closed by itself, and deleted
        QCOMPARE(alerts.shown, (QList<QStringList>{{"Update Completed", "", "info"}}));
    }

    void ResultsAreWordedFromOneTable() {
        const struct {
            int result;
            QStringList alert;
        } cases[] = {
            {1, {"Update Failed", "File error.", "warning"}},
            {2, {"Update Failed", "device error.", "warning"}},
            {3, {"Update Failed", "device error.", "warning"}},
            {4, {"Update Failed", "device error.", "warning"}},
            {9, {"Update Failed", "", "warning"}},
        };
        for (const auto& c : cases) {
            Alerts alerts;
            KdUpdateWindow window;
            window.show();
            Start(window, c.result, true);
            QTRY_VERIFY(!window.isVisible());
            QCOMPARE(alerts.shown, QList<QStringList>{c.alert});
        }
    }

    void NoDeviceClosesWithADeviceError() {
        Alerts alerts;
        KdUpdateWindow window;
        window.show();
        QTest::keyClicks(window.fileSOFT()->fileName(), File("main.bin"));
        QTest::mouseClick(window.updateButton(), Qt::LeftButton);
        QVERIFY(!window.isVisible());
        QCOMPARE(alerts.shown,
                 (QList<QStringList>{{"Update Failed", "device error.", "warning"}}));
    }

    void RemovedDeviceClosesAnIdleWindow() {
        LObjPtr_<CKdUsbDevice> device = new CKdUsbDevice(1, {}, "/nonexistent");
        device->ReleaseObject();
        KdUpdateWindow window;
        window.setUpdateDevice(device);
        window.show();
        window.usbDeviceRemoved();
        QTest::qWait(150);
        QVERIFY(window.isVisible()); // still attached
        device->mRemoved = true;
        window.usbDeviceRemoved();
        QVERIFY(window.isVisible());
        QTRY_VERIFY_WITH_TIMEOUT(!window.isVisible(), 1000);
    }

    // Both updates from the main window's update button against kaldo-sim.
    void BothUpdatesRunFromTheMainWindow() {
        SimProcess sim({"--erase-delay-ms", "100", "--reboot-ms", "200"});
        qputenv("KALDO_DEVICE_DIR", sim.DeviceDir().c_str());
        KdMainWindow main;
        main.show();
        QTRY_VERIFY(main.prmManager());
        const std::string image(5000, 'k');
        std::string rows = RowDataFile::Header(0x2E123069, 0x11) + "\n";
        for (int row = 0; row < 8; ++row)
            rows += RowDataFile::Row(0, row, RowDataFile::Pattern(100, row)) + "\n";
        const QString bin = mFiles.filePath("sim.bin"), cyacd = mFiles.filePath("sim.cyacd");
        std::ofstream(bin.toStdString()) << image;
        std::ofstream(cyacd.toStdString()) << rows;

        for (const bool usb : {false, true}) {
            Alerts alerts;
            QTRY_VERIFY(main.updateButton()->isEnabled());
            QTest::mouseClick(main.updateButton(), Qt::LeftButton);
            QVERIFY(main.isUpdateWindowOpen());
            auto* window = main.findChild<KdUpdateWindow*>();
            QVERIFY(window);
            KdUpdateFileSection* section = usb ? window->fileUSB() : window->fileSOFT();
            window->onButtonRadio(section->radioButton());
            section->setFilePath(usb ? cyacd : bin);
            QTest::mouseClick(window->updateButton(), Qt::LeftButton);
            QTRY_VERIFY_WITH_TIMEOUT(!main.isUpdateWindowOpen(), 15000);
            QCOMPARE(alerts.shown, (QList<QStringList>{{"Update Completed", "", "info"}}));
            // The switcher's session is back: the same one, or a new attachment.
            QTRY_VERIFY_WITH_TIMEOUT(main.prmManager() && main.prmManager()->IsOnline(), 10000);
        }
    }
};

QTEST_MAIN(UpdateWindowTest)
#include "update_window_test.moc"
