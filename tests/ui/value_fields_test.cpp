#include "CKdValueGroups.h"
#include "KdPrmClockSync.h"
#include "KdPrmColourSwatch.h"
#include "KdPrmIpAddress.h"
#include "PrmTestSession.h"

#include <QClipboard>
#include <QColorDialog>
#include <QGuiApplication>
#include <QTimeZone>

namespace {

using Bytes = ScriptedPeer::Bytes;
using Wires = PrmTestSession::Wires;

// "MV", set (0x20), sequence, length, identifier (little-endian), value: as the protocol lays
// out one set packet of a one-byte parameter.
Bytes setPacket(int sequence, int idLow, int idHigh, int value) {
    return {0x4D,          0x56, 0x20, uint8_t(sequence), 3, uint8_t(idLow), uint8_t(idHigh),
            uint8_t(value)};
}

// Writes of one byte each, the first under the sequence number of sent's first packet and each
// next one under the next number.
Wires setPackets(const Wires& sent, std::initializer_list<std::array<int, 3>> writes) {
    Wires wires;
    int sequence = sent.empty() ? 1 : sent.front()[3];
    for (const auto& [low, high, value] : writes)
        wires.push_back(setPacket(sequence++, low, high, value));
    return wires;
}

// The control of the row titled label, found by its buddy.
template <class Control>
Control* rowControl(PrmTestSession& t, const char* label) {
    KdPrmCellView* cell = t.row(label);
    return cell ? qobject_cast<Control*>(cell->label()->buddy()) : nullptr;
}

// Whether the widget, as drawn, shows colour somewhere.
bool showsColour(QWidget* widget, const QColor& colour) {
    const QImage image = widget->grab().toImage();
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixelColor(x, y) == colour) return true;
    return false;
}

} // namespace

class ValueFieldsTest : public QObject {
    Q_OBJECT

private slots:
    void pastedAddressWritesItsFourParameters();
    void addressOutOfShapeWritesNothing_data();
    void addressOutOfShapeWritesNothing();
    void partRefusedBySwitcherIsNamed();
    void pageRequestsStayTheSame_data();
    void pageRequestsStayTheSame();
    void rowsAreLabelledForScreenReaders();
    void chosenColourWritesTheTriple();
    void clockSetFromThisComputer();
    void clockOutOfRangeWritesNothing_data();
    void clockOutOfRangeWritesNothing();
};

void ValueFieldsTest::pastedAddressWritesItsFourParameters() {
    PrmTestSession t;
    for (int id : {900, 901, 902, 903})
        t.device.memory[id] = 10;
    KdPrmView* page = t.open("USB Only/IP");
    QVERIFY(!t.row("IP Address 1st")); // one row for the four
    auto* field = rowControl<KdPrmIpAddress>(t, "IP Address");
    QVERIFY(field);
    QCOMPARE(field->text(), "10.10.10.10");

    QGuiApplication::clipboard()->setText(" 192.168.1.200 ");
    field->setFocus();
    field->selectAll();
    field->paste();
    QTest::keyClick(field, Qt::Key_Return);
    const Wires sent = t.sent();
    // 900 is 0x0384.
    QCOMPARE(sent,
             setPackets(
                 sent, {{0x84, 0x03, 192}, {0x85, 0x03, 168}, {0x86, 0x03, 1}, {0x87, 0x03, 200}}));
    QCOMPARE(field->text(), "192.168.1.200");
    // The address needs a reboot to take effect, as each of its parts did.
    QTRY_VERIFY(page->infoWindow());
    QCOMPARE(page->infoWindow()->text(), KdPrmView::kRebootNote);

    // A part that is already stored is not sent again, as a single edit would not be.
    field->selectAll();
    QTest::keyClicks(field, "192.168.2.200");
    QTest::keyClick(field, Qt::Key_Return);
    const Wires again = t.sent();
    QCOMPARE(again, setPackets(again, {{0x86, 0x03, 2}}));

    // A change made elsewhere (the front panel) right after is shown, and is no refusal.
    const uint8_t held[] = {172, 168, 2, 200};
    std::copy(std::begin(held), std::end(held), t.device.memory + 900);
    page->requestParameters();
    QVERIFY(t.waitForReading());
    QCOMPARE(field->text(), "172.168.2.200");
    QVERIFY(!page->infoWindow() || page->infoWindow()->text() == KdPrmView::kRebootNote);
}

