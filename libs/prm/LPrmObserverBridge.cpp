#include "LPrmObserverBridge.h"

#include <algorithm>
#include <utility>

LPrmObserverBridge::Delegate::~Delegate() {
    for (LPrmObserverBridge* bridge : mBridges)
        bridge->mDelegate = nullptr;
}

LPrmObserverBridge::~LPrmObserverBridge() {
    if (mDestroyed) *mDestroyed = true;
    SetDelegate(nullptr);
}

template <class ManagerOrHandle>
void LPrmObserverBridge::SetupWith(ManagerOrHandle manager, long id, Delegate* delegate) {
    SetDelegate(nullptr);
    SetPrmManager(manager);
    SetPrmID(id);
    SetDelegate(delegate);
    UpdateValue();
    ValueUpdated();
}

void LPrmObserverBridge::Setup(LPrmManager* manager, long id, Delegate* delegate) {
    SetupWith(manager, id, delegate);
}

void LPrmObserverBridge::Setup(LPrmManagerHandle* handle, long id, Delegate* delegate) {
    SetupWith(handle, id, delegate);
}

void LPrmObserverBridge::SetDelegate(Delegate* delegate) {
    if (delegate == mDelegate) return;
    if (mDelegate) std::erase(mDelegate->mBridges, this);
    mDelegate = delegate;
    if (mDelegate) mDelegate->mBridges.push_back(this);
}

bool LPrmObserverBridge::UpdateValue() {
    if (mDelegate) {
        if (std::optional<bool> changed = mDelegate->updateValue(this)) return *changed;
    }
    return LPrmObserver::UpdateValue();
}

void LPrmObserverBridge::CheckValueUpdated() {
    // The delegate may destroy this bridge, with the view that holds it, while it is told.
    bool destroyed = false;
    bool* outer = std::exchange(mDestroyed, &destroyed);
    LPrmObserver::CheckValueUpdated();
    if (destroyed) {
        if (outer) *outer = true;
        return;
    }
    mDestroyed = outer;
    if (mDelegate) mDelegate->checkValueUpdated(this);
}

void LPrmObserverBridge::ValueUpdated() {
    if (mDelegate) mDelegate->valueUpdated(this);
}
