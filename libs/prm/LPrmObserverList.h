#pragma once

#include "LObjList_.h"
#include "LPrmObserver.h"

// The observers of one manager with a dirty flag that the manager sets on every change.
class LPrmObserverList : public LObjList_<LPrmObserver> {
public:
    LPrmObserverList() = default;
    LPrmObserverList(const LPrmObserverList&) = delete;
    LPrmObserverList& operator=(const LPrmObserverList&) = delete;
    ~LPrmObserverList() override;

    // Marks the observer as registered here, then appends it (retained).
    int AppendObject(LPrmObserver* observer) override;
    // Releases the list's reference at once. During a service pass the observer's slot is left
    // empty (ObjectAtIndex gives null for it) and the list is compacted when the pass ends, so
    // a leaving observer is never touched again, even when its owner destroys it meanwhile.
    void RemoveObject(LPrmObserver* observer) override;

    void SetDirty() { mDirty = true; }
    // When dirty: clears the flag and lets every observer check its value, in list order.
    void Service();

private:
    bool mDirty = false;
    int mServiceDepth = 0;
};
