#include "KdHeaderView.h"
#include "KdLogoView.h"
#include "KdMenuDataSource.h"
#include "KdMenuView.h"

#include <QLabel>
#include <QLineEdit>
#include <QScrollArea>
#include <QScrollBar>
#include <QVBoxLayout>
#include <QtTest>

// The menu tree as the switcher's menu gives it, and its selection rules.
class MenuTest : public QObject {
    Q_OBJECT

    struct Tree {
        QScrollArea area;
        KdMenuView view;
        KdMenuDataSource* source = new KdMenuDataSource;
        Tree() {
            view.setPrmView(&area);
            view.setDataSource(source);
            view.expandAll();
        }
        QString PageName() const { return area.widget() ? area.widget()->objectName() : ""; }
    };

private slots:
    // While the tree has the focus a frame and the keyboard hint show; the hint takes room below
    // the rows, so that the last row still scrolls into sight above it.
    void KeyboardHintWhileFocused() {
        QWidget window;
        auto* layout = new QVBoxLayout(&window);
        Tree tree;
        QLineEdit other;
        layout->addWidget(&tree.view);
        layout->addWidget(&other);
        window.resize(240, 300);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QLabel* hint = tree.view.keyboardHint();
        other.setFocus();
        QTRY_VERIFY(other.hasFocus());
        QVERIFY(!hint->isVisible());

        tree.view.setFocus();
        QTRY_VERIFY(tree.view.hasFocus());
        QVERIFY(hint->isVisible());
        QCOMPARE(hint->text(), QString(KdMenuView::kKeyboardHint));
        const QRect viewport = tree.view.viewport()->geometry();
        QVERIFY(!hint->geometry().intersects(viewport));
        QVERIFY(tree.view.rect().contains(hint->geometry()));
        tree.view.verticalScrollBar()->setValue(tree.view.verticalScrollBar()->maximum());
        const QModelIndex last = tree.view.indexAtRow(tree.view.numberOfRows() - 1);
        QVERIFY(tree.view.viewport()->rect().contains(tree.view.visualRect(last)));
        // The frame: the highlight colour at the tree's edge.
        const QImage focused = tree.view.grab().toImage();
        QCOMPARE(focused.pixelColor(0, tree.view.height() / 2).name(),
                 tree.view.palette().color(QPalette::Highlight).name());

        other.setFocus();
        QTRY_VERIFY(!tree.view.hasFocus());
        QVERIFY(!hint->isVisible());
        QCOMPARE(tree.view.viewport()->height() + 2 * tree.view.frameWidth(), tree.view.height());
        QVERIFY(tree.view.grab().toImage().pixelColor(0, tree.view.height() / 2) !=
                tree.view.palette().color(QPalette::Highlight));
    }

    void RowsOfTheExpandedTree() {
        Tree tree;
        QCOMPARE(tree.view.numberOfRows(), 38);
        QCOMPARE(tree.source->rowCount(), 1);
        QCOMPARE(tree.source->rowCount(tree.source->index(0, 0)), 10);
        const std::pair<int, QString> rows[] = {
            {0, "KALDO-1 MENU"}, {1, "Input"},         {2, "Main"},
            {5, "Still"},        {6, "Capture/Erase"}, {10, "General"},
            {14, "Mix/Effect"},  {35, "USB Only"},     {37, "Others"}};
        for (const auto& [row, label] : rows)
            QCOMPARE(tree.view.indexAtRow(row).data().toString(), label);
    }

    // Only pages are selected, a refused row leaves no selection; a default that is no page
    // lands on the first page.
    void SelectionRules() {
        for (const auto& [row, selected] :
             {std::pair{0, false}, {1, false}, {2, true}, {-1, false}, {38, false}, {37, true}}) {
            Tree tree;
            QCOMPARE(tree.view.selectRowInSafety(row), selected);
            QCOMPARE(tree.view.selectedRow(), selected ? row : -1);
        }
        for (const auto& [defaultRow, row] : {std::pair{0, 2}, {-1, 2}, {38, 2}, {12, 12}}) {
            Tree tree;
            QVERIFY(tree.view.selectAnyRowWithDefault(defaultRow));
            QCOMPARE(tree.view.selectedRow(), row);
        }
    }

