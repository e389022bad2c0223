#include "CKdPrmManager.h"
#include "KdKeyboardPanel.h"
#include "KdMainWindow.h"
#include "KdMenuDataSource.h"
#include "KdMenuView.h"
#include "KdPrmPopUpButton.h"
#include "LPrmConverters.h"
#include "PtyPeer.h"
#include "ScriptedPeer.h"

#include <QKeyEvent>
#include <QScrollArea>
#include <QtTest>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

using Bytes = ScriptedPeer::Bytes;
using Wires = std::vector<Bytes>;
Q_DECLARE_METATYPE(Qt::KeyboardModifiers)

namespace {

Bytes Set(long id, const Bytes& value) {
    Bytes data = {uint8_t(id), uint8_t(id >> 8)};
    data.insert(data.end(), value.begin(), value.end());
    return ScriptedPeer::Response(0x20, 0, data);
}

// The packets without their sequence numbers.
Wires Stripped(Wires wires) {
    for (Bytes& wire : wires)
        wire[3] = 0;
    return wires;
}

// The packets the peer received, once count have come (the window's loop runs meanwhile) or
// after five seconds, without their sequence numbers.
Wires Collect(PtyPeer& peer, size_t count) {
    Wires wires;
    QDeadlineTimer deadline(5000);
    while (wires.size() < count && !deadline.hasExpired()) {
        QTest::qWait(10);
        const Wires more = peer.TakePackets();
        wires.insert(wires.end(), more.begin(), more.end());
    }
    QTest::qWait(50); // and nothing after them
    const Wires more = peer.TakePackets();
    wires.insert(wires.end(), more.begin(), more.end());
    return Stripped(wires);
}

// Selects the first page that shows id in a pop-up button, and returns that button.
const KdPrmPopUpButton* OpenPageShowing(KdMainWindow& window, long id) {
    KdMenuView* menu = window.menuView();
    for (int row = 0; row < menu->numberOfRows(); ++row) {
        if (!menu->selectRowInSafety(row)) continue;
        for (KdPrmPopUpButton* button :
             window.prmView()->widget()->findChildren<KdPrmPopUpButton*>())
            if (button->observer().PrmID() == id) return button;
    }
    return nullptr;
}

// The companion program: sends events to the window and takes its replies on a free port.
class Companion {
public:
    Companion() {
        sockaddr_in address = Loopback(0);
        bind(mSocket, reinterpret_cast<sockaddr*>(&address), sizeof address);
        socklen_t length = sizeof address;
        getsockname(mSocket, reinterpret_cast<sockaddr*>(&address), &length);
        mPort = ntohs(address.sin_port);
    }
    ~Companion() { close(mSocket); }

    uint16_t Port() const { return mPort; }
    void Send(uint16_t port, const char* text) const {
        const sockaddr_in address = Loopback(port);
        sendto(mSocket, text, strlen(text), 0, reinterpret_cast<const sockaddr*>(&address),
               sizeof address);
    }
    // A reply that is waiting, or "".
    QString Receive() const {
        char reply[256];
        const ssize_t count = recv(mSocket, reply, sizeof reply, MSG_DONTWAIT);
        return count > 0 ? QString::fromUtf8(reply, count) : QString();
    }

private:
    static sockaddr_in Loopback(uint16_t port) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(port);
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        return address;
    }

    int mSocket = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    uint16_t mPort = 0;
};

// The packets the peer received, once count have come, without their sequence numbers.
Wires Received(ScriptedPeer& peer, size_t count) {
    const Wires wires = peer.WaitForPackets(count);
    peer.TakePackets();
    return Stripped(wires);
}

QKeyEvent Key(QEvent::Type type, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier,
              bool autoRepeat = false) {
    return QKeyEvent(type, key, modifiers, QString(), autoRepeat);
}

} // namespace

// Qt key events as the switcher's panel keys, and the menu tree handing its keys to the panel.
class KeyboardPanelTest : public QObject {
    Q_OBJECT

    // An empty record directory: only the devices a test adds are listed.
    QTemporaryDir mRecords;

private slots:
    void init() { qputenv("KALDO_DEVICE_DIR", mRecords.path().toLocal8Bit()); }

