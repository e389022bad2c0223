#include "KdInfoPopup.h"

#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

namespace {

// Counts the backgrounds it draws.
class CountingPopup : public UiPopupWindow {
public:
    using UiPopupWindow::UiPopupWindow;
    mutable int drawn = 0;

protected:
    QImage makeBackgroundImage() const override {
        ++drawn;
        return UiPopupWindow::makeBackgroundImage();
    }
};

} // namespace

class PopupWindowTest : public QObject {
    Q_OBJECT

private slots:
    void geometry_data();
    void geometry();
    void informationWrapsItsText();
    void fadesOutAndCloses();
    void repeatedNoteDuringTheFadeStays();
    void clickClosesWithTheFade();
    void withoutFadeClosesAtOnce();
    void changesBeforeShowingDrawOnce();
    void outlineStaysInsideTheWindow();
    void maskIsTheShape_data();
    void maskIsTheShape();
    void clickGoesOnToTheWindowBeneath();
};

void PopupWindowTest::geometry_data() {
    QTest::addColumn<int>("direction");
    QTest::addColumn<QRect>("frame");
    QTest::addColumn<QRect>("body");
    // A 200 x 17 text gives a body of 240 x 57; border 2 on each side and the arrow's 10.
    // Target: (100, 200) 50 x 20.
    QTest::newRow("above") << 3 << QRect(3, 129, 244, 71) << QRect(0, 0, 244, 61);
    QTest::newRow("below") << 2 << QRect(3, 220, 244, 71) << QRect(0, 10, 244, 61);
    QTest::newRow("right") << 0 << QRect(150, 180, 254, 61) << QRect(10, 0, 244, 61);
    QTest::newRow("left") << 1 << QRect(-154, 180, 254, 61) << QRect(0, 0, 244, 61);
}

void PopupWindowTest::geometry() {
    QFETCH(int, direction);
    QFETCH(QRect, frame);
    QFETCH(QRect, body);
    UiPopupWindow popup(QSizeF(240, 57));
    popup.setArrowToRect(QRectF(100, 200, 50, 20));
    popup.setArrowDirection(direction);
    QCOMPARE(popup.geometry(), frame);
    QCOMPARE(popup.popupFrame().toRect(), body);
}

void PopupWindowTest::informationWrapsItsText() {
    QWidget window;
    window.resize(300, 200);
    auto* target = new QWidget(&window);
    target->setGeometry(100, 120, 80, 24);
    window.show();
    QPointer<KdInfoPopup> note = KdInfoPopup::information("After saving", target);
    const QLabel* text = note->findChild<QLabel*>();
    QCOMPARE(note->popupSize(), QSizeF(text->width() + 40, text->height() + 40));
    QCOMPARE(note->size(), QSize(text->width() + 44, text->height() + 54));
    QVERIFY(note->popupFrame().contains(QRectF(text->geometry())));
    QCOMPARE(note->aliveTime(), 5.0);
    QCOMPARE(note->fadeOutTime(), 0.5);
    QVERIFY(note->isVisible());

    // It moves with its window.
    const QPoint before = note->pos();
    window.move(window.pos() + QPoint(30, 40));
    QTRY_COMPARE(note->pos(), before + QPoint(30, 40));
    delete note;
}

void PopupWindowTest::fadesOutAndCloses() {
    UiPopupWindow popup(QSizeF(100, 40));
    QSignalSpy closing(&popup, &UiPopupWindow::closing);
    popup.setFadeOutTime(0.1);
    popup.setAliveTime(0.05);
    popup.show();
    QTRY_VERIFY(popup.windowOpacity() < 1.0); // fading
    QTRY_COMPARE(closing.count(), 1);
    QVERIFY(!popup.isVisible());
}

void PopupWindowTest::repeatedNoteDuringTheFadeStays() {
    UiPopupWindow popup(QSizeF(100, 40));
    popup.setFadeOutTime(0.3);
    popup.setAliveTime(0.6);
    popup.show();
    popup.performClose();
    QTRY_VERIFY(popup.windowOpacity() < 1.0);
    popup.cancelFadeOut();
    QCOMPARE(popup.windowOpacity(), 1.0);
    QTest::qWait(400); // past the fade's end, within the new alive time
    QVERIFY(popup.isVisible());
    QCOMPARE(popup.windowOpacity(), 1.0);
    QTRY_VERIFY_WITH_TIMEOUT(!popup.isVisible(), 3000); // the whole time again, then the fade
}

void PopupWindowTest::clickClosesWithTheFade() {
    UiPopupWindow popup(QSizeF(100, 40));
    popup.setFadeOutTime(0.1);
    popup.show();
    QTest::mouseClick(&popup, Qt::LeftButton);
    QVERIFY(popup.isVisible());
    QTRY_VERIFY(!popup.isVisible());
    QCOMPARE(popup.windowOpacity(), 0.0);
}

