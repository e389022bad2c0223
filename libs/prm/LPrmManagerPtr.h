#pragma once

#include "LObjPtr_.h"
#include "LPrmManagerHandle.h"

// Weak pointer to a manager through its handle: never keeps the manager alive and reads as null
// once it is gone.
class LPrmManagerPtr {
public:
    LPrmManagerPtr() = default;
    LPrmManagerPtr(LPrmManager* manager) { *this = manager; }
    LPrmManagerPtr(LPrmManagerHandle* handle) { *this = handle; }

    // Holds the manager's own handle (none for null).
    LPrmManagerPtr& operator=(LPrmManager* manager);
    LPrmManagerPtr& operator=(LPrmManagerHandle* handle);

    LPrmManager* Get() const { return mHandle ? mHandle->PrmManager() : nullptr; }
    LPrmManagerHandle* Handle() const { return mHandle; }
    operator LPrmManager*() const { return Get(); }
    operator LPrmManagerHandle*() const { return mHandle; }
    LPrmManager* operator->() const { return Get(); }
    explicit operator bool() const { return Get() != nullptr; }

private:
    LObjPtr_<LPrmManagerHandle> mHandle;
};
