#pragma once

#include "KdPrmGroupObserver.h"

#include <QDateTime>
#include <QPushButton>

#include <functional>

class LPrmManager;

// "Set from this computer": writes this computer's local date, time and time zone into the
// switcher's clock, seven parameters from year to zone (year as years since 1970, the zone in
// quarter hours from GMT), in that order. A time the clock cannot hold (a year or zone outside
// its ranges, a zone that is not whole quarter hours) is refused whole, with a message. A leap
// second is written as second 59.
class KdPrmClockSync : public QPushButton {
    Q_OBJECT

public:
    static constexpr int kEpochYear = 1970;
    static constexpr int kZoneSeconds = 15 * 60;

    explicit KdPrmClockSync(QWidget* parent = nullptr);

    // Binds to the clock's parameters from firstId (the year) on.
    void setPrmId(long firstId, LPrmManager* manager);
    // Where the local time comes from (default: the system clock).
    void setClock(std::function<QDateTime()> now) { mNow = std::move(now); }

signals:
    // Why the time was not written, or a part the switcher refused.
    void entryMessage(const QString& text);

private:
    void setFromComputer();

    KdPrmGroupObserver mGroup;
    std::function<QDateTime()> mNow = [] { return QDateTime::currentDateTime(); };
};
