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
// after five seconds, and nothing after them, without their sequence numbers.
template <class Peer>
Wires Collect(Peer& peer, size_t count) {
    Wires wires;
    QDeadlineTimer deadline(5000);
    while (wires.size() < count && !deadline.hasExpired()) {
        QTest::qWait(10);
        const Wires more = peer.TakePackets();
        wires.insert(wires.end(), more.begin(), more.end());
    }
    QTest::qWait(50);
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

sockaddr_in Loopback(uint16_t port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

// The companion program: sends events to the window and takes its replies on a free port.
struct Companion {
    int socket = ::socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    uint16_t port = 0;
    Companion() {
        sockaddr_in address = Loopback(0);
        socklen_t length = sizeof address;
        bind(socket, reinterpret_cast<sockaddr*>(&address), length);
        getsockname(socket, reinterpret_cast<sockaddr*>(&address), &length);
        port = ntohs(address.sin_port);
    }
    ~Companion() { close(socket); }
    void Send(uint16_t to, const char* text) const {
        const sockaddr_in address = Loopback(to);
        sendto(socket, text, strlen(text), 0, reinterpret_cast<const sockaddr*>(&address),
               sizeof address);
    }
    // A reply that is waiting, or "".
    QString Receive() const {
        char reply[256];
        const ssize_t count = recv(socket, reply, sizeof reply, MSG_DONTWAIT);
        return count > 0 ? QString::fromUtf8(reply, count) : QString();
    }
};

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

    // The panel key of a Qt key; Shift is reported held exactly when the key came with it.
    void KeyCodes_data() {
        QTest::addColumn<int>("qtKey");
        QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
        QTest::addColumn<int>("keyCode");
        const auto none = Qt::KeyboardModifiers(Qt::NoModifier);
        const auto pad = Qt::KeyboardModifiers(Qt::KeypadModifier);
        const auto shift = Qt::KeyboardModifiers(Qt::ShiftModifier);
        const struct {
            const char* name;
            int key;
            Qt::KeyboardModifiers modifiers;
            int code;
        } rows[] = {
            {"S", Qt::Key_S, none, 1}, {"shift S", Qt::Key_S, shift, 1},
            {"A is none", Qt::Key_A, none, 0},
            {"5 is 23", Qt::Key_5, none, 23}, {"6 is 22", Qt::Key_6, none, 22},
            {"main 0 is none", Qt::Key_0, none, 0},
            {"shift 3 as typed", Qt::Key_NumberSign, shift, 20},
            {"shift 3 as key", Qt::Key_3, shift, 20}, {"shift 8", Qt::Key_Asterisk, shift, 28},
            {"main -", Qt::Key_Minus, none, 27}, {"main .", Qt::Key_Period, none, 47},
            {"keypad *", Qt::Key_Asterisk, pad, 67}, {"keypad 3", Qt::Key_3, pad, 85},
            {"keypad 8", Qt::Key_8, pad, 91}, {"keypad 9", Qt::Key_9, pad, 92},
            {"keypad 0", Qt::Key_0, pad, 82}, {"keypad enter", Qt::Key_Enter, pad, 76},
            {"keypad -", Qt::Key_Minus, pad, 78}, {"keypad /", Qt::Key_Slash, pad, 75},
            {"keypad .", Qt::Key_Period, pad, 65}, {"return is none", Qt::Key_Return, none, 0},
            {"clear", Qt::Key_Clear, none, 71}, {"num lock as clear", Qt::Key_NumLock, none, 71},
            {"keypad 5, num lock off", Qt::Key_Clear, pad, 87},
            {"keypad 4, num lock off", Qt::Key_Left, pad, 86},
            {"keypad 9, num lock off", Qt::Key_PageUp, pad, 92},
            {"backspace", Qt::Key_Backspace, none, 51}, {"F1", Qt::Key_F1, none, 122},
            {"F4", Qt::Key_F4, none, 118}, {"F10", Qt::Key_F10, none, 109},
            {"page up", Qt::Key_PageUp, none, 116}, {"end", Qt::Key_End, none, 119},
            {"left", Qt::Key_Left, none, 123}, {"up", Qt::Key_Up, none, 126},
        };
        for (const auto& row : rows)
            QTest::newRow(row.name) << row.key << row.modifiers << row.code;
    }
    void KeyCodes() {
        QFETCH(int, qtKey);
        QFETCH(Qt::KeyboardModifiers, modifiers);
        QFETCH(int, keyCode);
        const bool shift = modifiers == Qt::ShiftModifier;
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
        QCOMPARE(Collect(peer, 3), (Wires{Set(187, {0xFC}), Set(187, {0xFC}), Set(187, {0})}));

        panel.keyDown(Key(QEvent::KeyPress, Qt::Key_NumberSign, Qt::ShiftModifier), &session);
        panel.keyDown(Key(QEvent::KeyPress, Qt::Key_0, Qt::KeypadModifier), &session);
        panel.keyDown(Key(QEvent::KeyPress, Qt::Key_3, Qt::KeypadModifier), &session);
        panel.keyUp(Key(QEvent::KeyRelease, Qt::Key_0, Qt::KeypadModifier), &session);
        panel.keyDown(Key(QEvent::KeyPress, Qt::Key_A), &session); // no panel key
        panel.keyDown(Key(QEvent::KeyPress, Qt::Key_3, Qt::KeypadModifier), &session);
        QCOMPARE(Collect(peer, 3),
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

    // Events reach the window before a switcher is open and change nothing; then keys and
    // events work the switcher, and the open page follows.
    void WindowWorksTheSwitcherFromKeysAndEvents() {
        PtyPeer peer;
        Companion companion;
        KdMainWindow window;
        window.udpListen(0, companion.port);
        const CKdUdpLink* link = window.remoteControl().Link();
        QVERIFY(link && link->IsListening());
        const uint16_t eventPort = link->EventPort();
        companion.Send(eventPort, "KeyDown:sw:MIX");
        companion.Send(eventPort, "Rotate:enc:0:175:0:1");
        QTRY_COMPARE(window.remoteControl().Interpreter().EventNum(), 0x0AF59001);
        QCOMPARE(companion.Receive(), QString()); // no reply without a switcher
        QVERIFY(!window.prmManager());

        QVERIFY(window.addManualDevice(peer.Path().c_str()));
        QTRY_VERIFY(window.prmManager());
        QTest::qWait(300); // the opening page's requests
        peer.TakePackets();
        QTest::keyClick(window.menuView(), Qt::Key_F10);
        QCOMPARE(Collect(peer, 2), (Wires{Set(187, {0xFC}), Set(187, {0})}));

        const KdPrmPopUpButton* meType = OpenPageShowing(window, 210); // "M/E Type"
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
