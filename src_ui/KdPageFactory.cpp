#include "KdPageFactory.h"

#include "KdPrmView.h"

QWidget* KdPageFactory::CreatePage(const CKdPageCatalogue::_SPage& page, CKdPrmManager* session,
                                   QWidget* parent) {
    auto* view = new KdPrmView(&page, parent);
    view->setObjectName(QString::fromUtf8(page.mClassName));
    view->setPrmManager(session);
    return view;
}