void ValueFieldsTest::addressOutOfShapeWritesNothing_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("message");
    const QString takes =
        "\nTakes four numbers from 0 to 255 with dots between them, as in 192.168.1.200.";
    QTest::newRow("part above 255")
        << "192.168.1.300"
        << "\u201c192.168.1.300\u201d: its part 300 is above 255: nothing changed." + takes;
    QTest::newRow("three parts") << "1.2.3"
                                 << "\u201c1.2.3\u201d is not an address: nothing changed." + takes;
    QTest::newRow("five parts") << "1.2.3.4.5"
                                << "\u201c1.2.3.4.5\u201d is not an address: nothing changed." +
                                       takes;
    QTest::newRow("letters") << "a.b.c.d"
                             << "\u201ca.b.c.d\u201d is not an address: nothing changed." + takes;
    QTest::newRow("empty part") << "10..1.2"
                                << "\u201c10..1.2\u201d is not an address: nothing changed." +
                                       takes;
    QTest::newRow("sign") << "10.-1.1.2"
                          << "\u201c10.-1.1.2\u201d is not an address: nothing changed." + takes;
    QTest::newRow("four digits") << "10.0001.1.2"
                                 << "\u201c10.0001.1.2\u201d is not an address: nothing changed." +
                                        takes;
    QTest::newRow("blank inside") << "10.0. 1.2"
                                  << "\u201c10.0. 1.2\u201d is not an address: nothing changed." +
                                         takes;
    QTest::newRow("empty") << ""
                           << "The field is empty: nothing changed." + takes;
}

void ValueFieldsTest::addressOutOfShapeWritesNothing() {
    QFETCH(QString, typed);
    QFETCH(QString, message);
    PrmTestSession t;
    for (int id : {910, 911, 912})
        t.device.memory[id] = 255;
    KdPrmView* page = t.open("USB Only/IP");
    auto* field = rowControl<KdPrmIpAddress>(t, "Subnet Mask");
    field->setFocus();
    field->selectAll();
    QGuiApplication::clipboard()->setText(typed);
    if (typed.isEmpty())
        QTest::keyClick(field, Qt::Key_Delete);
    else
        field->paste();
    QTest::keyClick(field, Qt::Key_Return);
    QVERIFY(t.sent().empty());
    QCOMPARE(field->text(), "255.255.255.0"); // the stored address again
    QVERIFY(page->infoWindow());
    QCOMPARE(page->infoWindow()->text(), message);
}

void ValueFieldsTest::partRefusedBySwitcherIsNamed() {
    PrmTestSession t;
    t.device.memory[602] = 7;
    KdPrmView* page = t.open("SNMP/Manager");
    // This switcher refuses the third part with status 3 and keeps its memory.
    t.peer.SetScript([&t](const ScriptedPeer::Packet& packet) {
        if (packet.command == 0x20 && packet.data.size() == 3 && packet.data[0] == 0x5A)
            return std::vector<Bytes>{ScriptedPeer::Response(0xA0, packet.sequence, {3})};
        return t.device.Answer(packet);
    });
    auto* field = rowControl<KdPrmIpAddress>(t, "SNMP Manager Address");
    field->setFocus();
    field->selectAll();
    QTest::keyClicks(field, "10.0.1.2");
    QTest::keyClick(field, Qt::Key_Return);
    QTRY_COMPARE((t.session.Service(), field->text()), QString("10.0.7.2"));
    QTRY_VERIFY(page->infoWindow());
    QCOMPARE(page->infoWindow()->text(),
             "The switcher refused SNMP Manager Address 3rd: it keeps 7.");
}

