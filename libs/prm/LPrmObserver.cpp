#include "LPrmObserver.h"

#include "LPrmManager.h"
#include "LPrmObserverList.h"

LPrmObserver::LPrmObserver(LPrmManager* manager) {
    SetPrmManager(manager);
}

LPrmObserver::~LPrmObserver() {
    UnregisterObserver();
}

void LPrmObserver::SetPrmManager(LPrmManager* manager) {
    if (mPrmManager.Get() == manager) return;
    ChangeManager(manager ? manager->Handle() : nullptr);
}

void LPrmObserver::SetPrmManager(LPrmManagerHandle* handle) {
    if (mPrmManager.Handle() == handle) return;
    ChangeManager(handle);
}

void LPrmObserver::ChangeManager(LPrmManagerHandle* handle) {
    LObjPtr_<LPrmObserver> keepAlive(this); // the old list may hold the last reference
    const bool wasRegistered = IsRegistered();
    UnregisterObserver();
    mPrmManager = handle;
    if (wasRegistered) RegisterObserver();
}

void LPrmObserver::SetPrmID(long id) {
    mPrmID = id;
    RegisterObserver();
}

bool LPrmObserver::RegisterObserver() {
    if (!mPrmManager.Handle()) return false;
    LObjPtr_<LPrmObserver> keepAlive(this);
    UnregisterObserver();
    if (LPrmManager* manager = mPrmManager.Get()) manager->AppendPrmObserver(this);
    UpdateValue();
    return IsRegistered();
}

void LPrmObserver::UnregisterObserver() {
    if (!mRegistered) return;
    LPrmObserverList* list = mRegistered;
    mRegistered = nullptr;
    list->RemoveObject(this);
}

int LPrmObserver::Value(long origin) {
    LPrmManager* manager = mPrmManager.Get();
    return manager ? manager->Value(mPrmID, origin) : 0;
}

bool LPrmObserver::SetValue(int value, long origin) {
    LPrmManager* manager = mPrmManager.Get();
    return manager && manager->SetValue(mPrmID, value, origin);
}

LString LPrmObserver::StringValue(int count, long step) {
    LPrmManager* manager = mPrmManager.Get();
    return manager ? manager->StringValue(mPrmID, count, step, 0) : LString();
}

bool LPrmObserver::SetStringValue(const char* text, int count, long step, long origin) {
    LPrmManager* manager = mPrmManager.Get();
    return manager && manager->SetStringValue(mPrmID, text, count, step, origin);
}

void LPrmObserver::CheckValueUpdated() {
    if (UpdateValue()) ValueUpdated();
}

bool LPrmObserver::UpdateValue() {
    LPrmManager* manager = mPrmManager.Get();
    if (!manager) return false; // no manager, or it is gone: nothing to compare with
    const int previous = mValue;
    mValue = manager->Value(mPrmID, 0);
    return mValue != previous;
}