    void KeyCodes_data() {
        QTest::addColumn<int>("qtKey");
        QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
        QTest::addColumn<int>("keyCode");
        QTest::addColumn<bool>("shift");
        const auto none = Qt::KeyboardModifiers(Qt::NoModifier);
        const auto keypad = Qt::KeyboardModifiers(Qt::KeypadModifier);
        const auto shifted = Qt::KeyboardModifiers(Qt::ShiftModifier);
        QTest::newRow("S") << int(Qt::Key_S) << none << 1 << false;
        QTest::newRow("shift S") << int(Qt::Key_S) << shifted << 1 << true;
        QTest::newRow("5 is 23") << int(Qt::Key_5) << none << 23 << false;
        QTest::newRow("6 is 22") << int(Qt::Key_6) << none << 22 << false;
        QTest::newRow("shift 3 as typed") << int(Qt::Key_NumberSign) << shifted << 20 << true;
        QTest::newRow("shift 3 as key") << int(Qt::Key_3) << shifted << 20 << true;
        QTest::newRow("shift 8") << int(Qt::Key_Asterisk) << shifted << 28 << true;
        QTest::newRow("keypad *") << int(Qt::Key_Asterisk) << keypad << 67 << false;
        QTest::newRow("keypad 3") << int(Qt::Key_3) << keypad << 85 << false;
        QTest::newRow("keypad 8") << int(Qt::Key_8) << keypad << 91 << false;
        QTest::newRow("keypad 9") << int(Qt::Key_9) << keypad << 92 << false;
        QTest::newRow("keypad 0") << int(Qt::Key_0) << keypad << 82 << false;
        QTest::newRow("main 0 is none") << int(Qt::Key_0) << none << 0 << false;
        QTest::newRow("keypad enter") << int(Qt::Key_Enter) << keypad << 76 << false;
        QTest::newRow("return is none") << int(Qt::Key_Return) << none << 0 << false;
        QTest::newRow("clear") << int(Qt::Key_Clear) << none << 71 << false;
        QTest::newRow("num lock as clear") << int(Qt::Key_NumLock) << none << 71 << false;
        QTest::newRow("keypad 5, num lock off") << int(Qt::Key_Clear) << keypad << 87 << false;
        QTest::newRow("keypad 4, num lock off") << int(Qt::Key_Left) << keypad << 86 << false;
        QTest::newRow("keypad 9, num lock off") << int(Qt::Key_PageUp) << keypad << 92 << false;
        QTest::newRow("keypad -") << int(Qt::Key_Minus) << keypad << 78 << false;
        QTest::newRow("main -") << int(Qt::Key_Minus) << none << 27 << false;
        QTest::newRow("keypad /") << int(Qt::Key_Slash) << keypad << 75 << false;
        QTest::newRow("keypad .") << int(Qt::Key_Period) << keypad << 65 << false;
        QTest::newRow("main .") << int(Qt::Key_Period) << none << 47 << false;
        QTest::newRow("backspace") << int(Qt::Key_Backspace) << none << 51 << false;
        QTest::newRow("F1") << int(Qt::Key_F1) << none << 122 << false;
        QTest::newRow("F4") << int(Qt::Key_F4) << none << 118 << false;
        QTest::newRow("F10") << int(Qt::Key_F10) << none << 109 << false;
        QTest::newRow("page up") << int(Qt::Key_PageUp) << none << 116 << false;
        QTest::newRow("end") << int(Qt::Key_End) << none << 119 << false;
        QTest::newRow("left") << int(Qt::Key_Left) << none << 123 << false;
        QTest::newRow("up") << int(Qt::Key_Up) << none << 126 << false;
        QTest::newRow("A is none") << int(Qt::Key_A) << none << 0 << false;
    }
    void KeyCodes() {
        QFETCH(int, qtKey);
        QFETCH(Qt::KeyboardModifiers, modifiers);
        QFETCH(int, keyCode);
        QFETCH(bool, shift);
        const QKeyEvent event = Key(QEvent::KeyPress, qtKey, modifiers);
        bool shiftHeld = !shift;
        QCOMPARE(KdKeyboardPanel::KeyCode(event, &shiftHeld), keyCode);
        QCOMPARE(shiftHeld, shift);
    }

