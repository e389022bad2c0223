#pragma once

#include "LObject.h"

// Owning pointer to one counted object: retains what it holds and releases it when replaced or
// destroyed.
template <class T>
class LObjPtr_ {
public:
    LObjPtr_() = default;
    LObjPtr_(T* object) { *this = object; }
    LObjPtr_(const LObjPtr_& other) { *this = other.mObject; }
    virtual ~LObjPtr_() { Release(); }

    LObjPtr_& operator=(const LObjPtr_& other) {
        *this = other.mObject;
        return *this;
    }

    T* operator=(T* object) {
        if (object == mObject) return mObject;
        Release();
        mObject = object;
        if (mObject) LObject::RetainObject(static_cast<LObject*>(mObject));
        return mObject;
    }

    T* Get() const { return mObject; }
    operator T*() const { return mObject; }
    T* operator->() const { return mObject; }

private:
    void Release() {
        T* old = mObject;
        mObject = nullptr;
        if (old) LObject::ReleaseObject(static_cast<LObject*>(old));
    }

    T* mObject = nullptr;
};
