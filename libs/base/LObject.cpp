#include "LObject.h"

#include "LMutexLock.h"

LObject* LObject::RetainObject() {
    LMutexLock lock(MutexForRetain());
    ++mRetainCount;
    return this;
}

void LObject::ReleaseObject() {
    LMutexLock lock(MutexForRetain());
    if (mRetainCount-- < 2) {
        // Unlock first so that a destructor may release other objects.
        lock.Unlock();
        DeleteObjectSelf();
    }
}

void LObject::DeleteObjectSelf() {
    delete this;
}

LMutex* LObject::MutexForRetain() {
    static LMutex sRetainMutex;
    return &sRetainMutex;
}
