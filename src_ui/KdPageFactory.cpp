#include "KdPageFactory.h"

#include <QLabel>

QWidget* KdPageFactory::CreatePage(const CKdPageCatalogue::_SPage& page, CKdPrmManager*,
                                   QWidget* parent) {
    auto* label = new QLabel(QString::fromUtf8(page.mGroup) + " / " + page.mLabel, parent);
    label->setObjectName(QString::fromUtf8(page.mClassName));
    label->setAlignment(Qt::AlignCenter);
    return label;
}
