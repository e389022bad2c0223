#include "CKdPageCatalogue.h"
#include "KdMainWindow.h"
#include "KdMenuView.h"
#include "KdPrmCellView.h"
#include "KdPrmView.h"
#include "PtyPeer.h"

#include <QComboBox>
#include <QScrollArea>
#include <QScrollBar>
#include <QSettings>
#include <QStyleFactory>
#include <QtTest>

// The pages' layout in the window: one value column on every page, nothing cut off at the
// window's minimum size, and the room of a large window used.
class LayoutTest : public QObject {
    Q_OBJECT

    struct Window {
        QTemporaryDir records;
        PtyPeer peer;
        KdMainWindow window;
        Window(QSize size) {
            qputenv("KALDO_DEVICE_DIR", records.path().toLocal8Bit());
            window.resize(size);
            window.show();
        }
        bool open() { return window.addManualDevice(peer.Path().c_str()); }
        // Opens every page in menu order and calls check(page, "Group/Leaf") on each.
        template <class Check>
        int eachPage(Check check) {
            KdMenuView* menu = window.menuView();
            int pages = 0;
            for (int row = 0; row < menu->numberOfRows(); ++row) {
                if (!menu->selectRowInSafety(row)) continue;
                auto* page = qobject_cast<KdPrmView*>(window.prmView()->widget());
                if (!page) continue;
                QApplication::processEvents();
                const QModelIndex index = menu->indexAtRow(row);
                check(page, index.parent().data().toString() + "/" + index.data().toString());
                ++pages;
            }
            return pages;
        }
    };

private slots:
    void initTestCase() { QApplication::setStyle(QStyleFactory::create("Fusion")); }

    // Every page's values start at one x in the window, right of every title.
    void valueColumnLinesUpAcrossPages() {
        Window w(QSize(960, 640));
        QVERIFY(w.open());
        QTRY_VERIFY(w.window.prmManager());
        QSet<int> columns;
        const int pages = w.eachPage([&](KdPrmView* page, const QString& name) {
            for (KdPrmCellView* row : page->findChildren<KdPrmCellView*>()) {
                QWidget* value = row->valueWidget();
                QVERIFY2(value, qPrintable(name + ": " + row->title()));
                const int x = value->mapTo(&w.window, QPoint()).x();
                columns.insert(x);
                QVERIFY2(row->label()->mapTo(&w.window, QPoint(row->label()->width(), 0)).x() < x,
                         qPrintable(name + ": " + row->title()));
            }
        });
        QCOMPARE(pages, int(CKdPageCatalogue::Pages().size()));
        QCOMPARE(columns.size(), 1);
    }

    // At the minimum window size, light and dark, every value widget is inside the page area
    // without a horizontal scroll bar and at least as wide as its contents need.
    void nothingClipsAtTheMinimumSize() {
        Window w(QSize(1, 1));
        QCOMPARE(w.window.size(), w.window.minimumSize());
        QVERIFY(w.open());
        QTRY_VERIFY(w.window.prmManager());
        const QPalette light = QApplication::style()->standardPalette();
        QPalette dark = light;
        for (auto role : {QPalette::Window, QPalette::Base, QPalette::Button})
            dark.setColor(role, QColor(0x20, 0x22, 0x25));
        for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
            dark.setColor(role, QColor(0xe6, 0xe6, 0xe6));
        for (const QPalette& palette : {light, dark}) {
            QApplication::setPalette(palette);
            QScrollArea* area = w.window.prmView();
            w.eachPage([&](KdPrmView* page, const QString& name) {
                QVERIFY2(!area->horizontalScrollBar()->isVisible(), qPrintable(name));
                const int viewport = area->viewport()->width();
                for (KdPrmCellView* row : page->findChildren<KdPrmCellView*>()) {
                    const QString where = name + ": " + row->title();
                    QWidget* value = row->valueWidget();
                    const QRect inPage(value->mapTo(page, QPoint()), value->size());
                    QVERIFY2(inPage.right() < viewport, qPrintable(where));
                    QVERIFY2(row->label()->width() >= row->label()->sizeHint().width(),
                             qPrintable(where));
                    const QSize needed = qobject_cast<QComboBox*>(value) ? value->sizeHint()
                                                                         : value->minimumSizeHint();
                    QVERIFY2(value->width() >= needed.width(), qPrintable(where));
                }
            });
        }
        QApplication::setPalette(light);
    }

    // Tab visits only controls that show they have the focus: never the page area, the page or
    // a row, and never a widget out of sight.
    void tabChainHasNoInvisibleStops() {
        QSettings().clear(); // the first page, not the one an earlier case left open
        Window w(QSize(960, 640));
        QVERIFY(w.open());
        QTRY_VERIFY(w.window.prmManager());
        QVERIFY(QTest::qWaitForWindowActive(&w.window));
        w.window.menuView()->setFocus();
        QTRY_VERIFY(w.window.menuView()->hasFocus());
        QStringList chain;
        for (int n = 0; n < 40; ++n) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QWidget* focus = QApplication::focusWidget();
            QVERIFY(focus);
            QVERIFY2(!focus->visibleRegion().isEmpty(), focus->metaObject()->className());
            chain << QString("%1 %2").arg(
                focus->metaObject()->className(),
                focus->accessibleName().isEmpty() ? focus->objectName() : focus->accessibleName());
            if (focus == w.window.menuView()) break;
        }
        QCOMPARE(chain,
                 QStringList({"KdPrmPopUpButton Main In H Flip", "KdPrmPopUpButton Main In V Flip",
                              "KdPrmPopUpButton Main In Still", "QPushButton updateButton",
                              "QPushButton unsavedSave", "QTableWidget devListView",
                              "KdMenuView menuView"}));
    }

    // On a large window the rows span the page and the lists and text fields grow with it.
    void largeWindowUsesTheRoom() {
        Window w(QSize(1600, 1000));
        QVERIFY(w.open());
        QTRY_VERIFY(w.window.prmManager());
        QScrollArea* area = w.window.prmView();
        w.eachPage([&](KdPrmView* page, const QString& name) {
            QCOMPARE(page->width(), area->viewport()->width());
            for (KdPrmCellView* row : page->findChildren<KdPrmCellView*>()) {
                QCOMPARE(row->mapTo(page, QPoint(row->width(), 0)).x(), page->width());
                QWidget* value = row->valueWidget();
                if (qobject_cast<QComboBox*>(value) || qobject_cast<QLineEdit*>(value))
                    QVERIFY2(value->width() == KdPrmView::kMaxValueWidth,
                             qPrintable(name + ": " + row->title()));
            }
        });
    }
};

QTEST_MAIN(LayoutTest)
#include "layout_test.moc"
