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
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

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

// The open message box of parent whose text contains text, or null.
QMessageBox* Box(QWidget* parent, const QString& text) {
    for (QMessageBox* box : parent->findChildren<QMessageBox*>())
        if (box->isVisible() && box->text().contains(text)) return box;
    return nullptr;
}

QAbstractButton* Button(QMessageBox* box, const QString& text) {
    for (QAbstractButton* button : box->buttons())
        if (button->text() == text) return button;
    return nullptr;
}

// Accepts the window's confirmation with its "Update" button.
bool Confirm(KdUpdateWindow* window) {
    if (!QTest::qWaitFor([window] { return window->confirmation(); })) return false;
    QAbstractButton* update = Button(window->confirmation(), "Update");
    if (!update) return false;
    update->click();
    return true;
}

// A row-data file of rows for kaldo-sim's bootloader.
std::string SimRows(int rows) {
    std::string content = RowDataFile::Header(0x2E123069, 0x11) + "\n";
    for (int row = 0; row < rows; ++row)
        content += RowDataFile::Row(0, row, RowDataFile::Pattern(100, row)) + "\n";
    return content;
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
            {File("capital.BIN")},           {File("one.bin"), File("two.bin")},
            {mFiles.filePath("folder.bin")}, {mFiles.filePath("missing.bin")},
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
        for (QWidget* control : std::initializer_list<QWidget*>{
                 window->updateButton(), window->cancelButton(), window->fileSOFT()->radioButton(),
                 window->fileUSB()->radioButton(), window->fileSOFT()->fileName()})
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
        QCOMPARE(alerts.shown, (QList<QStringList>{{"Update Failed", "device error.", "warning"}}));
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
        const std::string rows = SimRows(8);
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
            QVERIFY(Confirm(window));
            QTRY_VERIFY_WITH_TIMEOUT(!main.isUpdateWindowOpen(), 15000);
            QCOMPARE(alerts.shown, (QList<QStringList>{{"Update Completed", "", "info"}}));
            // The switcher's session is back: the same one, or a new attachment.
            QTRY_VERIFY_WITH_TIMEOUT(main.prmManager() && main.prmManager()->IsOnline(), 10000);
        }
    }

    // A file that can't be the firmware is named in the window, which stays open with the path
    // kept; nothing is asked or sent, and the progress bar stays still.
    void FileProblemsAreNamedInTheWindow() {
        LObjPtr_<CKdUsbDevice> device = new CKdUsbDevice(1, {}, "/nonexistent");
        device->ReleaseObject();
        KdUpdateWindow window;
        window.setUpdateDevice(device);
        window.show();
        QDir(mFiles.path()).mkdir("folder.bin");
        mkfifo(mFiles.filePath("pipe.bin").toLocal8Bit().constData(), 0600);
        std::ofstream(mFiles.filePath("empty.bin").toStdString());
        std::ofstream(mFiles.filePath("bad.cyacd").toStdString()) << SimRows(2) << ":00\n";
        const struct {
            bool usb;
            QString path;
            QString problem;
        } cases[] = {
            {false, mFiles.filePath("missing.bin"), "does not exist"},
            {false, File("capital.BIN"), "not a .bin file"},
            {false, File("main.txt"), "not a .bin file"},
            {false, mFiles.filePath("folder.bin"), "is a directory"},
            {false, mFiles.filePath("pipe.bin"), "is a FIFO, not a file"},
            {false, mFiles.filePath("empty.bin"), "is empty"},
            {true, mFiles.filePath("bad.cyacd"),
             "line 4: too short, or an odd number of hex digits"},
        };
        for (const auto& c : cases) {
            KdUpdateFileSection* section = c.usb ? window.fileUSB() : window.fileSOFT();
            window.onButtonRadio(section->radioButton());
            section->setFilePath(c.path);
            QTest::mouseClick(window.updateButton(), Qt::LeftButton);
            QVERIFY2(window.isVisible(), qPrintable(c.path));
            QCOMPARE(window.progressBox()->text(), c.path + ": " + c.problem);
            QCOMPARE(section->filePath(), c.path);
            QVERIFY(!window.confirmation());
            QVERIFY(!window.updater());
            QCOMPARE(window.progressBar()->maximum(), 1000); // still, not busy
        }
    }

    // Before the first command a confirmation names the switcher and its versions, the file and
    // what will happen; Cancel (the default) sends nothing and keeps the window as it was.
    void UpdateAsksFirst() {
        SimProcess sim({"--erase-delay-ms", "100"});
        qputenv("KALDO_DEVICE_DIR", sim.DeviceDir().c_str());
        KdMainWindow main;
        main.show();
        QTRY_VERIFY(main.prmManager());
        const QString bin = mFiles.filePath("ask.bin");
        std::ofstream(bin.toStdString()) << std::string(5000, 'k');
        QTest::mouseClick(main.updateButton(), Qt::LeftButton);
        auto* window = main.findChild<KdUpdateWindow*>();
        QVERIFY(window);
        window->fileSOFT()->setFilePath(bin);
        QCOMPARE(window->progressBar()->maximum(), 1000);
        QTest::mouseClick(window->updateButton(), Qt::LeftButton);
        QMessageBox* box = window->confirmation();
        QVERIFY(box);
        QCOMPARE(box->text(), "Update the main firmware of K1SIM00001?");
        QVERIFY2(box->informativeText().contains(
                     "Switcher: K1SIM00001, software 01.05, FPGA 02.03, USB 01.01, PHY 00.04\n"
                     "File: ask.bin, " +
                     QLocale().toString(5000) + " bytes"),
                 qPrintable(box->informativeText()));
        QAbstractButton* update = Button(box, "Update");
        QVERIFY(update);
        QCOMPARE(box->buttonRole(update), QMessageBox::DestructiveRole);
        QCOMPARE(box->defaultButton(), box->button(QMessageBox::Cancel));
        QVERIFY(!Button(box, "OK"));
        box->button(QMessageBox::Cancel)->click();
        QTRY_VERIFY(!window->confirmation());
        QVERIFY(!window->updater());
        QVERIFY(window->isVisible());
        QCOMPARE(window->fileSOFT()->filePath(), bin);
        QVERIFY(main.prmManager() && main.prmManager()->IsOnline()); // the link was never lent
        window->performClose();
    }

    // A switcher left in its bootloader: the main window offers to finish the update, the
    // window takes only the USB controller's file and finishes it there.
    void SwitcherInItsBootloaderIsOffered() {
        SimProcess sim({"--reboot-ms", "200"});
        qputenv("KALDO_DEVICE_DIR", sim.DeviceDir().c_str());
        {
            // The start command of a USB controller update whose host went away.
            const int tty = open(sim.Tty().c_str(), O_RDWR | O_NOCTTY);
            const char start[] = {'M', 'V', 0x30, 1, 0};
            QCOMPARE(write(tty, start, sizeof start), ssize_t(sizeof start));
            QTest::qWait(200);
            close(tty);
        }
        QVERIFY(QTest::qWaitFor(
            [&] {
                for (const auto& entry : std::filesystem::directory_iterator(sim.DeviceDir())) {
                    std::ifstream record(entry.path());
                    const std::string text{std::istreambuf_iterator<char>(record), {}};
                    if (entry.path().extension() == ".dev" && text.find("kind=hid") != text.npos)
                        return true;
                }
                return false;
            },
            5000));
        const QString cyacd = mFiles.filePath("finish.cyacd");
        std::ofstream(cyacd.toStdString()) << SimRows(6);

        Alerts alerts;
        KdMainWindow main;
        main.show();
        QMessageBox* offer = nullptr;
        QVERIFY(QTest::qWaitFor([&] { return offer = Box(&main, "waiting in its bootloader"); }));
        QCOMPARE(offer->text(), "K1SIM00001 is waiting in its bootloader.");
        QVERIFY(main.updateButton()->isEnabled());
        Button(offer, "Update…")->click();
        QTRY_VERIFY(main.isUpdateWindowOpen());
        auto* window = main.findChild<KdUpdateWindow*>();
        QVERIFY(window->fileUSB()->radioButton()->isChecked());
        QVERIFY(!window->fileSOFT()->radioButton()->isEnabled());
        window->fileUSB()->setFilePath(cyacd);
        QTest::mouseClick(window->updateButton(), Qt::LeftButton);
        QVERIFY(window->confirmation());
        QCOMPARE(window->confirmation()->text(), "Finish the USB controller update of K1SIM00001?");
        QVERIFY(Confirm(window));
        QTRY_VERIFY_WITH_TIMEOUT(!main.isUpdateWindowOpen(), 15000);
        QCOMPARE(alerts.shown, (QList<QStringList>{{"Update Completed", "", "info"}}));
        QTRY_VERIFY_WITH_TIMEOUT(main.prmManager() && main.prmManager()->IsOnline(), 10000);
    }
};

QTEST_MAIN(UpdateWindowTest)
#include "update_window_test.moc"
