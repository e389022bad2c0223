#pragma once

#include "LObject.h"
#include "LPrmManagerPtr.h"
#include "LString.h"

#include <cstdint>

class LPrmManager;
class LPrmManagerHandle;
class LPrmObserverList;

// Watches one parameter of one manager. A change only marks the manager's observer list dirty;
// the list's next Service() lets each observer compare its cached value with the current one.
class LPrmObserver : public virtual LObject {
public:
    explicit LPrmObserver(LPrmManager* manager = nullptr);
    LPrmObserver(const LPrmObserver&) = delete;
    LPrmObserver& operator=(const LPrmObserver&) = delete;
    ~LPrmObserver() override;

    // Moves to another manager; a registered observer is registered with the new one.
    void SetPrmManager(LPrmManager* manager);
    void SetPrmManager(LPrmManagerHandle* handle);
    // Stores the identifier and registers.
    void SetPrmID(long id);
    void UnregisterObserver();

    LPrmManager* PrmManager() const { return mPrmManager.Get(); }
    LPrmManagerHandle* PrmManagerHandle() const { return mPrmManager.Handle(); }
    long PrmID() const { return mPrmID; }
    // The value seen at the last UpdateValue().
    int LastValue() const { return mValue; }
    bool IsRegistered() const { return mRegistered != nullptr; }

    // (Re)joins the manager's observer list and refreshes the cached value without notifying.
    // True when a list now holds the observer.
    virtual bool RegisterObserver();
    virtual int Value(long origin);
    virtual bool SetValue(int value, long origin);
    virtual LString StringValue(int count, long step);
    virtual bool SetStringValue(const char* text, int count, long step, long origin);
    // UpdateValue(), then ValueUpdated() when the value changed.
    virtual void CheckValueUpdated();
    // Re-reads the value; true when it differs from the cached one.
    virtual bool UpdateValue();
    virtual void ValueUpdated() {}

private:
    friend class LPrmObserverList; // keeps mRegistered

    void ChangeManager(LPrmManagerHandle* handle);

    LPrmManagerPtr mPrmManager;
    LPrmObserverList* mRegistered = nullptr;
    int64_t mPrmID = 0;
    int32_t mValue = 0;
};