    void KeysReachTheSwitcher() {
        ScriptedPeer peer;
        CKdPrmManager session;
        session.SetDeviceStream(peer.SessionStream());
        peer.TakePackets();
        std::vector<std::string> log;
        KdKeyboardPanel panel([&](const char* line) { log.push_back(line); });

        // F10 held: repeated presses act again, the releases between repeats are no key-ups.
        panel.keyDown(Key(QEvent::KeyPress, Qt::Key_F10), &session);
        panel.keyUp(Key(QEvent::KeyRelease, Qt::Key_F10, Qt::NoModifier, true), &session);
        panel.keyDown(Key(QEvent::KeyPress, Qt::Key_F10, Qt::NoModifier, true), &session);
        panel.keyUp(Key(QEvent::KeyRelease, Qt::Key_F10), &session);
        QCOMPARE(Received(peer, 3), (Wires{Set(187, {0xFC}), Set(187, {0xFC}), Set(187, {0})}));

        panel.keyDown(Key(QEvent::KeyPress, Qt::Key_NumberSign, Qt::ShiftModifier), &session);
        panel.keyDown(Key(QEvent::KeyPress, Qt::Key_0, Qt::KeypadModifier), &session);
        panel.keyDown(Key(QEvent::KeyPress, Qt::Key_3, Qt::KeypadModifier), &session);
        panel.keyUp(Key(QEvent::KeyRelease, Qt::Key_0, Qt::KeypadModifier), &session);
        panel.keyDown(Key(QEvent::KeyPress, Qt::Key_A), &session); // no panel key
        panel.keyDown(Key(QEvent::KeyPress, Qt::Key_3, Qt::KeypadModifier), &session);
        QCOMPARE(Received(peer, 3),
                 (Wires{Set(176, {0, 2, 1}), Set(171, {2, 1, 0, 1}), Set(171, {2, 0, 0, 1})}));
        QCOMPARE(log, (std::vector<std::string>{
                          "109", "ZoomIn", "109", "ZoomIn", "ZoomStop", "20", "3 with Shift", "82",
                          "TenKey0", "85", "TenKeyNum3 with 0", "TenKey0Off", "85", "TenKeyNum3"}));
        session.SetDeviceStream(nullptr);
    }

    void ArrowKeysNeverMoveTheSelection() {
        QScrollArea area;
        KdMenuView view;
        view.setPrmView(&area);
        view.setDataSource(new KdMenuDataSource);
        view.expandAll();
        QVERIFY(view.selectRowInSafety(2));
        for (Qt::Key key : {Qt::Key_Down, Qt::Key_Up, Qt::Key_PageDown, Qt::Key_End, Qt::Key_Home,
                            Qt::Key_Right, Qt::Key_Left, Qt::Key_M}) {
            QTest::keyClick(&view, key); // no window, no session: nothing but the log
            QCOMPARE(view.selectedRow(), 2);
        }
    }

    void WindowTakesEventsWithoutASession() {
        Companion companion;
        KdMainWindow window;
        window.udpListen(0, companion.Port());
        const CKdUdpLink* link = window.remoteControl().Link();
        QVERIFY(link && link->IsListening());
        companion.Send(link->EventPort(), "KeyDown:sw:MIX");
        companion.Send(link->EventPort(), "Rotate:enc:0:175:0:1");
        // Both reach the window and change nothing; the dial gets no reply without a switcher.
        QTRY_COMPARE(window.remoteControl().Interpreter().EventNum(), 0x0AF59001);
        QCOMPARE(companion.Receive(), QString());
        QVERIFY(!window.prmManager());
    }

    void WindowWorksTheSwitcherFromKeysAndEvents() {
        PtyPeer peer;
        Companion companion;
        KdMainWindow window;
        window.udpListen(0, companion.Port());
        QVERIFY(window.addManualDevice(peer.Path().c_str()));
        QTRY_VERIFY(window.prmManager());
        QTest::qWait(300); // the opening page's requests
        peer.TakePackets();

        QTest::keyClick(window.menuView(), Qt::Key_F10);
        QCOMPARE(Collect(peer, 2), (Wires{Set(187, {0xFC}), Set(187, {0})}));

        const uint16_t eventPort = window.remoteControl().Link()->EventPort();
        // The open page that shows "M/E Type" follows the event.
        const KdPrmPopUpButton* meType = OpenPageShowing(window, 210);
        QVERIFY(meType);
        peer.TakePackets(); // the page's requests
        QCOMPARE(meType->currentText(), QString(gPrmConverterMeType.PrmValueToString(0)));
        companion.Send(eventPort, "KeyDown:sw:MIX");
        QCOMPARE(Collect(peer, 1), (Wires{Set(210, {1})}));
        QCOMPARE(window.prmManager()->Value(210, 0), 1);
        QTRY_COMPARE(meType->currentText(), QString(gPrmConverterMeType.PrmValueToString(1)));

        companion.Send(eventPort, "Rotate:enc:0:175:0:1");
        QCOMPARE(Collect(peer, 2),
                 (Wires{ScriptedPeer::Response(0x10, 0, {175, 0, 1}), Set(175, {1})}));
        QCOMPARE(companion.Receive(), QString("175:ROI Auto Time:1sec:0")); // sent with the write
    }
};

QTEST_MAIN(KeyboardPanelTest)
#include "keyboard_panel_test.moc"
