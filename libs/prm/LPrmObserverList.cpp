#include "LPrmObserverList.h"

LPrmObserverList::~LPrmObserverList() {
    for (int i = 0; i < Count(); ++i)
        ObjectAtIndex(i)->mRegistered = nullptr;
}

int LPrmObserverList::AppendObject(LPrmObserver* observer) {
    if (!observer) return -1;
    observer->mRegistered = this;
    return LObjList_<LPrmObserver>::AppendObject(observer);
}

void LPrmObserverList::Service() {
    if (!mDirty) return;
    mDirty = false;
    // An observer may unregister itself or others while it is called: the count is re-read on
    // every step, the observer is kept alive until its call returns, and the index advances only
    // when the slot still holds it, so that no observer is skipped.
    for (int i = 0; i < Count();) {
        LObjPtr_<LPrmObserver> observer = ObjectAtIndex(i);
        observer->CheckValueUpdated();
        if (ObjectAtIndex(i) == observer.Get()) ++i;
    }
}
