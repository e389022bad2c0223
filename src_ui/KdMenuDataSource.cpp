#include "KdMenuDataSource.h"

#include <QFont>

namespace {

using MenuItem = KdMenuDataSource::_SItem;

MenuItem* AddChild(MenuItem* parent, const char* label,
                   const CKdPageCatalogue::_SPage* page = nullptr) {
    auto child = std::make_unique<MenuItem>();
    child->mLabel = QString::fromUtf8(label);
    child->mPage = page;
    child->mParent = parent;
    child->mRow = int(parent->mChildren.size());
    parent->mChildren.push_back(std::move(child));
    return parent->mChildren.back().get();
}

} // namespace

KdMenuDataSource::KdMenuDataSource(QObject* parent) : QAbstractItemModel(parent) {
    MenuItem* root = AddChild(&mTop, CKdPageCatalogue::kRootLabel);
    MenuItem* group = nullptr;
    for (const CKdPageCatalogue::_SPage& page : CKdPageCatalogue::Pages()) {
        // The catalogue lists the pages of one group together, in menu order.
        if (!group || group->mLabel != QString::fromUtf8(page.mGroup))
            group = AddChild(root, page.mGroup);
        AddChild(group, page.mLabel, &page);
    }
}

KdMenuDataSource::~KdMenuDataSource() = default;

const MenuItem* KdMenuDataSource::ItemAt(const QModelIndex& index) const {
    return index.isValid() ? static_cast<const _SItem*>(index.internalPointer()) : nullptr;
}

QModelIndex KdMenuDataSource::index(int row, int column, const QModelIndex& parent) const {
    const _SItem* item = parent.isValid() ? ItemAt(parent) : &mTop;
    if (column != 0 || row < 0 || row >= int(item->mChildren.size())) return {};
    return createIndex(row, column, item->mChildren[row].get());
}

QModelIndex KdMenuDataSource::parent(const QModelIndex& child) const {
    const _SItem* item = ItemAt(child);
    if (!item || item->mParent == &mTop) return {};
    return createIndex(item->mParent->mRow, 0, item->mParent);
}

int KdMenuDataSource::rowCount(const QModelIndex& parent) const {
    if (parent.column() > 0) return 0;
    const _SItem* item = parent.isValid() ? ItemAt(parent) : &mTop;
    return int(item->mChildren.size());
}

int KdMenuDataSource::columnCount(const QModelIndex&) const {
    return 1;
}

QVariant KdMenuDataSource::data(const QModelIndex& index, int role) const {
    const _SItem* item = ItemAt(index);
    if (!item) return {};
    if (role == Qt::DisplayRole) return item->mLabel;
    if (role == Qt::FontRole && item->IsGroup()) {
        QFont font;
        font.setBold(true);
        return font;
    }
    return {};
}

Qt::ItemFlags KdMenuDataSource::flags(const QModelIndex& index) const {
    const _SItem* item = ItemAt(index);
    if (!item) return Qt::NoItemFlags;
    if (item->IsGroup()) return Qt::ItemIsEnabled;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
}
