#include "KdPrmStepper.h"
#include "LNotificationCenter.h"
#include "PrmTestSession.h"

#include <QAccessible>
#include <QApplication>
#include <QLineEdit>
#include <QScrollBar>
#include <QToolButton>
#include <QWheelEvent>

namespace {

// The Tab stops of the page from its first, as the accessible names of the widgets.
QStringList tabChain(KdPrmView* page) {
    QStringList names;
    QWidget* first = page->nextInFocusChain();
    while (first != page && !(first->focusPolicy() & Qt::TabFocus))
        first = first->nextInFocusChain();
    for (QWidget* w = first; w && w != page; w = w->nextInFocusChain())
        if ((w->focusPolicy() & Qt::TabFocus) && w->isVisibleTo(page) && page->isAncestorOf(w))
            names << w->accessibleName();
    return names;
}

} // namespace

class PrmViewTest : public QObject {
    Q_OBJECT

private slots:
    void heightFollowsTheRows_data();
    void heightFollowsTheRows();
    void rowsAndValueColumn();
    void withoutSessionNothingIsAsked();
    void accessibleNamesAndTabOrder();
    void whatAssistiveTechnologyReads();
    void rebootNoteOnePerWidget();
    void rebootNoteOnlyForMarkedRows_data();
    void rebootNoteOnlyForMarkedRows();
    void rebootNoteWithoutViewOrWindow();
    void rebootNoteGoesWithThePage();
    void clickOnTheNoteReachesTheFieldBeneath();
    void noteFollowsItsFieldAndGoesWithIt();
    void messageAndRebootNote();
};

void PrmViewTest::heightFollowsTheRows_data() {
    QTest::addColumn<QString>("page");
    QTest::addColumn<int>("height");
    QTest::newRow("8 rows") << "ROI/Setting" << 330;
    QTest::newRow("2 rows keep the minimum") << "Mix/Effect/Cut/Mix" << 100;
    QTest::newRow("presets 1-4") << "ROI/Preset 1-4" << 650;
    QTest::newRow("presets 5-8") << "ROI/Preset 5-8" << 650;
    QTest::newRow("3 address rows") << "USB Only/IP" << 130;
}

void PrmViewTest::heightFollowsTheRows() {
    QFETCH(QString, page);
    QFETCH(int, height);
    PrmTestSession t;
    KdPrmView* view = t.open(page.toUtf8());
    QCOMPARE(view->height(), height);
    QVERIFY(view->width() >= KdPrmView::kWidth);
}

void PrmViewTest::rowsAndValueColumn() {
    PrmTestSession t;
    // Rows at 10 + 40n across the page; values right of the widest title of all pages with a
    // gap of 8, centred in the row.
    KdPrmView* general = t.open("Mix/Effect/General");
    const QList<KdPrmCellView*> rows = general->findChildren<KdPrmCellView*>();
    QCOMPARE(rows.size(), 12);
    const int column = KdPrmView::titleColumnWidth(general->fontMetrics()) + 8;
    QCOMPARE(general->valuePosition(), column);
    for (int n = 0; n < rows.size(); ++n) {
        QCOMPARE(rows[n]->geometry(), QRect(5, 10 + 40 * n, general->width() - 5, 30));
        QWidget* value = rows[n]->valueWidget();
        QCOMPARE(value->x(), column);
        if (rows[n]->execButton()) QCOMPARE(value->width(), 100);
        QCOMPARE(value->y() * 2 + value->height(), 30);
    }
    // Output's values are at least 120 wide, and all of a page's pop-ups are as wide.
    KdPrmView* output = t.open("Output/Main/Sub");
    QCOMPARE(output->valuePosition(), column);
    QVERIFY(output->findChild<KdPrmPopUpButton*>()->width() >= 120);

    // On every page the titles end left of one column of values, and the page is as narrow as
    // its widest value allows: the widest one ends 5 short of the page's right edge.
    for (const CKdPageCatalogue::_SPage& p : CKdPageCatalogue::Pages()) {
        KdPrmView page(&p);
        page.setPrmManager(&t.session);
        int right = 0;
        for (KdPrmCellView* row : page.findChildren<KdPrmCellView*>()) {
            QCOMPARE(row->valueWidget()->x(), column);
            QVERIFY2(row->label()->geometry().right() < column, p.mClassName);
            QCOMPARE(row->geometry().right(), page.width() - 1);
            right = std::max(right, row->x() + row->valueWidget()->geometry().right() + 1);
        }
        if (page.width() > KdPrmView::kWidth) QCOMPARE(right, page.width() - 5);
    }
}

