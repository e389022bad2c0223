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

    // A 300 x 1200 page in a 320 x 200 scroll area, with a 100-wide view at top.
    struct Scrolled {
        QScrollArea area;
        QWidget* view;
        Scrolled(int top, int height) {
            auto* page = new QWidget;
            page->setFixedSize(300, 1200);
            view = new QWidget(page);
            view->setGeometry(20, top, 100, height);
            area.setFrameShape(QFrame::NoFrame);
            area.setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
            area.setWidget(page);
            area.resize(320, 200);
            area.show();
        }
        int Value() const { return area.verticalScrollBar()->value(); }
    };

private slots:
    void InputFilter() {
        const struct {
            int first, last, length;
            QString text;
            bool accepted;
        } cases[] = {
            // Names: printable characters, at most 16.
            {32, 127, 16, "abcdefghijklmnop", true},
            {32, 127, 16, "abcdefghijklmnopq", false},
            {32, 127, 16, "a\tb", false},
            {32, 127, 16, "caf\u00e9", false},
            {32, 127, 16, "", true},
            // Last below first: any character, up to the length.
            {1, 0, 4, "\t\u00e9\u4e2d!", true},
            {1, 0, 4, "abcde", false},
            {1, 0, 0, QString(300, 'x'), true},
        };
        for (const auto& c : cases) {
            std::unique_ptr<TextFieldInputFilter> filter(
                TextFieldInputFilter::inputFilterWithCharFrom(c.first, c.last, c.length));
            QVERIFY2(filter->isPartialStringValid(c.text) == c.accepted, qPrintable(c.text));
        }
    }

    void SpinFilterKeepsTheFieldOnARefusedEdit() {
        QLineEdit field;
        field.setValidator(TextFieldInputFilter::inputFilterWithChars("0123456789-.", 8, &field));
        QTest::keyClicks(&field, "-12.5x");
        QCOMPARE(field.text(), "-12.5");
        field.clear();
        QTest::keyClicks(&field, "123456789");
        QCOMPARE(field.text(), "12345678");
        field.clear();
        field.insert("1e3"); // a pasted text is taken or refused as a whole
        QCOMPARE(field.text(), "");
    }

    void Placement() {
        using Arrange = void (*)(QWidget*, const QWidget*);
        // A 50 x 20 view at (7, 9) inside a 200 x 100 container.
        const std::pair<Arrange, QPoint> cases[] = {
            {ViewPlacement::arrangeLeftOfView, {0, 9}},
            {ViewPlacement::arrangeRightOfView, {150, 9}},
            {ViewPlacement::arrangeTopOfView, {7, 0}},
            {ViewPlacement::arrangeBottomOfView, {7, 80}},
            {ViewPlacement::arrangeVerticalCenterOfView, {7, 40}},
            {ViewPlacement::arrangeHorizontalCenterOfView, {75, 9}},
        };
        for (const auto& [arrange, position] : cases) {
            QWidget container;
            container.resize(200, 100);
            QWidget view(&container);
            view.setGeometry(7, 9, 50, 20);
            arrange(&view, &container);
            QCOMPARE(view.pos(), position);
            QCOMPARE(view.size(), QSize(50, 20));
        }
    }

    void ScrollToView() {
        // start, view top, view height, end; visible height 200, margin 10.
        const int cases[][4] = {
            {0, 50, 40, 0},      // in sight
            {0, 170, 25, 5},     // in sight but for the margin
            {0, 500, 50, 360},   // below
            {600, 100, 50, 90},  // above
            {0, 400, 300, 390},  // taller than the visible part
        };
        for (const auto& [start, top, height, end] : cases) {
            Scrolled s(top, height);
            QCOMPARE(s.area.viewport()->height(), 200);
            s.area.verticalScrollBar()->setValue(start);
            QCOMPARE(ViewScrolling::scrollToView(&s.area, s.view, 10, 0), end != start);
            QCOMPARE(s.Value(), end);
        }
        Scrolled animated(800, 30);
        QVERIFY(ViewScrolling::scrollToView(&animated.area, animated.view, 10, 50));
        QCOMPARE(animated.Value(), 0);
        QTRY_VERIFY(animated.Value() > 600);
    }

    void SafeTableSelection() {
        // default row, refused rows, row selected (-1: none, the earlier selection stays)
        const std::tuple<int, QList<int>, int> cases[] = {
            {2, {}, 2}, {3, {}, 0}, {1, {1, 0}, 2}, {-1, {0, 1, 2}, -1}};
        for (const auto& [defaultRow, refused, selected] : cases) {
            QStandardItemModel model(3, 1);
            QTableView table;
            table.setModel(&model);
            table.selectRow(1);
            const bool any = SafeSelection::SelectAnyRowWithDefault(
                &table, defaultRow, [&no = refused](int row) { return !no.contains(row); });
            QCOMPARE(any, selected >= 0);
            const QModelIndexList rows = table.selectionModel()->selectedRows();
            QCOMPARE(rows.size(), 1);
            QCOMPARE(rows.first().row(), selected >= 0 ? selected : 1);
        }
    }
};

QTEST_MAIN(ViewUtilsTest)
#include "view_utils_test.moc"
