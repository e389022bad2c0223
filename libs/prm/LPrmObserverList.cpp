#include "LPrmObserverList.h"

#include <utility>

LPrmObserverList::~LPrmObserverList() {
    for (int i = 0; i < Count(); ++i)
        ObjectAtIndex(i)->mRegistered = nullptr;
}

int LPrmObserverList::AppendObject(LPrmObserver* observer) {
    if (!observer) return -1;
    observer->mRegistered = this;
    return LObjList_<LPrmObserver>::AppendObject(observer);
}

void LPrmObserverList::RemoveObject(LPrmObserver* observer) {
    if (mServiceDepth > 0 && observer) {
        for (int i = 0; i < Count(); ++i) {
            if (ObjectAtIndex(i) != observer) continue;
            LObject::RetainObject(observer);
            mLeftDuringService.push_back(observer);
            break;
        }
    }
    LObjList_<LPrmObserver>::RemoveObject(observer);
}

void LPrmObserverList::Service() {
    if (!mDirty) return;
    mDirty = false;
    // Observers may unregister themselves or others while they are called: the count is
    // re-read on every step, and the index advances only when the slot still holds the observer
    // just called, so that nobody is skipped.
    ++mServiceDepth;
    for (int i = 0; i < Count();) {
        LPrmObserver* observer = ObjectAtIndex(i);
        observer->CheckValueUpdated();
        if (ObjectAtIndex(i) == observer) ++i;
    }
    if (--mServiceDepth > 0) return;
    for (LPrmObserver* observer : std::exchange(mLeftDuringService, {}))
        LObject::ReleaseObject(observer);
}