void PrmViewTest::withoutSessionNothingIsAsked() {
    KdPrmView page(CKdPageCatalogue::FindPage("System/General"));
    page.setPrmManager(nullptr);
    KdPrmCellView* row = page.findChild<KdPrmCellView*>();
    QVERIFY(row && row->popup());
    QCOMPARE(row->popup()->count(), 0);
}

void PrmViewTest::accessibleNamesAndTabOrder() {
    PrmTestSession t;
    // Value boxes are no Tab stops; spin boxes are reached at their text fields.
    KdPrmView* page = t.open("USB Only/Others");
    QCOMPARE(tabChain(page), QStringList({"Login Name", "Password", "Show Password",
                                          "System Reboot", "Factory Reset", "Parameter Save"}));
    page = t.open("Mix/Effect/General");
    QCOMPARE(tabChain(page),
             QStringList({"Transition Value", "Video Fade Value", "Audio Fade Value", "Main In Sw",
                          "Sub In Sw", "MODE Sw", "M/E Type", "Auto Transition Time",
                          "Auto Fade Time", "MODE Sw Assign", "FADER Assign", "FADER Direction"}));
    for (KdPrmCellView* row : page->findChildren<KdPrmCellView*>())
        QCOMPARE(row->valueWidget()->accessibleName(), row->title());
}

void PrmViewTest::whatAssistiveTechnologyReads() {
    PrmTestSession t;
    KdPrmView* page = t.open("Mix/Effect/General");
    // Each row's title labels its value widget.
    for (KdPrmCellView* row : page->findChildren<KdPrmCellView*>())
        QCOMPARE(row->label()->buddy(), row->valueWidget());

    // Auto Transition Time: tenths of a second from 0 to 100, shown as 0.0 to 10.0 seconds.
    KdPrmCellView* row = t.row("Auto Transition Time");
    KdPrmSpinBox* box = row->spinBox();
    QAccessibleInterface* field = QAccessible::queryAccessibleInterface(box->textField());
    QCOMPARE(field->role(), QAccessible::SpinBox);
    QCOMPARE(field->text(QAccessible::Name), "Auto Transition Time");
    const auto labels = field->relations(QAccessible::Label);
    QCOMPARE(labels.size(), 1);
    QCOMPARE(labels.first().first->object(), row->label());
    QAccessibleValueInterface* value = field->valueInterface();
    QVERIFY(value);
    QCOMPARE(value->minimumValue().toDouble(), 0.0);
    QCOMPARE(value->maximumValue().toDouble(), 10.0);
    QCOMPARE(value->minimumStepSize().toDouble(), 0.1);
    QCOMPARE(value->currentValue().toDouble(), box->textField()->text().toDouble());
    QVERIFY(field->textInterface());
    QCOMPARE(field->textInterface()->text(0, box->textField()->text().size()),
             box->textField()->text());
    QCOMPARE(box->stepper()->upButton()->accessibleName(), "Increase Auto Transition Time");
    QCOMPARE(box->stepper()->downButton()->accessibleName(), "Decrease Auto Transition Time");

    // A value set by assistive technology is stored as a typed one: 2.5 seconds is 25.
    value->setCurrentValue(2.5);
    const PrmTestSession::Wires wires = t.sent();
    QCOMPARE(wires.size(), size_t(1));
    QCOMPARE(wires[0], PrmTestSession::set(wires[0][3], 211, {25}));
    QCOMPARE(value->currentValue().toDouble(), 2.5);
}

