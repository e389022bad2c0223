#include "KdPrmGroupObserver.h"

#include "CKdPrmManager.h"

#include <QCoreApplication>

KdPrmGroupObserver::KdPrmGroupObserver(std::function<void()> changed,
                                       std::function<void(const QString&)> refused)
    : mChanged(std::move(changed)), mRefused(std::move(refused)) {}

void KdPrmGroupObserver::setup(LPrmManager* manager, long firstId, int count) {
    mFirstId = firstId;
    mBridges.clear();
    mWritten.assign(count, 0);
    mBefore.assign(count, 0);
    mVerdictUntil = {};
    for (int part = 0; part < count; ++part) {
        mBridges.push_back(std::make_unique<LPrmObserverBridge>());
        mBridges.back()->Setup(manager, firstId + part, this);
    }
}

LPrmManager* KdPrmGroupObserver::manager() const {
    return mBridges.empty() ? nullptr : mBridges.front()->PrmManager();
}

LPrmManager::_SRangeInfo KdPrmGroupObserver::range(int part) const {
    LPrmManager* session = manager();
    return session ? session->ValueRange(prmId(part)) : LPrmManager::_SRangeInfo();
}

int KdPrmGroupObserver::partOutOfRange(std::span<const int> values) const {
    for (int part = 0; part < count() && part < static_cast<int>(values.size()); ++part) {
        const LPrmManager::_SRangeInfo bounds = range(part);
        if (values[part] < bounds.mMin || values[part] > bounds.mMax) return part;
    }
    return -1;
}

void KdPrmGroupObserver::write(std::span<const int> values) {
    if (!manager()) return;
    for (int part = 0; part < count() && part < static_cast<int>(values.size()); ++part) {
        mBefore[part] = value(part);
        mBridges[part]->SetValue(values[part], 0);
        mBridges[part]->UpdateValue();
        mWritten[part] = values[part];
    }
    mVerdictUntil = Clock::now() + std::chrono::milliseconds(CKdPrmManager::kLateAnswerMs);
    mChanged();
}

void KdPrmGroupObserver::valueUpdated(LPrmObserverBridge* bridge) {
    for (int part = 0; part < count(); ++part) {
        if (mBridges[part].get() != bridge) continue;
        const int now = bridge->LastValue();
        if (Clock::now() < mVerdictUntil && now != mWritten[part] && now == mBefore[part]) {
            mWritten[part] = now; // reported once
            mRefused(QCoreApplication::translate("KdPrmGroupObserver",
                                                 "The switcher refused %1: it keeps %2.")
                         .arg(QString::fromUtf8(CKdPrmManager::PrmLabel(prmId(part))))
                         .arg(now));
        }
    }
    mChanged();
}
