#include "KdPrmGroupRows.h"

#include "CKdPrmManager.h"
#include "CKdValueGroups.h"
#include "KdPrmCellView.h"
#include "KdPrmClockSync.h"
#include "KdPrmColourSwatch.h"
#include "KdPrmIpAddress.h"
#include "KdPrmView.h"

#include <QCoreApplication>

#include <algorithm>

namespace {

using Rows = std::span<const CKdPageCatalogue::_SRow>;
using Group = CKdValueGroups::_SGroup;

// Whether rows begins with the group's parameters, one row each, in order.
bool holdsGroup(Rows rows, const Group& group) {
    const int count = CKdValueGroups::PrmCount(group.mKind);
    if (static_cast<int>(rows.size()) < count) return false;
    for (int k = 0; k < count; ++k)
        if (rows[k].mPrmID != group.mFirstPrmID + k) return false;
    return true;
}

// A row titled after the group, holding control; the tooltip
// names the parameters as kaldo-ctl takes them.
template <class Control>
Control* addRow(KdPrmView* page, const Group& group, Control* control, const QString& what) {
    const QString title = QString::fromUtf8(group.mLabel);
    KdPrmCellView* cell = page->createPrmCellView(title);
    const long last = group.mFirstPrmID + CKdValueGroups::PrmCount(group.mKind) - 1;
    const QString tip =
        QCoreApplication::translate("KdPrmGroupRows", "kaldo-ctl names: \"%1\" to \"%2\"\n%3")
            .arg(QString::fromUtf8(CKdPrmManager::PrmLabel(group.mFirstPrmID)),
                 QString::fromUtf8(CKdPrmManager::PrmLabel(last)), what);
    // In the value column like every row's value; the page's layout gives it its width.
    cell->setGroupControl(control);
    control->setGeometry(page->valuePosition(), 0,
                         std::max(control->minimumWidth(), page->valueWidth()),
                         control->sizeHint().height());
    control->move(control->x(), (cell->height() - control->height()) / 2);
    control->setToolTip(tip);
    cell->label()->setToolTip(tip);
    control->show();
    QObject::connect(control, &Control::entryMessage, page,
                     [page, control](const QString& text) { page->showMessage(control, text); });
    return control;
}

} // namespace

std::size_t KdPrmGroupRows::CreateRowsAt(KdPrmView* page, Rows rows) {
    const Group* group = CKdValueGroups::GroupAt(rows.front().mPrmID);
    if (!group || !holdsGroup(rows, *group)) {
        page->createRow(rows.front());
        return 1;
    }
    const int count = CKdValueGroups::PrmCount(group->mKind);
    CKdPrmManager* session = page->prmManager();
    using K = CKdValueGroups::EKind;
    if (group->mKind == K::Address) {
        auto* field = new KdPrmIpAddress;
        field->setEditedInfo(rows.front().mInfoCode);
        field->setPrmId(group->mFirstPrmID, session);
        addRow(page, *group, field,
               QCoreApplication::translate("KdPrmGroupRows",
                                           "four numbers from 0 to 255, as in 192.168.1.200"));
        return count;
    }
    for (int k = 0; k < count; ++k)
        page->createRow(rows[k]);
    if (group->mKind == K::Colour) {
        auto* swatch = new KdPrmColourSwatch;
        swatch->setPrmId(group->mFirstPrmID, session, QString::fromUtf8(group->mLabel));
        addRow(page, *group, swatch,
               QCoreApplication::translate("KdPrmGroupRows", "opens a colour chooser"));
    } else {
        auto* button = new KdPrmClockSync;
        button->setPrmId(group->mFirstPrmID, session);
        addRow(page, *group, button,
               QCoreApplication::translate("KdPrmGroupRows",
                                           "writes this computer's date, time and time zone"));
    }
    return count;
}
