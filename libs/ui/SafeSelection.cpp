#include "SafeSelection.h"

#include <QItemSelectionModel>
#include <QTableView>

bool SafeSelection::SelectRowInSafety(QTableView* table, int row, const RowTest& shouldSelect) {
    const QAbstractItemModel* model = table->model();
    if (!model || row < 0 || row >= model->rowCount()) return false;
    if (shouldSelect && !shouldSelect(row)) return false;
    const QModelIndex index = model->index(row, 0);
    table->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect |
                                                        QItemSelectionModel::Rows);
    return true;
}

bool SafeSelection::SelectAnyRowWithDefault(int defaultRow, int rowCount,
                                            const RowTest& selectRow) {
    if (selectRow(defaultRow)) return true;
    for (int row = 0; row < rowCount; ++row)
        if (selectRow(row)) return true;
    return false;
}

bool SafeSelection::SelectAnyRowWithDefault(QTableView* table, int defaultRow,
                                            const RowTest& shouldSelect) {
    const int rowCount = table->model() ? table->model()->rowCount() : 0;
    return SelectAnyRowWithDefault(
        defaultRow, rowCount, [&](int row) { return SelectRowInSafety(table, row, shouldSelect); });
}
