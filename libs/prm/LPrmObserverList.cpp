#include "LPrmObserverList.h"

LPrmObserverList::~LPrmObserverList() {
    for (int i = 0; i < Count(); ++i)
        if (LPrmObserver* observer = ObjectAtIndex(i)) observer->mRegistered = nullptr;
}

int LPrmObserverList::AppendObject(LPrmObserver* observer) {
    if (!observer) return -1;
    observer->mRegistered = this;
    return LObjList_<LPrmObserver>::AppendObject(observer);
}

void LPrmObserverList::RemoveObject(LPrmObserver* observer) {
    if (mServiceDepth == 0) return LObjList_<LPrmObserver>::RemoveObject(observer);
    for (int i = 0; i < Count(); ++i) {
        if (observer && ObjectAtIndex(i) == observer) return ClearSlot(i);
    }
}

void LPrmObserverList::Service() {
    if (!mDirty) return;
    mDirty = false;
    // Observers may join or leave (and be destroyed) while they are called: slots keep their
    // places during the pass, the count is re-read on every step, and an observer is touched
    // only while its slot holds it.
    ++mServiceDepth;
    for (int i = 0; i < Count(); ++i)
        if (LPrmObserver* observer = ObjectAtIndex(i)) observer->CheckValueUpdated();
    if (--mServiceDepth == 0) RemoveEmptySlots();
}
