#pragma once

#include "CKdPageCatalogue.h"

class CKdPrmManager;
class QWidget;

// Builds the page of one menu leaf.
class KdPageFactory {
public:
    // A new page for the leaf, bound to the session (null: no switcher open); owned by parent.
    static QWidget* CreatePage(const CKdPageCatalogue::_SPage& page, CKdPrmManager* session,
                               QWidget* parent);
};
