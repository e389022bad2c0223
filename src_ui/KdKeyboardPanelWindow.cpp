#include "KdKeyboardPanelWindow.h"

#include "KdKeyboardPanel.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QTableWidget>
#include <QVBoxLayout>

KdKeyboardPanelWindow::KdKeyboardPanelWindow(QWidget* parent)
    : QDialog(parent), mTable(new QTableWidget(0, 3, this)) {
    setWindowTitle(tr("Keyboard Panel"));
    auto* intro = new QLabel(
        tr("While the settings tree has the focus, these keys work the switcher, by their place "
           "on the keyboard whatever its layout. Keys held with Ctrl are the window's shortcuts."));
    intro->setWordWrap(true);
    mTable->setHorizontalHeaderLabels({tr("Key"), tr("Held with"), tr("Action")});
    mTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
    mTable->setSelectionBehavior(QAbstractItemView::SelectRows);
    mTable->verticalHeader()->hide();
    mTable->horizontalHeader()->setStretchLastSection(true);
    for (const KdKeyboardPanel::_SKey& key : KdKeyboardPanel::Keys()) {
        for (const auto& action : CKdKeyboardOperation::KeyActions(key.mKeyCode)) {
            const int row = mTable->rowCount();
            mTable->insertRow(row);
            mTable->setItem(row, 0, new QTableWidgetItem(QString::fromUtf8(key.mLabel)));
            mTable->setItem(row, 1, new QTableWidgetItem(QString::fromUtf8(action.mCondition)));
            mTable->setItem(row, 2, new QTableWidgetItem(QString::fromUtf8(action.mAction)));
        }
    }
    mTable->resizeColumnsToContents();
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(intro);
    layout->addWidget(mTable);
    layout->addWidget(buttons);
    resize(460, 520);
}
