#include "CKdPrmManager.h"
#include "KdKeyboardPanel.h"
#include "KdMainWindow.h"
#include "KdMenuDataSource.h"
#include "KdMenuView.h"
#include "KdPrmPopUpButton.h"
#include "KdPrmView.h"
#include "LPrmConverters.h"
#include "PeerPackets.h"
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

namespace {

using PeerPackets::Set;

// The packets the peer received, once count have come (the window's loop runs meanwhile) or
// after five seconds, without their sequence numbers.
template <class Peer>
Wires Collect(Peer& peer, size_t count) {
    return PeerPackets::Collect(peer, count, 50);
}

// Selects the first page that shows id in a pop-up button, and returns that button once the page
// has read its parameters (the window's loop runs meanwhile).
const KdPrmPopUpButton* OpenPageShowing(KdMainWindow& window, long id) {
    KdMenuView* menu = window.menuView();
    for (int row = 0; row < menu->numberOfRows(); ++row) {
        if (!menu->selectRowInSafety(row)) continue;
        auto* page = qobject_cast<KdPrmView*>(window.prmView()->widget());
        for (KdPrmPopUpButton* button : page->findChildren<KdPrmPopUpButton*>())
            if (button->observer().PrmID() == id)
                return QTest::qWaitFor([page] { return !page->isReading(); }) ? button : nullptr;
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

// A key event as xcb and Wayland give it: the key's place as its XKB keycode (evdev code + 8) and
// the character the layout makes of it.
QKeyEvent Key(QEvent::Type type, quint32 scanCode, int key = 0,
              Qt::KeyboardModifiers modifiers = Qt::NoModifier, bool autoRepeat = false) {
    return QKeyEvent(type, key, modifiers, scanCode, 0, 0, QString(), autoRepeat);
}

// A session on a scripted switcher that answers read-backs from zeroed memory.
struct PanelSession {
    ScriptedPeer peer;
    ScriptedPeer::Device device;
    CKdPrmManager session;
    PanelSession() {
        peer.SetScript(
            [this](const ScriptedPeer::Packet& packet) { return device.Answer(packet); });
        session.SetDeviceStream(peer.SessionStream());
        Collect(peer, 1); // the version request
    }
    ~PanelSession() { session.SetDeviceStream(nullptr); }
};

} // namespace

// Keys, by their place, as the switcher's panel keys, and the menu tree handing its keys to the
// panel.
class KeyboardPanelTest : public QObject {
    Q_OBJECT

    // An empty record directory: only the devices a test adds are listed.
    QTemporaryDir mRecords;

private slots:
    void init() { qputenv("KALDO_DEVICE_DIR", mRecords.path().toLocal8Bit()); }

    // Every key of the panel by its place (XKB keycode), whatever character it types, and keys
    // that are not the panel's. Key codes as the panel numbers them.
    void KeyCodes_data() {
        QTest::addColumn<uint>("scanCode");
        QTest::addColumn<int>("keyCode");
        const struct {
            const char* name; // the key on a US keyboard
            uint scanCode;
            int keyCode;
        } rows[] = {
            {"S", 39, 1},          {"D", 40, 2},
            {"F", 41, 3},          {"C", 54, 8},
            {"1", 10, 18},         {"2", 11, 19},
            {"3", 12, 20},         {"4", 13, 21},
            {"5", 14, 23},         {"6", 15, 22},
            {"7", 16, 26},         {"8", 17, 28},
            {"=", 21, 24},         {"-", 20, 27},
            {"P", 33, 35},         {",", 59, 43},
            {"N", 57, 45},         {"M", 58, 46},
            {".", 60, 47},         {"backspace", 22, 51},
            {"keypad .", 91, 65},  {"keypad *", 63, 67},
            {"keypad +", 86, 69},  {"num lock", 77, 71},
            {"keypad /", 106, 75}, {"keypad enter", 104, 76},
            {"keypad -", 82, 78},  {"keypad 0", 90, 82},
            {"keypad 1", 87, 83},  {"keypad 2", 88, 84},
            {"keypad 3", 89, 85},  {"keypad 4", 83, 86},
            {"keypad 5", 84, 87},  {"keypad 6", 85, 88},
            {"keypad 7", 79, 89},  {"keypad 8", 80, 91},
            {"keypad 9", 81, 92},  {"F1", 67, 122},
            {"F2", 68, 120},       {"F3", 69, 99},
            {"F4", 70, 118},       {"F5", 71, 96},
            {"F6", 72, 97},        {"F7", 73, 98},
            {"F8", 74, 100},       {"F9", 75, 101},
            {"F10", 76, 109},      {"home", 110, 115},
            {"page up", 112, 116}, {"end", 115, 119},
            {"left", 113, 123},    {"right", 114, 124},
            {"down", 116, 125},    {"up", 111, 126},
            {"A", 38, 0},          {"main 0", 19, 0},
            {"return", 36, 0},     {"tab", 23, 0},
            {"German #", 51, 0},   {"no scan code", 0, 0},
        };
        for (const auto& row : rows)
            QTest::newRow(row.name) << row.scanCode << row.keyCode;
    }
    void KeyCodes() {
        QFETCH(uint, scanCode);
        QFETCH(int, keyCode);
        for (const int character : {0, int(Qt::Key_1), int(Qt::Key_Ampersand), int(Qt::Key_Left)})
            for (const auto modifiers : {Qt::NoModifier, Qt::ShiftModifier, Qt::KeypadModifier})
                QCOMPARE(
                    KdKeyboardPanel::KeyCode(Key(QEvent::KeyPress, scanCode, character, modifiers)),
                    keyCode);
    }

    void KeysReachTheSwitcher() {
        PanelSession panelSession;
        ScriptedPeer& peer = panelSession.peer;
        CKdPrmManager& session = panelSession.session;
        std::vector<std::string> log;
        KdKeyboardPanel panel([&](const char* line) { log.push_back(line); });

        // F10 held: repeated presses act again, the releases between repeats are no key-ups.
        panel.keyDown(Key(QEvent::KeyPress, 76, Qt::Key_F10), &session);
        panel.keyUp(Key(QEvent::KeyRelease, 76, Qt::Key_F10, Qt::NoModifier, true), &session);
        panel.keyDown(Key(QEvent::KeyPress, 76, Qt::Key_F10, Qt::NoModifier, true), &session);
        panel.keyUp(Key(QEvent::KeyRelease, 76, Qt::Key_F10), &session);
        QCOMPARE(Collect(peer, 3), (Wires{Set(187, {0xFC}), Set(187, {0xFC}), Set(187, {0})}));

        panel.keyDown(Key(QEvent::KeyPress, 12, Qt::Key_NumberSign, Qt::ShiftModifier), &session);
        panel.keyDown(Key(QEvent::KeyPress, 90, Qt::Key_0, Qt::KeypadModifier), &session);
        panel.keyDown(Key(QEvent::KeyPress, 89, Qt::Key_3, Qt::KeypadModifier), &session);
        panel.keyUp(Key(QEvent::KeyRelease, 90, Qt::Key_0, Qt::KeypadModifier), &session);
        panel.keyDown(Key(QEvent::KeyPress, 38, Qt::Key_A), &session); // no panel key
        panel.keyDown(Key(QEvent::KeyPress, 89, Qt::Key_PageDown, Qt::KeypadModifier), &session);
        QCOMPARE(Collect(peer, 3),
                 (Wires{Set(176, {0, 2, 1}), Set(171, {2, 1, 0, 1}), Set(171, {2, 0, 0, 1})}));
        QCOMPARE(log, (std::vector<std::string>{
                          "109", "ZoomIn", "109", "ZoomIn", "ZoomStop", "20", "3 with Shift", "82",
                          "TenKey0", "85", "TenKeyNum3 with 0", "TenKey0Off", "85", "TenKeyNum3"}));
    }

    // The same keys pressed on a US, a German (QWERTZ) and a French (AZERTY) layout: each types
    // other characters, the switcher gets the same bytes.
    void LayoutsTypeOtherCharactersForTheSameBytes() {
        const auto none = Qt::KeyboardModifiers(Qt::NoModifier);
        const auto shift = Qt::KeyboardModifiers(Qt::ShiftModifier);
        const struct {
            QEvent::Type type;
            uint scanCode;
            Qt::KeyboardModifiers modifiers;
            int us, de, fr;
        } keys[] = {
            {QEvent::KeyPress, 10, none, Qt::Key_1, Qt::Key_1, Qt::Key_Ampersand},
            {QEvent::KeyPress, 10, shift, Qt::Key_Exclam, Qt::Key_Exclam, Qt::Key_1},
            {QEvent::KeyPress, 12, shift, Qt::Key_NumberSign, Qt::Key_section, Qt::Key_3},
            {QEvent::KeyPress, 16, none, Qt::Key_7, Qt::Key_7, Qt::Key_Egrave},
            {QEvent::KeyPress, 58, none, Qt::Key_M, Qt::Key_M, Qt::Key_Comma},
            {QEvent::KeyPress, 59, none, Qt::Key_Comma, Qt::Key_Comma, Qt::Key_Semicolon},
            {QEvent::KeyPress, 60, none, Qt::Key_Period, Qt::Key_Period, Qt::Key_Colon},
            {QEvent::KeyPress, 20, none, Qt::Key_Minus, Qt::Key_ssharp, Qt::Key_ParenRight},
            {QEvent::KeyRelease, 20, none, Qt::Key_Minus, Qt::Key_ssharp, Qt::Key_ParenRight},
            {QEvent::KeyPress, 21, none, Qt::Key_Equal, Qt::Key_Dead_Acute, Qt::Key_Equal},
            {QEvent::KeyRelease, 21, none, Qt::Key_Equal, Qt::Key_Dead_Acute, Qt::Key_Equal},
            // The key right of L (German #, US backslash) is none of the panel's.
            {QEvent::KeyPress, 51, none, Qt::Key_Backslash, Qt::Key_NumberSign, Qt::Key_Asterisk},
        };
        const Wires expected = {Set(171, {0, 0, 0, 1}), Set(176, {0, 0, 1}), Set(176, {0, 2, 1}),
                                Set(171, {6, 0, 0, 1}), Set(208, {1}),       Set(206, {1}),
                                Set(207, {1}),          Set(187, {4}),       Set(187, {0}),
                                Set(187, {0xFC}),       Set(187, {0})};
        for (const char* layout : {"us", "de", "fr"}) {
            PanelSession panelSession;
            KdKeyboardPanel panel([](const char*) {});
            for (const auto& key : keys) {
                const int character = *layout == 'u' ? key.us : *layout == 'd' ? key.de : key.fr;
                const QKeyEvent event = Key(key.type, key.scanCode, character, key.modifiers);
                if (key.type == QEvent::KeyPress)
                    panel.keyDown(event, &panelSession.session);
                else
                    panel.keyUp(event, &panelSession.session);
            }
            QVERIFY2(Collect(panelSession.peer, expected.size()) == expected, layout);
        }
    }

    // Shift pressed while a zoom key is down makes its release another character: the zoom
    // still stops.
    void ShiftedZoomKeyUpStopsTheZoom() {
        PanelSession panelSession;
        CKdPrmManager& session = panelSession.session;
        KdKeyboardPanel panel([](const char*) {});
        panel.keyDown(Key(QEvent::KeyPress, 21, Qt::Key_Equal), &session);
        panel.keyUp(Key(QEvent::KeyRelease, 21, Qt::Key_Plus, Qt::ShiftModifier), &session);
        panel.keyDown(Key(QEvent::KeyPress, 20, Qt::Key_Minus), &session);
        panel.keyUp(Key(QEvent::KeyRelease, 20, Qt::Key_Underscore, Qt::ShiftModifier), &session);
        QCOMPARE(Collect(panelSession.peer, 4),
                 (Wires{Set(187, {0xFC}), Set(187, {0}), Set(187, {4}), Set(187, {0})}));
    }

    // Plain keypad digits recall presets with NumLock on and off; the moves come only while
    // NumLock (the Clear key) is held, whatever NumLock's state.
    void KeypadWithNumLockOnAndOff() {
        PanelSession panelSession;
        CKdPrmManager& session = panelSession.session;
        KdKeyboardPanel panel([](const char*) {});
        const auto pad = Qt::KeyboardModifiers(Qt::KeypadModifier);
        panel.keyDown(Key(QEvent::KeyPress, 88, Qt::Key_2, pad), &session);    // NumLock on
        panel.keyDown(Key(QEvent::KeyPress, 88, Qt::Key_Down, pad), &session); // NumLock off
        panel.keyDown(Key(QEvent::KeyPress, 83, Qt::Key_Left, pad), &session);
        panel.keyDown(Key(QEvent::KeyPress, 77, Qt::Key_NumLock), &session);
        panel.keyDown(Key(QEvent::KeyPress, 88, Qt::Key_2, pad), &session);
        panel.keyDown(Key(QEvent::KeyPress, 79, Qt::Key_Home, pad), &session);
        panel.keyUp(Key(QEvent::KeyRelease, 77, Qt::Key_NumLock), &session);
        panel.keyDown(Key(QEvent::KeyPress, 88, Qt::Key_Down, pad), &session);
        QCOMPARE(Collect(panelSession.peer, 7),
                 (Wires{Set(171, {1, 0, 0, 1}), Set(171, {1, 0, 0, 1}), Set(171, {3, 0, 0, 1}),
                        ScriptedPeer::Response(0x10, 0, {184, 0, 2}), Set(184, {8, 0}),
                        Set(182, {0, 0, 0, 0}), Set(171, {1, 0, 0, 1})}));
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
        QKeyEvent f10Down = Key(QEvent::KeyPress, 76, Qt::Key_F10);
        QKeyEvent f10Up = Key(QEvent::KeyRelease, 76, Qt::Key_F10);
        QApplication::sendEvent(window.menuView(), &f10Down);
        QApplication::sendEvent(window.menuView(), &f10Up);
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