void PopupWindowTest::withoutFadeClosesAtOnce() {
    UiPopupWindow popup(QSizeF(100, 40));
    popup.show();
    popup.performClose();
    QVERIFY(!popup.isVisible());
}

void PopupWindowTest::changesBeforeShowingDrawOnce() {
    CountingPopup popup(QSizeF(100, 40));
    popup.setPopupSize(QSizeF(120, 50));
    popup.setArrowDirection(UiPopupWindow::kArrowBelowTarget);
    popup.setCornerRadius(6);
    popup.setPopupColor(Qt::darkBlue);
    popup.setBorderColor(Qt::yellow);
    QCoreApplication::processEvents();
    QCOMPARE(popup.drawn, 1);
    popup.show();
    popup.setBorderColor(Qt::red); // while shown: at once
    QCOMPARE(popup.drawn, 2);
}

void PopupWindowTest::outlineStaysInsideTheWindow() {
    UiPopupWindow popup(QSizeF(100, 40));
    popup.setArrowDirection(UiPopupWindow::kArrowAboveTarget);
    popup.setBorderColor(Qt::red);
    popup.setPopupColor(Qt::blue);
    popup.show();
    const QImage image = popup.grab().toImage();
    auto alpha = [&](int x, int y) { return qAlpha(image.pixel(x, y)); };
    QCOMPARE(alpha(0, 0), 0);                                  // outside the rounded corner
    QVERIFY(alpha(image.width() / 2, image.height() / 3) > 0); // the body
    QVERIFY(alpha(image.width() / 2, image.height() - 4) > 0); // the arrow's tip below it
    QCOMPARE(alpha(5, image.height() - 2), 0);                 // beside the arrow
}

void PopupWindowTest::maskIsTheShape_data() {
    QTest::addColumn<int>("direction");
    for (int direction = 0; direction < 4; ++direction)
        QTest::addRow("direction %d", direction) << direction;
}

void PopupWindowTest::maskIsTheShape() {
    QFETCH(int, direction);
    // Without a compositor whatever lies outside the mask is not drawn at all: the transparent
    // corners and the sides of the arrow must be outside, every drawn pixel inside.
    UiPopupWindow popup(QSizeF(100, 40));
    popup.setArrowDirection(direction);
    popup.show();
    const QImage image = popup.grab().toImage();
    const QRegion mask = popup.mask();
    QVERIFY(!mask.isEmpty());
    for (QPoint corner : {QPoint(0, 0), QPoint(image.width() - 1, 0), QPoint(0, image.height() - 1),
                          QPoint(image.width() - 1, image.height() - 1)})
        QVERIFY(!mask.contains(corner));
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (qAlpha(image.pixel(x, y)) > 0)
                QVERIFY2(mask.contains(QPoint(x, y)), qPrintable(QString("%1,%2").arg(x).arg(y)));
}

void PopupWindowTest::clickGoesOnToTheWindowBeneath() {
    QWidget window;
    window.resize(300, 200);
    auto* field = new QLineEdit(&window);
    field->setGeometry(20, 20, 100, 24);
    auto* button = new QPushButton("Go", &window);
    button->setGeometry(150, 20, 80, 24);
    window.show();
    QApplication::setActiveWindow(&window);
    QSignalSpy clicked(button, &QPushButton::clicked);

    UiPopupWindow popup(QSizeF(280, 60));
    popup.setArrowDirection(-1); // no arrow: at the window's top left corner
    popup.setArrowToRect(QRectF(window.mapToGlobal(QPoint(0, 0)), QSizeF(0, 0)));
    popup.setFadeOutTime(0.1);
    popup.showAttachedTo(&window);
    QVERIFY(popup.geometry().contains(button->mapToGlobal(button->rect().center())));

    // A click on the popup is a click on the button beneath, and closes the popup.
    auto at = [&](QWidget* widget) {
        return popup.mapFromGlobal(widget->mapToGlobal(widget->rect().center()));
    };
    QTest::mouseClick(popup.windowHandle(), Qt::LeftButton, {}, at(button));
    QCOMPARE(clicked.count(), 1);
    QTRY_VERIFY(!popup.isVisible());

    // A field beneath takes the focus, as from a click of its own.
    popup.setAliveTime(0);
    popup.show();
    QTest::mouseClick(popup.windowHandle(), Qt::LeftButton, {}, at(field));
    QTRY_VERIFY(field->hasFocus());

    // A popup attached to no window just closes.
    UiPopupWindow loose(QSizeF(100, 40));
    loose.show();
    QTest::mouseClick(loose.windowHandle(), Qt::LeftButton);
    QVERIFY(!loose.isVisible());
}

QTEST_MAIN(PopupWindowTest)
#include "popup_window_test.moc"