void ValueFieldsTest::pageRequestsStayTheSame_data() {
    QTest::addColumn<QString>("page");
    QTest::addColumn<QList<QList<int>>>("requests"); // identifier, count
    QTest::newRow("IP") << "USB Only/IP" << QList<QList<int>>{{900, 4}, {910, 4}, {920, 4}};
    QTest::newRow("SNTP server") << "SNTP/Server" << QList<QList<int>>{{500, 4}};
    QTest::newRow("SNMP manager") << "SNMP/Manager" << QList<QList<int>>{{600, 4}};
    QTest::newRow("clock") << "SNTP/Current" << QList<QList<int>>{{510, 7}};
    // Through "PinP Type" (239) and the four Auto ROI presets (293 to 296): every value shown.
    QTest::newRow("PinP") << "Mix/Effect/PinP" << QList<QList<int>>{{230, 10}};
    QTest::newRow("Fade") << "Mix/Effect/Fade/AutoSw" << QList<QList<int>>{{270, 3}, {291, 6}};
}

void ValueFieldsTest::pageRequestsStayTheSame() {
    QFETCH(QString, page);
    QFETCH(QList<QList<int>>, requests);
    PrmTestSession t;
    KdPrmView view(CKdPageCatalogue::FindPage(page.toUtf8().constData()));
    view.setPrmManager(&t.session);
    QVERIFY(QTest::qWaitFor(
        [&] {
            t.session.Service();
            return !view.isReading();
        },
        5000));
    const Wires sent = t.peer.TakePackets();
    QCOMPARE(sent.size(), size_t(requests.size()));
    for (qsizetype k = 0; k < requests.size(); ++k) {
        const int id = requests[k][0];
        QCOMPARE(sent[k], (Bytes{0x4D, 0x56, 0x10, sent[k][3], 3, uint8_t(id & 0xFF),
                                 uint8_t(id >> 8), uint8_t(requests[k][1])}));
    }
}

void ValueFieldsTest::rowsAreLabelledForScreenReaders() {
    PrmTestSession t;
    const struct {
        const char* page;
        const char* label;
    } rows[] = {
        {"USB Only/IP", "IP Address"},
        {"USB Only/IP", "Subnet Mask"},
        {"USB Only/IP", "Default Gateway"},
        {"SNTP/Server", "SNTP Server Address"},
        {"SNMP/Manager", "SNMP Manager Address"},
        {"Input/No Signal", "No Signal Color"},
        {"Mix/Effect/Wipe", "Wipe Border Color"},
        {"Mix/Effect/PinP", "PinP Border Color"},
        {"Mix/Effect/Split", "Split Border Color"},
        {"Mix/Effect/Fade/AutoSw", "Fade Color"},
        {"SNTP/Current", "Date and Time"},
    };
    QCOMPARE(std::size(rows), CKdValueGroups::Groups().size()); // every group is here
    for (const auto& row : rows) {
        t.open(row.page);
        KdPrmCellView* cell = t.row(row.label);
        QVERIFY2(cell, row.label);
        QWidget* control = cell->label()->buddy();
        QVERIFY2(control, row.label);
        QCOMPARE(control->accessibleName(), row.label);
        // The control fits in the page, right of its title.
        QVERIFY(control->mapTo(t.page, control->rect().bottomRight()).x() < t.page->width());
        QVERIFY(control->x() > cell->label()->x() + cell->label()->width());
    }
    // The colour's own rows stay.
    t.open("Mix/Effect/PinP");
    QVERIFY(t.row("PinP Border Volor Red") && t.row("PinP Border Volor Blue"));
}

void ValueFieldsTest::chosenColourWritesTheTriple() {
    PrmTestSession t;
    t.device.memory[236] = 0x10;
    t.device.memory[237] = 0x80;
    t.device.memory[238] = 0xEB;
    t.open("Mix/Effect/PinP");
    auto* swatch = rowControl<KdPrmColourSwatch>(t, "PinP Border Color");
    QVERIFY(swatch);
    QCOMPARE(swatch->colour(), QColor(0x10, 0x80, 0xEB));
    QVERIFY(showsColour(swatch, QColor(0x10, 0x80, 0xEB)));
    swatch->click();
    QColorDialog* dialog = swatch->dialog();
    QVERIFY(dialog);
    QCOMPARE(dialog->currentColor(), QColor(0x10, 0x80, 0xEB));
    dialog->setCurrentColor(QColor(0x12, 0x34, 0x56));
    dialog->accept();
    const Wires sent = t.sent();
    // 236 is 0x00EC; the parameters take 0..255, the colour's own scale.
    QCOMPARE(sent, setPackets(sent, {{0xEC, 0x00, 0x12}, {0xED, 0x00, 0x34}, {0xEE, 0x00, 0x56}}));
    t.session.Service();
    QCOMPARE(t.row("PinP Border Volor Green")->spinBox()->textField()->text(), "52");
    QCOMPARE(swatch->colour(), QColor(0x12, 0x34, 0x56));
    QVERIFY(showsColour(swatch, QColor(0x12, 0x34, 0x56)));
    QVERIFY(!showsColour(swatch, QColor(0x10, 0x80, 0xEB)));

    // Cancelled: nothing is written.
    swatch->click();
    QVERIFY(swatch->dialog());
    swatch->dialog()->setCurrentColor(Qt::white);
    swatch->dialog()->reject();
    QVERIFY(t.sent().empty());
}

