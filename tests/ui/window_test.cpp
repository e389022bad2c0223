#include "KdAlert.h"
#include "KdHeaderView.h"
#include "KdMainWindow.h"
#include "KdMenuView.h"
#include "PtyPeer.h"
#include "SimProcess.h"

#include "LNotificationCenter.h"
#include "LString.h"

#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QTableWidget>
#include <QtTest>

#include <csignal>
#include <optional>
#include <sys/wait.h>

using Bytes = PtyPeer::Bytes;

// The main window's connection life cycle, driven against kaldo-sim and against a switcher on a
// pseudo-terminal whose bytes the test sees.
class WindowTest : public QObject {
    Q_OBJECT

    // The four header fields, in order; a version word shows its low byte first.
    static QStringList Versions(const KdMainWindow& window) {
        const KdHeaderView* header = window.headerView();
        return {header->versionSoft()->text(), header->versionFPGA()->text(),
                header->versionUSB()->text(), header->versionPHY()->text()};
    }
    static const inline QStringList kBlank = {": --.--", ": --.--", ": --.--", ": --.--"};
    // No session, a blank header and an empty tree.
    static bool Cleared(const KdMainWindow& window) {
        return !window.prmManager() && Versions(window) == kBlank &&
               window.menuView()->numberOfRows() == 0;
    }
    static const inline QStringList kPeerVersions = {": 02.01", ": 04.03", ": 06.05", ": 08.07"};

    // The packets without the parameter requests of the pages that open meanwhile.
    static std::vector<Bytes> WithoutPageRequests(std::vector<Bytes> packets) {
        std::erase_if(packets, [](const Bytes& packet) { return packet[2] == 0x10; });
        return packets;
    }

    // Another kaldo-sim in the device directory of sim, ended on destruction.
    struct ExtraSim {
        int output[2] = {-1, -1};
        pid_t pid = -1;
        ExtraSim(const SimProcess& sim, const char* serial) {
            if (pipe(output) == 0)
                pid = SimProcess::Spawn(KALDO_SIM_EXE, {"--serial", serial}, sim.DeviceDir(),
                                        output[1]);
        }
        ~ExtraSim() {
            if (pid > 0 && kill(pid, SIGTERM) == 0) waitpid(pid, nullptr, 0);
            close(output[0]);
            close(output[1]);
        }
    };

    // An empty record directory: only the devices a test adds are listed.
    QTemporaryDir mRecords;

private slots:
    void init() { qputenv("KALDO_DEVICE_DIR", mRecords.path().toLocal8Bit()); }

    void OneSwitcherOpensWithoutAClick() {
        SimProcess sim(
            {"--serial", "K1TEST0001", "--versions", "0x0105", "0x0203", "0x0101", "0x0004"});
        qputenv("KALDO_DEVICE_DIR", sim.DeviceDir().c_str());
        KdMainWindow window;
        QTableWidget* table = window.devListView();
        QTRY_COMPARE(table->rowCount(), 1);
        QCOMPARE(table->item(0, 0)->text(), "KALDO-1 (K1TEST0001)");
        QCOMPARE(window.deviceRowText(1), "");
        QCOMPARE(table->rowHeight(0), 22);
        QVERIFY(!(table->item(0, 0)->flags() & Qt::ItemIsEditable));

        QTRY_VERIFY(window.prmManager());
        QCOMPARE(Versions(window), QStringList({": 05.01", ": 03.02", ": 01.01", ": 04.00"}));
        QCOMPARE(window.menuView()->numberOfRows(), 38);
        QCOMPARE(window.menuView()->selectedRow(), 2);
        QVERIFY(window.updateButton()->isEnabled());
        QCOMPARE(window.versionBox()->text(), "Version :  " KALDO_VERSION);

        // Another arrival rebuilds the table and selects the current row again: the session
        // and the open page stay.
        window.menuView()->selectRowInSafety(6);
        CKdPrmManager* session = window.prmManager();
        QWidget* page = window.prmView()->widget();
        PtyPeer other;
        QVERIFY(window.addManualDevice(other.Path().c_str()));
        QTRY_COMPARE(table->rowCount(), 2);
        QCOMPARE(table->selectedItems().first()->row(), 0);
        QCOMPARE(window.prmManager(), session);
        QCOMPARE(window.menuView()->selectedRow(), 6);
        QCOMPARE(window.prmView()->widget(), page);
        QVERIFY(other.TakePackets().empty());
    }

