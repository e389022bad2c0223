#include "LPrmManagerPtr.h"

#include "LPrmManager.h"

LPrmManagerPtr& LPrmManagerPtr::operator=(LPrmManager* manager) {
    mHandle = manager ? manager->Handle() : nullptr;
    return *this;
}

LPrmManagerPtr& LPrmManagerPtr::operator=(LPrmManagerHandle* handle) {
    mHandle = handle;
    return *this;
}
