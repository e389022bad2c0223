#include "KdMenuView.h"

#include "KdMainWindow.h"
#include "KdMenuDataSource.h"
#include "KdPageFactory.h"
#include "SafeSelection.h"

#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QScrollArea>
#include <QScrollBar>
#include <QStyledItemDelegate>

#include <syslog.h>

namespace {

// Rows with some air around the labels.
class RowDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        return QStyledItemDelegate::sizeHint(option, index) + QSize(0, 6);
    }
};

} // namespace

KdMenuView::KdMenuView(QWidget* parent)
    : QTreeView(parent), mKeyboardHint(new QLabel(tr(kKeyboardHint), this)) {
    mKeyboardHint->setObjectName("keyboardHint");
    mKeyboardHint->setWordWrap(true);
    mKeyboardHint->setMargin(4);
    mKeyboardHint->setAutoFillBackground(true);
    mKeyboardHint->setBackgroundRole(QPalette::ToolTipBase);
    mKeyboardHint->setForegroundRole(QPalette::ToolTipText);
    mKeyboardHint->hide();
    setItemDelegate(new RowDelegate(this));
    setIndentation(16);
    setHeaderHidden(true);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setUniformRowHeights(true);
}

KdMenuView::~KdMenuView() {
    delete mMenuSource;
}

void KdMenuView::setMainView(KdMainWindow* mainView) {
    mMainView = mainView;
}

void KdMenuView::setDataSource(KdMenuDataSource* source) {
    if (source == mMenuSource) return;
    if (mPrmView) mPrmView->setWidget(new QWidget);
    KdMenuDataSource* oldSource = mMenuSource;
    QItemSelectionModel* oldSelection = selectionModel();
    mMenuSource = source;
    setModel(source);
    // The view makes a selection model for each model and leaves the old one to its owner.
    delete oldSelection;
    delete oldSource;
}

int KdMenuView::numberOfRows() const {
    int rows = 0;
    if (!model()) return 0;
    for (QModelIndex index = model()->index(0, 0); index.isValid(); index = indexBelow(index))
        ++rows;
    return rows;
}

QModelIndex KdMenuView::indexAtRow(int row) const {
    if (!model() || row < 0) return {};
    QModelIndex index = model()->index(0, 0);
    for (int k = 0; k < row && index.isValid(); ++k)
        index = indexBelow(index);
    return index;
}

int KdMenuView::selectedRow() const {
    const QModelIndexList selected =
        selectionModel() ? selectionModel()->selectedRows() : QModelIndexList();
    if (selected.isEmpty()) return -1;
    int row = 0;
    for (QModelIndex index = model()->index(0, 0); index.isValid(); index = indexBelow(index)) {
        if (index == selected.first()) return row;
        ++row;
    }
    return -1;
}

bool KdMenuView::selectRowInSafety(int row) {
    const QModelIndex index = indexAtRow(row);
    if (!index.isValid() || !(index.flags() & Qt::ItemIsSelectable)) return false;
    selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect |
                                                 QItemSelectionModel::Rows);
    return true;
}

bool KdMenuView::selectPage(const QString& group, const QString& leaf) {
    for (int row = 0; row < numberOfRows(); ++row) {
        const QModelIndex page = indexAtRow(row);
        if (page.data().toString() == leaf && page.parent().data().toString() == group)
            return selectRowInSafety(row);
    }
    return false;
}

bool KdMenuView::selectAnyRowWithDefault(int row) {
    return SafeSelection::SelectAnyRowWithDefault(row, numberOfRows(),
                                                  [this](int k) { return selectRowInSafety(k); });
}

QItemSelectionModel::SelectionFlags KdMenuView::selectionCommand(const QModelIndex& index,
                                                                 const QEvent* event) const {
    if (index.isValid() && !(index.flags() & Qt::ItemIsSelectable))
        return QItemSelectionModel::NoUpdate;
    return QTreeView::selectionCommand(index, event);
}