    void EachSelectionOpensANewPage() {
        Tree tree;
        QVERIFY(tree.view.selectRowInSafety(10)); // General under ROI
        QCOMPARE(tree.PageName(), "KdPrmViewRoiGeneral");
        QPointer<QWidget> roiGeneral = tree.area.widget();
        QVERIFY(tree.view.selectRowInSafety(15)); // General under Mix/Effect
        QCOMPARE(tree.PageName(), "KdPrmViewMixEfxGeneral");
        QVERIFY(roiGeneral.isNull());
        QVERIFY(tree.view.selectRowInSafety(10));
        QCOMPARE(tree.PageName(), "KdPrmViewRoiGeneral");
    }

    // A click on a group and the same data source again leave the page; no data source
    // empties the tree and the page area.
    void GroupClicksAndDataSourceChanges() {
        Tree tree;
        QVERIFY(tree.view.selectRowInSafety(2));
        QWidget* page = tree.area.widget();
        tree.view.show();
        QTest::mouseClick(tree.view.viewport(), Qt::LeftButton, {},
                          tree.view.visualRect(tree.view.indexAtRow(1)).center());
        QCOMPARE(tree.view.selectedRow(), 2);
        QCOMPARE(tree.area.widget(), page);
        tree.view.setDataSource(tree.source);
        QCOMPARE(tree.area.widget(), page);
        tree.view.setDataSource(nullptr);
        QCOMPARE(tree.view.numberOfRows(), 0);
        QVERIFY(tree.area.widget() != page);
        QVERIFY(tree.PageName().isEmpty());
    }

    void HeaderVersions() {
        KdHeaderView header;
        QCOMPARE(header.productName()->text(), "KALDO-1");
        CKdPrmManager::_SVersionInfo version;
        version.mSoftware = "01.02";
        version.mUSB = "0A.10";
        header.setVersion(&version);
        const QStringList shown = {header.versionSoft()->text(), header.versionFPGA()->text(),
                                   header.versionUSB()->text(), header.versionPHY()->text()};
        QCOMPARE(shown, QStringList({": 01.02", ": --.--", ": 0A.10", ": --.--"}));
        // Read out with what each one is.
        header.setSerial("K1SIM00001");
        const QStringList names = {
            header.versionSoft()->accessibleName(), header.versionFPGA()->accessibleName(),
            header.versionUSB()->accessibleName(), header.versionPHY()->accessibleName(),
            header.serialNumber()->accessibleName()};
        QCOMPARE(names, QStringList({"Software version: 01.02", "FPGA version: --.--",
                                     "USB version: 0A.10", "PHY version: --.--",
                                     "Serial number: K1SIM00001"}));
        header.setVersion(nullptr);
        QCOMPARE(header.versionSoft()->text(), ": --.--");
        QCOMPARE(header.versionSoft()->accessibleName(), "Software version: --.--");
        QVERIFY(!KdLogoView().accessibleName().isEmpty());
    }

    void LogoFollowsThePalette() {
        const QPalette original = QApplication::palette();
        const auto setColours = [&](QColor window, QColor text) {
            QPalette palette = original;
            palette.setColor(QPalette::Window, window);
            palette.setColor(QPalette::WindowText, text);
            QApplication::setPalette(palette);
        };
        KdLogoView logo;
        logo.show();
        QCOMPARE(logo.imageName(), ":/LogoORM.svg");
        const QImage lightImage = logo.pixmap().toImage();
        QVERIFY(!lightImage.isNull());
        setColours(QColor(0x20, 0x22, 0x25), QColor(0xee, 0xee, 0xee));
        QTRY_COMPARE(logo.imageName(), ":/LogoORM_w.svg");
        QVERIFY(!logo.pixmap().isNull());
        QVERIFY(logo.pixmap().toImage() != lightImage);
        setColours(QColor(0xf4, 0xf4, 0xf4), Qt::black);
        QTRY_COMPARE(logo.imageName(), ":/LogoORM.svg");
        QApplication::setPalette(original);
    }
};

QTEST_MAIN(MenuTest)
#include "menu_test.moc"
