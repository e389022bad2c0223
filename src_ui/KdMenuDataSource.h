#pragma once

#include "CKdPageCatalogue.h"

#include <QAbstractItemModel>

#include <memory>
#include <vector>

// The menu tree: the root "KALDO-1 MENU", its groups and their pages, in catalogue order.
// Groups carry children, leaves a page; only leaves are selectable and no label is editable.
class KdMenuDataSource : public QAbstractItemModel {
    Q_OBJECT
public:
    struct _SItem {
        QString mLabel;
        const CKdPageCatalogue::_SPage* mPage = nullptr; // leaves only
        _SItem* mParent = nullptr;
        int mRow = 0;
        std::vector<std::unique_ptr<_SItem>> mChildren; // root and groups only
        bool IsGroup() const { return !mPage; }
    };

    explicit KdMenuDataSource(QObject* parent = nullptr);
    ~KdMenuDataSource() override;

    // The item behind an index; null for an invalid one.
    const _SItem* ItemAt(const QModelIndex& index) const;

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    _SItem mTop; // holds the root item
};