void KdMenuView::selectionChanged(const QItemSelection& selected,
                                  const QItemSelection& deselected) {
    QTreeView::selectionChanged(selected, deselected);
    const QModelIndexList rows = selectionModel()->selectedRows();
    if (!rows.isEmpty()) openPage(rows.first());
}

void KdMenuView::openPage(const QModelIndex& index) {
    const KdMenuDataSource::_SItem* item = mMenuSource ? mMenuSource->ItemAt(index) : nullptr;
    if (!item) return;
    syslog(LOG_INFO, "outlineViewSelectionDidChange: %s", item->mLabel.toUtf8().constData());
    if (!item->mPage || !mPrmView) return;
    QWidget* page = KdPageFactory::CreatePage(
        *item->mPage, mMainView ? mMainView->prmManager() : nullptr, nullptr);
    if (!page) return;
    mPrmView->setWidget(page);
    placeInTabChain(page);
}

void KdMenuView::placeInTabChain(QWidget* page) {
    // Tab goes from the tree into the page, as they stand side by side; the page's own order
    // stays. (setTabOrder ignores the page itself: it takes no focus.)
    if (page->window() != window()) return;
    QList<QWidget*> stops;
    for (QWidget* w = page->nextInFocusChain(); w != page && page->isAncestorOf(w);
         w = w->nextInFocusChain())
        if (w->focusPolicy() & Qt::TabFocus) stops.append(w);
    QWidget* previous = this;
    for (QWidget* stop : stops) {
        setTabOrder(previous, stop);
        previous = stop;
    }
}

void KdMenuView::keyPressEvent(QKeyEvent* event) {
    mKeyboardPanel.keyDown(*event, mMainView ? mMainView->prmManager() : nullptr);
    event->accept();
}

void KdMenuView::keyReleaseEvent(QKeyEvent* event) {
    mKeyboardPanel.keyUp(*event, mMainView ? mMainView->prmManager() : nullptr);
    event->accept();
}

void KdMenuView::focusInEvent(QFocusEvent* event) {
    QTreeView::focusInEvent(event);
    showKeyboardHint(true);
}

void KdMenuView::focusOutEvent(QFocusEvent* event) {
    QTreeView::focusOutEvent(event);
    showKeyboardHint(false);
}

void KdMenuView::showKeyboardHint(bool shown) {
    // The hint sits inside the frame below the rows, left of the scroll bar; the rows give it
    // the room it needs and scroll above it.
    const QRect inside = contentsRect();
    const int width =
        inside.width() - (verticalScrollBar()->isVisible() ? verticalScrollBar()->width() : 0);
    mKeyboardHintHeight = shown ? mKeyboardHint->heightForWidth(width) : 0;
    updateGeometries();
    mKeyboardHint->setGeometry(inside.x(), inside.bottom() + 1 - mKeyboardHintHeight, width,
                               mKeyboardHintHeight);
    mKeyboardHint->setVisible(shown);
    update();
}

void KdMenuView::updateGeometries() {
    // The tree sets the viewport's margins for its header each time: add the hint's room.
    QTreeView::updateGeometries();
    const QMargins margins = viewportMargins();
    if (margins.bottom() != mKeyboardHintHeight)
        setViewportMargins(margins.left(), margins.top(), margins.right(), mKeyboardHintHeight);
}

bool KdMenuView::event(QEvent* event) {
    const bool handled = QTreeView::event(event);
    if (event->type() == QEvent::Resize) showKeyboardHint(hasFocus());
    if (event->type() == QEvent::Paint && hasFocus()) {
        // The frame's line in the highlight colour, whatever the style draws for a focused tree.
        QPainter painter(this);
        painter.setPen(palette().color(QPalette::Highlight));
        painter.drawRect(rect().adjusted(0, 0, -1, -1));
    }
    return handled;
}
