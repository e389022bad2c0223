#pragma once

#include <functional>

class QAbstractItemView;
class QTableView;

// Row selection that never lands on a row the view refuses.
class SafeSelection {
public:
    // Tells whether a row may be selected; no test means every row may.
    using RowTest = std::function<bool(int row)>;

    // False for a row outside the table or one that shouldSelect refuses; otherwise selects
    // exactly that row, dropping any other selection, and answers true.
    static bool SelectRowInSafety(QTableView* table, int row, const RowTest& shouldSelect = {});
    // Tries selectRow(defaultRow), then rows 0, 1, 2... up to rowCount - 1, stopping at the
    // first that succeeds. False when none could be selected.
    static bool SelectAnyRowWithDefault(int defaultRow, int rowCount, const RowTest& selectRow);
    // The table form: SelectRowInSafety over the table's rows.
    static bool SelectAnyRowWithDefault(QTableView* table, int defaultRow,
                                        const RowTest& shouldSelect = {});
};