void PrmViewTest::rebootNoteOnePerWidget() {
    PrmTestSession t;
    KdPrmView* page = t.open(&RebootRows::kPage);
    QLineEdit* first = t.row("SNTP Server Address 2nd")->spinBox()->textField();
    QLineEdit* second = t.row("SNTP Server Address 3rd")->spinBox()->textField();

    t.row("SNTP Server Address 2nd")->spinBox()->editedInformation();
    QPointer<KdInfoPopup> note = page->infoWindow();
    QVERIFY(note && note->isVisible());
    QCOMPARE(page->infoSender(), first);
    QCOMPARE(note->text(), "After saving, the reboot is required to reflect.");
    // The arrow points down at the field: the note sits above it, centred.
    const QRect field(first->mapToGlobal(QPoint(0, 0)), first->size());
    QCOMPARE(note->geometry().bottom() + 1, field.top());
    QVERIFY(qAbs(note->geometry().center().x() - field.center().x()) <= 1);

    t.row("SNTP Server Address 2nd")->spinBox()->editedInformation();
    QCOMPARE(page->infoWindow(), note.data());

    t.row("SNTP Server Address 3rd")->spinBox()->editedInformation();
    QVERIFY(page->infoWindow() != note.data());
    QCOMPARE(page->infoSender(), second);
    QTRY_VERIFY(!note); // the first fades out and goes

    // A note that closes by itself clears the page's state; the next edit opens a new one.
    page->infoWindow()->close();
    QVERIFY(!page->infoWindow() && !page->infoSender());
    t.row("SNTP Server Address 3rd")->spinBox()->editedInformation();
    QVERIFY(page->infoWindow());
}

void PrmViewTest::rebootNoteOnlyForMarkedRows_data() {
    QTest::addColumn<QString>("page");
    QTest::addColumn<QString>("row");
    QTest::addColumn<bool>("note");
    QTest::newRow("panel lock") << "System/Panel/UDP"
                                << "Panel Lock" << false;
    QTest::newRow("udp mode") << "System/Panel/UDP"
                              << "UDP Units Link Mode" << true;
    QTest::newRow("trap") << "SNMP/Trap/Name"
                          << "SNMP Power On Trap" << false;
    QTest::newRow("community") << "SNMP/Trap/Name"
                               << "SNMP Community Name" << true;
    QTest::newRow("frame rate") << "System/General"
                                << "System Frame Rate" << true;
    QTest::newRow("login") << "USB Only/Others"
                           << "Login Name" << false;
}

void PrmViewTest::rebootNoteOnlyForMarkedRows() {
    QFETCH(QString, page);
    QFETCH(QString, row);
    QFETCH(bool, note);
    PrmTestSession t;
    KdPrmView* view = t.open(page.toUtf8());
    KdPrmCellView* cell = t.row(row);
    if (cell->popup())
        emit cell->popup()->activated(cell->popup()->currentIndex());
    else if (cell->spinBox())
        cell->spinBox()->stepper()->upButton()->click();
    else
        QTest::keyClicks(cell->nameBox(), "x");
    QCOMPARE(view->infoWindow() != nullptr, note);
}

void PrmViewTest::rebootNoteWithoutViewOrWindow() {
    PrmTestSession t;
    KdPrmView* page = t.open(&RebootRows::kPage);
    KdPrmSpinBox* box = t.row("SNTP Server Address 2nd")->spinBox();
    box->editedInformation();
    KdInfoPopup* note = page->infoWindow();
    note->setWindowOpacity(0.4); // as while fading

    // A sender that is no view opens nothing and keeps the note from fading.
    static const int notAView = 0;
    LNotificationCenter::Default().Post(KdPrmView::kInfoReqNeedsReboot, &notAView);
    QCOMPARE(page->infoWindow(), note);
    QCOMPARE(note->windowOpacity(), 1.0);

    // A page in no window shows nothing.
    KdPrmView loose(&RebootRows::kPage);
    loose.setPrmManager(&t.session);
    loose.findChild<KdPrmSpinBox*>()->editedInformation();
    QVERIFY(!loose.infoWindow());
}

void PrmViewTest::rebootNoteGoesWithThePage() {
    PrmTestSession t;
    KdPrmView* page = t.open("System/General");
    emit t.row("System Frame Rate")->popup()->activated(0);
    QPointer<KdInfoPopup> note = page->infoWindow();
    QVERIFY(note);
    delete t.scroll->takeWidget(); // another page replaces it
    QTRY_VERIFY(!note);
}