    void SilentSwitcherIsRetriedThenOpens() {
        SimProcess sim({});
        qputenv("KALDO_DEVICE_DIR", sim.DeviceDir().c_str());
        KdMainWindow window;
        QTRY_VERIFY(window.prmManager());

        PtyPeer peer;
        peer.SetAnswering(false);
        QVERIFY(window.addManualDevice(peer.Path().c_str()));
        QTRY_COMPARE(window.devListView()->rowCount(), 2);
        window.devListView()->selectRow(1);
        // Opening: blank versions, the tree keeps its rows with none selected.
        QVERIFY(!window.prmManager());
        QCOMPARE(Versions(window), kBlank);
        QCOMPARE(window.menuView()->numberOfRows(), 38);
        QCOMPARE(window.menuView()->selectedRow(), -1);
        QVERIFY(window.updateButton()->isEnabled());

        // Each attempt asks for the versions and waits 200 ms for them.
        QTRY_VERIFY_WITH_TIMEOUT(window.openRetry() == 1, 20000);
        QCOMPARE(window.menuView()->numberOfRows(), 38);
        QTRY_COMPARE(window.openRetry(), 0);
        QVERIFY(Cleared(window));
        const std::vector<Bytes> asked = peer.TakePackets();
        QVERIFY(asked.size() >= 30);
        for (const Bytes& packet : asked)
            QCOMPARE(Bytes(packet.begin(), packet.begin() + 3), Bytes({'M', 'V', 0x15}));

        peer.SetAnswering(true);
        QTRY_VERIFY(window.prmManager());
        QCOMPARE(Versions(window), kPeerVersions);
        QCOMPARE(window.menuView()->numberOfRows(), 38);
        QCOMPARE(window.menuView()->selectedRow(), 2);
    }

    void RemovalSelectsTheFirstRow() {
        SimProcess first({"--serial", "K1FIRST001"});
        qputenv("KALDO_DEVICE_DIR", first.DeviceDir().c_str());
        KdMainWindow window;
        QTableWidget* table = window.devListView();
        QTRY_VERIFY(window.prmManager());
        std::optional<ExtraSim> second(std::in_place, first, "K1SECOND01");
        QTRY_COMPARE(table->rowCount(), 2);
        QCOMPARE(table->item(1, 0)->text(), "KALDO-1 (K1SECOND01)");
        CKdUsbDevice* firstDevice = window.currentDevice();

        QCOMPARE(first.Terminate(), 0);
        QTRY_COMPARE(table->rowCount(), 1);
        QVERIFY(window.currentDevice() != firstDevice);
        QCOMPARE(table->selectedItems().first()->text(), "KALDO-1 (K1SECOND01)");
        QTRY_VERIFY(window.prmManager());
        QCOMPARE(window.menuView()->selectedRow(), 2);

        second.reset();
        QTRY_COMPARE(table->rowCount(), 0);
        QVERIFY(!window.currentDevice());
        QVERIFY(Cleared(window));
        QVERIFY(!window.updateButton()->isEnabled());
        auto* notice = qobject_cast<QLabel*>(window.prmView()->widget());
        QVERIFY(notice && notice->text().contains("kaldo-sim"));

        // A switcher that comes back opens without a click.
        ExtraSim again(first, "K1AGAIN001");
        QTRY_VERIFY(window.prmManager());
        QCOMPARE(table->selectedItems().first()->text(), "KALDO-1 (K1AGAIN001)");
        QCOMPARE(window.menuView()->selectedRow(), 2);
    }

#ifdef KALDO_UI_UPDATE
    void UnplugDuringAnUpdateWaitsForTheUpdateWindow() {
        SimProcess sim({});
        qputenv("KALDO_DEVICE_DIR", sim.DeviceDir().c_str());
        KdMainWindow window;
        window.show();
        QTRY_VERIFY(window.prmManager());
        window.updateButton()->click();
        QVERIFY(window.isUpdateWindowOpen());

        // The update window hears of the removal at once and closes itself; until it is gone
        // the table keeps the devices of the moment the update began.
        QCOMPARE(sim.Terminate(), 0);
        QElapsedTimer clock;
        clock.start();
        while (window.isUpdateWindowOpen() && clock.elapsed() < 5000) {
            QCOMPARE(window.devListView()->rowCount(), 1);
            QTest::qWait(10);
        }
        QVERIFY(!window.isUpdateWindowOpen());
        QTRY_COMPARE(window.devListView()->rowCount(), 0);
        QVERIFY(!window.currentDevice());
    }
#endif

