#include "KdHeaderView.h"

#include <QGridLayout>
#include <QLabel>

KdHeaderView::KdHeaderView(QWidget* parent)
    : QFrame(parent), mProductName(new QLabel("KALDO-1", this)), mVersionSoft(new QLabel(this)),
      mVersionFPGA(new QLabel(this)), mVersionUSB(new QLabel(this)), mVersionPHY(new QLabel(this)),
      mSerialNumber(new QLabel(this)), mNotice(new QLabel(this)) {
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
        // clang-format off
        {"Software", mVersionSoft,   0, 2},
        {"FPGA",     mVersionFPGA,   1, 2},
        {"USB",      mVersionUSB,    0, 5},
        {"PHY",      mVersionPHY,    1, 5},
        {"Serial",   mSerialNumber,  0, 8},
        // clang-format on
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
    layout->setColumnMinimumWidth(7, 12);
    mSerialNumber->setObjectName("serialNumber");
    layout->setColumnStretch(10, 1);

    mNotice->setObjectName("deviceNotice");
    mNotice->setFrameShape(QFrame::StyledPanel);
    mNotice->setMargin(4);
    mNotice->setAutoFillBackground(true);
    mNotice->setBackgroundRole(QPalette::ToolTipBase);
    mNotice->setForegroundRole(QPalette::ToolTipText);
    mNotice->hide();
    layout->addWidget(mNotice, 0, 11, 2, 1, Qt::AlignVCenter | Qt::AlignRight);
    mNoticeTimer.setSingleShot(true);
    mNoticeTimer.setInterval(kNoticeMs);
    connect(&mNoticeTimer, &QTimer::timeout, mNotice, &QLabel::hide);

    setVersion(nullptr);
    setSerial({});
}

void KdHeaderView::setVersion(const CKdPrmManager::_SVersionInfo* version) {
    const CKdPrmManager::_SVersionInfo unknown;
    if (!version) version = &unknown;
    showField(mVersionSoft, tr("Software version"), safeVersionString(version->mSoftware));
    showField(mVersionFPGA, tr("FPGA version"), safeVersionString(version->mFPGA));
    showField(mVersionUSB, tr("USB version"), safeVersionString(version->mUSB));
    showField(mVersionPHY, tr("PHY version"), safeVersionString(version->mPHY));
}

void KdHeaderView::setSerial(const QString& serial) {
    showField(mSerialNumber, tr("Serial number"),
              ": " + (serial.isEmpty() ? QStringLiteral("--") : serial));
}

void KdHeaderView::showField(QLabel* field, const QString& what, const QString& text) {
    field->setText(text);
    // Read out whole ("Software version: 01.05"): the caption beside it is another label.
    field->setAccessibleName(what + text);
}

void KdHeaderView::showNotice(const QString& text) {
    mNotice->setText(text);
    mNotice->show();
    mNoticeTimer.start();
}

QString KdHeaderView::safeVersionString(const LString& version) {
    if (version.Length() == 0) return ": --.--";
    return ": " + QString::fromUtf8(version.CString());
}