void PrmViewTest::clickOnTheNoteReachesTheFieldBeneath() {
    PrmTestSession t;
    KdPrmView* page = t.open(&RebootRows::kPage);
    QApplication::setActiveWindow(t.window);
    QLineEdit* third = t.row("SNTP Server Address 3rd")->spinBox()->textField();
    t.row("SNTP Server Address 4th")->spinBox()->stepper()->upButton()->click();
    QPointer<KdInfoPopup> note = page->infoWindow();
    QVERIFY(note && note->isVisible());
    t.sent();

    // The note above the 4th field covers the 3rd. A click there goes on to the 3rd field, and
    // what is typed next goes into it.
    const QPoint onThird = third->mapToGlobal(third->rect().center());
    QVERIFY(note->geometry().contains(onThird));
    QTest::mouseClick(note->windowHandle(), Qt::LeftButton, {}, note->mapFromGlobal(onThird));
    QTRY_VERIFY(third->hasFocus());
    QTRY_VERIFY(!note);
    third->selectAll();
    QTest::keyClicks(third, "42");
    QTest::keyClick(third, Qt::Key_Return);
    const PrmTestSession::Wires sent = t.sent();
    QCOMPARE(sent, t.oneSet(sent, 502, {42}));

    // A wheel turn over a note scrolls the page beneath.
    t.open(&RebootRows::kPage, {420, 150});
    QScrollBar* bar = t.scroll->verticalScrollBar();
    QVERIFY(bar->maximum() > 0);
    t.row("IP Address 3rd")->spinBox()->editedInformation();
    note = t.page->infoWindow();
    QVERIFY(note);
    // Over the row above the field, in the page.
    const QPointF over(note->width() / 2, note->height() - 15);
    QWheelEvent turn(over, note->mapToGlobal(over), QPoint(), QPoint(0, -120), Qt::NoButton,
                     Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(note, &turn);
    QVERIFY(bar->value() > 0);
}

void PrmViewTest::noteFollowsItsFieldAndGoesWithIt() {
    PrmTestSession t;
    KdPrmView* page = t.open(&RebootRows::kPage, {420, 200});
    QLineEdit* field = t.row("IP Address 3rd")->spinBox()->textField();
    t.row("IP Address 3rd")->spinBox()->editedInformation();
    QPointer<KdInfoPopup> note = page->infoWindow();
    QVERIFY(note);
    auto pointsAtField = [&] {
        return note->geometry().bottom() + 1 == field->mapToGlobal(QPoint(0, 0)).y();
    };
    QVERIFY(pointsAtField());
    // The page scrolls a little: the note keeps pointing at its field.
    t.scroll->verticalScrollBar()->setValue(20);
    QVERIFY(pointsAtField());
    // The field scrolls out of sight: the note goes.
    t.scroll->verticalScrollBar()->setValue(t.scroll->verticalScrollBar()->maximum());
    QVERIFY(!page->infoWindow());
    QTRY_VERIFY(!note);
}

void PrmViewTest::messageAndRebootNote() {
    PrmTestSession t;
    KdPrmView* page = t.open(&RebootRows::kPage);
    QApplication::setActiveWindow(t.window);
    QLineEdit* field = t.row("SNTP Server Address 2nd")->spinBox()->textField();
    field->setFocus();
    field->selectAll();
    QTest::keyClicks(field, "300"); // the reboot note, at each keystroke
    QCOMPARE(page->infoWindow()->text(), KdPrmView::kRebootNote);
    QTest::keyClick(field, Qt::Key_Return);
    // The message takes the note's place and keeps its line: the value was stored.
    QCOMPARE(page->infoWindow()->text(), QString("300 is out of range: set to 255.\n"
                                                 "Takes 0 to 255, in steps of 1.\n") +
                                             KdPrmView::kRebootNote);
    QCOMPARE(page->infoWindow()->aliveTime(), KdPrmView::kMessageAliveTime);
    QCOMPARE(page->infoSender(), field);
    // Typing again makes the message stale: the reboot note is back.
    QTest::keyClicks(field, "1-");
    QCOMPARE(page->infoWindow()->text(), KdPrmView::kRebootNote);
    // An entry that stores nothing needs no reboot.
    QTest::keyClick(field, Qt::Key_Return);
    QCOMPARE(page->infoWindow()->text(),
             QString("\u201c1-\u201d is not a number: nothing changed.\n"
                     "Takes 0 to 255, in steps of 1."));
}

QTEST_MAIN(PrmViewTest)
#include "prm_view_test.moc"
