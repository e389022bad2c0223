#include "KdPrmClockSync.h"

#include "CKdPrmManager.h"
#include "CKdValueGroups.h"

#include <array>
#include <cstdlib>

KdPrmClockSync::KdPrmClockSync(QWidget* parent)
    : QPushButton(tr("Set from this computer"), parent),
      mGroup([] {}, [this](const QString& message) { emit entryMessage(message); }) {
    setMinimumWidth(sizeHint().width());
    connect(this, &QPushButton::clicked, this, &KdPrmClockSync::setFromComputer);
}

void KdPrmClockSync::setPrmId(long firstId, LPrmManager* manager) {
    mGroup.setup(manager, firstId, CKdValueGroups::PrmCount(CKdValueGroups::EKind::Clock));
}

void KdPrmClockSync::setFromComputer() {
    if (!mGroup.manager()) return;
    const QDateTime now = mNow();
    const QDate date = now.date();
    const QTime time = now.time();
    const int offset = now.offsetFromUtc();
    const std::array<int, 7> values = {
        date.year() - kEpochYear,    date.month(),         date.day(), time.hour(), time.minute(),
        std::min(time.second(), 59), offset / kZoneSeconds};
    const int outside = offset % kZoneSeconds != 0 ? 6 : mGroup.partOutOfRange(values);
    if (outside < 0) {
        mGroup.write(values);
        return;
    }
    const int minutes = std::abs(offset) / 60;
    const QString shown = outside == 6 ? QStringLiteral("GMT %1%2:%3")
                                             .arg(offset < 0 ? '-' : '+')
                                             .arg(minutes / 60)
                                             .arg(minutes % 60, 2, 10, QChar('0'))
                                       : now.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    emit entryMessage(tr("The switcher's clock cannot hold this computer's %1 (%2): nothing "
                         "changed.")
                          .arg(QString::fromUtf8(CKdPrmManager::PrmLabel(mGroup.prmId(outside))))
                          .arg(shown));
}
