#include "CKdPrmSideEffects.h"
#include "KdMainWindow.h"
#include "KdMenuView.h"
#include "KdPrmView.h"
#include "OtherUserSender.h"
#include "SimProcess.h"

#include <QLineEdit>
#include <QScrollArea>
#include <QtTest>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

// The window's companion link: what its status label tells, who may drive the switcher, and the
// open page following what an event made the switcher change.
class CompanionTest : public QObject {
    Q_OBJECT

    // A companion program of this user on a free port; its socket stays open while it lives.
    struct Companion {
        Companion() {
            sockaddr_in address = Loopback(0);
            socklen_t length = sizeof address;
            bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
            getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
            port = ntohs(address.sin_port);
        }
        ~Companion() { close(fd); }
        static sockaddr_in Loopback(uint16_t port) {
            sockaddr_in address{};
            address.sin_family = AF_INET;
            address.sin_port = htons(port);
            address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            return address;
        }
        void Send(uint16_t to, const std::string& text) const {
            const sockaddr_in address = Loopback(to);
            sendto(fd, text.data(), text.size(), 0, reinterpret_cast<const sockaddr*>(&address),
                   sizeof address);
        }
        int fd = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
        uint16_t port = 0;
    };

    static uint16_t EventPort(const KdMainWindow& window) {
        return window.remoteControl().Link()->EventPort();
    }

    QTemporaryDir mRecords; // no devices but the test's own

private slots:
    void init() { qputenv("KALDO_DEVICE_DIR", mRecords.path().toLocal8Bit()); }

    void StatusTellsThePortAndWhatArrived() {
        Companion companion;
        KdMainWindow window;
        window.udpListen(0, companion.port);
        const QLabel* status = window.companionStatus();
        QVERIFY(status);
        const uint16_t port = EventPort(window);
        QCOMPARE(status->text(), QString("Companion: port %1").arg(port));
        QVERIFY(status->toolTip().contains("this user only"));

        companion.Send(port, "KeyDown:save");
        QTRY_COMPARE(status->text(), QString("Companion: event from port %1").arg(companion.port));
        companion.Send(port, "KeyDown:pinp:1:300:0:0:100:100:5:255:255:255");
        QTRY_COMPARE(status->text(),
                     QString("Companion: ignored a text from port %1").arg(companion.port));
        QVERIFY(status->toolTip().contains("out of range for PinP Size"));
        companion.Send(port, "KeyUp:save");
        QTRY_COMPARE(status->text(), QString("Companion: event from port %1").arg(companion.port));
        QVERIFY(status->toolTip().contains("this user only"));

        // A second window finds the port taken.
        KdMainWindow second;
        second.udpListen(port, companion.port);
        QCOMPARE(second.companionStatus()->text(), QString("Companion: port %1 in use").arg(port));
    }

    void AnotherUsersEventsAreRefused() {
        if (!OtherUserSender::Possible()) QSKIP("sending as another user needs root");
        Companion companion;
        KdMainWindow window;
        window.udpListen(0, companion.port);
        companion.Send(EventPort(window), "KeyDown:save");
        QTRY_COMPARE(window.remoteControl().Interpreter().EventNum(), 0x16000);

        OtherUserSender nobody(EventPort(window), "KeyDown:sw:CUT");
        QVERIFY(nobody.Port());
        QTRY_COMPARE(window.companionStatus()->text(),
                     QString("Companion: refused port %1 (user 65534)").arg(nobody.Port()));
        QCOMPARE(window.remoteControl().Interpreter().EventNum(), 0x16000);

        KdMainWindow open;
        open.udpListen(0, companion.port, true);
        OtherUserSender allowed(EventPort(open), "KeyDown:sw:CUT");
        QTRY_COMPARE(open.remoteControl().Interpreter().EventNum(), 0x14400);
        QVERIFY(open.companionStatus()->toolTip().contains("any user"));
    }

    // A preset recalled by the companion moves the layer; ROI > Setting shows where to.
    void OpenPageFollowsARecall() {
        SimProcess sim({});
        qputenv("KALDO_DEVICE_DIR", sim.DeviceDir().c_str());
        Companion companion;
        KdMainWindow window;
        window.udpListen(0, companion.port);
        QTRY_VERIFY(window.prmManager());
        KdMenuView* menu = window.menuView();
        const KdPrmView* page = nullptr;
        for (int row = 0; row < menu->numberOfRows() && !page; ++row) {
            if (!menu->selectRowInSafety(row)) continue;
            page = qobject_cast<const KdPrmView*>(window.prmView()->widget());
            if (page && !CKdPrmSideEffects::Reads(page->requestPrmTable(), 182, 182))
                page = nullptr;
        }
        QVERIFY(page);
        // The factory presets: ROI2 lies at H position -960, layer [1] at 0.
        const auto shows = [&](const QString& text) {
            for (const QLineEdit* field : page->findChildren<QLineEdit*>())
                if (field->text() == text) return true;
            return false;
        };
        QCOMPARE(window.prmManager()->Value(182, 0), 0);
        QVERIFY(!shows("-960"));

        companion.Send(EventPort(window), "KeyDown:call:ROI2:[1]");
        QTRY_COMPARE(window.prmManager()->Value(182, 0), -960);
        QTRY_VERIFY(shows("-960"));
        QCOMPARE(window.prmView()->widget(), page); // read again, not reopened
    }
};

QTEST_MAIN(CompanionTest)
#include "companion_test.moc"
