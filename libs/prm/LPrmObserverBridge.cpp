#include "LPrmObserverBridge.h"

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
    mDelegate = delegate ? delegate->mAnchor : std::weak_ptr<Delegate*>();
}

LPrmObserverBridge::Delegate* LPrmObserverBridge::GetDelegate() const {
    const std::shared_ptr<Delegate*> anchor = mDelegate.lock();
    return anchor ? *anchor : nullptr;
}

bool LPrmObserverBridge::UpdateValue() {
    if (Delegate* delegate = GetDelegate()) {
        if (std::optional<bool> changed = delegate->updateValue(this)) return *changed;
    }
    return LPrmObserver::UpdateValue();
}

void LPrmObserverBridge::CheckValueUpdated() {
    LPrmObserver::CheckValueUpdated();
    if (Delegate* delegate = GetDelegate()) delegate->checkValueUpdated(this);
}

void LPrmObserverBridge::ValueUpdated() {
    if (Delegate* delegate = GetDelegate()) delegate->valueUpdated(this);
}
