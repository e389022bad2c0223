#include "KdHeaderView.h"

#include <QGridLayout>
#include <QLabel>

KdHeaderView::KdHeaderView(QWidget* parent)
    : QFrame(parent), mProductName(new QLabel("KALDO-1", this)), mVersionSoft(new QLabel(this)),
      mVersionFPGA(new QLabel(this)), mVersionUSB(new QLabel(this)), mVersionPHY(new QLabel(this)) {
    QFont nameFont = mProductName->font();
    nameFont.setPointSizeF(nameFont.pointSizeF() * 1.8);
    nameFont.setBold(true);
    mProductName->setFont(nameFont);
    mProductName->setObjectName("productName");

    auto* layout = new QGridLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setHorizontalSpacing(6);
    layout->setVerticalSpacing(2);
    layout->addWidget(mProductName, 0, 0, 2, 1, Qt::AlignVCenter);
    layout->setColumnMinimumWidth(1, 24);
    const struct {
        const char* caption;
        QLabel* field;
        int row, column;
    } fields[] = {
        {"Software", mVersionSoft, 0, 2},
        {"FPGA", mVersionFPGA, 1, 2},
        {"USB", mVersionUSB, 0, 5},
        {"PHY", mVersionPHY, 1, 5},
    };
    for (const auto& f : fields) {
        auto* caption = new QLabel(f.caption, this);
        caption->setForegroundRole(QPalette::PlaceholderText);
        layout->addWidget(caption, f.row, f.column);
        f.field->setTextInteractionFlags(Qt::TextSelectableByMouse);
        f.field->setMinimumWidth(fontMetrics().horizontalAdvance(": 00.00 "));
        layout->addWidget(f.field, f.row, f.column + 1);
    }
    layout->setColumnMinimumWidth(4, 12);
    layout->setColumnStretch(7, 1);
    setVersion(nullptr);
}

void KdHeaderView::setVersion(const CKdPrmManager::_SVersionInfo* version) {
    const CKdPrmManager::_SVersionInfo unknown;
    if (!version) version = &unknown;
    mVersionSoft->setText(safeVersionString(version->mSoftware));
    mVersionFPGA->setText(safeVersionString(version->mFPGA));
    mVersionUSB->setText(safeVersionString(version->mUSB));
    mVersionPHY->setText(safeVersionString(version->mPHY));
}

QString KdHeaderView::safeVersionString(const LString& version) {
    if (version.Length() == 0) return ": --.--";
    return ": " + QString::fromUtf8(version.CString());
}
