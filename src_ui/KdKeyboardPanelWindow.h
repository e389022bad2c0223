#pragma once

#include <QDialog>

class QTableWidget;

// The menu tree's keys as a table: each panel key (by its US label), the key held with it and
// what it does on the switcher, read from the panel's own key tables.
class KdKeyboardPanelWindow : public QDialog {
    Q_OBJECT
public:
    explicit KdKeyboardPanelWindow(QWidget* parent = nullptr);

    QTableWidget* table() const { return mTable; }

private:
    QTableWidget* mTable;
};
