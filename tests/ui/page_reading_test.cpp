// A page reads its request table without holding up the event loop: against a switcher that
// answers only when the test lets it, the page is shown with its rows at once, each request goes
// out after the answer to the one before, and the rows fill in as the answers arrive. A page
// switched away or a session closed while a reading is under way is left alone.
#include "PrmTestSession.h"

namespace {

// Requests of the "Audio/Main/Sub/Output" page: 140 (2), 150 (2), 160 (1).
constexpr const char* kPage = "Audio/Main/Sub/Output";
const PrmTestSession::Bytes kRequests[] = {
    {'M', 'V', 0x10, 0, 3, 140, 0, 2},
    {'M', 'V', 0x10, 0, 3, 150, 0, 2},
    {'M', 'V', 0x10, 0, 3, 160, 0, 1},
};

// A switcher that answers a parameter request only when the test has it answer.
struct GatedSession : PrmTestSession {
    GatedSession() {
        device.memory[140] = 1; // "On", where the session holds "Off" until it is read
        device.memory[150] = 1;
        open("Input/No Signal"); // the window, with a page read in full
        peer.SetScript([this](const ScriptedPeer::Packet& packet) {
            return packet.command == 0x10 ? Wires() : device.Answer(packet);
        });
    }

    // Builds the page into the shown window without waiting for its reading.
    KdPrmView* startPage(const char* name) {
        auto* next = new KdPrmView(CKdPageCatalogue::FindPage(name));
        next->setPrmManager(&session);
        scroll->setWidget(next); // deletes the page before
        page = next;
        return next;
    }
    // The requests received so far, once there are count, sequence numbers set to 0.
    Wires requests(size_t count) {
        Wires wires = peer.WaitForPackets(count);
        for (Bytes& wire : wires)
            wire[3] = 0;
        return wires;
    }
    // Sends the device's answer to the received request at index.
    void answer(size_t index) {
        const Bytes wire = peer.WaitForPackets(index + 1).at(index);
        for (const Bytes& bytes :
             device.Answer({wire[2], wire[3], {wire.begin() + 5, wire.end()}, wire}))
            peer.Send(bytes);
    }
    // Services the session as the window's timer does until the row shows the index.
    bool waitForIndex(const char* label, int index) {
        return QTest::qWaitFor(
            [&] {
                session.Service();
                return row(label)->popup()->currentIndex() == index;
            },
            5000);
    }
};

} // namespace

class PageReadingTest : public QObject {
    Q_OBJECT

private slots:
    void rowsFillInAsTheAnswersArrive();
    void pageSwitchedAwayWhileReading();
    void sessionClosedWhileReading();
};

void PageReadingTest::rowsFillInAsTheAnswersArrive() {
    GatedSession t;
    KdPrmView* page = t.startPage(kPage);
    // Back in the event loop with every row made and the first request unanswered.
    QVERIFY(page->isReading());
    QCOMPARE(page->findChildren<KdPrmCellView*>().size(), 5);
    QCOMPARE(t.requests(1), (PrmTestSession::Wires{kRequests[0]}));
    QCOMPARE(t.row("Main In Audio Follow")->popup()->currentIndex(), 0);

    t.answer(0);
    QVERIFY(t.waitForIndex("Main In Audio Follow", 1));
    QCOMPARE(t.requests(2), (PrmTestSession::Wires{kRequests[0], kRequests[1]}));
    QCOMPARE(t.row("Sub In Audio Follow")->popup()->currentIndex(), 0);

    t.answer(1);
    QVERIFY(t.waitForIndex("Sub In Audio Follow", 1));
    QCOMPARE(t.requests(3), (PrmTestSession::Wires{std::begin(kRequests), std::end(kRequests)}));
    QVERIFY(page->isReading());
    t.answer(2);
    QCOMPARE(t.requests(3).size(), 3u); // nothing more was asked
}

void PageReadingTest::pageSwitchedAwayWhileReading() {
    GatedSession t;
    t.startPage(kPage);
    QCOMPARE(t.requests(1), (PrmTestSession::Wires{kRequests[0]}));
    // The audio page goes with its first answer outstanding; the next page reads from its start.
    KdPrmView* next = t.startPage("ROI/General");
    QVERIFY(next->isReading());
    const PrmTestSession::Bytes roi = {'M', 'V', 0x10, 0, 3, 170, 0, 10};
    QCOMPARE(t.requests(2), (PrmTestSession::Wires{kRequests[0], roi}));
    t.answer(0);
    t.answer(1);
    QVERIFY(t.waitForReading());
    QCOMPARE(t.session.Value(140, 0), 1); // the answer that was on its way is still taken
    QCOMPARE(t.requests(2).size(), 2u);
}

void PageReadingTest::sessionClosedWhileReading() {
    GatedSession t;
    KdPrmView* page = t.startPage(kPage);
    QVERIFY(page->isReading());
    t.session.SetDeviceStream(nullptr);
    QVERIFY(!page->isReading());
    t.answer(0); // to a session that no longer reads the link
    QTest::qWait(100);
    t.session.Service();
    QCOMPARE(t.row("Main In Audio Follow")->popup()->currentIndex(), 0);
    QCOMPARE(t.requests(1).size(), 1u);
}

QTEST_MAIN(PageReadingTest)
#include "page_reading_test.moc"
