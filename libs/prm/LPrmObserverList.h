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

    void SetDirty() { mDirty = true; }
    bool IsDirty() const { return mDirty; }
    // When dirty: clears the flag and lets every observer check its value, in list order.
    void Service();

private:
    bool mDirty = false;
};
