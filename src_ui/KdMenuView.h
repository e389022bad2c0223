#pragma once

#include "KdKeyboardPanel.h"

#include <QPointer>
#include <QScrollArea>
#include <QTreeView>

class KdMainWindow;
class KdMenuDataSource;
class QLabel;

// The menu tree beside the page area. Rows count the shown items from the top (the root is row
// 0); only pages can be selected, and each selection opens a new page in the page area.
class KdMenuView : public QTreeView {
    Q_OBJECT
public:
    explicit KdMenuView(QWidget* parent = nullptr);
    ~KdMenuView() override;

    // The window asked for the session when a page opens, and the page area.
    void setMainView(KdMainWindow* mainView);
    void setPrmView(QScrollArea* prmView) { mPrmView = prmView; }
    QScrollArea* prmView() const { return mPrmView; }

    // Takes ownership of source (null: none). A source other than the current one empties the
    // page area first; setting the same one again changes nothing.
    void setDataSource(KdMenuDataSource* source);
    KdMenuDataSource* dataSource() const { return mMenuSource; }

    // The rows as shown, expanded items' children included.
    int numberOfRows() const;
    QModelIndex indexAtRow(int row) const;
    // The row of the selected item, or -1.
    int selectedRow() const;
    // False for a row outside the tree, or one that is not a page; otherwise selects exactly
    // that row.
    bool selectRowInSafety(int row);
    // Selects the page leaf under group ("Input", "Main"); false when there is none.
    bool selectPage(const QString& group, const QString& leaf);
    // selectRowInSafety(row), else the first row from the top that can be selected.
    bool selectAnyRowWithDefault(int row);

    // Shown below the rows while the tree has the focus: its keys work the switcher's panel.
    QLabel* keyboardHint() const { return mKeyboardHint; }
    static constexpr const char* kKeyboardHint = "Keyboard panel active: keys go to the switcher";

protected:
    // Keys work the switcher's panel (KdKeyboardPanel) instead of the tree: arrows never move
    // the selection and nothing is passed on to the tree's own key handling.
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    // Pressing a group or the root keeps the selection (and the page) as it is.
    QItemSelectionModel::SelectionFlags selectionCommand(const QModelIndex& index,
                                                         const QEvent* event) const override;
    void selectionChanged(const QItemSelection& selected,
                          const QItemSelection& deselected) override;
    // A focus frame and the keyboard hint show while the tree has the focus.
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    bool event(QEvent* event) override;
    void updateGeometries() override;

private:
    void openPage(const QModelIndex& index);
    // Puts the page's Tab stops right after the tree's.
    void placeInTabChain(QWidget* page);
    void showKeyboardHint(bool shown);

    QPointer<KdMainWindow> mMainView;
    QPointer<QScrollArea> mPrmView;
    KdMenuDataSource* mMenuSource = nullptr;
    KdKeyboardPanel mKeyboardPanel;
    QLabel* mKeyboardHint;
    int mKeyboardHintHeight = 0;
};
