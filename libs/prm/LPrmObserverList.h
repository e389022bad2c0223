#pragma once

#include "LObjList_.h"
#include "LPrmObserver.h"

#include <vector>

// The observers of one manager with a dirty flag that the manager sets on every change.
class LPrmObserverList : public LObjList_<LPrmObserver> {
public:
    LPrmObserverList() = default;
    LPrmObserverList(const LPrmObserverList&) = delete;
    LPrmObserverList& operator=(const LPrmObserverList&) = delete;
    ~LPrmObserverList() override;

    // Marks the observer as registered here, then appends it (retained).
    int AppendObject(LPrmObserver* observer) override;
    // During a service pass the list's reference to a removed observer is released only when
    // the pass ends, so that an observer may leave while it is being called.
    void RemoveObject(LPrmObserver* observer) override;

    void SetDirty() { mDirty = true; }
    // When dirty: clears the flag and lets every observer check its value, in list order.
    void Service();

private:
    bool mDirty = false;
    int mServiceDepth = 0;
    std::vector<LPrmObserver*> mLeftDuringService; // each holds the list's former reference
};
