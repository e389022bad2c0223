#include "SafeSelection.h"
#include "TextFieldInputFilter.h"
#include "ViewPlacement.h"
#include "ViewScrolling.h"

#include <QLineEdit>
#include <QScrollArea>
#include <QScrollBar>
#include <QStandardItemModel>
#include <QTableView>
#include <QtTest>

#include <memory>

// The view utilities that the window and the pages share.
class ViewUtilsTest : public QObject {
    Q_OBJECT

private slots:
    void InputFilter_data() {
        QTest::addColumn<int>("first");
        QTest::addColumn<int>("last");
        QTest::addColumn<int>("length");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("accepted");
        // Names: printable characters, at most 16.
        QTest::newRow("name") << 32 << 127 << 16 << "abc" << true;
        QTest::newRow("name, 16 characters") << 32 << 127 << 16 << "abcdefghijklmnop" << true;
        QTest::newRow("name, 17 characters") << 32 << 127 << 16 << "abcdefghijklmnopq" << false;
        QTest::newRow("name, tab") << 32 << 127 << 16 << "a\tb" << false;
        QTest::newRow("name, above 127") << 32 << 127 << 16 << "caf\u00e9" << false;
        QTest::newRow("name, empty") << 32 << 127 << 16 << "" << true;
        // Last below first: any character, up to the length.
        QTest::newRow("open set") << 1 << 0 << 4 << "\t\u00e9\u4e2d!" << true;
        QTest::newRow("open set, too long") << 1 << 0 << 4 << "abcde" << false;
        QTest::newRow("open set, no limit") << 1 << 0 << 0 << QString(300, 'x') << true;
    }
    void InputFilter() {
        QFETCH(int, first);
        QFETCH(int, last);
        QFETCH(int, length);
        QFETCH(QString, text);
        QFETCH(bool, accepted);
        std::unique_ptr<TextFieldInputFilter> filter(
            TextFieldInputFilter::inputFilterWithCharFrom(first, last, length));
        QCOMPARE(filter->isPartialStringValid(text), accepted);
    }

    void SpinFilterKeepsTheFieldOnARefusedEdit() {
        QLineEdit field;
        field.setValidator(TextFieldInputFilter::inputFilterWithChars("0123456789-.", 8, &field));
        QTest::keyClicks(&field, "-12.5x");
        QCOMPARE(field.text(), "-12.5");
        field.clear();
        QTest::keyClicks(&field, "123456789");
        QCOMPARE(field.text(), "12345678");
        // A pasted text is taken or refused as a whole.
        field.clear();
        field.insert("1e3");
        QCOMPARE(field.text(), "");
    }

    void Placement_data() {
        QTest::addColumn<int>("operation");
        QTest::addColumn<QPoint>("position");
        // A 50 x 20 view at (7, 9) inside a 200 x 100 container.
        QTest::newRow("left") << 0 << QPoint(0, 9);
        QTest::newRow("right") << 1 << QPoint(150, 9);
        QTest::newRow("top") << 2 << QPoint(7, 0);
        QTest::newRow("bottom") << 3 << QPoint(7, 80);
        QTest::newRow("vertical centre") << 4 << QPoint(7, 40);
        QTest::newRow("horizontal centre") << 5 << QPoint(75, 9);
    }
    void Placement() {
        QFETCH(int, operation);
        QFETCH(QPoint, position);
        QWidget container;
        container.resize(200, 100);
        QWidget view(&container);
        view.setGeometry(7, 9, 50, 20);
        using Arrange = void (*)(QWidget*, const QWidget*);
        const Arrange arrange[] = {
            ViewPlacement::arrangeLeftOfView,
            ViewPlacement::arrangeRightOfView,
            ViewPlacement::arrangeTopOfView,
            ViewPlacement::arrangeBottomOfView,
            ViewPlacement::arrangeVerticalCenterOfView,
            ViewPlacement::arrangeHorizontalCenterOfView,
        };
        arrange[operation](&view, &container);
        QCOMPARE(view.pos(), position);
        QCOMPARE(view.size(), QSize(50, 20));
    }

    void ScrollToView_data() {
        QTest::addColumn<int>("start");
        QTest::addColumn<int>("top");
        QTest::addColumn<int>("height");
        QTest::addColumn<int>("end");
        // Visible height 200, margin 10.
        QTest::newRow("in sight") << 0 << 50 << 40 << 0;
        QTest::newRow("in sight but for the margin") << 0 << 170 << 25 << 5;
        QTest::newRow("below") << 0 << 500 << 50 << 360;
        QTest::newRow("above") << 600 << 100 << 50 << 90;
        QTest::newRow("taller than the visible part") << 0 << 400 << 300 << 390;
    }
    void ScrollToView() {
        QFETCH(int, start);
        QFETCH(int, top);
        QFETCH(int, height);
        QFETCH(int, end);
        QScrollArea area;
        area.setFrameShape(QFrame::NoFrame);
        area.setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        auto* page = new QWidget;
        page->setFixedSize(300, 1200);
        auto* view = new QWidget(page);
        view->setGeometry(20, top, 100, height);
        area.setWidget(page);
        area.resize(320, 200);
        area.show();
        QCOMPARE(area.viewport()->height(), 200);
        area.verticalScrollBar()->setValue(start);
        QCOMPARE(ViewScrolling::scrollToView(&area, view, 10, 0), end != start);
        QCOMPARE(area.verticalScrollBar()->value(), end);
    }

    void ScrollToViewAnimates() {
        QScrollArea area;
        auto* page = new QWidget;
        page->setFixedSize(300, 1200);
        auto* view = new QWidget(page);
        view->setGeometry(20, 800, 100, 30);
        area.setWidget(page);
        area.resize(320, 200);
        area.show();
        QVERIFY(ViewScrolling::scrollToView(&area, view, 10, 50));
        QCOMPARE(area.verticalScrollBar()->value(), 0);
        QTRY_VERIFY(area.verticalScrollBar()->value() > 600);
    }

    void SafeTableSelection_data() {
        QTest::addColumn<int>("defaultRow");
        QTest::addColumn<QList<int>>("refused");
        QTest::addColumn<int>("selected");
        QTest::newRow("default taken") << 2 << QList<int>{} << 2;
        QTest::newRow("default outside") << 3 << QList<int>{} << 0;
        QTest::newRow("default refused") << 1 << QList<int>{1, 0} << 2;
        QTest::newRow("all refused") << -1 << QList<int>{0, 1, 2} << -1;
    }
    void SafeTableSelection() {
        QFETCH(int, defaultRow);
        QFETCH(QList<int>, refused);
        QFETCH(int, selected);
        QStandardItemModel model(3, 1);
        QTableView table;
        table.setModel(&model);
        table.selectRow(1);
        const bool any = SafeSelection::SelectAnyRowWithDefault(
            &table, defaultRow, [&](int row) { return !refused.contains(row); });
        QCOMPARE(any, selected >= 0);
        const QModelIndexList rows = table.selectionModel()->selectedRows();
        if (selected < 0) {
            // Nothing new selected: the earlier selection stays.
            QCOMPARE(rows.size(), 1);
            QCOMPARE(rows.first().row(), 1);
        } else {
            QCOMPARE(rows.size(), 1);
            QCOMPARE(rows.first().row(), selected);
        }
    }
};

QTEST_MAIN(ViewUtilsTest)
#include "view_utils_test.moc"