    void RebootAndWakeReopen() {
        PtyPeer peer;
        KdMainWindow window;
        QVERIFY(window.addManualDevice(peer.Path().c_str()));
        QTRY_VERIFY(window.prmManager());
        QCOMPARE(window.devListView()->item(0, 0)->text(),
                 QString("KALDO-1 (%1)").arg(peer.Path().c_str()));
        QCOMPARE(WithoutPageRequests(peer.TakePackets()),
                 std::vector<Bytes>({{'M', 'V', 0x15, 1, 0}}));
        window.menuView()->selectRowInSafety(37);

        LNotificationCenter::Default().Post("KdRebootReqNotification");
        // The reboot command follows the version request; the device stays current, its tree
        // is cleared and it opens again with a new session, at the page it showed.
        const std::vector<Bytes> reboot = WithoutPageRequests(peer.TakePackets());
        QCOMPARE(reboot, std::vector<Bytes>({{'M', 'V', 0x40, reboot.at(0)[3], 0}}));
        QVERIFY(window.currentDevice());
        QVERIFY(Cleared(window));
        QTRY_VERIFY(window.prmManager());
        QCOMPARE(WithoutPageRequests(peer.TakePackets()),
                 std::vector<Bytes>({{'M', 'V', 0x15, 1, 0}}));
        QCOMPARE(window.menuView()->selectedRow(), 37);

        // Waking from sleep closes and reopens the same way, at the page it showed.
        window.menuView()->selectRowInSafety(36);
        window.reconnectDevice();
        QVERIFY(Cleared(window));
        QTRY_VERIFY(window.prmManager());
        QCOMPARE(window.menuView()->selectedRow(), 36);

        // Without a session a reboot request is ignored.
        peer.SetAnswering(false);
        window.reconnectDevice();
        peer.TakePackets();
        LNotificationCenter::Default().Post("KdRebootReqNotification");
        for (const Bytes& packet : peer.TakePackets())
            QCOMPARE(int(packet[2]), 0x15);
    }

