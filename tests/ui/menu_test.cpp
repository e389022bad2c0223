#include "KdHeaderView.h"
#include "KdLogoView.h"
#include "KdMenuDataSource.h"
#include "KdMenuView.h"

#include <QLabel>
#include <QScrollArea>
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
        QString Label(int row) const { return view.indexAtRow(row).data().toString(); }
        QString PageName() const { return area.widget() ? area.widget()->objectName() : ""; }
    };

private slots:
    void RowsOfTheExpandedTree_data() {
        QTest::addColumn<int>("row");
        QTest::addColumn<QString>("label");
        QTest::newRow("root") << 0 << "KALDO-1 MENU";
        QTest::newRow("first group") << 1 << "Input";
        QTest::newRow("first page") << 2 << "Main";
        QTest::newRow("still group") << 5 << "Still";
        QTest::newRow("still page") << 6 << "Capture/Erase";
        QTest::newRow("roi general") << 10 << "General";
        QTest::newRow("mix/effect group") << 14 << "Mix/Effect";
        QTest::newRow("last group") << 35 << "USB Only";
        QTest::newRow("last page") << 37 << "Others";
    }
    void RowsOfTheExpandedTree() {
        QFETCH(int, row);
        QFETCH(QString, label);
        Tree tree;
        QCOMPARE(tree.view.numberOfRows(), 38);
        QCOMPARE(tree.Label(row), label);
        QCOMPARE(tree.source->rowCount(), 1);
        QCOMPARE(tree.source->rowCount(tree.source->index(0, 0)), 10);
    }

    void SelectionRules_data() {
        QTest::addColumn<int>("row");
        QTest::addColumn<bool>("selected");
        QTest::newRow("root") << 0 << false;
        QTest::newRow("group") << 1 << false;
        QTest::newRow("page") << 2 << true;
        QTest::newRow("above the top") << -1 << false;
        QTest::newRow("below the last row") << 38 << false;
        QTest::newRow("last page") << 37 << true;
    }
    void SelectionRules() {
        QFETCH(int, row);
        QFETCH(bool, selected);
        Tree tree;
        QCOMPARE(tree.view.selectRowInSafety(row), selected);
        QCOMPARE(tree.view.selectedRow(), selected ? row : -1);
    }

    void DefaultSelectionLandsOnTheFirstPage_data() {
        QTest::addColumn<int>("defaultRow");
        QTest::addColumn<int>("row");
        QTest::newRow("root") << 0 << 2;
        QTest::newRow("none") << -1 << 2;
        QTest::newRow("beyond") << 38 << 2;
        QTest::newRow("a page") << 12 << 12;
    }
    void DefaultSelectionLandsOnTheFirstPage() {
        QFETCH(int, defaultRow);
        QFETCH(int, row);
        Tree tree;
        QVERIFY(tree.view.selectAnyRowWithDefault(defaultRow));
        QCOMPARE(tree.view.selectedRow(), row);
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

    void AGroupClickLeavesThePage() {
        Tree tree;
        QVERIFY(tree.view.selectRowInSafety(2));
        QWidget* page = tree.area.widget();
        tree.view.show();
        QTest::mouseClick(tree.view.viewport(), Qt::LeftButton, {},
                          tree.view.visualRect(tree.view.indexAtRow(1)).center());
        QCOMPARE(tree.view.selectedRow(), 2);
        QCOMPARE(tree.area.widget(), page);
    }

    void DataSourceChangesEmptyThePageArea() {
        Tree tree;
        QVERIFY(tree.view.selectRowInSafety(2));
        QWidget* page = tree.area.widget();
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
        QCOMPARE(header.versionFPGA()->text(), ": --.--");
        CKdPrmManager::_SVersionInfo version;
        version.mSoftware = "01.02";
        version.mUSB = "0A.10";
        header.setVersion(&version);
        QCOMPARE(header.versionSoft()->text(), ": 01.02");
        QCOMPARE(header.versionFPGA()->text(), ": --.--");
        QCOMPARE(header.versionUSB()->text(), ": 0A.10");
        QCOMPARE(header.versionPHY()->text(), ": --.--");
        header.setVersion(nullptr);
        QCOMPARE(header.versionSoft()->text(), ": --.--");
    }

    void LogoFollowsThePalette() {
        const QPalette original = QApplication::palette();
        KdLogoView logo;
        logo.show();
        QCOMPARE(logo.imageName(), ":/LogoORM.svg");
        QVERIFY(!logo.pixmap().isNull());
        const QImage lightImage = logo.pixmap().toImage();

        QPalette dark = original;
        dark.setColor(QPalette::Window, QColor(0x20, 0x22, 0x25));
        dark.setColor(QPalette::WindowText, QColor(0xee, 0xee, 0xee));
        QApplication::setPalette(dark);
        QTRY_COMPARE(logo.imageName(), ":/LogoORM_w.svg");
        QVERIFY(!logo.pixmap().isNull());
        QVERIFY(logo.pixmap().toImage() != lightImage);

        QPalette light = original;
        light.setColor(QPalette::Window, QColor(0xf4, 0xf4, 0xf4));
        light.setColor(QPalette::WindowText, Qt::black);
        QApplication::setPalette(light);
        QTRY_COMPARE(logo.imageName(), ":/LogoORM.svg");
        QApplication::setPalette(original);
    }
};

QTEST_MAIN(MenuTest)
#include "menu_test.moc"
