#include "KdPrmRevealButton.h"
#include "KdPrmSpinUnitBox.h"
#include "KdPrmStepper.h"
#include "LNotificationCenter.h"
#include "PrmTestSession.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QMessageBox>
#include <QScopeGuard>
#include <QScrollBar>
#include <QSignalSpy>
#include <QToolButton>
#include <QWheelEvent>
#include <QtTest/qtestspontaneevent.h>

namespace {

using Bytes = PrmTestSession::Bytes;
using Wires = PrmTestSession::Wires;

// A wheel event of delta notches at pos of widget; inverted as under natural scrolling.
bool wheel(QWidget* widget, QPoint pos, double notches, bool inverted = false) {
    QWheelEvent event(pos, widget->mapToGlobal(pos), QPoint(),
                      QPoint(0, static_cast<int>(notches * 120)), Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, inverted);
    QApplication::sendEvent(widget, &event);
    return event.isAccepted();
}

// A wheel event from the window system at pos of widget: Qt passes it on to the parents until
// one takes it. True when one did.
bool scrollAt(QWidget* widget, QPoint pos, double notches) {
    QWheelEvent event(pos, widget->mapToGlobal(pos), QPoint(),
                      QPoint(0, static_cast<int>(notches * 120)), Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
    QSpontaneKeyEvent::setSpontaneous(&event);
    qApp->notify(widget, &event); // sendEvent would make it not spontaneous
    return event.isAccepted();
}

// Gives widget the keyboard focus in its active window.
void focus(QWidget* widget) {
    QApplication::setActiveWindow(widget->window());
    widget->setFocus();
    QTRY_VERIFY(widget->hasFocus());
}

QStringList items(QComboBox* box) {
    QStringList texts;
    for (int i = 0; i < box->count(); ++i)
        texts << box->itemText(i);
    return texts;
}

} // namespace

class PrmWidgetsTest : public QObject {
    Q_OBJECT

private slots:
    void stepperStepsOnceAndStopsAtTheLimit();
    void wheelSteps_data();
    void wheelSteps();
    void wheelOutsideTheTextScrollsThePage();
    void wheelOverAnUnfocusedFieldScrollsThePage();
    void textEntryLimitsAndCommit_data();
    void textEntryLimitsAndCommit();
    void entryMessages_data();
    void entryMessages();
    void refusedKeystrokesLeaveAHint();
    void rowToolTips_data();
    void rowToolTips();
    void passingThroughAFieldStoresNothing();
    void secretsAreMasked_data();
    void secretsAreMasked();
    void longTextsShowTheirBeginning();
    void pageThatGoesWhileAFieldIsEditedWritesNothing();
    void popUpItemsComeFromTheRange();
    void popUpChoiceSendsOnlyAChange();
    void nameBoxSendsOnlyAChangedText();
    void execConfirmation();
    void stillCaptureReadsThePageAgainAfterItsWait();
    void identityAndStillMemoryBoxes();
    void valueBoxColoursFollowThePalette();
    void valueChangedElsewhereShowsWhenReadAgain();
    void writeRefusedBySwitcherSpringsBack();
};

void PrmWidgetsTest::stepperStepsOnceAndStopsAtTheLimit() {
    PrmTestSession t;
    t.device.memory[501] = 254;
    KdPrmView* page = t.open(&RebootRows::kPage);
    KdPrmSpinBox* box = t.row("SNTP Server Address 2nd")->spinBox();
    QCOMPARE(box->textField()->text(), "254");

    box->stepper()->upButton()->click();
    QCOMPARE(box->textField()->text(), "255");
    Wires sent = t.sent();
    QCOMPARE(sent, t.oneSet(sent, 501, {255}));
    QVERIFY(page->infoWindow()); // the reboot note

    page->closeInformationWindow();
    box->stepper()->upButton()->click(); // at the top of 0..255
    QCOMPARE(box->textField()->text(), "255");
    QVERIFY(t.sent().empty());
    QVERIFY(!page->infoWindow());

    box->stepper()->downButton()->click();
    sent = t.sent();
    QCOMPARE(sent, t.oneSet(sent, 501, {254}));
}

void PrmWidgetsTest::wheelSteps_data() {
    QTest::addColumn<double>("notches");
    QTest::addColumn<bool>("inverted");
    QTest::addColumn<int>("shown");
    QTest::newRow("0.3 moves by 1") << 0.3 << false << 101;
    QTest::newRow("2.7 moves by 2") << 2.7 << false << 102;
    QTest::newRow("-0.1 moves by -1") << -0.1 << false << 99;
    QTest::newRow("0 does nothing") << 0.0 << false << 100;
    QTest::newRow("natural scrolling up still increases") << -1.0 << true << 101;
}

void PrmWidgetsTest::wheelSteps() {
    QFETCH(double, notches);
    QFETCH(bool, inverted);
    QFETCH(int, shown);
    PrmTestSession t;
    t.device.memory[121] = 100;
    t.open("Input/No Signal");
    KdPrmSpinBox* box = t.row("No Signal Color R")->spinBox();

    focus(box->textField());
    QVERIFY(wheel(box, box->textField()->geometry().center(), notches, inverted));
    QCOMPARE(box->textField()->text(), QString::number(shown));
    const Wires sent = t.sent();
    if (shown == 100)
        QVERIFY(sent.empty());
    else
        QCOMPARE(sent, t.oneSet(sent, 121, {uint8_t(shown)}));
}

void PrmWidgetsTest::wheelOutsideTheTextScrollsThePage() {
    PrmTestSession t;
    t.device.memory[175] = 7;
    t.open("ROI/General");
    KdPrmSpinBox* box = t.row("ROI Preset Auto Time")->spinBox();
    focus(box->textField());
    // Over the stepper and the unit the event goes on to the page, and over a pop-up too: the
    // wheel never changes a pop-up's choice.
    QVERIFY(!wheel(box, box->stepper()->geometry().center(), 1));
    QVERIFY(!wheel(box, box->unitBox()->geometry().center(), 1));
    QComboBox* popup = t.row("ROI Preset Call Number")->popup();
    const int index = popup->currentIndex();
    focus(popup);
    QVERIFY(!wheel(popup, popup->rect().center(), -1));
    QCOMPARE(popup->currentIndex(), index);
    QCOMPARE(box->textField()->text(), "7");
    QVERIFY(t.sent().empty());
}

void PrmWidgetsTest::textEntryLimitsAndCommit_data() {
    QTest::addColumn<QString>("page");
    QTest::addColumn<QString>("row");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<long>("id");
    QTest::addColumn<Bytes>("wire"); // empty: nothing sent
    // "Sync H Phase" shows four times the stored value: a typed 100 stores 25.
    QTest::newRow("x4") << "System/Sync"
                        << "Sync H Phase"
                        << "100"
                        << "100" << 412L << Bytes{25, 0};
    QTest::newRow("x4 rounds down to what it stores") << "System/Sync"
                                                      << "Sync H Phase"
                                                      << "103"
                                                      << "100" << 412L << Bytes{25, 0};
    QTest::newRow("limited to the range") << "System/Sync"
                                          << "Sync V Phase"
                                          << "5"
                                          << "100" << 414L << Bytes{100, 0};
    QTest::newRow("tenths") << "ROI/General"
                            << "ROI Move Damp Time"
                            << "1.5"
                            << "1.5" << 179L << Bytes{15};
    QTest::newRow("negative") << "ROI/Setting"
                              << "Layer [1] ROI H Position"
                              << "-960"
                              << "-960" << 182L << Bytes{0x40, 0xFC};
    QTest::newRow("same value sends nothing") << "Input/No Signal"
                                              << "No Signal Color G"
                                              << "16"
                                              << "16" << 122L << Bytes{};
}

void PrmWidgetsTest::textEntryLimitsAndCommit() {
    QFETCH(QString, page);
    QFETCH(QString, row);
    QFETCH(QString, typed);
    QFETCH(QString, shown);
    QFETCH(long, id);
    QFETCH(Bytes, wire);
    PrmTestSession t;
    t.device.memory[122] = 16;
    t.device.memory[414] = 200;
    t.open(page.toUtf8());
    QLineEdit* field = t.row(row)->spinBox()->textField();

    field->setFocus();
    field->selectAll();
    QTest::keyClicks(field, "x9999999999"); // a letter is refused, then at most 8 characters
    QCOMPARE(field->text(), "99999999");
    field->selectAll();
    QTest::keyClicks(field, typed);
    QCOMPARE(field->text(), typed);
    QTest::keyClick(field, Qt::Key_Return);
    QCOMPARE(field->text(), shown);
    const Wires sent = t.sent();
    if (wire.empty())
        QVERIFY(sent.empty());
    else
        QCOMPARE(sent, t.oneSet(sent, id, wire));
}

void PrmWidgetsTest::popUpItemsComeFromTheRange() {
    PrmTestSession t;
    t.open("System/General");
    QCOMPARE(items(t.row("System HDCP Mode")->popup()), QStringList({"Off", "On"}));
    QCOMPARE(t.row("System Frame Rate")->popup()->count(), 14);
    t.open("Mix/Effect/Cut/Mix");
    QCOMPARE(items(t.row("Cut Type")->popup()), QStringList({"Normal", "Backup Sw", "Off"}));
}

void PrmWidgetsTest::popUpChoiceSendsOnlyAChange() {
    PrmTestSession t;
    t.device.memory[403] = 1;
    KdPrmView* page = t.open("System/General");
    KdPrmPopUpButton* hdcp = t.row("System HDCP Mode")->popup();
    QCOMPARE(hdcp->currentText(), "On");

    // Choosing the item already shown sends nothing but still shows the reboot note.
    emit hdcp->activated(1);
    QVERIFY(t.sent().empty());
    QVERIFY(page->infoWindow());
    QCOMPARE(page->infoSender(), hdcp);

    emit hdcp->activated(0);
    const Wires sent = t.sent();
    QCOMPARE(sent, t.oneSet(sent, 403, {0}));
    QCOMPARE(hdcp->currentText(), "Off");

    // "Cut Type" Off travels as 255.
    t.open("Mix/Effect/Cut/Mix");
    emit t.row("Cut Type")->popup()->activated(2);
    const Wires cut = t.sent();
    QCOMPARE(cut, t.oneSet(cut, 218, {255}));
}

void PrmWidgetsTest::nameBoxSendsOnlyAChangedText() {
    PrmTestSession t;
    memcpy(t.device.memory + 620, "public", 6);
    KdPrmView* page = t.open("SNMP/Trap/Name");
    KdPrmNameBox* box = t.row("SNMP Community Name")->nameBox();
    QCOMPARE(box->text(), "public");

    box->setFocus();
    QTest::keyClick(box, Qt::Key_Return);
    QVERIFY(t.sent().empty());

    box->selectAll();
    QTest::keyClicks(box, "Rack\t3"); // the tab is refused
    QCOMPARE(box->text(), "Rack3");
    QVERIFY(page->infoWindow()); // each keystroke reports the edit
    QTest::keyClick(box, Qt::Key_Return);
    // The 64 characters go in pieces of 32, padded with zeros.
    const Wires sent = t.sent();
    Bytes first(32, 0);
    memcpy(first.data(), "Rack3", 5);
    QCOMPARE(sent.size(), size_t(2));
    QCOMPARE(sent[0], t.set(sent[0][3], 620, first));
    QCOMPARE(sent[1], t.set(sent[1][3], 652, Bytes(32, 0)));
    QCOMPARE(box->text(), "Rack3");
}

void PrmWidgetsTest::execConfirmation() {
    PrmTestSession t;
    t.open("USB Only/Others");
    int reboots = 0;
    const int token = LNotificationCenter::Default().AddObserver(
        "KdRebootReqNotification", [&](const LNotification&) { ++reboots; });
    const auto removeObserver =
        qScopeGuard([token] { LNotificationCenter::Default().RemoveObserver(token); });

    // Each confirmation is a warning whose button names the action; Return and Escape cancel.
    // answer: the button's text to click, or "" to press Escape.
    auto answer = [&](const char* row, const char* verb, const char* button) {
        KdPrmExecButton* exec = t.row(row)->execButton();
        exec->click();
        QMessageBox* alert = exec->confirmAlert();
        QVERIFY(alert);
        QCOMPARE(alert->text(), "Confirmation");
        QCOMPARE(alert->icon(), QMessageBox::Warning);
        QStringList titles;
        for (QAbstractButton* b : alert->buttons())
            titles << b->text();
        titles.sort();
        QCOMPARE(titles, QStringList({"Cancel", verb}));
        QAbstractButton* go = nullptr;
        for (QAbstractButton* b : alert->buttons())
            if (b->text() == verb) go = b;
        QCOMPARE(alert->buttonRole(go), QMessageBox::DestructiveRole);
        QCOMPARE(alert->defaultButton(), alert->button(QMessageBox::Cancel));
        QCOMPARE(alert->escapeButton(), alert->button(QMessageBox::Cancel));
        if (*button) {
            for (QAbstractButton* b : alert->buttons())
                if (b->text() == button) b->click();
        } else {
            QTest::keyClick(alert, Qt::Key_Escape);
        }
        QTRY_VERIFY(!exec->confirmAlert());
        QTest::qWait(20); // an accepted command runs on the next turn of the event loop
    };

    answer("Factory Reset", "Reset", "Cancel");
    if (QTest::currentTestFailed()) return;
    answer("Factory Reset", "Reset", "");
    if (QTest::currentTestFailed()) return;
    QVERIFY(t.sent().empty());
    QCOMPARE(t.row("Factory Reset")->execButton()->confirmation(),
             "Are you sure you want to factory reset?");
    answer("Factory Reset", "Reset", "Reset");
    if (QTest::currentTestFailed()) return;
    Wires sent = t.sent();
    QVERIFY(!sent.empty());
    QCOMPARE(sent.front(), t.set(sent.front()[3], 999, {1}));
    // Then the page is read again: requests only.
    for (size_t i = 1; i < sent.size(); ++i)
        QCOMPARE(sent[i][2], uint8_t(0x10));

    answer("System Reboot", "Reboot", "Cancel");
    if (QTest::currentTestFailed()) return;
    answer("System Reboot", "Reboot", "");
    if (QTest::currentTestFailed()) return;
    QCOMPARE(reboots, 0);
    answer("System Reboot", "Reboot", "Reboot");
    if (QTest::currentTestFailed()) return;
    QCOMPARE(reboots, 1);
    QVERIFY(t.sent().empty()); // the main window reboots; the button sends nothing itself

    // "Parameter Save" needs no confirmation.
    t.row("Parameter Save")->execButton()->click();
    sent = t.sent();
    QCOMPARE(sent.front(), t.set(sent.front()[3], 1000, {1}));
}

void PrmWidgetsTest::stillCaptureReadsThePageAgainAfterItsWait() {
    PrmTestSession t;
    t.open("Still/Capture/Erase");
    QElapsedTimer clock;
    clock.start();
    t.row("Still Capture")->execButton()->click();
    QVERIFY(clock.elapsed() >= 500);
    const Wires sent = t.sent();
    QCOMPARE(sent.size(), size_t(2));
    QCOMPARE(sent[0], t.set(sent[0][3], 132, {1}));
    QCOMPARE(sent[1], ScriptedPeer::Response(0x10, sent[1][3], {130, 0, 9}));
}

void PrmWidgetsTest::identityAndStillMemoryBoxes() {
    PrmTestSession t;
    const uint8_t mac[] = {0, 26, 43, 60, 77, 94};
    memcpy(t.device.memory + 970, mac, 6);
    memcpy(t.device.memory + 980, "K1TEST0042", 10);
    t.device.memory[990] = 0x05;
    t.device.memory[991] = 0x01;
    t.open("USB Only/Others");
    QCOMPARE(t.row("MAC Address")->valueBox()->text(), "00:1a:2b:3c:4d:5e");
    QCOMPARE(t.row("Serial Number")->valueBox()->text(), "K1TEST0042");
    QCOMPARE(t.row("Software Version")->valueBox()->text(), "05.01");
    QVERIFY(t.row("MAC Address")->valueBox()->isReadOnly());

    const uint8_t still[] = {1, 0, 0, 5};
    memcpy(t.device.memory + 135, still, 4);
    t.open("Still/Capture/Erase");
    QCOMPARE(t.row("Still Memory")->valueBox()->text(), "*--*");
}

void PrmWidgetsTest::valueBoxColoursFollowThePalette() {
    PrmTestSession t;
    t.open("Input/Main");
    KdPrmValueBox* box = t.row("Main In Format")->valueBox();
    QCOMPARE(box->palette().color(QPalette::Base), QColor(242, 236, 193));
    const QPalette light = QApplication::palette();
    QPalette dark = light;
    dark.setColor(QPalette::Window, QColor(40, 40, 40));
    dark.setColor(QPalette::WindowText, QColor(230, 230, 230));
    dark.setColor(QPalette::Text, QColor(230, 230, 230));
    QApplication::setPalette(dark);
    QTRY_COMPARE(box->palette().color(QPalette::Base), QColor(30, 25, 20));
    QApplication::setPalette(light);
    QTRY_COMPARE(box->palette().color(QPalette::Base), QColor(242, 236, 193));
}

void PrmWidgetsTest::valueChangedElsewhereShowsWhenReadAgain() {
    PrmTestSession t;
    t.device.memory[120] = 0;
    KdPrmView* page = t.open("Input/No Signal");
    QComboBox* mode = t.row("No Signal Mode")->popup();
    QCOMPARE(mode->currentText(), "Color");

    t.device.memory[120] = 1; // the front panel
    t.device.memory[123] = 42;
    page->requestParameters();
    QVERIFY(t.waitForReading());
    QCOMPARE(mode->currentText(), "Freeze");
    QCOMPARE(t.row("No Signal Color B")->spinBox()->textField()->text(), "42");
    QVERIFY(t.sent().size() == 1); // the one request, and no write back
}

void PrmWidgetsTest::writeRefusedBySwitcherSpringsBack() {
    PrmTestSession t;
    t.device.memory[121] = 16;
    t.open("Input/No Signal");
    // This switcher refuses every write with status 3 and keeps its memory.
    t.peer.SetScript([&t](const ScriptedPeer::Packet& packet) {
        if (packet.command == 0x20)
            return std::vector<Bytes>{ScriptedPeer::Response(0xA0, packet.sequence, {3})};
        return t.device.Answer(packet);
    });
    KdPrmSpinBox* red = t.row("No Signal Color R")->spinBox();
    red->stepper()->upButton()->click();
    QCOMPARE(red->textField()->text(), "17");
    // The refusal is answered by reading the parameter back; the field shows what it holds.
    QTRY_COMPARE((t.session.Service(), red->textField()->text()), QString("16"));
    const Wires sent = t.peer.TakePackets();
    QCOMPARE(sent.size(), size_t(2));
    QCOMPARE(sent[0], t.set(sent[0][3], 121, {17}));
    QCOMPARE(sent[1], ScriptedPeer::Response(0x10, sent[1][3], {121, 0, 1}));

    // An execute command that is refused has nothing to read back.
    t.peer.TakePackets();
    t.open("Mix/Effect/General");
    t.row("Main In Sw")->execButton()->click();
    t.session.Service();
    QTest::qWait(50);
    t.session.Service();
    for (const Bytes& packet : t.peer.TakePackets())
        QVERIFY(packet[2] != 0x10 || packet[5] != 206);
}

void PrmWidgetsTest::wheelOverAnUnfocusedFieldScrollsThePage() {
    PrmTestSession t;
    t.device.memory[182] = 0x80; // 1920
    t.device.memory[183] = 0x07;
    t.open("ROI/Setting", {420, 200});
    QScrollBar* bar = t.scroll->verticalScrollBar();
    QVERIFY(bar->maximum() > 0);
    QLineEdit* field = t.row("Layer [1] ROI H Position")->spinBox()->textField();
    QComboBox* source = t.row("Layer [1] ROI Source")->popup();
    focus(source); // the keyboard is elsewhere

    // Two notches down over the field, sent where the pointer is: the page scrolls.
    QVERIFY(scrollAt(field, QPoint(5, 5), -2));
    QCOMPARE(field->text(), "1920");
    QVERIFY(bar->value() > 0);
    QVERIFY(t.sent().empty());

    // Over a pop-up the page scrolls too, and the choice stays.
    bar->setValue(0);
    const int index = source->currentIndex();
    QVERIFY(scrollAt(source, source->rect().center(), -2));
    QCOMPARE(source->currentIndex(), index);
    QVERIFY(bar->value() > 0);

    // With the focus the field steps.
    focus(field);
    QVERIFY(wheel(field->parentWidget(), field->geometry().center(), -2));
    QCOMPARE(field->text(), "1918");
    const Wires sent = t.sent();
    QCOMPARE(sent, t.oneSet(sent, 182, {0x7E, 0x07}));
}

void PrmWidgetsTest::entryMessages_data() {
    QTest::addColumn<QString>("page");
    QTest::addColumn<QString>("row");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QString>("message"); // empty: none
    QTest::addColumn<long>("id");
    QTest::addColumn<Bytes>("wire"); // empty: nothing sent
    QTest::newRow("limited") << "Input/No Signal"
                             << "No Signal Color R"
                             << "999"
                             << "255"
                             << "999 is out of range: set to 255.\nTakes 0 to 255, in steps of 1."
                             << 121L << Bytes{255};
    QTest::newRow("rounded to a tenth")
        << "ROI/General"
        << "ROI Move Damp Time"
        << "2.55"
        << "2.5"
        << "2.55 is between steps: set to 2.5 sec.\nTakes 0.0 to 6.0 sec, in steps of 0.1 sec."
        << 179L << Bytes{25};
    QTest::newRow("rounded to a four")
        << "System/Sync"
        << "Sync H Phase"
        << "103"
        << "100"
        << "103 is between steps: set to 100 pix.\nTakes 0 to 5500 pix, in steps of 4 pix." << 412L
        << Bytes{25, 0};
    QTest::newRow("beyond the last four")
        << "System/Sync"
        << "Sync H Phase"
        << "5501"
        << "5500"
        << "5501 is out of range: set to 5500 pix.\nTakes 0 to 5500 pix, in steps of 4 pix." << 412L
        << Bytes{0x5F, 0x05};
    QTest::newRow("below the range")
        << "System/Sync"
        << "Sync V Phase"
        << "5"
        << "100"
        << "5 is out of range: set to 100 H.\nTakes 100 to 2350 H, in steps of 1 H." << 414L
        << Bytes{100, 0};
    QTest::newRow("not a number") << "ROI/Setting"
                                  << "Layer [1] ROI H Position"
                                  << "1-2"
                                  << "0"
                                  << "\u201c1-2\u201d is not a number: nothing changed.\n"
                                     "Takes -1920 to 1920 pix, in steps of 1 pix."
                                  << 182L << Bytes{};
    QTest::newRow("empty") << "Input/No Signal"
                           << "No Signal Color G"
                           << ""
                           << "16"
                           << "The field is empty: nothing changed.\nTakes 0 to 255, in steps of 1."
                           << 122L << Bytes{};
    QTest::newRow("taken as typed") << "ROI/General"
                                    << "ROI Move Damp Time"
                                    << "1.5"
                                    << "1.5"
                                    << "" << 179L << Bytes{15};
}

void PrmWidgetsTest::entryMessages() {
    QFETCH(QString, page);
    QFETCH(QString, row);
    QFETCH(QString, typed);
    QFETCH(QString, shown);
    QFETCH(QString, message);
    QFETCH(long, id);
    QFETCH(Bytes, wire);
    PrmTestSession t;
    t.device.memory[122] = 16;
    t.device.memory[414] = 200;
    KdPrmView* view = t.open(page.toUtf8());
    KdPrmSpinBox* box = t.row(row)->spinBox();
    QSignalSpy messages(box, &KdPrmSpinBox::entryMessage);
    QLineEdit* field = box->textField();
    focus(field);
    field->selectAll();
    if (typed.isEmpty())
        QTest::keyClick(field, Qt::Key_Delete);
    else
        QTest::keyClicks(field, typed);
    QTest::keyClick(field, Qt::Key_Return);

    QCOMPARE(field->text(), shown);
    const Wires sent = t.sent();
    if (wire.empty())
        QVERIFY(sent.empty());
    else
        QCOMPARE(sent, t.oneSet(sent, id, wire));
    if (message.isEmpty()) {
        QCOMPARE(messages.count(), 0);
        QVERIFY(!view->infoWindow());
        return;
    }
    QCOMPARE(messages.count(), 1);
    QCOMPARE(messages.at(0).at(0).toString(), message);
    // The page shows it in a note at the field.
    QVERIFY(view->infoWindow());
    QCOMPARE(view->infoWindow()->text(), message);
    QCOMPARE(view->infoSender(), field);
}

void PrmWidgetsTest::refusedKeystrokesLeaveAHint() {
    PrmTestSession t;
    memcpy(t.device.memory + 930, "manager", 7);
    KdPrmView* page = t.open("USB Only/Others");
    KdPrmNameBox* login = t.row("Login Name")->nameBox();
    focus(login);
    login->end(false);

    // Outside 32 to 126 a character is refused as typed, with a hint; nothing is stored, and
    // above all no space in its place.
    const struct {
        QString typed;
        QString hint;
    } refusals[] = {
        {"\u00e9", "\u201c\u00e9\u201d can't be stored: the switcher keeps only ASCII letters, "
                   "digits, spaces and punctuation."},
        {QString(QChar(127)), "U+007F can't be stored: the switcher keeps only ASCII letters, "
                              "digits, spaces and punctuation."},
        {"\u20ac", "\u201c\u20ac\u201d can't be stored: the switcher keeps only ASCII letters, "
                   "digits, spaces and punctuation."},
    };
    for (const auto& refusal : refusals) {
        page->closeInformationWindow();
        login->insert(refusal.typed); // as typed or pasted
        QCOMPARE(login->text(), "manager");
        QVERIFY(page->infoWindow());
        QCOMPARE(page->infoWindow()->text(), refusal.hint);
    }
    QTest::keyClicks(login, "~1");
    QCOMPARE(login->text(), "manager~1");
    QTest::keyClicks(login, "234567890"); // 16 characters, then one too many
    QCOMPARE(login->text(), "manager~12345678");
    QCOMPARE(page->infoWindow()->text(), "At most 16 characters.");
    QTest::keyClick(login, Qt::Key_Return);
    const Wires sent = t.sent();
    QCOMPARE(sent.size(), size_t(1));
    QCOMPARE(sent[0], t.set(sent[0][3], 930,
                            Bytes({'m', 'a', 'n', 'a', 'g', 'e', 'r', '~', '1', '2', '3', '4', '5',
                                   '6', '7', '8'})));

    // A number field refuses a comma, and says what it takes.
    t.open("ROI/General");
    QLineEdit* damp = t.row("ROI Move Damp Time")->spinBox()->textField();
    focus(damp);
    damp->selectAll();
    QTest::keyClicks(damp, "1,5");
    QCOMPARE(damp->text(), "15");
    QCOMPARE(t.page->infoWindow()->text(),
             "\u201c,\u201d can't be typed here: numbers take digits, "
             "\u201c-\u201d and \u201c.\u201d.\n"
             "Takes 0.0 to 6.0 sec, in steps of 0.1 sec.");
}

void PrmWidgetsTest::rowToolTips_data() {
    QTest::addColumn<QString>("page");
    QTest::addColumn<QString>("row");
    QTest::addColumn<QString>("tip");
    QTest::newRow("plain") << "Input/No Signal"
                           << "No Signal Color R"
                           << "0 to 255, in steps of 1";
    QTest::newRow("unit") << "ROI/Setting"
                          << "Layer [1] ROI V Position"
                          << "-1080 to 1080 line, in steps of 1 line";
    QTest::newRow("tenths") << "ROI/General"
                            << "ROI Move Damp Time"
                            << "0.0 to 6.0 sec, in steps of 0.1 sec";
    QTest::newRow("fours") << "System/Sync"
                           << "Sync H Phase"
                           << "0 to 5500 pix, in steps of 4 pix";
    QTest::newRow("level in dB") << "Audio/Main/Sub/Output"
                                 << "Main In Audio Level"
                                 << "0 to 127 (-INF to 12.0 dB), in steps of 1";
    QTest::newRow("year") << "SNTP/Current"
                          << "Current Date Year"
                          << "1970 to 2225, in steps of 1";
    QTest::newRow("zone") << "SNTP/Current"
                          << "Current Time Zone"
                          << "GMT -12:00 to GMT +13:00";
    // A pop-up lists its values itself: the name alone.
    QTest::newRow("pop-up") << "SNMP/Trap/Name"
                            << "SNMP Main Our HPD Trap" << QString();
}

// Label and value widget name the row as kaldo-ctl takes it; a number field adds what it takes.
void PrmWidgetsTest::rowToolTips() {
    QFETCH(QString, page);
    QFETCH(QString, row);
    QFETCH(QString, tip);
    PrmTestSession t;
    t.open(page.toUtf8());
    KdPrmCellView* cell = t.row(row);
    const QString name = "kaldo-ctl name: \"" + row + "\"";
    const QString expected = tip.isEmpty() ? name : name + "\n" + tip;
    QCOMPARE(cell->label()->toolTip(), expected);
    QCOMPARE(cell->valueWidget()->toolTip(), expected);
    if (KdPrmSpinBox* box = cell->spinBox())
        QCOMPARE(box->textField()->accessibleDescription(), tip);
}

void PrmWidgetsTest::passingThroughAFieldStoresNothing() {
    PrmTestSession t;
    t.device.memory[414] = 0; // below its range until the switcher says otherwise
    t.open("System/Sync");
    QLineEdit* phase = t.row("Sync V Phase")->spinBox()->textField();
    QLineEdit* hPhase = t.row("Sync H Phase")->spinBox()->textField();
    focus(phase);
    focus(hPhase); // editing of the first ends without a keystroke
    QCOMPARE(phase->text(), "0");
    QVERIFY(t.sent().empty());
    QVERIFY(!t.page->infoWindow());
}

void PrmWidgetsTest::secretsAreMasked_data() {
    QTest::addColumn<QString>("page");
    QTest::addColumn<QString>("row");
    QTest::addColumn<bool>("secret");
    QTest::newRow("password") << "USB Only/Others"
                              << "Password" << true;
    QTest::newRow("login") << "USB Only/Others"
                           << "Login Name" << false;
    QTest::newRow("community") << "SNMP/Trap/Name"
                               << "SNMP Community Name" << true;
    QTest::newRow("read community") << "SNMP/Trap/Name"
                                    << "SNMP Read Community Name" << true;
    QTest::newRow("location") << "SNMP/Trap/Name"
                              << "SNMP Location Name" << false;
}

void PrmWidgetsTest::secretsAreMasked() {
    QFETCH(QString, page);
    QFETCH(QString, row);
    QFETCH(bool, secret);
    PrmTestSession t;
    memcpy(t.device.memory + 950, "s3cret", 6);
    memcpy(t.device.memory + 930, "manager", 7);
    memcpy(t.device.memory + 620, "private", 7);
    memcpy(t.device.memory + 690, "public", 6);
    memcpy(t.device.memory + 760, "studio", 6);
    t.open(page.toUtf8());
    KdPrmNameBox* box = t.row(row)->nameBox();
    QVERIFY(!box->text().isEmpty());
    if (!secret) {
        QCOMPARE(box->displayText(), box->text());
        QVERIFY(!box->revealButton());
        return;
    }
    QCOMPARE(box->displayText(), QString(box->text().size(), box->displayText().at(0)));
    QVERIFY(box->displayText() != box->text());
    KdPrmRevealButton* reveal = box->revealButton();
    QVERIFY(reveal && reveal->isVisible());
    QCOMPARE(reveal->accessibleName(), "Show " + row);
    QVERIFY(reveal->focusPolicy() & Qt::TabFocus);
    QVERIFY(box->rect().contains(reveal->geometry()));

    // From the keyboard: Tab from the field, then Space.
    focus(box);
    QTest::keyClick(box, Qt::Key_Tab);
    QTRY_VERIFY(reveal->hasFocus());
    QTest::keyClick(reveal, Qt::Key_Space);
    QCOMPARE(box->displayText(), box->text());
    reveal->click();
    QVERIFY(box->displayText() != box->text());
}

void PrmWidgetsTest::longTextsShowTheirBeginning() {
    PrmTestSession t;
    const char* location = "Studio A, third floor, rack 12, unit 4 - patch panel east side";
    memcpy(t.device.memory + 760, location, strlen(location));
    t.open("SNMP/Trap/Name");
    KdPrmNameBox* box = t.row("SNMP Location Name")->nameBox();
    QCOMPARE(box->text(), location);
    QCOMPARE(box->cursorPosition(), 0);

    // After an edit at its end the field shows the beginning again once the focus goes.
    focus(box);
    box->end(false);
    QTest::keyClicks(box, "!");
    focus(t.row("SNMP Contact Name")->nameBox());
    QCOMPARE(box->cursorPosition(), 0);
}

void PrmWidgetsTest::pageThatGoesWhileAFieldIsEditedWritesNothing() {
    PrmTestSession t;
    t.open("Input/No Signal");
    QLineEdit* field = t.row("No Signal Color R")->spinBox()->textField();
    focus(field);
    field->selectAll();
    QTest::keyClicks(field, "12");
    // The page is deleted with the focus still in the field: the spin box that goes does not
    // store the half-typed entry on its way out.
    delete t.page;
    QVERIFY(t.sent().empty());
}

QTEST_MAIN(PrmWidgetsTest)
#include "prm_widgets_test.moc"