    // Without a switcher: a focused field on a page scrolls into sight, and an alert request
    // (and nothing else posted as one) shows a window-modal box.
    void FocusScrollingAndAlerts() {
        KdMainWindow window;
        window.show();
        QApplication::setActiveWindow(&window);
        QVERIFY(QTest::qWaitForWindowActive(&window));
        auto* page = new QWidget;
        page->setMinimumSize(300, 3000);
        auto* field = new QLineEdit(page);
        field->setGeometry(10, 2800, 120, 24);
        window.prmView()->setWidget(page);
        QCOMPARE(window.prmView()->verticalScrollBar()->value(), 0);
        field->setFocus();
        QTRY_VERIFY(window.prmView()->viewport()->rect().contains(
            field->mapTo(window.prmView()->viewport(), QPoint(0, 24))));

        LString notAnAlert("text");
        LNotificationCenter::Default().Post("KdAlertReqNotification", nullptr, &notAnAlert);
        QVERIFY(window.findChildren<QMessageBox*>().isEmpty());
        auto* alert = new KdAlert(QMessageBox::Information, "Update finished.", "Details");
        LNotificationCenter::Default().Post("KdAlertReqNotification", nullptr, alert);
        LObject::ReleaseObject(alert);
        const QList<QMessageBox*> boxes = window.findChildren<QMessageBox*>();
        QCOMPARE(boxes.size(), 1);
        QCOMPARE(boxes.first()->text(), "Update finished.");
        QCOMPARE(boxes.first()->informativeText(), "Details");
        QCOMPARE(boxes.first()->windowModality(), Qt::WindowModal);
        QTRY_VERIFY(boxes.first()->isVisible());
    }
    // The header names the open switcher; when it goes away and another one opens, a notice
    // beside the versions says so.
    void AReplacedSwitcherIsNamed() {
        SimProcess first({"--serial", "K1FIRST001"});
        qputenv("KALDO_DEVICE_DIR", first.DeviceDir().c_str());
        KdMainWindow window;
        const QLabel* serial = window.headerView()->findChild<QLabel*>("serialNumber");
        const QLabel* notice = window.headerView()->findChild<QLabel*>("deviceNotice");
        QVERIFY(serial && notice);
        QTRY_VERIFY(window.prmManager());
        QCOMPARE(serial->text(), ": K1FIRST001");
        QVERIFY(notice->isHidden());
        ExtraSim second(first, "K1SECOND01");
        QTRY_COMPARE(window.devListView()->rowCount(), 2);

        QCOMPARE(first.Terminate(), 0);
        QTRY_COMPARE(serial->text(), ": K1SECOND01");
        QVERIFY(window.prmManager());
        QVERIFY(!notice->isHidden());
        QCOMPARE(notice->text(), "K1FIRST001 went away.\nNow open: K1SECOND01");
        QVERIFY(!window.isModal() && window.findChildren<QDialog*>().isEmpty());
    }

    // While the switcher reboots, the window says so (not that none is connected) and waits for
    // it rather than opening another one; it opens again by itself.
    void ARebootingSwitcherIsWaitedFor() {
        SimProcess sim({"--serial", "K1REBOOT01", "--reboot-ms", "1500"});
        qputenv("KALDO_DEVICE_DIR", sim.DeviceDir().c_str());
        KdMainWindow window;
        QTRY_VERIFY(window.prmManager());
        ExtraSim other(sim, "K1OTHER001");
        QTRY_COMPARE(window.devListView()->rowCount(), 2);

        LNotificationCenter::Default().Post("KdRebootReqNotification");
        QTRY_COMPARE(window.devListView()->rowCount(), 1); // it left
        QDeadlineTimer deadline(10000);
        bool away = true;
        while (away && !deadline.hasExpired()) {
            const auto* notice = qobject_cast<QLabel*>(window.prmView()->widget());
            QVERIFY(notice);
            QCOMPARE(notice->text().section('\n', 0, 0), "KALDO-1 (K1REBOOT01) is restarting…");
            QVERIFY(!window.prmManager());
            QTest::qWait(20);
            away = window.devListView()->rowCount() == 1;
        }
        QVERIFY(!away);
        QTRY_VERIFY(window.prmManager());
        const QLabel* serial = window.headerView()->findChild<QLabel*>("serialNumber");
        QVERIFY(serial);
        QCOMPARE(serial->text(), ": K1REBOOT01");
        QCOMPARE(window.devListView()->selectedItems().first()->text(), "KALDO-1 (K1REBOOT01)");
    }
};

QTEST_MAIN(WindowTest)
#include "window_test.moc"