void ValueFieldsTest::clockSetFromThisComputer() {
    PrmTestSession t;
    t.open("SNTP/Current");
    auto* button = rowControl<KdPrmClockSync>(t, "Date and Time");
    QVERIFY(button);
    QCOMPARE(button->text(), "Set from this computer");
    // 2026-12-07 04:19:29 at GMT+1:00: years since 1970, month, day, hour, minute, second and
    // the zone in quarter hours.
    button->setClock(
        [] { return QDateTime(QDate(2026, 12, 7), QTime(4, 19, 29), QTimeZone(3600)); });
    button->click();
    const Wires sent = t.sent();
    // 510 is 0x01FE.
    QCOMPARE(sent, setPackets(sent, {{0xFE, 0x01, 56},
                                     {0xFF, 0x01, 12},
                                     {0x00, 0x02, 7},
                                     {0x01, 0x02, 4},
                                     {0x02, 0x02, 19},
                                     {0x03, 0x02, 29},
                                     {0x04, 0x02, 4}}));
    t.session.Service();
    QCOMPARE(t.row("Current Date Year")->spinBox()->textField()->text(), "2026");

    // West of GMT the zone is negative: GMT-3:30 is -14, sent as its byte.
    button->setClock(
        [] { return QDateTime(QDate(2026, 12, 7), QTime(4, 19, 29), QTimeZone(-12600)); });
    button->click();
    const Wires west = t.sent();
    QCOMPARE(west, setPackets(west, {{0x04, 0x02, 0xF2}}));
}

void ValueFieldsTest::clockOutOfRangeWritesNothing_data() {
    QTest::addColumn<QDateTime>("now");
    QTest::addColumn<QString>("message");
    QTest::newRow("after 2225")
        << QDateTime(QDate(2226, 1, 1), QTime(0, 0), QTimeZone(0))
        << "The switcher's clock cannot hold this computer's Current Date Year (2226-01-01 "
           "00:00:00): nothing changed.";
    QTest::newRow("before 1970")
        << QDateTime(QDate(1969, 12, 31), QTime(23, 0), QTimeZone(0))
        << "The switcher's clock cannot hold this computer's Current Date Year (1969-12-31 "
           "23:00:00): nothing changed.";
    QTest::newRow("zone past +13:00")
        << QDateTime(QDate(2026, 1, 1), QTime(0, 0), QTimeZone(14 * 3600))
        << "The switcher's clock cannot hold this computer's Current Time Zone (GMT +14:00): "
           "nothing changed.";
    QTest::newRow("zone between quarters")
        << QDateTime(QDate(2026, 1, 1), QTime(0, 0), QTimeZone(-(5 * 3600 + 20 * 60)))
        << "The switcher's clock cannot hold this computer's Current Time Zone (GMT -5:20): "
           "nothing changed.";
}

void ValueFieldsTest::clockOutOfRangeWritesNothing() {
    QFETCH(QDateTime, now);
    QFETCH(QString, message);
    PrmTestSession t;
    KdPrmView* page = t.open("SNTP/Current");
    auto* button = rowControl<KdPrmClockSync>(t, "Date and Time");
    button->setClock([now] { return now; });
    button->click();
    QVERIFY(t.sent().empty());
    QVERIFY(page->infoWindow());
    QCOMPARE(page->infoWindow()->text(), message);
}

QTEST_MAIN(ValueFieldsTest)
#include "value_fields_test.moc"
